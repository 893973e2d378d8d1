// The integer builder stage by stage, each against a plain reference, at the limits it takes
// too: coordinates at +-8192, a pen 4096 wide, an image 32767 wide.
#include "outline_spans.h"
#include "outline_spans_integer.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace zovex;
using namespace zovex::detail;

namespace {

// floor(a / d), d > 0, without the builder's helpers.
std::int64_t plainFloor(std::int64_t a, std::int64_t d)
{
    const std::int64_t m = ((a % d) + d) % d;
    return (a - m) / d;
}

// floor(sqrt(v)) bit by bit.
std::int64_t plainIsqrt(std::uint64_t v)
{
    std::uint64_t root = 0;
    for (int bit = 31; bit >= 0; --bit) {
        const std::uint64_t t = root | (std::uint64_t(1) << bit);
        if (t * t <= v)
            root = t;
    }
    return static_cast<std::int64_t>(root);
}

// A regular star as the rings draw it: n points on a circle, joining every step-th.
std::vector<PixelPoint> star(int cx, int cy, int radius, int n, int step)
{
    std::vector<PixelPoint> pts;
    for (int i = 0, m = 0; i < n; ++i, m = (m + step) % n) {
        const double a = 6.283185307179586 * m / n;
        pts.push_back({cx + static_cast<int>(std::lround(radius * std::sin(a))),
                       cy - static_cast<int>(std::lround(radius * std::cos(a)))});
    }
    return pts;
}

} // namespace

TEST(OutlineStages, QuotientsStepLikeFloorDivision)
{
    struct Case {
        std::int64_t A, S, D;
    };
    const Case cases[] = {
        {0, 1, 1},
        {-7, 3, 5},
        {7, -3, 5},
        {-1, 0, 3},
        {123456, -16384, 1},
        {-300000000, 16383, 16384},
        {300000000, -16384, 16383},
        {5, 16384, 16384},
        {-5, 1, 16384},
        {536870000, -8191, 7},
        {-536870000, 8191, 7},
    };
    for (const Case& c : cases) {
        Quotients q(c.A, Step(c.S, c.D));
        for (int group = 0; group < 40; ++group) {
            for (int lane = 0; lane < 8; ++lane) {
                const std::int64_t k = 8 * group + lane, num = c.A + k * c.S;
                ASSERT_EQ(q.q[lane], plainFloor(num, c.D)) << c.A << " + " << k << " * " << c.S << " over " << c.D;
                ASSERT_EQ(q.r[lane], num - plainFloor(num, c.D) * c.D) << "remainder, row " << k;
            }
            q.step();
        }
    }
}

TEST(OutlineStages, IntegerSquareRootIsTheFloorOfTheRootAcrossItsRange)
{
    std::vector<std::int64_t> values = {0, 1, 2, 3, 4, 15, 16, 17};
    for (std::int64_t s :
         {std::int64_t(4096), std::int64_t(94906265), std::int64_t(2147483647), (std::int64_t(1) << 31) - 3})
        for (std::int64_t v : {s * s - 1, s * s, s * s + 1})
            values.push_back(v);
    values.push_back((std::int64_t(1) << 62) - 1);
    std::mt19937_64 gen(5);
    for (int i = 0; i < 2000; ++i)
        values.push_back(static_cast<std::int64_t>(gen() >> (2 + i % 60)));
    for (std::int64_t v : values)
        ASSERT_EQ(isqrt(v), plainIsqrt(static_cast<std::uint64_t>(v))) << v;
}

