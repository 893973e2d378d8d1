#include "png_encoder.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <vector>

using namespace zovex;

namespace {

struct Encoded {
    bool ok = false;
    QByteArray bytes;
    QString why;
};

Encoded encode(const QImage& img)
{
    Encoded e;
    QBuffer buffer(&e.bytes);
    buffer.open(QIODevice::WriteOnly);
    e.ok = encodePng(img, buffer, &e.why);
    return e;
}

// The colour type byte of the PNG header: 3 palette, 2 true colour.
int colourType(const QByteArray& png) { return png.size() > 25 ? static_cast<unsigned char>(png[25]) : -1; }

QImage withColours(int w, int h, int colours)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int i = (x / 3 + y * 7) % colours;
            img.setPixel(x, y, qRgb(i * 37 % 256, i / 7 * 11 % 256, i % 2 ? 200 : 13));
        }
    return img;
}

// Runs of every length, ending anywhere within a group of eight pixels, the last pixel of a row
// of its own colour.
QImage runs(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int i = x == w - 1 ? 9 : (x * x / 997 + y) % 9;
            img.setPixel(x, y, qRgb(i * 25, 255 - i * 20, 7));
        }
    return img;
}

QImage noise(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator g(17);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, 0xFF000000u | (g.generate() & 0xFFFFFFu));
    return img;
}

} // namespace

TEST(PngEncoder, EveryFileDecodesToExactlyThePicturesPixels)
{
    struct Case {
        const char* what;
        QImage image;
        int type;
    };
    QImage many = withColours(64, 64, 256);
    QImage tooMany = many.copy();
    tooMany.setPixel(63, 63, qRgb(1, 2, 3)); // a 257th colour in the very last pixel
    QImage argb(5, 4, QImage::Format_ARGB32);
    argb.fill(qRgb(9, 8, 7));
    QImage indexed = withColours(20, 9, 5).convertToFormat(QImage::Format_Indexed8);
    const Case cases[] = {
        {"one pixel", withColours(1, 1, 1), 3},
        {"one colour", withColours(300, 2, 1), 3},
        {"a few colours", withColours(857, 40, 37), 3},
        {"long runs", runs(859, 6), 3},
        {"one column", withColours(1, 500, 12), 3},
        {"exactly 256 colours", many, 3},
        {"257 colours", tooMany, 2},
        {"noise", noise(131, 77), 2},
        {"ARGB32", argb, 3},
        {"indexed", indexed, 3},
    };
    for (const Case& c : cases) {
        const Encoded e = encode(c.image);
        ASSERT_TRUE(e.ok) << c.what << ": " << e.why.toStdString();
        EXPECT_EQ(colourType(e.bytes), c.type) << c.what;
        QImage decoded;
        ASSERT_TRUE(decoded.loadFromData(e.bytes, "PNG")) << c.what;
        EXPECT_EQ(decoded.convertToFormat(QImage::Format_RGB32), c.image.convertToFormat(QImage::Format_RGB32))
            << c.what;
    }
}

namespace {

// The standard PNG library writing the same picture with the same settings (8-bit palette in
// first-appearance order up to 256 colours, else 8-bit RGB; level 1, run-length matching, the
// up filter): the files must be the same bytes.
void appendBytes(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<QByteArray*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(n));
}
void noFlush(png_structp) {}

