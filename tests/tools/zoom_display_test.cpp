#include "zoom_display.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

using namespace zovex;

namespace {

ZoomSize steps(ZoomSize size, ZoomStep step, int count)
{
    for (int i = 0; i < count; ++i)
        size = zoomStep(size, step);
    return size;
}

// Every pixel tells where it came from: x and y in the low bytes, their high bits in blue.
QImage coordinatePicture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x & 0xff, y & 0xff, (x >> 8) | ((y >> 8) << 4)));
    return img;
}
QPoint coordinateOf(QRgb p) { return {qRed(p) | ((qBlue(p) & 0xf) << 8), qGreen(p) | ((qBlue(p) >> 4) << 8)}; }

// The display painted into an image of `shown` pixels, the part exposed only (the rest white).
QImage painted(ZoomPainter& zp, const QImage& picture, double ew, double eh, QSize shown, QRect exposed)
{
    QImage out(shown, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    zp.paint(p, picture, ew, eh, QRect(QPoint(0, 0), shown), exposed);
    return out;
}
QImage painted(const QImage& picture, double ew, double eh, QSize shown)
{
    ZoomPainter zp;
    return painted(zp, picture, ew, eh, shown, QRect(QPoint(0, 0), shown));
}

} // namespace

struct StepCase {
    ZoomSize from;
    ZoomStep step;
    ZoomSize to;
};

class ZoomStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(ZoomStepTest, MultipliesBothSidesInSinglePrecision)
{
    const StepCase& c = GetParam();
    const ZoomSize got = zoomStep(c.from, c.step);
    EXPECT_EQ(got.width, c.to.width);
    EXPECT_EQ(got.height, c.to.height);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ZoomStepTest,
    ::testing::Values(StepCase{{6000, 4500}, ZoomStep::Enlarge, {7500, 5625}},
                      StepCase{{60, 60}, ZoomStep::Reduce, {45, 45}},
                      StepCase{{90, 90}, ZoomStep::Reduce, {67.5f, 67.5f}},
                      // Kept in single precision: 20971518.75 is not a float.
                      StepCase{{16777215, 3}, ZoomStep::Enlarge, {20971518, 3.75f}},
                      StepCase{{9195, 8505}, ZoomStep::Reduce, {6896.25f, 6378.75f}},
                      // An empty display stays empty whichever way it is stepped.
                      StepCase{{0, 0}, ZoomStep::Enlarge, {0, 0}}, StepCase{{0, 0}, ZoomStep::Reduce, {0, 0}},
                      // Past the largest float the step is not taken, for both sides.
                      StepCase{{FLT_MAX * 0.9f, 100}, ZoomStep::Enlarge, {FLT_MAX * 0.9f, 100}},
                      StepCase{{100, FLT_MAX}, ZoomStep::Enlarge, {100, FLT_MAX}},
                      StepCase{{FLT_MAX, FLT_MAX}, ZoomStep::Reduce, {FLT_MAX * 0.75f, FLT_MAX * 0.75f}},
                      // The smallest float times 0.75 rounds back to itself, never to 0.
                      StepCase{{FLT_TRUE_MIN, 1}, ZoomStep::Reduce, {FLT_TRUE_MIN, 0.75f}}));

TEST(ZoomStep, EnlargeThenReduceIsNotTheStart)
{
    const ZoomSize back = zoomStep(zoomStep({6000, 4500}, ZoomStep::Enlarge), ZoomStep::Reduce);
    EXPECT_EQ(back.width, 6000 * 0.9375f);
    EXPECT_EQ(back.height, 4500 * 0.9375f);
}

TEST(ZoomStep, ManyStepsKeepTheProportionsAndEndAtAFiniteSize)
{
    ZoomSize s{30000, 22500};
    ZoomSize previous{};
    int taken = 0;
    // No upper limit but the float's: stepping on ends at a size that no longer changes.
    while (!(s == previous) && taken < 1000) {
        previous = s;
        s = zoomStep(s, ZoomStep::Enlarge);
        ++taken;
        ASSERT_TRUE(std::isfinite(s.width) && std::isfinite(s.height));
        EXPECT_NEAR(s.height / s.width, 0.75, 1e-6) << taken;
    }
    EXPECT_LT(taken, 1000);
    EXPECT_GT(s.width, FLT_MAX / 1.25f);
    // Forty-one steps take a 2000-pixel picture past what a widget may be.
    EXPECT_GT(displayPixels(steps({30000, 30000}, ZoomStep::Enlarge, 41).width), 16777215.0);
    for (int i = 0; i < 1000; ++i)
        s = zoomStep(s, ZoomStep::Reduce);
    EXPECT_GT(s.width, 0.0f);
    EXPECT_GT(s.height, 0.0f);
}