// Every row of the table against the exact per-pixel reference for a dot: the chord's first
// pixel is covered and the one before it not, the same at its end, and rows that miss the
// disk (the padding included) read as nothing.
TEST(OutlineStages, ChordTableHoldsTheDiskChordsOfEveryRow)
{
    for (int w : {1, 2, 3, 4, 5, 6, 7, 10, 25, 200, 4095, 4096}) {
        ChordTable t;
        t.build(w);
        const PixelPoint dot[] = {{0, 0}, {0, 0}};
        auto covered = [&](int x, int d) { return referenceCovers(dot, w, x, d); };
        for (int d = -t.pad; d <= t.pad; ++d) {
            const std::int32_t first = t.first[static_cast<std::size_t>(d + t.pad)];
            const std::int32_t end = t.end[static_cast<std::size_t>(d + t.pad)];
            if (first == kNone) {
                ASSERT_EQ(end, -kNone);
                ASSERT_FALSE(covered(0, d) || covered(-1, d) || covered(1, d)) << "width " << w << " row " << d;
                continue;
            }
            ASSERT_LT(first, end) << "width " << w << " row " << d;
            ASSERT_TRUE(covered(first, d) && covered(end - 1, d)) << "width " << w << " row " << d;
            ASSERT_FALSE(covered(first - 1, d) || covered(end, d)) << "width " << w << " row " << d;
        }
    }
}

namespace {

struct SweepCase {
    const char* what;
    int W, H, width;
    std::vector<PixelPoint> pts;
};

std::vector<SweepCase> sweepCases()
{
    std::vector<SweepCase> cases = {
        {"99-point star", 860, 860, 1, star(430, 430, 333, 99, 49)},
        {"49-point star, wide pen", 860, 860, 37, star(430, 430, 333, 49, 24)},
        {"square, pen 200", 860, 860, 200, star(430, 430, 333, 4, 1)},
        {"far corners, pen 4096", 32767, 10300, 4096, {{-8192, -8192}, {8192, 8192}, {8192, -8192}, {-8192, 8192}}},
        {"star at the limits, wide image", 32767, 300, 3, star(0, 0, 8192, 97, 48)},
        {"flat and upright edges at +-8192",
         32767,
         8300,
         9,
         {{-8192, 8192}, {8192, 8192}, {8192, -8192}, {8192, 8192}, {5, 8192}, {5, 0}}},
        {"one dot, pen 4096", 32767, 4000, 4096, {{8192, 1000}, {8192, 1000}}},
    };
    std::mt19937 gen(18);
    std::uniform_int_distribution<int> coord(-80, 300), count(2, 60), width(1, 90);
    for (int i = 0; i < 150; ++i) {
        std::vector<PixelPoint> pts(static_cast<std::size_t>(count(gen)));
        for (auto& p : pts)
            p = {coord(gen), coord(gen)};
        cases.push_back({"random outline", 240, 200, width(gen), std::move(pts)});
    }
    return cases;
}

bool sameRuns(const std::vector<RowSpan>& a, const RowSpan* b, std::size_t n, std::string& why)
{
    for (std::size_t i = 0; i < std::min(a.size(), n); ++i)
        if (a[i].row != b[i].row || a[i].first != b[i].first || a[i].end != b[i].end) {
            why = "run " + std::to_string(i) + ": row " + std::to_string(b[i].row) + " [" + std::to_string(b[i].first) +
                  ", " + std::to_string(b[i].end) + ") against row " + std::to_string(a[i].row) + " [" +
                  std::to_string(a[i].first) + ", " + std::to_string(a[i].end) + ")";
            return false;
        }
    why = std::to_string(n) + " runs against " + std::to_string(a.size());
    return a.size() == n;
}

} // namespace

TEST(OutlineStages, SweepGivesTheRunsOfSortingAndMergingTheSameCapsules)
{
    CapsuleColumns columns;
    SweepScratch scratch;
    for (const SweepCase& c : sweepCases()) {
        ASSERT_TRUE(integerBuilderTakes(c.pts, c.width, c.W)) << c.what;
        if (!buildCapsuleColumns(c.W, c.H, c.pts, c.width, columns))
            continue; // off the image: the builders' own test sees it draw nothing
        const std::size_t n = sweepCapsuleColumns(columns, scratch);
        std::string why;
        ASSERT_TRUE(sameRuns(referenceSweep(columns), scratch.runs.data(), n, why)) << c.what << ": " << why;
    }
}

