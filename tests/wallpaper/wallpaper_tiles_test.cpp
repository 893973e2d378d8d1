#include "tile_table.h"
#include "wallpaper_tiles.h"

#include <QFile>

#include <gtest/gtest.h>

namespace zovex {
namespace {

QByteArray storedBytes(const StoredTile& tile)
{
    QFile file(QStringLiteral(":/wallpaper/%1").arg(QLatin1String(tile.fileName)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(StoredPictures, HaveTheirFormatsAndPixelSizes)
{
    for (std::size_t k = 0; k < kStoredTiles.size(); ++k) {
        SCOPED_TRACE(kStoredTiles[k].fileName);
        const StoredTile& tile = kStoredTiles[k];
        const QByteArray bytes = storedBytes(tile);
        ASSERT_GT(bytes.size(), 100);
        if (tile.format == StoredFormat::Bmp) {
            EXPECT_TRUE(bytes.startsWith("BM"));
            EXPECT_EQ(static_cast<uchar>(bytes[28]), 24); // bits per pixel
        } else {
            EXPECT_TRUE(bytes.startsWith("\xFF\xD8\xFF"));
        }
        const QImage picture = k == 0 ? defaultTilePicture() : builtInTilePicture(static_cast<int>(k));
        EXPECT_EQ(picture.size(), QSize(tile.width, tile.height));
        EXPECT_EQ(picture.format(), QImage::Format_RGB32);
    }
    EXPECT_EQ(defaultTilePicture().size(), QSize(382, 383));
    EXPECT_EQ(builtInTilePicture(7).size(), QSize(857, 857));
    EXPECT_EQ(builtInTilePicture(11).size(), QSize(589, 589));
    EXPECT_TRUE(builtInTilePicture(0).isNull());
    EXPECT_TRUE(builtInTilePicture(13).isNull());
}

TEST(StoredPictures, AreTwelveDifferentPatterns)
{
    // Each is a pattern of its own, not a blank or a copy of another.
    std::vector<QImage> seen;
    for (int k = 1; k <= kBuiltInTiles; ++k) {
        const QImage small = builtInTilePicture(k).scaled(64, 64);
        for (const QImage& other : seen)
            EXPECT_NE(small, other) << "tile " << k;
        seen.push_back(small);
        int colours = 0;
        const QRgb first = small.pixel(0, 0);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                colours += small.pixel(x, y) != first;
        EXPECT_GT(colours, 64) << "tile " << k;
    }
}

} // namespace
} // namespace zovex
