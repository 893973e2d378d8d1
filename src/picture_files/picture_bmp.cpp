// Header rules of Windows bitmaps (BMP), and of the bitmaps inside ICO and CUR files.
#include "picture_bitmap.h"

namespace zovex::picture {

namespace {

bool knownDepth(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

// How far a run may pass its row's end: writers that code rows over their width padded to 4
// bytes do, and the decoder puts those pixels in its own row's padding. A run that passes it
// would overwrite pixels of the next row, so it is refused.
qint64 paddedWidth(qint64 w) { return (w + 3) / 4 * 4; }

enum class Step { Go, Covered, Refused };

// One escape code (a zero count) of an RLE stream. x and y are where the next pixel goes.
Step rleEscape(const Bytes& b, qint64& pos, uchar code, qint64& x, qint64& y, qint64 w, qint64 h, int bits)
{
    switch (code) {
    case 0: // end of line: a row left short keeps whatever memory held
        if (x < w)
            return Step::Refused;
        x = 0;
        ++y;
        return Step::Go;
    case 1: // end of bitmap: only once every pixel is coded
        return y == h - 1 && x >= w ? Step::Covered : Step::Refused;
    case 2: // a delta skips pixels
        return Step::Refused;
    default: { // absolute run, padded to a 16-bit boundary
        const qint64 bytes = bits == 8 ? code : (code + 1) / 2;
        // Past its row's end the decoder would read such a run out of step.
        if (!b.has(pos, bytes) || x + code > w)
            return Step::Refused;
        pos += (bytes + 1) & ~qint64(1);
        x += code;
        return Step::Go;
    }
    }
}

} // namespace

std::optional<DibHeader> readDibHeader(const Bytes& b, qint64 at)
{
    const uchar* p = b.at(at, 4);
    if (!p)
        return std::nullopt;
    DibHeader d;
    d.infoSize = le32(p);
    qint64 colours = 0;
    if (d.infoSize == 12) { // OS/2 1.x
        if (!(p = b.at(at, 12)))
            return std::nullopt;
        d.width = le16(p + 4);
        d.height = le16(p + 6);
        d.bpp = int(le16(p + 10));
    } else if (d.infoSize >= 40 && d.infoSize <= 1024) {
        if (!(p = b.at(at, 40)))
            return std::nullopt;
        d.width = qint32(le32(p + 4));
        d.height = qint32(le32(p + 8));
        d.bpp = int(le16(p + 14));
        d.compression = le32(p + 16);
        colours = le32(p + 32);
    } else {
        return std::nullopt;
    }
    if (!knownDepth(d.bpp))
        return std::nullopt;
    d.paletteEntries = d.bpp <= 8 ? (colours > 0 ? colours : qint64(1) << d.bpp) : 0;
    if (d.paletteEntries > 256)
        return std::nullopt;
    return d;
}

// Walks an RLE4/RLE8 stream as the decoder reads it: every row must be coded to its end
// (a run may go on into the row's padding: those pixels are dropped) and the stream must end,
// or the file, once the last row is. A run in a row after the last is refused; so is a stream that skips pixels
// (with a delta or an early end of line or of bitmap), because the decoder leaves them as
// they were in freshly allocated memory.
bool rleCoversPicture(const Bytes& b, qint64 at, qint64 w, qint64 h, int bits)
{
    qint64 x = 0;
    qint64 y = 0;
    qint64 pos = at;
    // The stream is read a large block at a time: it may be made of a thousand million pairs.
    QByteArrayView block;
    qint64 blockStart = 0;
    for (;;) {
        if (pos < blockStart || pos + 2 > blockStart + block.size()) {
            block = b.view(pos, Bytes::kLargestRead);
            blockStart = pos;
            if (block.size() < 2)
                return y == h || (y == h - 1 && x >= w); // the file ends once every pixel is coded
        }
        const auto* pair = reinterpret_cast<const uchar*>(block.data()) + (pos - blockStart);
        const uchar count = pair[0];
        const uchar code = pair[1];
        pos += 2;
        if (y == h) // past the last row only an end of bitmap may follow
            return count == 0 && (code == 0 || code == 1);
        if (count > 0) { // a run of one value
            x += count;
            if (x > paddedWidth(w))
                return false;
            continue;
        }
        switch (rleEscape(b, pos, code, x, y, w, h, bits)) {
        case Step::Go:
            break;
        case Step::Covered:
            return true;
        case Step::Refused:
            return false;
        }
    }
}

namespace {

// The fewest bytes of a run-length stream that codes every pixel: a run covers at most 255
// pixels in two bytes, and each row but the last ends with a two-byte end of line.
qint64 leastRleBytes(qint64 w, qint64 h) { return h * 2 * ((w + 254) / 255) + 2 * (h - 1); }

struct BmpHead {
    qint64 dataStart = 0;
    DibHeader dib;
    qint64 width = 0;
    qint64 height = 0;
};

std::optional<BmpHead> readBmpHead(const Bytes& b)
{
    const uchar* p = b.at(0, 14);
    if (!p)
        return std::nullopt;
    BmpHead head;
    // Every writer states where the pixels start (never inside the header).
    head.dataStart = le32(p + 10);
    const std::optional<DibHeader> dib = readDibHeader(b, 14);
    if (!dib)
        return std::nullopt;
    head.dib = *dib;
    head.width = dib->width;
    head.height = dib->height < 0 ? -dib->height : dib->height;
    if (!plausibleSize(head.width, head.height) || head.dataStart < 14 + dib->infoSize || head.dataStart > b.size())
        return std::nullopt;
    return head;
}

bool runLength(const DibHeader& dib) { return dib.compression == 1 || dib.compression == 2; }

} // namespace

bool bmpSniff(const Bytes& b)
{
    const uchar* p = b.at(0, 2);
    return p && p[0] == 'B' && p[1] == 'M';
}

MaybeClaim bmpClaim(const Bytes& b)
{
    const std::optional<BmpHead> head = readBmpHead(b);
    if (!head)
        return std::nullopt;
    const DibHeader& dib = head->dib;
    const qint64 w = head->width;
    const qint64 h = head->height;
    const qint64 data = b.size() - head->dataStart;
    switch (dib.compression) {
    case 0: // plain rows
    case 3: // plain rows with bit-field masks
        if (dibRowBytes(w, dib.bpp) * h > data)
            return std::nullopt;
        break;
    case 1: // RLE8
    case 2: // RLE4
        // Whether the runs code every pixel is the data walk's question.
        if (dib.bpp != (dib.compression == 1 ? 8 : 4) || leastRleBytes(w, h) > data)
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }
    return Claim{"bmp", w, h};
}

bool bmpCheck(const Bytes& b)
{
    const std::optional<BmpHead> head = readBmpHead(b);
    if (!head)
        return false;
    return !runLength(head->dib) || rleCoversPicture(b, head->dataStart, head->width, head->height, head->dib.bpp);
}

} // namespace zovex::picture
