#include "png_encoder.h"

#include <QIODevice>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zovex {

namespace {

// Up-filtered rows turn the large solid areas of a pattern into long runs of zeros, which
// run-length matching at the fastest level finds at a fraction of the cost of a full search;
// in practice the files come out smaller than the default writer's as well.
//
// The file is the one the standard PNG library writes with these settings, byte for byte (its
// test holds the two together): the same zlib stream (one deflate call per filtered row, the
// window made smaller for a small picture and the stream header saying so), cut into IDAT
// chunks of 8192 bytes and a last one with the rest. Doing it here leaves out that library's
// row copies and its filter search, and needs no pass over the picture to collect the palette
// first: the palette is complete when the last row has been compressed, and the header that
// names it is put in front of the compressed rows only then.
constexpr int kCompressionLevel = 1;
constexpr int kStrategy = Z_RLE;
constexpr int kMemLevel = 8;
constexpr int kWindowBits = 15;
constexpr std::size_t kIdatBytes = 8192;
constexpr std::uint8_t kFilterNone = 0, kFilterUp = 2;

// The distinct colours of a picture, in the order they first appear, up to 256.
class Palette {
public:
    // Index of `rgb`, adding it when new; -1 once a 257th colour would be needed.
    int indexOf(std::uint32_t rgb)
    {
        std::uint32_t h = (rgb * 2654435761u) >> (32 - kBits);
        while (true) {
            if (m_keys[h] == rgb)
                return m_values[h];
            if (m_keys[h] == kEmpty) {
                if (m_colours.size() == 256)
                    return -1;
                m_keys[h] = rgb;
                m_values[h] = static_cast<std::uint8_t>(m_colours.size());
                m_colours.push_back(rgb);
                return m_values[h];
            }
            h = (h + 1) & (kSlots - 1);
        }
    }
    const std::vector<std::uint32_t>& colours() const { return m_colours; }

private:
    static constexpr int kBits = 10;
    static constexpr std::uint32_t kSlots = 1u << kBits;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu; // never a 24-bit colour
    std::array<std::uint32_t, kSlots> m_keys = [] {
        std::array<std::uint32_t, kSlots> k{};
        k.fill(kEmpty);
        return k;
    }();
    std::array<std::uint8_t, kSlots> m_values{};
    std::vector<std::uint32_t> m_colours;
};

// Whether the eight pixels from `a` on have the colours of the eight from `b` on (alpha ignored):
// the compiler makes this a few vector instructions.
inline bool sameEight(const std::uint32_t* a, const std::uint32_t* b)
{
    std::uint32_t diff = 0;
    for (int k = 0; k < 8; ++k)
        diff |= (a[k] ^ b[k]) & 0xFFFFFFu;
    return diff == 0;
}

// Maps one row to palette indices; false when the row holds a colour the palette lacks room for.
// Most of a pattern repeats the row above it, so eight pixels that do take the indices above
// them; the others are looked up when their colour differs from the pixel before. New colours are
// still met in reading order (the row above holds only known ones), so the palette's order is
// that of the colours' first appearance. `above` and `aboveIndices` are null for the first row.
bool indexRow(const std::uint32_t* row, const std::uint32_t* above, const std::uint8_t* aboveIndices, int width,
              Palette& palette, std::uint8_t* out)
{
    std::uint32_t last = 0xFFFFFFFFu; // never a 24-bit colour
    int lastIndex = 0;
    for (int x = 0; x < width; x += 8) {
        const int n = std::min(8, width - x);
        if (above && n == 8 && sameEight(row + x, above + x)) {
            std::memcpy(out + x, aboveIndices + x, 8);
            continue;
        }
        for (int i = x; i < x + n; ++i) {
            const std::uint32_t rgb = row[i] & 0xFFFFFFu;
            if (rgb != last) {
                lastIndex = palette.indexOf(rgb);
                if (lastIndex < 0)
                    return false;
                last = rgb;
            }
            out[i] = static_cast<std::uint8_t>(lastIndex);
        }
    }
    return true;
}

void rgbRow(const std::uint32_t* row, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x) {
        out[3 * x] = static_cast<std::uint8_t>(row[x] >> 16);
        out[3 * x + 1] = static_cast<std::uint8_t>(row[x] >> 8);
        out[3 * x + 2] = static_cast<std::uint8_t>(row[x]);
    }
}

