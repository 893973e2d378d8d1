// Header rules of PNG files.
#include "picture_rules.h"

#include <cstring>

namespace zovex::picture {

namespace {

constexpr uchar kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// Deflate cannot exceed 1032 : 1; a little headroom for the zlib wrapper. No honest file holds
// the claimed picture in fewer bytes.
constexpr qint64 kDeflateMaxRatio = 1100;

// Encoders write image data in chunks of 8 KiB or more; a few small ones at most. Beyond this
// many chunks for each 256 bytes of data the file is made of empty chunks.
constexpr qint64 kFreeDataChunks = 4096;
constexpr qint64 kDataBytesPerChunk = 256;

int channelsOf(int colourType)
{
    switch (colourType) {
    case 0:
        return 1; // grey
    case 2:
        return 3; // RGB
    case 3:
        return 1; // palette
    case 4:
        return 2; // grey and alpha
    case 6:
        return 4; // RGBA
    default:
        return 0;
    }
}

enum class Read { Headers, Whole };

// Walks the chunks, each of which must lie inside the file: up to the first image data chunk
// (IDAT), where its offset is given, or up to IEND, where the bytes of image data in all are.
// -1 for a file cut short, without image data or made of more chunks than pictures have.
qint64 walkChunks(const Bytes& b, Read read)
{
    Budget budget;
    qint64 idat = 0;
    qint64 idatChunks = 0;
    for (qint64 pos = 8;;) {
        const uchar* head = b.at(pos, 8);
        if (!head)
            return -1;
        const qint64 len = be32(head);
        if (len > 0x7fffffff || !b.has(pos + 8, len + 4))
            return -1;
        if (std::memcmp(head + 4, "IEND", 4) == 0)
            return idat > 0 ? idat : -1;
        if (std::memcmp(head + 4, "IDAT", 4) == 0) {
            if (read == Read::Headers)
                return pos;
            idat += len;
            if (++idatChunks > kFreeDataChunks + idat / kDataBytesPerChunk)
                return -1;
        } else if (!budget.spend(8)) {
            return -1;
        }
        pos += 12 + len;
    }
}

struct PngHeader {
    qint64 width = 0;
    qint64 height = 0;
    qint64 rawBytes = 0; // of the filtered rows, before compression
};

std::optional<PngHeader> readHeader(const Bytes& b)
{
    const uchar* p = b.at(8, 8 + 13);
    if (!p || be32(p) != 13 || std::memcmp(p + 4, "IHDR", 4) != 0)
        return std::nullopt;
    const uchar* ihdr = p + 8;
    const qint64 w = be32(ihdr);
    const qint64 h = be32(ihdr + 4);
    const int depth = ihdr[8];
    const int channels = channelsOf(ihdr[9]);
    if (channels == 0 || (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16))
        return std::nullopt;
    if (!plausibleSize(w, h))
        return std::nullopt;
    return PngHeader{w, h, h * (1 + (w * channels * depth + 7) / 8)};
}

} // namespace

bool pngSniff(const Bytes& b)
{
    const uchar* p = b.at(0, 8);
    return p && std::memcmp(p, kPngSignature, 8) == 0;
}

MaybeClaim pngClaim(const Bytes& b)
{
    const std::optional<PngHeader> header = readHeader(b);
    if (!header)
        return std::nullopt;
    // The image data lies between the first IDAT and the end of the file at most.
    const qint64 firstData = walkChunks(b, Read::Headers);
    if (firstData < 0 || (b.size() - firstData) * kDeflateMaxRatio < header->rawBytes)
        return std::nullopt;
    return Claim{"png", header->width, header->height};
}

bool pngCheck(const Bytes& b)
{
    const std::optional<PngHeader> header = readHeader(b);
    const qint64 idat = header ? walkChunks(b, Read::Whole) : -1;
    return idat > 0 && idat * kDeflateMaxRatio >= header->rawBytes;
}

} // namespace zovex::picture
