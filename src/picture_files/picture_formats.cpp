// The one place that knows every picture format the reader reads, in the order their
// signatures are tried: a file is held to the rules of the first format it starts like.
#include "picture_rules.h"

namespace zovex::picture {

namespace {

struct Format {
    bool (*sniff)(const Bytes&);
    MaybeClaim (*claim)(const Bytes&);
    bool (*check)(const Bytes&);
};

// XPM before XBM: both may start with a comment.
constexpr Format kFormats[] = {
    {bmpSniff, bmpClaim, bmpCheck},   {pngSniff, pngClaim, pngCheck}, {jpegSniff, jpegClaim, jpegCheck},
    {gifSniff, gifClaim, gifCheck},   {icoSniff, icoClaim, icoCheck}, {pnmSniff, pnmClaim, noDataWalk},
    {xpmSniff, xpmClaim, noDataWalk}, {xbmSniff, xbmClaim, xbmCheck},
};

const Format* formatOf(const Bytes& b)
{
    for (const Format& f : kFormats) {
        if (f.sniff(b))
            return &f;
    }
    return nullptr;
}

} // namespace

MaybeClaim claimOf(const Bytes& b)
{
    const Format* f = formatOf(b);
    return f ? f->claim(b) : std::nullopt;
}

bool dataHoldsClaim(const Bytes& b)
{
    const Format* f = formatOf(b);
    return f && f->claim(b) && f->check(b);
}

} // namespace zovex::picture
