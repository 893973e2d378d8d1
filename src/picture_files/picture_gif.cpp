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

// Extensions before the first image (comments, application data, a colour profile) hold a few
// kilobytes in real files; their sub-blocks are read one after the other, so a walk over more
// than this reads the file.
constexpr qint64 kExtensionBytes = qint64(16) << 20;

// Skips the data sub-blocks of an extension, each costing a byte examined; false when the file
// ends first, the budget is spent or the extensions before the image pass kExtensionBytes.
bool skipExtension(const Bytes& b, qint64& pos, Budget& budget, qint64& extensionBytes)
{
    for (;;) {
        const uchar* n = b.at(pos, 1);
        // A comment or a profile may have thousands of sub-blocks: they cost their length bytes.
        if (!n || !budget.examine(1) || !b.has(pos + 1, *n))
            return false;
        pos += 1 + *n;
        extensionBytes += 1 + *n;
        if (extensionBytes > kExtensionBytes)
            return false;
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

// The first image's descriptor: where it is on the screen, and where its data's sub-blocks
// begin.
struct FirstImage {
    qint64 screenWidth = 0;
    qint64 screenHeight = 0;
    qint64 frameWidth = 0;
    qint64 frameHeight = 0;
    qint64 data = 0;
};

// Walks from the header over the extensions to the first image's descriptor.
std::optional<FirstImage> firstImage(const Bytes& b)
{
    const uchar* h = b.at(0, 13);
    if (!h)
        return std::nullopt;
    FirstImage image;
    image.screenWidth = le16(h + 6);
    image.screenHeight = le16(h + 8);
    qint64 pos = 13 + colourTableBytes(h[10]);
    Budget budget;
    qint64 extensionBytes = 0;
    for (;;) {
        const uchar* kind = b.at(pos, 1);
        if (!kind)
            return std::nullopt;
        if (*kind == 0x2c)
            break;
        // An extension (introducer, label, sub-blocks); a trailer before any image, or
        // anything else, is not a picture.
        if (*kind != 0x21 || !budget.spend(2))
            return std::nullopt;
        pos += 2;
        if (!skipExtension(b, pos, budget, extensionBytes))
            return std::nullopt;
    }
    const uchar* d = b.at(pos + 1, 9);
    if (!d)
        return std::nullopt;
    const qint64 left = le16(d);
    const qint64 top = le16(d + 2);
    image.frameWidth = le16(d + 4);
    image.frameHeight = le16(d + 6);
    // Qt makes the whole logical screen.
    image.screenWidth = std::max(image.screenWidth, left + image.frameWidth);
    image.screenHeight = std::max(image.screenHeight, top + image.frameHeight);
    image.data = pos + 1 + 9 + colourTableBytes(d[8]) + 1; // and the LZW minimum code size
    if (!plausibleSize(image.screenWidth, image.screenHeight))
        return std::nullopt;
    return image;
}

// Whether `data` bytes of LZW codes can make the frame and the screen Qt fills with it.
bool dataPaysFor(const FirstImage& image, qint64 data)
{
    return std::max(image.frameWidth * image.frameHeight, image.screenWidth * image.screenHeight) <=
           data * kLzwPixelsPerByte + kSmallGif;
}

} // namespace

bool gifSniff(const Bytes& b)
{
    const uchar* p = b.at(0, 6);
    return p && (std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0);
}

MaybeClaim gifClaim(const Bytes& b)
{
    // The image data's sub-blocks are the data walk's; all of the rest of the file at most.
    const std::optional<FirstImage> image = firstImage(b);
    if (!image || !b.has(image->data, 1) || !dataPaysFor(*image, b.size() - image->data))
        return std::nullopt;
    return Claim{"gif", image->screenWidth, image->screenHeight};
}

bool gifCheck(const Bytes& b)
{
    const std::optional<FirstImage> image = firstImage(b);
    if (!image)
        return false;
    qint64 pos = image->data;
    const qint64 data = skipImageData(b, pos);
    return data >= 0 && dataPaysFor(*image, data);
}

} // namespace zovex::picture
