#include "capture_routines.h"
#include "fake_desktop.h"
#include "int_conv.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace zovex;

namespace {

// A screen of random pixels, so that any pixel changed by mistake shows.
ScreenImage noiseScreen(int w, int h, QPoint origin = {}, unsigned seed = 7)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 gen(seed);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = 0xFF000000u | (gen() & 0xFFFFFFu);
    }
    return {img, origin};
}

bool inverted(const ScreenImage& before, const ScreenImage& after, QPoint screenPoint)
{
    const QPoint p = screenPoint - before.origin;
    return after.pixels.pixel(p) == (before.pixels.pixel(p) ^ 0x00FFFFFFu);
}

bool same(const ScreenImage& before, const ScreenImage& after, QPoint screenPoint)
{
    const QPoint p = screenPoint - before.origin;
    return after.pixels.pixel(p) == before.pixels.pixel(p);
}

const QFont& font()
{
    static const QFont f = selectionLabelFont();
    return f;
}

} // namespace

TEST(NormalizeRect, PutsEachPairInOrderEitherWay)
{
    struct Case {
        ScreenRect in, out;
    };
    const Case cases[] = {
        {{10, 20, 210, 170}, {10, 20, 210, 170}}, // already in order
        {{210, 170, 10, 20}, {10, 20, 210, 170}}, // dragged from bottom-right to top-left
        {{210, 20, 10, 170}, {10, 20, 210, 170}}, // from top-right
        {{10, 170, 210, 20}, {10, 20, 210, 170}}, // from bottom-left
        {{5, 5, 5, 5}, {5, 5, 5, 5}},
        {{-3, 7, -9, -1}, {-9, -1, -3, 7}},
        {{INT32_MAX, 0, INT32_MIN, 0}, {INT32_MIN, 0, INT32_MAX, 0}},
    };
    for (const Case& c : cases) {
        ScreenRect r = c.in;
        NormalizeRect(r);
        EXPECT_EQ(r, c.out) << c.in.left << "," << c.in.top << "," << c.in.right << "," << c.in.bottom;
    }
    std::int32_t a = 1, b = -2;
    SwapLong(a, b);
    EXPECT_EQ(a, -2);
    EXPECT_EQ(b, 1);
}

TEST(DrawSelectionFrame, DrawingTheSameRectangleTwiceRestoresEveryPixel)
{
    const ScreenRect rects[] = {
        {30, 40, 230, 190},   // 200x150, label inside
        {230, 190, 30, 40},   // the same, reversed
        {50, 50, 51, 90},     // one pixel wide: its label is wider than the frame
        {10, 10, 14, 12},     // tiny
        {-40, -30, 60, 50},   // partly above and left of the screen
        {250, 180, 400, 400}, // partly below and right of it
        {-100, 20, -10, 90},  // wholly off the screen
    };
    for (QPoint origin : {QPoint(0, 0), QPoint(-1280, 300)}) {
        for (ScreenRect r : rects) {
            r.left += origin.x(), r.right += origin.x(), r.top += origin.y(), r.bottom += origin.y();
            const ScreenImage before = noiseScreen(320, 240, origin);
            ScreenImage screen = before;
            DrawSelectionFrame(screen, r, font());
            const bool onScreen = !selectionFrameRegion(before, r, font()).isEmpty();
            EXPECT_EQ(screen.pixels != before.pixels, onScreen) << r.left << "," << r.top;
            DrawSelectionFrame(screen, r, font());
            EXPECT_EQ(screen.pixels, before.pixels) << r.left << "," << r.top << " origin " << origin.x();
        }
    }
}

