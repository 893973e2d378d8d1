#include "load_picture.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zovex {

namespace {

constexpr qint64 kMiB = qint64(1) << 20;

// How far a format's data can shrink a picture at best: no honest file of that format holds
// the claimed picture in fewer bytes than these, so a file that does is lying or cut short.
//  - deflate (PNG) cannot exceed 1032 : 1; a little headroom for the zlib wrapper;
//  - LZW (GIF) codes are at least 3 bits and stand for at most 4096 pixels;
//  - every 8 x 8 block of a JPEG costs at least one bit in its first (or only) scan.
constexpr qint64 kDeflateMaxRatio = 1100;
constexpr qint64 kLzwPixelsPerByte = 4096 * 8 / 3;
// Pictures this small cost nothing whatever their data.
constexpr qint64 kSmallGif = 256 * 256;
// Passing over a JPEG's blocks once per progressive scan is the decoder's work. Standard scan
// scripts pass over a 16384 x 16384 picture's blocks about 30 to 60 million times in all; a
// file that asks for more than twice that is refused instead of freezing the window.
constexpr qint64 kJpegMaxBlockVisits = qint64(1) << 27;
// Real scan scripts stay far below this many scans, and real files below this many stray or
// fill bytes before a marker; walking more would cost time before anything is decoded.
constexpr qint64 kJpegMaxScans = 10000;
constexpr qint64 kJpegMaxStrayBytes = 64 * 1024;
// Encoders write IDAT chunks of 8 KiB or more: the largest picture needs fewer than a million.
constexpr qint64 kPngMaxChunks = qint64(1) << 20;
// A progressive JPEG keeps every coefficient while it decodes: 128 bytes a block. Bounded at
// what a 16384 x 16384 picture with three full-resolution components needs.
constexpr qint64 kJpegMaxCoefficientBytes = kLargestPictureBytes + kLargestPictureBytes / 2;

// Qt's allocation limit is a process-wide setting; it holds ours only while we read.
class AllocationLimit {
public:
    explicit AllocationLimit(qint64 bytes) : m_previous(QImageReader::allocationLimit())
    {
        QImageReader::setAllocationLimit(static_cast<int>((bytes + kMiB - 1) / kMiB));
    }
    ~AllocationLimit() { QImageReader::setAllocationLimit(m_previous); }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

private:
    int m_previous;
};

// A window [base, base + size) of the device, read at offsets. Every read that would pass the
// end fails, which is how a truncated file shows up in the parsers.
class Source {
public:
    Source(QIODevice& device, qint64 base, qint64 size) : m_device(device), m_base(base), m_size(size) {}
    qint64 size() const { return m_size; }
    bool read(qint64 offset, void* out, qint64 n) const
    {
        if (offset < 0 || n < 0 || offset > m_size || n > m_size - offset)
            return false;
        if (!m_device.seek(m_base + offset))
            return false;
        auto* p = static_cast<char*>(out);
        qint64 done = 0;
        while (done < n) {
            const qint64 got = m_device.read(p + done, n - done);
            if (got <= 0)
                return false;
            done += got;
        }
        return true;
    }
    QByteArray bytes(qint64 offset, qint64 n) const
    {
        n = std::clamp<qint64>(n, 0, std::max<qint64>(0, m_size - offset));
        QByteArray out(n, Qt::Uninitialized);
        if (!read(offset, out.data(), n))
            return {};
        return out;
    }
    Source window(qint64 offset, qint64 n) const { return {m_device, m_base + offset, n}; }

private:
    QIODevice& m_device;
    qint64 m_base;
    qint64 m_size;
};

quint32 le16(const uchar* p) { return p[0] | (p[1] << 8); }
quint32 le32(const uchar* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (quint32(p[3]) << 24); }
quint32 be16(const uchar* p) { return (p[0] << 8) | p[1]; }
quint32 be32(const uchar* p) { return (quint32(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

struct Claim {
    const char* format = nullptr;
    qint64 width = 0;
    qint64 height = 0;
};

using MaybeClaim = std::optional<Claim>;

bool plausibleSize(qint64 w, qint64 h)
{
    return w > 0 && h > 0 && w <= kLargestPicturePixels && h <= kLargestPicturePixels
        && w * h <= kLargestPicturePixels;
}

// ---- BMP -------------------------------------------------------------------------------

// Walks an RLE4/RLE8 stream: it must end with its end-of-bitmap mark (or fill the last row)
// before the file does, and cover every pixel. Qt leaves pixels the stream skips (with a
// delta or an early end of line) as they were in freshly allocated memory, so a stream that
// skips any is refused too.
bool rleCoversPicture(const Source& src, qint64 start, qint64 w, qint64 h, int bits)
{
    qint64 x = 0;
    qint64 y = 0;
    qint64 pos = start;
    std::array<uchar, 2> pair{};
    while (y < h) {
        if (!src.read(pos, pair.data(), 2))
            return false;
        pos += 2;
        if (pair[0] > 0) { // a run of one value
            x += pair[0];
        } else if (pair[1] == 0) { // end of line
            if (x != w)
                return false;
            x = 0;
            ++y;
        } else if (pair[1] == 1 || pair[1] == 2) { // end of bitmap, or a delta that skips
            return false;
        } else { // absolute run, padded to a 16-bit boundary
            const qint64 n = pair[1];
            const qint64 bytes = bits == 8 ? n : (n + 1) / 2;
            if (bytes > src.size() - pos)
                return false;
            pos += (bytes + 1) & ~qint64(1);
            x += n;
        }
        if (x > w)
            return false;
        // Once the last row is full, what follows (an end of line or of bitmap) adds nothing.
        if (x == w && y == h - 1)
            return true;
    }
    return true;
}

MaybeClaim bmpClaim(const Source& src)
{
    uchar h[14 + 40];
    if (!src.read(0, h, 14 + 4) || h[0] != 'B' || h[1] != 'M')
        return {};
    const qint64 offBits = le32(h + 10);
    const qint64 infoSize = le32(h + 14);
    qint64 w = 0;
    qint64 ht = 0;
    int bpp = 0;
    quint32 compression = 0;
    qint64 colours = 0;
    if (infoSize == 12) {
        if (!src.read(14, h + 14, 12))
            return {};
        w = le16(h + 18);
        ht = le16(h + 20);
        bpp = static_cast<int>(le16(h + 24));
    } else if (infoSize >= 40 && infoSize <= 1024) {
        if (!src.read(14, h + 14, 40))
            return {};
        w = static_cast<qint32>(le32(h + 18));
        ht = static_cast<qint32>(le32(h + 22));
        bpp = static_cast<int>(le16(h + 28));
        compression = le32(h + 30);
        colours = le32(h + 46);
    } else {
        return {};
    }
    ht = ht < 0 ? -ht : ht;
    if (!plausibleSize(w, ht))
        return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return {};
    const qint64 headerEnd = 14 + infoSize;
    const qint64 paletteEntries = bpp <= 8 ? (colours > 0 ? colours : qint64(1) << bpp) : 0;
    if (paletteEntries > 256)
        return {};
    // Every writer states where the pixels start (never inside the header).
    const qint64 dataStart = offBits;
    if (dataStart < headerEnd || dataStart > src.size())
        return {};
    switch (compression) {
    case 0: // plain rows
    case 3: { // plain rows with bit-field masks
        const qint64 rowBytes = ((w * bpp + 31) / 32) * 4;
        if (rowBytes * ht > src.size() - dataStart)
            return {};
        break;
    }
    case 1: // RLE8
    case 2: // RLE4
        if (bpp != (compression == 1 ? 8 : 4) || !rleCoversPicture(src, dataStart, w, ht, bpp))
            return {};
        break;
    default:
        return {};
    }
    return Claim{"bmp", w, ht};
}

// ---- PNG -------------------------------------------------------------------------------

constexpr uchar kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

MaybeClaim pngClaim(const Source& src)
{
    uchar sig[8 + 8 + 13];
    if (!src.read(0, sig, sizeof sig) || std::memcmp(sig, kPngSignature, 8) != 0)
        return {};
    if (be32(sig + 8) != 13 || std::memcmp(sig + 12, "IHDR", 4) != 0)
        return {};
    const uchar* ihdr = sig + 16;
    const qint64 w = be32(ihdr);
    const qint64 h = be32(ihdr + 4);
    const int depth = ihdr[8];
    const int type = ihdr[9];
    int channels = 0;
    switch (type) {
    case 0: channels = 1; break;
    case 2: channels = 3; break;
    case 3: channels = 1; break;
    case 4: channels = 2; break;
    case 6: channels = 4; break;
    default: return {};
    }
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16)
        return {};
    if (!plausibleSize(w, h))
        return {};
    // Every chunk must lie inside the file, up to IEND: a file cut short is refused here.
    qint64 pos = 8;
    qint64 idat = 0;
    for (qint64 chunks = 0;; ++chunks) {
        if (chunks > kPngMaxChunks)
            return {};
        uchar head[8];
        if (!src.read(pos, head, 8))
            return {};
        const qint64 len = be32(head);
        if (len > 0x7fffffff || len + 4 > src.size() - pos - 8)
            return {};
        if (std::memcmp(head + 4, "IDAT", 4) == 0)
            idat += len;
        if (std::memcmp(head + 4, "IEND", 4) == 0)
            break;
        pos += 12 + len;
    }
    const qint64 raw = h * (1 + (w * channels * depth + 7) / 8);
    if (idat == 0 || idat * kDeflateMaxRatio < raw)
        return {};
    return Claim{"png", w, h};
}

// ---- JPEG ------------------------------------------------------------------------------

struct JpegComponent {
    int id = 0;
    int h = 1;
    int v = 1;
};

MaybeClaim jpegClaim(const Source& src)
{
    uchar b[4];
    if (!src.read(0, b, 3) || b[0] != 0xff || b[1] != 0xd8 || b[2] != 0xff)
        return {};
    qint64 width = 0;
    qint64 height = 0;
    bool progressive = false;
    std::array<JpegComponent, 4> comps{};
    int compCount = 0;
    int hMax = 1;
    int vMax = 1;
    qint64 scans = 0;
    qint64 visits = 0;
    qint64 entropyBytes = 0;
    auto blocksOf = [&](const JpegComponent& c) {
        const qint64 cw = (width * c.h + hMax - 1) / hMax;
        const qint64 ch = (height * c.v + vMax - 1) / vMax;
        return ((cw + 7) / 8) * ((ch + 7) / 8);
    };

    qint64 pos = 2;
    constexpr qint64 kChunk = 64 * 1024;
    QByteArray chunk;
    for (;;) {
        // The next marker: 0xff, any fill bytes, then its code. Stray bytes before it are
        // skipped, as the decoder does.
        const qint64 markerSearch = pos;
        do {
            if (!src.read(pos, b, 1) || pos - markerSearch > kJpegMaxStrayBytes)
                return {};
        } while (b[0] != 0xff && ++pos);
        uchar code = 0xff;
        while (code == 0xff) {
            ++pos;
            if (!src.read(pos, &code, 1) || pos - markerSearch > kJpegMaxStrayBytes)
                return {};
        }
        ++pos;
        if (code == 0xd9) // end of image
            break;
        if (code == 0x01 || (code >= 0xd0 && code <= 0xd7))
            continue; // markers without a segment
        if (code == 0xd8 || code == 0x00)
            return {};
        if (!src.read(pos, b, 2))
            return {};
        const qint64 len = be16(b);
        if (len < 2 || len > src.size() - pos)
            return {};
        const QByteArray seg = src.bytes(pos + 2, len - 2);
        if (seg.size() != len - 2)
            return {};
        const auto* s = reinterpret_cast<const uchar*>(seg.constData());
        pos += len;

        const bool sof = code >= 0xc0 && code <= 0xcf && code != 0xc4 && code != 0xc8 && code != 0xcc;
        if (sof) {
            // Baseline, extended, progressive; Huffman or arithmetic. Lossless and
            // hierarchical files are not decoded by Qt's reader.
            if (code != 0xc0 && code != 0xc1 && code != 0xc2 && code != 0xc9 && code != 0xca)
                return {};
            if (width != 0 || seg.size() < 6)
                return {};
            height = be16(s + 1);
            width = be16(s + 3);
            compCount = s[5];
            if (compCount < 1 || compCount > 4 || seg.size() < 6 + 3 * compCount)
                return {};
            for (int i = 0; i < compCount; ++i) {
                comps[i].id = s[6 + 3 * i];
                comps[i].h = s[7 + 3 * i] >> 4;
                comps[i].v = s[7 + 3 * i] & 15;
                if (comps[i].h < 1 || comps[i].h > 4 || comps[i].v < 1 || comps[i].v > 4)
                    return {};
                hMax = std::max(hMax, comps[i].h);
                vMax = std::max(vMax, comps[i].v);
            }
            // A height of 0 is given later in a DNL segment: the size is not known up front.
            if (!plausibleSize(width, height))
                return {};
            progressive = code == 0xc2 || code == 0xca;
            if (progressive) {
                qint64 coefficientBytes = 0;
                for (int i = 0; i < compCount; ++i)
                    coefficientBytes += blocksOf(comps[i]) * 128;
                if (coefficientBytes > kJpegMaxCoefficientBytes)
                    return {};
            }
            continue;
        }
        if (code != 0xda) // tables, comments, application data
            continue;

        // A scan: its header, then entropy-coded data up to the next marker.
        if (width == 0 || seg.isEmpty())
            return {};
        const int n = s[0];
        if (n < 1 || n > 4 || seg.size() < 1 + 2 * n)
            return {};
        for (int i = 0; i < n; ++i) {
            const auto c = std::find_if(comps.begin(), comps.begin() + compCount,
                                        [&](const JpegComponent& k) { return k.id == s[1 + 2 * i]; });
            if (c == comps.begin() + compCount)
                return {};
            visits += blocksOf(*c);
        }
        if (++scans > kJpegMaxScans)
            return {};
        if (visits > kJpegMaxBlockVisits)
            return {};
        const qint64 dataStart = pos;
        for (;;) {
            chunk = src.bytes(pos, kChunk);
            if (chunk.size() < 2)
                return {}; // the data runs into the end of the file
            const char* p = chunk.constData();
            const qsizetype m = chunk.size();
            qsizetype i = 0;
            bool found = false;
            while (i + 1 < m) {
                const void* ff = std::memchr(p + i, 0xff, static_cast<size_t>(m - 1 - i));
                if (!ff)
                    break;
                i = static_cast<const char*>(ff) - p;
                const auto next = static_cast<uchar>(p[i + 1]);
                if (next == 0x00 || (next >= 0xd0 && next <= 0xd7)) {
                    i += 2;
                    continue;
                }
                if (next == 0xff) { // fill byte before a marker
                    ++i;
                    continue;
                }
                found = true;
                break;
            }
            if (found) {
                pos += i;
                break;
            }
            // Step on, keeping a last 0xff that may start a marker.
            pos += std::max<qsizetype>(1, (p[m - 1] == '\xff') ? m - 1 : m);
        }
        entropyBytes += pos - dataStart;
    }
    if (width == 0 || scans == 0)
        return {};
    qint64 blocks = 0;
    for (int i = 0; i < compCount; ++i)
        blocks += blocksOf(comps[i]);
    if (entropyBytes * 8 < blocks)
        return {};
    return Claim{"jpeg", width, height};
}

// ---- GIF -------------------------------------------------------------------------------

// Skips a chain of data sub-blocks; their byte count, or nullopt when the file ends first.
std::optional<qint64> gifSubBlocks(const Source& src, qint64& pos)
{
    qint64 total = 0;
    for (;;) {
        uchar n = 0;
        if (!src.read(pos, &n, 1))
            return {};
        ++pos;
        if (n == 0)
            return total;
        if (n > src.size() - pos)
            return {};
        pos += n;
        total += n;
    }
}

MaybeClaim gifClaim(const Source& src)
{
    uchar h[13];
    if (!src.read(0, h, 13) || (std::memcmp(h, "GIF87a", 6) != 0 && std::memcmp(h, "GIF89a", 6) != 0))
        return {};
    qint64 sw = le16(h + 6);
    qint64 sh = le16(h + 8);
    qint64 pos = 13;
    if (h[10] & 0x80)
        pos += 3 * (qint64(2) << (h[10] & 7));
    for (;;) {
        uchar kind = 0;
        if (!src.read(pos, &kind, 1))
            return {};
        ++pos;
        if (kind == 0x21) { // extension: label, then sub-blocks
            ++pos;
            if (!gifSubBlocks(src, pos))
                return {};
            continue;
        }
        if (kind != 0x2c) // a trailer before any image, or garbage
            return {};
        uchar d[9];
        if (!src.read(pos, d, 9))
            return {};
        pos += 9;
        const qint64 left = le16(d);
        const qint64 top = le16(d + 2);
        const qint64 fw = le16(d + 4);
        const qint64 fh = le16(d + 6);
        if (d[8] & 0x80)
            pos += 3 * (qint64(2) << (d[8] & 7));
        ++pos; // LZW minimum code size
        const std::optional<qint64> data = gifSubBlocks(src, pos);
        if (!data)
            return {};
        sw = std::max(sw, left + fw);
        sh = std::max(sh, top + fh);
        // Qt makes the whole logical screen: it must be paid for by data too.
        if (!plausibleSize(sw, sh) || std::max(fw * fh, sw * sh) > *data * kLzwPixelsPerByte + kSmallGif)
            return {};
        return Claim{"gif", sw, sh};
    }
}

// ---- ICO / CUR -------------------------------------------------------------------------

MaybeClaim icoClaim(const Source& src)
{
    uchar h[6 + 16];
    if (!src.read(0, h, sizeof h) || le16(h) != 0 || (le16(h + 2) != 1 && le16(h + 2) != 2) || le16(h + 4) == 0)
        return {};
    // Qt reads the first icon of the file.
    const qint64 bytes = le32(h + 6 + 8);
    const qint64 offset = le32(h + 6 + 12);
    if (offset > src.size() || bytes > src.size() - offset)
        return {};
    const Source icon = src.window(offset, bytes);
    uchar info[40];
    if (!icon.read(0, info, 8))
        return {};
    if (std::memcmp(info, kPngSignature, 8) == 0) {
        MaybeClaim png = pngClaim(icon);
        if (png)
            png->format = "ico";
        return png;
    }
    if (!icon.read(0, info, 40) || le32(info) != 40)
        return {};
    const qint64 w = static_cast<qint32>(le32(info + 4));
    const qint64 h2 = static_cast<qint32>(le32(info + 8));
    const int bpp = static_cast<int>(le16(info + 14));
    const qint64 colours = le32(info + 32);
    if (h2 <= 0 || h2 % 2 != 0 || !plausibleSize(w, h2 / 2))
        return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return {};
    const qint64 ht = h2 / 2;
    const qint64 palette = bpp <= 8 ? (colours > 0 && colours <= 256 ? colours : qint64(1) << bpp) * 4 : 0;
    const qint64 xorRow = ((w * bpp + 31) / 32) * 4;
    // 32-bit icons carry their transparency in the alpha channel; many omit the mask.
    const qint64 andRow = bpp == 32 ? 0 : ((w + 31) / 32) * 4;
    if (40 + palette + (xorRow + andRow) * ht > bytes)
        return {};
    return Claim{"ico", w, ht};
}

// ---- Text headers: PBM/PGM/PPM, XBM, XPM -------------------------------------------------

// The header's first bytes, enough for every text header we read.
constexpr qint64 kTextHeader = 4096;

// The decimal number at text[i] (advancing i past it), or -1 when there is none or it has
// ten digits or more.
qint64 readDecimal(const QByteArray& text, qsizetype& i)
{
    qint64 v = 0;
    int digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 10) {
        v = v * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    return digits == 0 || digits == 10 ? -1 : v;
}

MaybeClaim pnmClaim(const Source& src)
{
    const QByteArray head = src.bytes(0, kTextHeader);
    if (head.size() < 3 || head[0] != 'P' || head[1] < '1' || head[1] > '6')
        return {};
    const int kind = head[1] - '0';
    const int fields = (kind == 1 || kind == 4) ? 2 : 3;
    qint64 value[3] = {};
    qsizetype i = 2;
    for (int f = 0; f < fields; ++f) {
        for (;;) { // blanks and comments
            while (i < head.size() && std::strchr(" \t\r\n\v\f", head[i]) && head[i] != '\0')
                ++i;
            if (i < head.size() && head[i] == '#') {
                while (i < head.size() && head[i] != '\n' && head[i] != '\r')
                    ++i;
                continue;
            }
            break;
        }
        value[f] = readDecimal(head, i);
        if (value[f] < 0)
            return {};
    }
    const qint64 w = value[0];
    const qint64 h = value[1];
    const qint64 maxval = fields == 3 ? value[2] : 1;
    if (!plausibleSize(w, h) || maxval < 1 || maxval > 65535)
        return {};
    const qint64 sampleBytes = maxval > 255 ? 2 : 1;
    qint64 least = 0;
    switch (kind) {
    case 1: least = w * h; break;          // one character a pixel at least
    case 2: least = 2 * w * h; break;      // a digit and a blank a sample
    case 3: least = 6 * w * h; break;
    case 4: least = (w + 7) / 8 * h; break;
    case 5: least = w * h * sampleBytes; break;
    case 6: least = 3 * w * h * sampleBytes; break;
    }
    if (least > src.size() - i)
        return {};
    static const char* const formats[] = {"pbm", "pgm", "ppm", "pbm", "pgm", "ppm"};
    return Claim{formats[kind - 1], w, h};
}

// The number after the first occurrence of `key` in `text`, or -1.
qint64 numberAfter(const QByteArray& text, const char* key, qsizetype from = 0)
{
    qsizetype i = text.indexOf(key, from);
    if (i < 0)
        return -1;
    i += static_cast<qsizetype>(std::strlen(key));
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    return readDecimal(text, i);
}

MaybeClaim xbmClaim(const Source& src)
{
    const QByteArray head = src.bytes(0, kTextHeader);
    // (Editors put a comment before the first #define.)
    const QByteArray start = head.trimmed();
    if ((!start.startsWith("#define") && !start.startsWith("/*")) || !head.contains("#define"))
        return {};
    const qint64 w = numberAfter(head, "_width");
    const qint64 h = numberAfter(head, "_height");
    if (!plausibleSize(w, h))
        return {};
    // Every byte of the bitmap is written as "0x" and at least one hex digit.
    const qint64 needed = (w + 7) / 8 * h;
    if (needed * 3 > src.size())
        return {};
    // Qt's reader keeps what it has when the file ends early; a short file is refused here.
    qint64 found = 0;
    for (qint64 pos = 0; pos < src.size() && found < needed;) {
        const QByteArray chunk = src.bytes(pos, 64 * 1024);
        if (chunk.size() < 2)
            break;
        for (qsizetype i = chunk.indexOf("0x"); i >= 0 && found < needed; i = chunk.indexOf("0x", i + 2))
            ++found;
        pos += chunk.size() - 1; // a "0x" across the seam is found in the next chunk
        if (chunk.endsWith("0x"))
            --found;
    }
    if (found < needed)
        return {};
    return Claim{"xbm", w, h};
}

MaybeClaim xpmClaim(const Source& src)
{
    const QByteArray head = src.bytes(0, kTextHeader);
    if (!head.startsWith("/* XPM */"))
        return {};
    const qsizetype brace = head.indexOf('{');
    const qsizetype quote = brace < 0 ? -1 : head.indexOf('"', brace);
    if (quote < 0)
        return {};
    const QList<QByteArray> values = head.mid(quote + 1, head.indexOf('"', quote + 1) - quote - 1)
                                         .simplified()
                                         .split(' ');
    if (values.size() < 4)
        return {};
    bool ok[4] = {};
    const qint64 w = values[0].toLongLong(&ok[0]);
    const qint64 h = values[1].toLongLong(&ok[1]);
    const qint64 colours = values[2].toLongLong(&ok[2]);
    const qint64 cpp = values[3].toLongLong(&ok[3]);
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || !plausibleSize(w, h) || colours < 1 || cpp < 1 || cpp > 15)
        return {};
    // Each colour needs its characters and a colour; each pixel its characters.
    if (colours > src.size() / (cpp + 4) || w * h > (src.size() - colours * (cpp + 4)) / cpp)
        return {};
    return Claim{"xpm", w, h};
}

MaybeClaim claimOf(const Source& src)
{
    for (MaybeClaim (*parse)(const Source&) :
         {bmpClaim, pngClaim, jpegClaim, gifClaim, icoClaim, pnmClaim, xbmClaim, xpmClaim}) {
        if (MaybeClaim c = parse(src))
            return c;
    }
    return {};
}

} // namespace

PictureClaim examinePicture(QIODevice& device)
{
    if (!device.isOpen() || device.isSequential())
        return {};
    const MaybeClaim c = claimOf(Source(device, 0, device.size()));
    if (!c)
        return {};
    return {QByteArray(c->format), c->width, c->height};
}

QImage readPicture(QIODevice& device, qint64 largestBytes)
{
    const PictureClaim claim = examinePicture(device);
    if (claim.format.isEmpty() || claim.width * claim.height * 4 > largestBytes)
        return {};
    if (!device.seek(0))
        return {};
    QImageReader reader(&device, claim.format);
    // The format was recognised above: no other reader gets a chance at the bytes.
    reader.setAutoDetectImageFormat(false);
    const AllocationLimit limit(largestBytes);
    QImage image = reader.read();
    // A decoder that finds less than its header promised says so only by the size it gives.
    if (image.isNull() || image.width() > claim.width || image.height() > claim.height)
        return {};
    return image;
}

QImage LoadPicture(const QString& path, qint64 largestBytes)
{
    if (path.isEmpty())
        return {};
    // Without O_NONBLOCK a named pipe would hold the window until someone writes to it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return readPicture(file, largestBytes);
}

} // namespace zovex