TEST(DisplayPixels, FifteenTwipsAPixelRoundedHalfToEven)
{
    EXPECT_EQ(displayPixels(6000), 400);
    EXPECT_EQ(displayPixels(9195), 613);
    EXPECT_EQ(displayPixels(67.5f), 4); // 4.5
    EXPECT_EQ(displayPixels(52.5f), 4); // 3.5
    EXPECT_EQ(displayPixels(7), 0);
    EXPECT_EQ(displayPixels(0), 0);
    EXPECT_EQ(displayPixels(FLT_MAX), std::nearbyint(double(FLT_MAX) / 15));
}

TEST(ZoomPaint, OwnSizeIsACopy)
{
    const QImage pic = coordinatePicture(300, 200);
    EXPECT_EQ(zoomFilter(pic, 300, 200), ZoomFilter::Copy);
    const QImage out = painted(pic, 300, 200, {120, 250});
    EXPECT_EQ(out.copy(0, 0, 120, 200), pic.copy(0, 0, 120, 200));
    EXPECT_EQ(out.pixel(5, 220), qRgb(255, 255, 255)); // below the display: nothing painted
}

TEST(ZoomPaint, FourTimesAndMoreShowsSharpBlocks)
{
    QImage pic(2, 2, QImage::Format_RGB32);
    pic.setPixel(0, 0, qRgb(255, 0, 0));
    pic.setPixel(1, 0, qRgb(0, 255, 0));
    pic.setPixel(0, 1, qRgb(0, 0, 255));
    pic.setPixel(1, 1, qRgb(10, 20, 30));
    EXPECT_EQ(zoomFilter(pic, 8, 8), ZoomFilter::Nearest);
    const QImage out = painted(pic, 8, 8, {8, 8});
    EXPECT_EQ(out.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(3, 3), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(4, 3), qRgb(0, 255, 0));
    EXPECT_EQ(out.pixel(3, 4), qRgb(0, 0, 255));
    EXPECT_EQ(out.pixel(4, 4), qRgb(10, 20, 30));
    EXPECT_EQ(out.pixel(7, 7), qRgb(10, 20, 30));
}

// At every enlargement each display pixel shows the picture pixel whose block holds its centre,
// even where a block is thousands of pixels wide and the display millions.
TEST(ZoomPaint, NearestBlocksAreExactAtAnyEnlargement)
{
    const QImage pic = coordinatePicture(2000, 2000);
    for (const int k : {7, 10, 20, 30, 41}) {
        SCOPED_TRACE(k);
        const ZoomSize z = steps({30000, 30000}, ZoomStep::Enlarge, k);
        const double e = displayPixels(z.width);
        const double s = e / 2000;
        ASSERT_EQ(zoomFilter(pic, e, e), ZoomFilter::Nearest);
        const QImage out = painted(pic, e, e, {480, 270});
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) {
                const QPoint c = coordinateOf(out.pixel(x, y));
                ASSERT_TRUE(c.x() * s <= x + 0.5 && x + 0.5 < (c.x() + 1) * s) << x << "," << y;
                ASSERT_TRUE(c.y() * s <= y + 0.5 && y + 0.5 < (c.y() + 1) * s) << x << "," << y;
            }
    }
}

TEST(ZoomPaint, SmoothEnlargementBlendsNeighbours)
{
    QImage pic(2, 1, QImage::Format_RGB32);
    pic.setPixel(0, 0, qRgb(0, 0, 0));
    pic.setPixel(1, 0, qRgb(255, 255, 255));
    ASSERT_EQ(zoomFilter(pic, 6, 3), ZoomFilter::Smooth);
    const QImage out = painted(pic, 6, 3, {6, 3});
    EXPECT_EQ(qGray(out.pixel(0, 1)), 0);
    EXPECT_EQ(qGray(out.pixel(5, 1)), 255);
    // Between the two pixels the display rises through greys, never back.
    int last = -1;
    bool grey = false;
    for (int x = 0; x < 6; ++x) {
        const int g = qGray(out.pixel(x, 1));
        EXPECT_GE(g, last) << x;
        last = g;
        grey = grey || (g > 20 && g < 235);
    }
    EXPECT_TRUE(grey);
}