TEST(DrawSelectionFrame, InvertsTheFourStripsButNotTheCorners)
{
    const ScreenImage before = noiseScreen(320, 240);
    ScreenImage screen = before;
    const ScreenRect r{30, 40, 230, 190};
    DrawSelectionFrame(screen, r, font());

    for (QPoint corner : {QPoint(30, 40), QPoint(229, 40), QPoint(30, 189), QPoint(229, 189)})
        EXPECT_TRUE(same(before, screen, corner)) << corner.x() << "," << corner.y();
    // Every other pixel of each strip is inverted.
    for (int x = 31; x < 229; ++x) {
        EXPECT_TRUE(inverted(before, screen, {x, 40})) << x;
        EXPECT_TRUE(inverted(before, screen, {x, 189})) << x;
    }
    for (int y = 41; y < 189; ++y) {
        EXPECT_TRUE(inverted(before, screen, {30, y})) << y;
        EXPECT_TRUE(inverted(before, screen, {229, y})) << y;
    }
    // Just outside the rectangle and just inside the strips nothing changes.
    for (QPoint p :
         {QPoint(29, 100), QPoint(230, 100), QPoint(100, 39), QPoint(100, 190), QPoint(31, 41), QPoint(228, 188)})
        EXPECT_TRUE(same(before, screen, p)) << p.x() << "," << p.y();

    // Everything changed lies on a strip or in the label's box, and is an exact inversion.
    const QRect label = selectionLabel(r, font()).box;
    int labelPixels = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            if (same(before, screen, {x, y}))
                continue;
            EXPECT_TRUE(inverted(before, screen, {x, y}));
            const bool onStrip =
                ((y == 40 || y == 189) && x >= 30 && x < 230) || ((x == 30 || x == 229) && y >= 40 && y < 190);
            EXPECT_TRUE(onStrip || label.contains(x, y)) << x << "," << y;
            labelPixels += label.contains(x, y) ? 1 : 0;
        }
    EXPECT_GT(labelPixels, 20); // the glyphs of "200x150" show
}

TEST(DrawSelectionFrame, EmptyRectanglesDrawNothing)
{
    const ScreenRect empties[] = {{50, 60, 50, 60}, {50, 60, 150, 60}, {50, 60, 50, 160}, {150, 60, 50, 60}};
    for (const ScreenRect& r : empties) {
        const ScreenImage before = noiseScreen(200, 200);
        ScreenImage screen = before;
        DrawSelectionFrame(screen, r, font());
        EXPECT_EQ(screen.pixels, before.pixels);
        EXPECT_TRUE(selectionFrameRegion(before, r, font()).isEmpty());
    }
}

TEST(SelectionLabel, ReadsWidthXHeightMeasuredInTheFont)
{
    const QFontMetrics metrics(font());
    const SelectionLabel label = selectionLabel({30, 40, 230, 190}, font());
    EXPECT_EQ(label.text, QStringLiteral("200x150"));
    EXPECT_EQ(label.box.size(), QSize(metrics.horizontalAdvance(QStringLiteral("200x150")), metrics.height()));
    EXPECT_EQ(selectionLabel({0, 0, 7, 1234}, font()).text, QStringLiteral("7x1234"));
}

TEST(SelectionLabel, IsCentredWithHalvesToTheEvenNeighbour)
{
    // Find a width whose label leaves an odd number of pixels beside it, so the centre falls
    // on a half pixel; shifting the rectangle by one pixel then alternates the rounding.
    const QFontMetrics metrics(font());
    int width = 200;
    while ((width - metrics.horizontalAdvance(QStringLiteral("%1x150").arg(width))) % 2 == 0)
        ++width;
    const int cx = metrics.horizontalAdvance(QStringLiteral("%1x150").arg(width));
    const int cy = metrics.height();
    for (int left : {-3, -2, -1, 0, 1, 2, 3, 1000}) {
        for (int top : {0, 1, 2, 3}) {
            const ScreenRect r{left, top, left + width, top + 150};
            const QRect box = selectionLabel(r, font()).box;
            const double x = left + (width - cx) / 2.0; // always ends in .5
            ASSERT_EQ(std::fabs(x - std::floor(x)), 0.5);
            const int evenX = static_cast<int>(std::floor(x)) % 2 == 0 ? static_cast<int>(std::floor(x))
                                                                       : static_cast<int>(std::floor(x)) + 1;
            EXPECT_EQ(box.left(), evenX) << left;
            const double y = top + (150 - cy) / 2.0;
            EXPECT_EQ(box.top(), static_cast<int>(roundHalfEven(y))) << top;
            // Centred: the same room on both sides, to within the rounding.
            EXPECT_LE(std::abs((box.left() - left) - (left + width - box.right() - 1)), 1);
        }
    }
}

