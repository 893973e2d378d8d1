// The loader's memory limit: what it reads within its limit, and the large pictures it reads
// back beyond Qt's stock one.
#include "load_picture.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace zovex;

namespace {

TEST(LoadPicture, ReadsWhatIsWithinItsLimitAndRefusesWhatIsNot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto file = [&](int side) {
        const QString p = dir.filePath(QStringLiteral("%1.png").arg(side));
        QImage img(side, side, QImage::Format_RGB32);
        img.fill(qRgb(9, 9, 9));
        EXPECT_TRUE(img.save(p, "png"));
        return p;
    };
    const int stock = QImageReader::allocationLimit();
    // One MiB holds 512 x 512 pixels of 4 bytes.
    EXPECT_EQ(LoadPicture(file(512), qint64(1) << 20).size(), QSize(512, 512));
    EXPECT_TRUE(LoadPicture(file(513), qint64(1) << 20).isNull());
    EXPECT_EQ(LoadPicture(file(513)).size(), QSize(513, 513));
    // The process-wide setting is ours only while we read.
    EXPECT_EQ(QImageReader::allocationLimit(), stock);
}

TEST(LoadPicture, ReadsBackPicturesLargerThanQtsStockLimit)
{
    // Just above what Qt refuses by default, far below the limit this program sets so that it
    // reads back its own large wallpapers.
    const qint64 stockBytes = qint64(QImageReader::allocationLimit()) << 20;
    ASSERT_GT(stockBytes, 0);
    const int side = static_cast<int>(std::sqrt(double(stockBytes) / 4)) + 64;
    ASSERT_LE(qint64(side) * side, kLargestPicturePixels);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString p = dir.filePath(QStringLiteral("wide.png"));
    {
        QImage img(side, side, QImage::Format_RGB32);
        ASSERT_FALSE(img.isNull());
        img.fill(qRgb(3, 4, 5));
        QImageWriter w(p, "png");
        w.setCompression(1);
        ASSERT_TRUE(w.write(img));
    }
    ASSERT_TRUE(QImageReader(p).read().isNull()); // what Qt alone would do
    EXPECT_EQ(LoadPicture(p).size(), QSize(side, side));
}

// A PNG of 16 bits a channel costs Qt's reader 8 bytes a pixel: within the limit at the 4
// bytes a pixel the picture is held at, it still loads, each channel rounded to 8 bits as Qt
// rounds it, its transparency and its resolution kept.
TEST(LoadPicture, SixteenBitPngsLoadWheneverTheirPictureIsWithinTheLimit)
{
    const qint64 limit = qint64(1) << 20; // 512 x 512 at 4 bytes a pixel, half of it at 8
    QImage noisy(512, 512, QImage::Format_ARGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, qRgba(x * 7 + y, y * 3, (x ^ y) & 0xff, (x + 2 * y) & 0xff));
    const struct {
        const char* name;
        QImage::Format format;
    } cases[] = {
        {"16-bit RGB", QImage::Format_RGBX64},
        {"16-bit RGBA", QImage::Format_RGBA64},
        {"16-bit grey", QImage::Format_Grayscale16},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QImage img = noisy.convertToFormat(c.format);
        img.setDotsPerMeterX(5906); // 150 dots an inch
        img.setDotsPerMeterY(5906);
        const QString p = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".png"));
        ASSERT_TRUE(img.save(p, "png"));
        const QImage qt = QImageReader(p).read();
        ASSERT_EQ(qt.depth(), c.format == QImage::Format_Grayscale16 ? 16 : 64);
        const QImage back = LoadPicture(p, limit);
        ASSERT_EQ(back.size(), QSize(512, 512));
        EXPECT_EQ(back.hasAlphaChannel(), img.hasAlphaChannel());
        EXPECT_EQ(back.dotsPerMeterX(), 5906);
        EXPECT_EQ(back.convertToFormat(QImage::Format_ARGB32), qt.convertToFormat(QImage::Format_ARGB32));
        // Damaged data is refused, not shown half decoded.
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const qsizetype data = bytes.indexOf("IDAT") + 4;
        for (qsizetype i = data + 100; i < data + 200; ++i)
            bytes[i] = char(bytes[i] ^ 0x5a);
        ASSERT_TRUE(f.seek(0));
        ASSERT_EQ(f.write(bytes), bytes.size());
        f.close();
        EXPECT_TRUE(LoadPicture(p, limit).isNull());
    }
    // At 4 bytes a pixel beyond the limit it is refused as any picture is.
    const QString big = dir.filePath(QStringLiteral("big.png"));
    ASSERT_TRUE(QImage(513, 513, QImage::Format_RGBA64).save(big, "png"));
    EXPECT_TRUE(LoadPicture(big, limit).isNull());
}

} // namespace
