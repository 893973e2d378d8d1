#include "png_encoder.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

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