TEST(ZoomPaint, ReductionAveragesInsteadOfSkipping)
{
    // One-pixel stripes reduced to a quarter: every shown pixel stands for two black and two
    // white columns. A filter that picks pixels shows stripes or a solid colour instead.
    QImage pic(100, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            pic.setPixel(x, y, (x % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QImage out = painted(pic, 25, 25, {40, 40});
    for (const QPoint at : {QPoint(0, 0), QPoint(12, 12), QPoint(24, 3), QPoint(7, 24)})
        EXPECT_NEAR(qGray(out.pixel(at)), 128, 20) << at.x() << "," << at.y();
    EXPECT_EQ(out.pixel(30, 30), qRgb(255, 255, 255)); // outside the display
}

// Parts exposed one by one give the same pixels as one paint of the whole, for every filter.
TEST(ZoomPaint, ExposuresInPiecesMatchOnePaint)
{
    const QImage pic = coordinatePicture(300, 200);
    const QSize shown(320, 180);
    for (const double e : {300.0, 120.0, 540.0, 1500.0}) {
        SCOPED_TRACE(e);
        const double h = e * 200 / 300;
        const QImage whole = painted(pic, e, h, shown);
        ZoomPainter zp;
        QImage pieces(shown, QImage::Format_RGB32);
        pieces.fill(Qt::white);
        {
            QPainter p(&pieces);
            for (const QRect r : {QRect(0, 0, 100, 180), QRect(100, 0, 220, 77), QRect(100, 77, 220, 103)})
                zp.paint(p, pic, e, h, QRect(QPoint(0, 0), shown), r);
        }
        EXPECT_EQ(pieces, whole);
    }
}

TEST(ZoomPaint, NothingForAnEmptyPictureOrAnExtentBelowAPixel)
{
    const QImage pic = coordinatePicture(4, 4);
    EXPECT_EQ(painted(QImage(), 100, 100, {10, 10}).pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_EQ(painted(pic, 0, 0, {10, 10}).pixel(0, 0), qRgb(255, 255, 255));
}

class ZoomDisplayTest : public ::testing::Test {
protected:
    QWidget window;
    void SetUp() override
    {
        window.resize(800, 600);
        window.show(); // a hidden window's resizes wait until it is shown
    }
};

TEST_F(ZoomDisplayTest, CoversOnlyThePartOfTheDisplayInsideTheWindow)
{
    ZoomDisplay d({9195, 8505}, &window);
    EXPECT_EQ(d.geometry(), QRect(2, 2, 613, 567));
    d.setZoomWidth(6000);
    d.setZoomHeight(4500);
    EXPECT_EQ(d.geometry(), QRect(2, 2, 400, 300));
    const ZoomSize huge = steps({30000, 30000}, ZoomStep::Enlarge, 41);
    d.setZoomWidth(huge.width);
    d.setZoomHeight(huge.height);
    EXPECT_EQ(d.zoomSize(), huge); // kept as set, never rounded
    EXPECT_EQ(d.geometry(), QRect(2, 2, 798, 598));
    window.resize(300, 200);
    EXPECT_EQ(d.geometry(), QRect(2, 2, 298, 198));
    window.resize(1, 1);
    EXPECT_EQ(d.size(), QSize(0, 0));
}

TEST_F(ZoomDisplayTest, ShowsThePictureFillingTheDisplay)
{
    window.setAutoFillBackground(true);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, QColor(192, 255, 255));
    window.setPalette(pal);
    ZoomDisplay d({9195, 8505}, &window);
    QImage pic(10, 10, QImage::Format_Indexed8); // made 32-bit once, when it is set
    pic.setColorTable({qRgb(200, 0, 0), qRgb(0, 0, 200)});
    pic.fill(0);
    pic.setPixel(9, 9, 1);
    d.setPicture(pic);
    d.show();
    d.setZoomWidth(600); // 40 pixels: 4x, blocks
    d.setZoomHeight(600);
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixel(2, 2), qRgb(200, 0, 0));
    EXPECT_EQ(shot.pixel(37, 37), qRgb(200, 0, 0));
    EXPECT_EQ(shot.pixel(38, 38), qRgb(0, 0, 200));
    EXPECT_EQ(shot.pixel(41, 41), qRgb(0, 0, 200));
    EXPECT_EQ(shot.pixel(42, 42), qRgb(192, 255, 255)); // the window's own background
    EXPECT_EQ(shot.pixel(1, 1), qRgb(192, 255, 255));
}
