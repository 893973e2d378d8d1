#include "canvas.h"
#include "tile_canvas.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

namespace zovex {
namespace {

// A picture with no two neighbours alike, so any misplaced or mis-scaled pixel shows.
QImage noisePicture(int w, int h, unsigned seed, QImage::Format format = QImage::Format_RGB32)
{
    QImage picture(w, h, QImage::Format_ARGB32);
    std::mt19937 rnd(seed);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = 0xFF000000u | (rnd() & 0xFFFFFFu);
    }
    return picture.convertToFormat(format);
}

// The canvas's own scaled draw of the whole picture into every cell, row by row from the
// top-left corner, each cut off by the canvas's edges: what the cells must look like.
QImage cellByCell(const QImage& picture, QSize cell, QSize canvas)
{
    Canvas reference(canvas.width(), canvas.height(), RGB(0, 0, 0));
    for (int y = 0; y < canvas.height(); y += cell.height())
        for (int x = 0; x < canvas.width(); x += cell.width())
            reference.PaintPicture(picture, QRect(QPoint(x, y), cell));
    return reference.persistentImage();
}

// The first pixel where two images differ, or "" when they are alike.
std::string firstDifference(const QImage& got, const QImage& want)
{
    if (got.size() != want.size())
        return "sizes differ";
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            if ((got.pixel(x, y) & 0xFFFFFF) != (want.pixel(x, y) & 0xFFFFFF))
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
    return "";
}

struct TilingCase {
    const char* name;
    QSize picture;
    QSize cell;
    QSize canvas;
};

class TileCanvasCells : public ::testing::TestWithParam<TilingCase> {};

TEST_P(TileCanvasCells, AreOnePaintPictureOfThePicturePerCellCutAtTheEdges)
{
    const TilingCase& c = GetParam();
    const QImage picture = noisePicture(c.picture.width(), c.picture.height(), 7);
    Canvas canvas(c.canvas.width(), c.canvas.height(), RGB(1, 2, 3));
    canvas.setBackColor(RGB(9, 9, 9)); // a fill still waiting is painted over, not drawn later
    TileCanvas(canvas, picture, c.cell);
    EXPECT_EQ(firstDifference(canvas.persistentImage(), cellByCell(picture, c.cell, c.canvas)), "");
}

INSTANTIATE_TEST_SUITE_P(Tiling, TileCanvasCells,
                         ::testing::Values(
                             // The tile source's own picture: 1:1 copies, last column and row cut off.
                             TilingCase{"OneToOneCutOff", {38, 39}, {38, 39}, {101, 90}},
                             TilingCase{"OneToOneExactFit", {38, 39}, {38, 39}, {76, 117}},
                             // A built-in tile shrunk into the cells of the tile source, as 壁纸7 with the default.
                             TilingCase{"Shrunk", {86, 86}, {38, 39}, {101, 90}},
                             TilingCase{"Stretched", {10, 5}, {23, 17}, {70, 52}},
                             TilingCase{"Squeezed", {69, 69}, {10, 5}, {53, 31}},
                             // One column, many rows: the cell is as wide as the canvas, or wider.
                             TilingCase{"OneColumn", {20, 20}, {40, 7}, {40, 30}},
                             TilingCase{"OneColumnCutOff", {20, 20}, {50, 7}, {40, 30}},
                             TilingCase{"OneRowCutOff", {33, 17}, {9, 45}, {40, 30}}),
                         [](const ::testing::TestParamInfo<TilingCase>& i) { return std::string(i.param.name); });

TEST(TileCanvas, CanvasSmallerThanACellGetsOneCellCutOff)
{
    // 1:1: the canvas shows the picture's top-left corner.
    const QImage picture = noisePicture(50, 40, 3);
    Canvas canvas(30, 20, RGB(0, 0, 0));
    TileCanvas(canvas, picture, picture.size());
    EXPECT_EQ(firstDifference(canvas.persistentImage(), picture.copy(0, 0, 30, 20)), "");

    // Scaled: the one cell is the picture drawn at the canvas's corner at the cell's size.
    const QImage builtIn = noisePicture(86, 86, 4);
    TileCanvas(canvas, builtIn, QSize(50, 40));
    EXPECT_EQ(firstDifference(canvas.persistentImage(), cellByCell(builtIn, QSize(50, 40), QSize(30, 20))), "");
}

TEST(TileCanvas, PicturesOfOtherFormatsAndTransparencyShowOnTheBackColour)
{
    QImage picture(4, 4, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    picture.setPixel(1, 1, qRgb(255, 0, 0));
    Canvas canvas(10, 6, RGB(0, 0, 255));
    TileCanvas(canvas, picture, QSize(4, 4));
    EXPECT_EQ(canvas.pixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(canvas.pixel(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(canvas.pixel(5, 5), RGB(255, 0, 0));
    EXPECT_EQ(canvas.pixel(9, 4), RGB(0, 0, 255));

    const QImage indexed = noisePicture(8, 8, 5).convertToFormat(QImage::Format_Indexed8);
    TileCanvas(canvas, indexed, QSize(8, 8));
    EXPECT_EQ(firstDifference(canvas.persistentImage(), cellByCell(indexed, QSize(8, 8), QSize(10, 6))), "");
}

TEST(TileCanvas, RefusesANullPictureOrAnEmptyCellAndLeavesTheCanvas)
{
    Canvas canvas(10, 10, RGB(5, 6, 7));
    EXPECT_THROW(TileCanvas(canvas, QImage(), QSize(4, 4)), std::invalid_argument);
    EXPECT_THROW(TileCanvas(canvas, noisePicture(4, 4, 1), QSize(0, 4)), std::invalid_argument);
    EXPECT_THROW(TileCanvas(canvas, noisePicture(4, 4, 1), QSize(4, -1)), std::invalid_argument);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(canvas.pixel(x, y), RGB(5, 6, 7));
}

TEST(TileCanvas, LeavesThePictureItWasGivenAsItWas)
{
    // The canvas may share its pixels with the picture it was opened from; tiling must not
    // write into that picture.
    const QImage picture = noisePicture(12, 12, 9);
    const QImage before = picture.copy();
    Canvas canvas(12, 12, RGB(0, 0, 0));
    canvas.imageToOverwrite() = picture;
    TileCanvas(canvas, noisePicture(5, 5, 10), QSize(5, 5));
    EXPECT_EQ(firstDifference(picture, before), "");
}

} // namespace
} // namespace zovex