const std::uint32_t* rowOf(const QImage& image, int y)
{
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
}

void putUint32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void putChunk(std::vector<std::uint8_t>& out, const char type[4], const std::uint8_t* data, std::size_t n)
{
    putUint32(out, static_cast<std::uint32_t>(n));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (n > 0)
        out.insert(out.end(), data, data + n);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32_z(crc, out.data() + start, n + 4);
    putUint32(out, static_cast<std::uint32_t>(crc));
}

// The bytes of the image data before compression: a filter byte and the row, for every row.
std::uint64_t filteredSize(int width, int height, int channels)
{
    return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(channels) + 1) *
           static_cast<std::uint64_t>(height);
}

// A window no larger than a small picture needs, as the standard writer chooses it.
int windowBitsFor(std::uint64_t dataSize)
{
    int bits = kWindowBits;
    if (dataSize <= 16384) {
        unsigned half = 1u << (bits - 1);
        while (dataSize + 262 <= half) {
            half >>= 1;
            --bits;
        }
    }
    return bits;
}

// For a small picture, the stream header states the smallest window that holds all of it.
void tightenStreamHeader(std::uint8_t* data, std::uint64_t dataSize)
{
    if (dataSize > 16384)
        return;
    unsigned cmf = data[0];
    if ((cmf & 0x0f) != 8 || (cmf & 0xf0) > 0x70)
        return;
    unsigned cinfo = cmf >> 4;
    unsigned half = 1u << (cinfo + 7);
    if (dataSize > half)
        return;
    do {
        half >>= 1;
        --cinfo;
    } while (cinfo > 0 && dataSize <= half);
    cmf = (cmf & 0x0f) | (cinfo << 4);
    data[0] = static_cast<std::uint8_t>(cmf);
    unsigned flg = data[1] & 0xe0;
    flg += 0x1f - ((cmf << 8) + flg) % 0x1f;
    data[1] = static_cast<std::uint8_t>(flg);
}

// The zlib stream of the filtered rows, grown as the rows are compressed.
class RowCompressor {
public:
    RowCompressor() = default;
    ~RowCompressor()
    {
        if (m_open)
            deflateEnd(&m_z);
    }
    RowCompressor(const RowCompressor&) = delete;
    RowCompressor& operator=(const RowCompressor&) = delete;

    bool start(int windowBits)
    {
        if (m_open)
            deflateEnd(&m_z);
        m_z = z_stream{};
        m_out.clear();
        m_used = 0;
        m_open = deflateInit2(&m_z, kCompressionLevel, Z_DEFLATED, windowBits, kMemLevel, kStrategy) == Z_OK;
        return m_open;
    }
    bool add(const std::uint8_t* data, std::size_t n) { return run(data, n, Z_NO_FLUSH); }
    bool finish() { return run(nullptr, 0, Z_FINISH); }
    std::vector<std::uint8_t>& stream() { return m_out; }

private:
    bool run(const std::uint8_t* data, std::size_t n, int flush)
    {
        m_z.next_in = const_cast<Bytef*>(data);
        m_z.avail_in = static_cast<uInt>(n);
        while (true) {
            if (m_out.size() - m_used < 4096)
                m_out.resize(std::max<std::size_t>(m_out.size() * 2, 64 * 1024));
            m_z.next_out = m_out.data() + m_used;
            m_z.avail_out = static_cast<uInt>(std::min<std::size_t>(m_out.size() - m_used, 1u << 30));
            const uInt before = m_z.avail_out;
            const int ret = deflate(&m_z, flush);
            m_used += before - m_z.avail_out;
            if (ret == Z_STREAM_END) {
                m_out.resize(m_used);
                return true;
            }
            if (ret != Z_OK && ret != Z_BUF_ERROR)
                return false;
            if (flush == Z_NO_FLUSH && m_z.avail_in == 0)
                return true;
        }
    }

    z_stream m_z{};
    bool m_open = false;
    std::vector<std::uint8_t> m_out;
    std::size_t m_used = 0;
};

