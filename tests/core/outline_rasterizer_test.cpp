#include "outline_rasterizer.h"
#include "outline_spans.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace zovex;

namespace {

// Coverage by the fast rasterizer: XOR white over black, so a pixel combined twice would be
// black again and show up as a difference from the reference.
std::vector<std::uint8_t> fastCoverage(int W, int H, std::span<const PixelPoint> pts, int width)
{
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(0xFF000000u);
    strokeClosedPolygon(img, pts, width, Rop2::XorPen, 0xFFFFFFFFu);
    std::vector<std::uint8_t> cov(static_cast<std::size_t>(W * H));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            cov[static_cast<std::size_t>(y * W + x)] = (img.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
    return cov;
}

std::vector<std::uint8_t> referenceCoverage(int W, int H, std::span<const PixelPoint> pts, int width)
{
    std::vector<std::uint8_t> cov(static_cast<std::size_t>(W * H));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            cov[static_cast<std::size_t>(y * W + x)] = referenceCovers(pts, width, x, y);
    return cov;
}

void expectSameCoverage(int W, int H, const std::vector<PixelPoint>& pts, int width)
{
    const auto fast = fastCoverage(W, H, pts, width);
    const auto ref = referenceCoverage(W, H, pts, width);
    int diffs = 0;
    for (int i = 0; i < W * H && diffs < 5; ++i) {
        if (fast[static_cast<std::size_t>(i)] != ref[static_cast<std::size_t>(i)]) {
            ++diffs;
            ADD_FAILURE() << "pixel (" << i % W << ", " << i / W << ") fast " << int(fast[static_cast<std::size_t>(i)])
                          << " reference " << int(ref[static_cast<std::size_t>(i)]) << ", width " << width << ", "
                          << pts.size() << " points starting (" << pts[0].x << ", " << pts[0].y << ")";
        }
    }
}

} // namespace

TEST(OutlineRasterizer, MatchesTheExactReferenceOnRandomPolygons)
{
    std::mt19937 gen(20110101);
    const int W = 96, H = 80;
    std::uniform_int_distribution<int> coord(-30, 125);
    std::uniform_int_distribution<int> count(2, 30); // past 8 spans a row takes the mask path
    std::uniform_int_distribution<int> width(1, 40);
    for (int iter = 0; iter < 150; ++iter) {
        std::vector<PixelPoint> pts(static_cast<std::size_t>(count(gen)));
        for (auto& p : pts)
            p = {coord(gen), coord(gen)};
        expectSameCoverage(W, H, pts, width(gen));
        if (HasFailure())
            return;
    }
}

TEST(OutlineRasterizer, MatchesTheReferenceOnAxisAlignedAndDiagonalShapesWithTies)
{
    // Shapes whose boundaries pass exactly through pixel centres: perfect-square edge lengths,
    // horizontal and vertical edges, 3-4-5 diagonals, repeated vertices.
    const std::vector<std::vector<PixelPoint>> shapes = {
        {{10, 10}, {50, 10}, {50, 40}, {10, 40}},
        {{5, 5}, {35, 45}, {65, 5}},    // 3-4-5 edges
        {{20, 20}, {20, 20}, {60, 20}}, // repeated vertex
        {{30, 30}, {30, 30}},           // a single dot
        {{0, 0}, {95, 79}},             // corner to corner
        {{12, 60}, {44, 36}, {76, 60}, {44, 76}},
    };
    for (const auto& s : shapes)
        for (int w : {1, 2, 3, 4, 5, 6, 9, 10, 15, 20})
            expectSameCoverage(96, 80, s, w);
}

TEST(OutlineRasterizer, PenOfWidthWCoversWPixelsAcrossStraightEdges)
{
    for (int w = 1; w <= 12; ++w) {
        QImage img(60, 60, QImage::Format_RGB32);
        img.fill(0xFF000000u);
        const PixelPoint pts[] = {{10, 30}, {50, 30}};
        strokeClosedPolygon(img, pts, w, Rop2::CopyPen, 0xFFFFFFFFu);
        int column = 0, row = 0;
        for (int y = 0; y < 60; ++y)
            column += (img.pixel(30, y) & 0xFFFFFF) != 0;
        const PixelPoint vpts[] = {{30, 10}, {30, 50}};
        img.fill(0xFF000000u);
        strokeClosedPolygon(img, vpts, w, Rop2::CopyPen, 0xFFFFFFFFu);
        for (int x = 0; x < 60; ++x)
            row += (img.pixel(x, 30) & 0xFFFFFF) != 0;
        EXPECT_EQ(column, w);
        EXPECT_EQ(row, w);
    }
}

TEST(OutlineRasterizer, ThinOutlinePassesThroughItsVertexPixels)
{
    QImage img(50, 50, QImage::Format_RGB32);
    img.fill(0xFF000000u);
    const PixelPoint pts[] = {{3, 4}, {45, 9}, {27, 44}, {8, 31}};
    strokeClosedPolygon(img, pts, 1, Rop2::CopyPen, 0xFFFFFFFFu);
    for (const auto& p : pts)
        EXPECT_EQ(img.pixel(p.x, p.y) & 0xFFFFFF, 0xFFFFFFu) << p.x << "," << p.y;
}

TEST(OutlineRasterizer, HugePenAndFarVerticesAreClippedNotLoopedOver)
{
    QImage img(64, 48, QImage::Format_RGB32);
    img.fill(0xFF000000u);
    const PixelPoint pts[] = {{-2000000000, 20}, {2000000000, 30}, {2000000000, 2000000000}};
    const auto combined = strokeClosedPolygon(img, pts, 32767, Rop2::XorPen, 0xFFFFFFFFu);
    EXPECT_EQ(combined, 64 * 48); // the whole image, each pixel once
    const PixelPoint dot[] = {{32, 24}, {32, 24}};
    img.fill(0xFF000000u);
    EXPECT_EQ(strokeClosedPolygon(img, dot, 32767, Rop2::XorPen, 0xFFFFFFFFu), 64 * 48);
}

// Vertices past the integer builder's range go to the general one: compare it with the
// reference too, on an image window near the far vertices' edges.
TEST(OutlineRasterizer, FarVerticesMatchTheReferenceThroughTheGeneralBuilder)
{
    std::mt19937 gen(20260101);
    std::uniform_int_distribution<int> near(-20, 115), far(9000, 40000), sign(0, 1);
    std::uniform_int_distribution<int> count(2, 12), width(1, 40);
    for (int iter = 0; iter < 60; ++iter) {
        std::vector<PixelPoint> pts(static_cast<std::size_t>(count(gen)));
        for (auto& p : pts)
            p = {near(gen), near(gen)};
        PixelPoint& f = pts[static_cast<std::size_t>(iter) % pts.size()];
        (iter % 2 ? f.x : f.y) = sign(gen) ? far(gen) : -far(gen);
        ASSERT_FALSE(detail::integerBuilderTakes(pts, 10, 96));
        expectSameCoverage(96, 80, pts, width(gen));
        if (HasFailure())
            return;
    }
}

// The two builders give the same spans, row by row, on ordinary outlines: wide pens, many
// points, vertices off the image on every side.
TEST(OutlineRasterizer, IntegerAndGeneralBuildersGiveTheSameSpans)
{
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> x(-60, 260), y(-60, 210), count(2, 40), width(1, 130);
    std::vector<RowSpan> a, b;
    for (int iter = 0; iter < 400; ++iter) {
        std::vector<PixelPoint> pts(static_cast<std::size_t>(count(gen)));
        for (auto& p : pts)
            p = {x(gen), y(gen)};
        const int w = width(gen);
        ASSERT_TRUE(detail::integerBuilderTakes(pts, w, 200));
        a.clear();
        b.clear();
        const auto na = detail::appendSpansInteger(200, 150, pts, w, a);
        const auto nb = detail::appendSpansGeneral(200, 150, pts, w, b);
        ASSERT_EQ(na, nb) << "outline " << iter << ", width " << w;
        ASSERT_EQ(a.size(), b.size()) << "outline " << iter;
        for (std::size_t i = 0; i < a.size(); ++i)
            ASSERT_TRUE(a[i].row == b[i].row && a[i].first == b[i].first && a[i].end == b[i].end)
                << "outline " << iter << " span " << i << ": row " << a[i].row << " [" << a[i].first << ", " << a[i].end
                << ") against row " << b[i].row << " [" << b[i].first << ", " << b[i].end << ")";
    }
}
