// Header rules of GIF files: the logical screen and the first image, which Qt reads.
#include "picture_rules.h"

#include <algorithm>
#include <cstring>

namespace zovex::picture {

namespace {

// LZW codes are at least 3 bits and stand for at most 4096 pixels.
constexpr qint64 kLzwPixelsPerByte = 4096 * 8 / 3;
// Pictures this small cost nothing whatever their data.
constexpr qint64 kSmallGif = 256 * 256;
// Encoders write image data in sub-blocks of 255 bytes but the last; beyond this many
// sub-blocks for each 128 bytes of data the image is made of tiny ones.
constexpr qint64 kFreeSubBlocks = 4096;
constexpr qint64 kDataBytesPerSubBlock = 128;

// Skips the data sub-blocks of an extension, each costing a byte examined; false when the file
// ends first or the budget is spent.
bool skipExtension(const Bytes& b, qint64& pos, Budget& budget)
{
    for (;;) {
        const uchar* n = b.at(pos, 1);
        // A comment or a profile may have thousands of sub-blocks: they cost their length bytes.
        if (!n || !budget.examine(1) || !b.has(pos + 1, *n))
            return false;
        pos += 1 + *n;
        if (*n == 0)
            return true;
    }
}

// Skips the image data's sub-blocks; their byte count, or -1 when the file ends first or the
// data is made of tiny sub-blocks.
qint64 skipImageData(const Bytes& b, qint64& pos)
{
    qint64 total = 0;
    for (qint64 blocks = 1;; ++blocks) {
        const uchar* n = b.at(pos, 1);
        if (!n || !b.has(pos + 1, *n) || blocks > kFreeSubBlocks + total / kDataBytesPerSubBlock)
            return -1;
        pos += 1 + *n;
        if (*n == 0)
            return total;
        total += *n;
    }
}

qint64 colourTableBytes(uchar flags) { return (flags & 0x80) ? 3 * (qint64(2) << (flags & 7)) : 0; }

// The first image from its descriptor at pos, on a screen sw x sh.
MaybeClaim firstImageClaim(const Bytes& b, qint64 pos, qint64 sw, qint64 sh)
{
    const uchar* d = b.at(pos, 9);
    if (!d)
        return std::nullopt;
    const qint64 left = le16(d);
    const qint64 top = le16(d + 2);
    const qint64 fw = le16(d + 4);
    const qint64 fh = le16(d + 6);
    pos += 9 + colourTableBytes(d[8]) + 1; // and the LZW minimum code size
    const qint64 data = skipImageData(b, pos);
    if (data < 0)
        return std::nullopt;
    sw = std::max(sw, left + fw);
    sh = std::max(sh, top + fh);
    // Qt makes the whole logical screen: it must be paid for by data too.
    if (!plausibleSize(sw, sh) || std::max(fw * fh, sw * sh) > data * kLzwPixelsPerByte + kSmallGif)
        return std::nullopt;
    return Claim{"gif", sw, sh};
}

} // namespace

bool gifSniff(const Bytes& b)
{
    const uchar* p = b.at(0, 6);
    return p && (std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0);
}

MaybeClaim gifClaim(const Bytes& b)
{
    const uchar* h = b.at(0, 13);
    if (!h)
        return std::nullopt;
    const qint64 sw = le16(h + 6);
    const qint64 sh = le16(h + 8);
    qint64 pos = 13 + colourTableBytes(h[10]);
    Budget budget;
    for (;;) {
        const uchar* kind = b.at(pos, 1);
        if (!kind)
            return std::nullopt;
        if (*kind == 0x2c)
            return firstImageClaim(b, pos + 1, sw, sh);
        // An extension (introducer, label, sub-blocks); a trailer before any image, or
        // anything else, is not a picture.
        if (*kind != 0x21 || !budget.spend(2))
            return std::nullopt;
        pos += 2;
        if (!skipExtension(b, pos, budget))
            return std::nullopt;
    }
}

} // namespace zovex::picture
