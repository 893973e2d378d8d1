#include "canvas.h"
#include "star_ring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace zovex;

TEST(StarRing, DecompositionFollowsTheHalvingRule)
{
    struct Case {
        int n, v, s, h;
    };
    const Case cases[] = {{3, 3, 1, 0},    {4, 1, 0, 2},    {5, 5, 2, 0},  {6, 3, 1, 1},  {7, 7, 3, 0},  {8, 4, 1, 1},
                          {10, 5, 2, 1},   {12, 3, 1, 2},   {16, 4, 1, 2}, {24, 3, 1, 3}, {64, 4, 1, 4}, {96, 3, 1, 5},
                          {98, 49, 24, 1}, {99, 99, 49, 0}, {0, 3, 1, 0},  {1, 3, 1, 0},  {2, 3, 1, 0},  {-4, 3, 1, 0}};
    for (const auto& c : cases) {
        const StarDecomposition d = decomposeStar(static_cast<std::int16_t>(c.n));
        EXPECT_EQ(d, (StarDecomposition{static_cast<std::int16_t>(c.v), static_cast<std::int16_t>(c.s),
                                        static_cast<std::int16_t>(c.h)}))
            << "n=" << c.n;
    }
    for (int n = 3; n <= 99; ++n) {
        const StarDecomposition d = decomposeStar(static_cast<std::int16_t>(n));
        EXPECT_EQ(d.v * (1 << d.h), n) << n;
    }
}

TEST(StarRing, PolarPointUsesTheSineOfTheShiftedAngle)
{
    std::int32_t x = 0, y = 0;
    PolarPoint(6450, 6450, 0, 5000, 5000, x, y);
    EXPECT_EQ(x, 6450);
    EXPECT_EQ(y, 1450);
    PolarPoint(6450, 6450, 90, 5000, 5000, x, y);
    EXPECT_EQ(x, 11450);
    EXPECT_EQ(y, 6450);
    // Half-way values land on ties: 6450 + 0.5 cannot occur, but a negative centre rounds to even.
    PolarPoint(0, 0, 180, 3, 3, x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 3);
}

TEST(StarRing, EightPointsAreTwoSquaresAtTheGivenPixels)
{
    const auto figs = starRingFigures(1450, 1450, 10000, 10000, 8);
    ASSERT_EQ(figs.size(), 2u);
    const std::vector<PixelPoint> first = {{430, 97}, {763, 430}, {430, 763}, {97, 430}};
    const std::vector<PixelPoint> second = {{666, 194}, {666, 666}, {194, 666}, {194, 194}};
    EXPECT_EQ(figs[0], first);
    EXPECT_EQ(figs[1], second);
}

TEST(StarRing, FivePointsJoinEverySecondVertexIntoAPentagram)
{
    const auto figs = starRingFigures(1450, 1450, 10000, 10000, 5);
    ASSERT_EQ(figs.size(), 1u);
    std::vector<PixelPoint> expected;
    for (double angle : {0.0, 144.0, 288.0, 72.0, 216.0}) {
        std::int32_t x = 0, y = 0;
        PolarPoint(6450, 6450, angle, 5000, 5000, x, y);
        expected.push_back({toInt32(x / 15.0), toInt32(y / 15.0)});
    }
    EXPECT_EQ(figs[0], expected);
}

TEST(StarRing, AllVerticesLieOnTheNAnglesAndNoTwoFiguresShareOne)
{
    for (int n : {6, 12, 24, 64, 96, 98}) {
        const auto figs = starRingFigures(-1000, -1000, 200000, 200000, static_cast<std::int16_t>(n));
        std::set<std::pair<int, int>> seen;
        std::set<std::pair<int, int>> expected;
        for (int i = 0; i < n; ++i) {
            std::int32_t x = 0, y = 0;
            PolarPoint(99000, 99000, 360.0 * i / n, 100000, 100000, x, y);
            expected.insert({toInt32(x / 15.0), toInt32(y / 15.0)});
        }
        std::size_t total = 0;
        for (const auto& f : figs)
            for (const auto& p : f) {
                seen.insert({p.x, p.y});
                ++total;
            }
        EXPECT_EQ(total, static_cast<std::size_t>(n)) << n;
        EXPECT_EQ(seen, expected) << n;
    }
}

TEST(StarRing, DrawingRestoresForeColorAndFourPointsShowNothing)
{
    Canvas c(200, 200, RGB(0, 0, 64));
    c.setForeColor(RGB(1, 2, 3));
    c.setDrawWidth(5);
    const QImage blank = c.Image();
    DrawStarRing(c, 0, 0, 3000, 3000, 4, RGB(255, 255, 255));
    EXPECT_EQ(c.persistentImage(), blank);
    EXPECT_EQ(c.ForeColor(), RGB(1, 2, 3));

    DrawStarRing(c, 0, 0, 3000, 3000, 0, RGB(0, 250, 0));
    Canvas tri(200, 200, RGB(0, 0, 64));
    tri.setDrawWidth(5);
    DrawStarRing(tri, 0, 0, 3000, 3000, 3, RGB(0, 250, 0));
    EXPECT_EQ(c.persistentImage(), tri.persistentImage()); // 0 points draw the triangle of 3
    EXPECT_EQ(c.ForeColor(), RGB(1, 2, 3));
    EXPECT_EQ(c.pixel(100, 0), RGB(0, 250, 0)); // the top vertex
}

TEST(StarRing, LargePointCountsFromTypedTextStillDraw)
{
    Canvas c(300, 300, RGB(0, 0, 64));
    c.setDrawWidth(1);
    const auto n = static_cast<std::int16_t>(32767);
    EXPECT_NO_THROW(DrawStarRing(c, 1200, 1200, 3600, 3600, n, RGB(0, 250, 0)));
    EXPECT_EQ(c.pixel(200, 80), RGB(0, 250, 0));
}