// The whole fast builder against the plain general one, at the limit cases; the general one
// is checked against the per-pixel reference in outline_rasterizer_test.
TEST(OutlineStages, IntegerBuilderAgreesWithTheGeneralOneAtItsLimits)
{
    for (const SweepCase& c : sweepCases()) {
        std::vector<RowSpan> fast, plain;
        const auto nFast = appendSpansInteger(c.W, c.H, c.pts, c.width, fast);
        const auto nPlain = appendSpansGeneral(c.W, c.H, c.pts, c.width, plain);
        ASSERT_EQ(nFast, nPlain) << c.what;
        std::string why;
        ASSERT_TRUE(sameRuns(plain, fast.data(), fast.size(), why)) << c.what << ": " << why;
    }
}

// Just past each limit the general builder takes the outline.
TEST(OutlineStages, OutlinesPastTheLimitsGoToTheGeneralBuilder)
{
    const std::vector<PixelPoint> inside = {{-8192, 8192}, {8192, -8192}};
    EXPECT_TRUE(integerBuilderTakes(inside, 4096, 32767));
    EXPECT_FALSE(integerBuilderTakes(inside, 4097, 32767));
    EXPECT_FALSE(integerBuilderTakes(inside, 4096, 32768));
    EXPECT_FALSE(integerBuilderTakes(std::vector<PixelPoint>{{-8193, 0}, {0, 0}}, 1, 100));
    EXPECT_FALSE(integerBuilderTakes(std::vector<PixelPoint>{{0, 0}, {0, 8193}}, 1, 100));
    EXPECT_FALSE(integerBuilderTakes(std::vector<PixelPoint>(65536), 1, 100));
    EXPECT_TRUE(integerBuilderTakes(std::vector<PixelPoint>(65535), 1, 100));
}

// Pens too wide for the integer builder (5000 and the largest, 32767): the general builder
// against the per-pixel reference, with the pen's edge crossing the image (edges a pen's half
// away, end disks centred off the image).
TEST(OutlineStages, GeneralBuilderMatchesTheReferenceForTheWidestPens)
{
    constexpr int W = 96, H = 80;
    std::mt19937 gen(32767);
    std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
    std::uniform_int_distribution<int> shift(-30, 30);
    for (int width : {5000, 32767}) {
        const double r = width / 2.0;
        for (int iter = 0; iter < 24; ++iter) {
            const double a = angle(gen), ux = std::cos(a), uy = std::sin(a);
            std::vector<PixelPoint> pts;
            if (iter % 3 == 0) { // a dot whose disk's rim crosses the image
                pts = {{static_cast<int>(std::lround(48 + (r + shift(gen)) * ux)),
                        static_cast<int>(std::lround(40 + (r + shift(gen)) * uy))}};
                pts.push_back(pts[0]);
            } else { // a long edge a pen's half from the centre of the image
                const double cx = 48 - (r + shift(gen)) * uy, cy = 40 + (r + shift(gen)) * ux;
                const double reach = iter % 3 == 1 ? 100000.0 : 40.0; // ends far off, or near
                pts = {
                    {static_cast<int>(std::lround(cx - reach * ux)), static_cast<int>(std::lround(cy - reach * uy))},
                    {static_cast<int>(std::lround(cx + reach * ux)), static_cast<int>(std::lround(cy + reach * uy))}};
            }
            ASSERT_FALSE(integerBuilderTakes(pts, width, W));
            std::vector<RowSpan> spans;
            appendSpansGeneral(W, H, pts, width, spans);
            std::vector<std::uint8_t> covered(W * H, 0);
            for (const RowSpan& s : spans)
                for (int x = s.first; x < s.end; ++x)
                    ++covered[static_cast<std::size_t>(s.row * W + x)];
            int inside = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const bool want = referenceCovers(pts, width, x, y);
                    inside += want;
                    ASSERT_EQ(covered[static_cast<std::size_t>(y * W + x)], want ? 1 : 0)
                        << "pixel (" << x << ", " << y << "), width " << width << ", case " << iter;
                }
            if (iter % 3 != 1)
                continue;
            EXPECT_GT(inside, 0) << "the pen's edge should cross the image, case " << iter;
            EXPECT_LT(inside, W * H) << "the pen's edge should cross the image, case " << iter;
        }
    }
}