TEST(SelectionTracker, FollowsTheMouseAndLeavesTheScreenAsItWas)
{
    const ScreenImage before = noiseScreen(400, 300, {100, 50});
    ScreenImage screen = before;
    const QPoint anchor(400, 300); // bottom-right
    SelectionTracker tracker(screen, font(), anchor);
    EXPECT_EQ(screen.pixels, before.pixels) << "no frame before the mouse moves";

    tracker.mouseMessage({250, 300}); // purely horizontal
    EXPECT_EQ(screen.pixels, before.pixels);
    tracker.mouseMessage({400, 120}); // purely vertical
    EXPECT_EQ(screen.pixels, before.pixels);

    const QRegion changed = tracker.mouseMessage({200, 150}); // to the top-left
    const ScreenRect expected{200, 150, 400, 300};
    EXPECT_EQ(tracker.rect(), expected);
    ScreenImage drawnOnce = before;
    DrawSelectionFrame(drawnOnce, expected, font());
    EXPECT_EQ(screen.pixels, drawnOnce.pixels) << "only the current frame is shown";
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            if (screen.pixels.pixel(x, y) != before.pixels.pixel(x, y)) {
                ASSERT_TRUE(changed.contains(QPoint(x, y))) << x << "," << y;
            }

    tracker.mouseMessage({180, 140});
    const ScreenRect last = tracker.finish();
    EXPECT_EQ(last, (ScreenRect{180, 140, 400, 300}));
    EXPECT_EQ(screen.pixels, before.pixels) << "the final frame is erased";
    EXPECT_TRUE(tracker.mouseMessage({10, 10}).isEmpty());
    EXPECT_EQ(tracker.finish(), last);
    EXPECT_EQ(screen.pixels, before.pixels);

    // The same drag the other way gives the same rectangle.
    ScreenImage other = before;
    SelectionTracker forward(other, font(), {180, 140});
    forward.mouseMessage({400, 300});
    EXPECT_EQ(forward.finish(), last);
}

TEST(CaptureScreenToClipboard, CopiesExactlyTheBlock)
{
    const ScreenImage screen = noiseScreen(300, 200, {-100, 20});
    test::FakeClipboard clipboard;
    const QImage block = CaptureScreenToClipboard(screen, -50, 40, 150, 190, clipboard);
    ASSERT_EQ(block.size(), QSize(200, 150));
    EXPECT_EQ(block, screen.pixels.copy(50, 20, 200, 150));
    EXPECT_EQ(clipboard.held, block);
    EXPECT_EQ(clipboard.sets, 1);
}

TEST(CaptureScreenToClipboard, BlackBeyondTheScreen)
{
    const ScreenImage screen = noiseScreen(100, 100);
    test::FakeClipboard clipboard;
    const QImage block = CaptureScreenToClipboard(screen, 90, -5, 110, 10, clipboard);
    ASSERT_EQ(block.size(), QSize(20, 15));
    EXPECT_EQ(block.pixel(0, 5), screen.pixels.pixel(90, 0));
    EXPECT_EQ(block.pixel(9, 14), screen.pixels.pixel(99, 9));
    EXPECT_EQ(block.pixel(10, 5), 0xFF000000u);
    EXPECT_EQ(block.pixel(0, 4), 0xFF000000u);
}

TEST(CaptureScreenToClipboard, ZeroWidthOrHeightCapturesNothing)
{
    const ScreenImage screen = noiseScreen(100, 100);
    test::FakeClipboard clipboard;
    clipboard.held = QImage(3, 3, QImage::Format_RGB32);
    clipboard.held.fill(Qt::red);
    const QImage earlier = clipboard.held;
    for (const ScreenRect& r : {ScreenRect{10, 10, 10, 50}, ScreenRect{10, 10, 50, 10}, ScreenRect{10, 10, 10, 10}}) {
        EXPECT_TRUE(CaptureScreenToClipboard(screen, r.left, r.top, r.right, r.bottom, clipboard).isNull());
        EXPECT_EQ(clipboard.sets, 0);
        EXPECT_EQ(clipboard.held, earlier);
    }
}
