// The one place that knows every picture format the reader reads, in the order their
// signatures are tried: a file is held to the rules of the first format it starts like.
#include "picture_rules.h"

namespace zovex::picture {

namespace {

struct Format {
    bool (*sniff)(const Bytes&);
    MaybeClaim (*claim)(const Bytes&);
};

// XPM before XBM: both may start with a comment.
constexpr Format kFormats[] = {
    {bmpSniff, bmpClaim}, {pngSniff, pngClaim}, {jpegSniff, jpegClaim}, {gifSniff, gifClaim},
    {icoSniff, icoClaim}, {pnmSniff, pnmClaim}, {xpmSniff, xpmClaim},   {xbmSniff, xbmClaim},
};

} // namespace

MaybeClaim claimOf(const Bytes& b)
{
    for (const Format& f : kFormats) {
        if (f.sniff(b))
            return f.claim(b);
    }
    return std::nullopt;
}

} // namespace zovex::picture
