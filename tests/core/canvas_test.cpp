#include "canvas.h"
#include "canvas_pixels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace zovex;
using test::countPixels;

TEST(Canvas, BackColorFillsAndClsResetsPosition)
{
    Canvas c(40, 30, RGB(0, 0, 64));
    EXPECT_EQ(c.ScaleWidth(), 600.0f);
    EXPECT_EQ(c.ScaleHeight(), 450.0f);
    EXPECT_EQ(countPixels(c, RGB(0, 0, 64)), 40 * 30);
    c.setDrawWidth(3);
    c.setForeColor(RGB(255, 0, 0));
    const PixelPoint pts[] = {{5, 5}, {30, 5}, {30, 20}};
    c.Polygon(pts);
    c.setCurrentX(100);
    c.setCurrentY(200);
    c.Cls();
    c.setBackColor(RGB(1, 2, 3));
    EXPECT_EQ(countPixels(c, RGB(1, 2, 3)), 40 * 30);
    EXPECT_EQ(c.CurrentX(), 0.0f);
    EXPECT_EQ(c.CurrentY(), 0.0f);
}

TEST(Canvas, RejectedWidthAndModeKeepTheOldValues)
{
    Canvas c(10, 10, 0);
    c.setDrawWidth(90);
    c.setDrawMode(7);
    for (int bad : {0, -1, 32768, 100000})
        EXPECT_THROW(c.setDrawWidth(bad), InvalidPropertyValue);
    for (int bad : {0, 17, -5})
        EXPECT_THROW(c.setDrawMode(bad), InvalidPropertyValue);
    EXPECT_EQ(c.DrawWidth(), 90);
    EXPECT_EQ(c.DrawMode(), 7);
    c.setDrawWidth(32767);
    c.setDrawMode(16);
    EXPECT_EQ(c.DrawWidth(), 32767);
    EXPECT_EQ(c.DrawMode(), 16);
}

TEST(Canvas, OutlinesUseTheModeThatIsInForceAfterARejectedOne)
{
    Canvas c(20, 20, RGB(10, 20, 30));
    c.setDrawMode(6); // R2_NOT
    EXPECT_THROW(c.setDrawMode(0), InvalidPropertyValue);
    c.setForeColor(RGB(200, 200, 200));
    const PixelPoint pts[] = {{2, 10}, {17, 10}};
    c.Polygon(pts);
    EXPECT_EQ(c.pixel(10, 10), RGB(245, 235, 225));
}

TEST(Canvas, XorOutlineDrawnTwiceRestoresEveryPixel)
{
    Canvas c(120, 100, RGB(162, 123, 133));
    // Scatter some content first so that restoring is not trivial.
    c.setDrawWidth(7);
    c.setForeColor(RGB(69, 178, 3));
    const PixelPoint tri[] = {{10, 90}, {60, 5}, {110, 90}};
    c.Polygon(tri);
    const QImage before = c.Image();
    c.setDrawMode(7);
    c.setDrawWidth(25);
    c.setForeColor(RGB(187, 163, 10));
    const PixelPoint star[] = {{60, 2}, {95, 95}, {5, 35}, {115, 35}, {25, 95}};
    c.Polygon(star);
    EXPECT_NE(c.persistentImage(), before);
    c.Polygon(star);
    EXPECT_EQ(c.persistentImage(), before);
}

TEST(Canvas, FewerThanTwoPointsDrawNothing)
{
    Canvas c(16, 16, RGB(0, 0, 64));
    c.setDrawWidth(9);
    c.setForeColor(RGB(255, 255, 255));
    const PixelPoint one[] = {{8, 8}};
    EXPECT_EQ(c.Polygon(one), 0);
    EXPECT_EQ(c.Polygon({}), 0);
    EXPECT_EQ(countPixels(c, RGB(0, 0, 64)), 256);
}

TEST(Canvas, SnapshotIsACopy)
{
    Canvas c(8, 8, RGB(1, 1, 1));
    const QImage snap = c.Image();
    c.setBackColor(RGB(2, 2, 2));
    EXPECT_EQ(fromPixel(static_cast<std::uint32_t>(snap.pixel(3, 3))), RGB(1, 1, 1));
    EXPECT_EQ(snap.format(), QImage::Format_RGB32);
}

// The canvas combines its outlines when the pixels are next used. Whatever comes between them
// (fills, reads, other modes and pens), the pixels are those of drawing each at once.
TEST(Canvas, QueuedOutlinesGiveThePixelsOfDrawingEachAtOnce)
{
    const int W = 70, H = 50;
    Canvas c(W, H, RGB(0, 0, 64));
    QImage direct(W, H, QImage::Format_RGB32);
    direct.fill(toPixel(RGB(0, 0, 64)));
    std::mt19937 gen(99);
    std::uniform_int_distribution<int> coord(-10, 80), step(0, 9), mode(1, 16), width(1, 25);
    for (int i = 0; i < 300; ++i) {
        switch (step(gen)) {
        case 0: { // a new background, which covers everything queued so far
            const Colour back = RGB(i % 256, (i * 7) % 256, 40);
            c.setBackColor(back);
            direct.fill(toPixel(back));
            break;
        }
        case 1:
            c.Cls();
            direct.fill(toPixel(c.BackColor()));
            break;
        case 2: // reading the pixels settles the queue
            ASSERT_EQ(c.persistentImage(), direct) << "after step " << i;
            break;
        default: {
            const PixelPoint pts[] = {{coord(gen), coord(gen)}, {coord(gen), coord(gen)}, {coord(gen), coord(gen)}};
            c.setDrawMode(mode(gen));
            c.setDrawWidth(width(gen));
            c.setForeColor(RGB(i % 200, 90, (i * 3) % 256));
            const auto n = c.Polygon(pts);
            EXPECT_EQ(n, strokeClosedPolygon(direct, pts, c.DrawWidth(), static_cast<Rop2>(c.DrawMode()),
                                             toPixel(c.ForeColor())));
        }
        }
    }
    EXPECT_EQ(c.persistentImage(), direct);
}
