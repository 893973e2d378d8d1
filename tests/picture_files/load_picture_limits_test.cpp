// The loader's memory limit: what it reads within its limit, and the large pictures it reads
// back beyond Qt's stock one.
#include "load_picture.h"

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

} // namespace