// Compresses every row of `image`: palette indices when `palette` is given (false if the
// picture has more than 256 colours), else red, green, blue.
bool compressRows(const QImage& image, Palette* palette, RowCompressor& z)
{
    const int w = image.width(), h = image.height();
    const int channels = palette ? 1 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(channels);
    if (!z.start(windowBitsFor(filteredSize(w, h, channels))))
        return false;
    // One row above (zeros above the first) and the filtered row with its filter byte.
    std::vector<std::uint8_t> above(rowBytes, 0), current(rowBytes), filtered(rowBytes + 1);
    // A picture one row high is not filtered, as the standard writer does it.
    filtered[0] = h == 1 ? kFilterNone : kFilterUp;
    for (int y = 0; y < h; ++y) {
        if (palette) {
            const std::uint32_t* pixelsAbove = y > 0 ? rowOf(image, y - 1) : nullptr;
            if (!indexRow(rowOf(image, y), pixelsAbove, y > 0 ? above.data() : nullptr, w, *palette, current.data()))
                return false;
        } else {
            rgbRow(rowOf(image, y), w, current.data());
        }
        std::uint8_t* f = filtered.data() + 1;
        const std::uint8_t* c = current.data();
        const std::uint8_t* a = above.data();
        for (std::size_t i = 0; i < rowBytes; ++i)
            f[i] = static_cast<std::uint8_t>(c[i] - a[i]);
        if (!z.add(filtered.data(), filtered.size()))
            return false;
        above.swap(current);
    }
    return z.finish();
}

bool writeAll(QIODevice& device, const std::vector<std::uint8_t>& bytes, QString& error)
{
    qint64 done = 0;
    const auto total = static_cast<qint64>(bytes.size());
    while (done < total) {
        const qint64 n = device.write(reinterpret_cast<const char*>(bytes.data()) + done, total - done);
        if (n <= 0) {
            error = device.errorString();
            if (error.isEmpty())
                error = QStringLiteral("the file could not be written");
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace

bool encodePng(const QImage& source, QIODevice& device, QString* why)
{
    auto fail = [&](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (source.isNull())
        return fail(QStringLiteral("the picture is empty"));
    const bool direct = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32;
    const QImage image = direct ? source : source.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return fail(QStringLiteral("not enough memory to convert the picture"));

    std::vector<std::uint8_t> file;
    try {
        Palette palette;
        RowCompressor z;
        const bool indexed = compressRows(image, &palette, z);
        if (!indexed && !compressRows(image, nullptr, z))
            return fail(QStringLiteral("not enough memory to encode the picture"));
        std::vector<std::uint8_t>& stream = z.stream();
        const int channels = indexed ? 1 : 3;
        tightenStreamHeader(stream.data(), filteredSize(image.width(), image.height(), channels));

        file.reserve(stream.size() + stream.size() / kIdatBytes * 12 + 1024);
        static constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
        file.insert(file.end(), kSignature, kSignature + 8);
        std::vector<std::uint8_t> header;
        putUint32(header, static_cast<std::uint32_t>(image.width()));
        putUint32(header, static_cast<std::uint32_t>(image.height()));
        header.insert(header.end(), {8, static_cast<std::uint8_t>(indexed ? 3 : 2), 0, 0, 0});
        putChunk(file, "IHDR", header.data(), header.size());
        if (indexed) {
            std::vector<std::uint8_t> entries;
            for (const std::uint32_t c : palette.colours())
                entries.insert(entries.end(), {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                                               static_cast<std::uint8_t>(c)});
            putChunk(file, "PLTE", entries.data(), entries.size());
        }
        for (std::size_t at = 0; at < stream.size(); at += kIdatBytes)
            putChunk(file, "IDAT", stream.data() + at, std::min(kIdatBytes, stream.size() - at));
        putChunk(file, "IEND", nullptr, 0);
    } catch (const std::bad_alloc&) {
        return fail(QStringLiteral("not enough memory to encode the picture"));
    }
    QString error;
    if (!writeAll(device, file, error))
        return fail(error);
    return true;
}

} // namespace zovex