// Holds no object with a destructor: libpng reports errors by jumping out of it.
bool writeWithLibrary(QByteArray* out, int w, int h, const png_color* palette, int colours, png_bytep* rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendBytes, noFlush);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, 3); // Z_RLE
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                 palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette)
        png_set_PLTE(png, info, palette, colours);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y)
        png_write_row(png, rows[y]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

QByteArray libraryPng(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    std::vector<QRgb> colours;
    bool indexed = true;
    std::vector<std::vector<png_byte>> rows(static_cast<std::size_t>(h));
    for (int y = 0; y < h && indexed; ++y)
        for (int x = 0; x < w && indexed; ++x) {
            const QRgb c = image.pixel(x, y) & 0xFFFFFFu;
            if (std::find(colours.begin(), colours.end(), c) == colours.end()) {
                if (colours.size() == 256)
                    indexed = false;
                else
                    colours.push_back(c);
            }
        }
    for (int y = 0; y < h; ++y) {
        auto& row = rows[static_cast<std::size_t>(y)];
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y) & 0xFFFFFFu;
            if (indexed)
                row.push_back(static_cast<png_byte>(std::find(colours.begin(), colours.end(), c) - colours.begin()));
            else
                row.insert(row.end(), {static_cast<png_byte>(qRed(c)), static_cast<png_byte>(qGreen(c)),
                                       static_cast<png_byte>(qBlue(c))});
        }
    }
    std::vector<png_color> entries;
    for (const QRgb c : colours)
        entries.push_back(
            {static_cast<png_byte>(qRed(c)), static_cast<png_byte>(qGreen(c)), static_cast<png_byte>(qBlue(c))});
    std::vector<png_bytep> rowPointers;
    for (auto& row : rows)
        rowPointers.push_back(row.data());
    QByteArray out;
    if (!writeWithLibrary(&out, w, h, indexed ? entries.data() : nullptr, static_cast<int>(entries.size()),
                          rowPointers.data()))
        return {};
    return out;
}

} // namespace

TEST(PngEncoder, WritesTheSameBytesAsTheStandardLibraryWithTheSameSettings)
{
    // Small pictures (a smaller window, a header that says so), one row (not filtered), streams
    // of several IDAT chunks, an exact multiple of nothing in particular, palette and true colour.
    struct Case {
        const char* what;
        QImage image;
    };
    QImage tooMany = withColours(64, 64, 256);
    tooMany.setPixel(63, 63, qRgb(1, 2, 3));
    QImage solid(857, 857, QImage::Format_RGB32);
    solid.fill(qRgb(162, 123, 133));
    const Case cases[] = {
        {"one pixel", withColours(1, 1, 1)},
        {"one row", withColours(300, 1, 9)},
        {"one column", withColours(1, 500, 12)},
        {"tiny", withColours(7, 5, 3)},
        {"small, true colour", noise(9, 9)},
        {"near the small-picture limit", withColours(127, 128, 40)},
        {"just above it", withColours(128, 128, 40)},
        {"pattern size, one colour", solid},
        {"pattern size, runs", runs(857, 857)},
        {"many chunks, true colour", noise(200, 150)},
        {"257 colours", tooMany},
    };
    for (const Case& c : cases) {
        const Encoded e = encode(c.image);
        ASSERT_TRUE(e.ok) << c.what << ": " << e.why.toStdString();
        const QByteArray expected = libraryPng(c.image);
        ASSERT_FALSE(expected.isEmpty()) << c.what;
        EXPECT_EQ(e.bytes.size(), expected.size()) << c.what;
        EXPECT_TRUE(e.bytes == expected) << c.what;
    }
}

namespace {

// Accepts `room` bytes, then refuses every write, as a full disk does.
class FillingDevice : public QIODevice {
public:
    explicit FillingDevice(qint64 room) : m_room(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override
    {
        if (m_room <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        const qint64 n = std::min(len, m_room);
        m_room -= n;
        return n;
    }

private:
    qint64 m_room;
};

} // namespace

TEST(PngEncoder, ARefusedWriteOrAnEmptyPictureIsAFailureThatSaysWhy)
{
    const QImage img = noise(300, 300);
    for (const qint64 room : {qint64(0), qint64(10), qint64(5000)}) {
        FillingDevice device(room);
        QString why;
        EXPECT_FALSE(encodePng(img, device, &why)) << room;
        EXPECT_EQ(why, QStringLiteral("No space left on device")) << room;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString why;
    EXPECT_FALSE(encodePng(QImage(), buffer, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(bytes.isEmpty());
}
