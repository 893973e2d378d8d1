// The plain builders beside the fast one: the general builder (double precision, any vertices
// and widths), the sweep's sort-and-merge reference and the exact per-pixel reference. None of
// them is vectorised or measured: the general builder serves only pens wider than 4096 pixels
// and vertices beyond +-8192, the others serve the tests.
#include "outline_rasterizer.h"
#include "outline_spans.h"
#include "outline_spans_integer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace zovex {

namespace detail {

namespace {

// How the band of an edge (the capsule minus its end disks) meets a row.
enum class EdgeKind { Point, Horizontal, Vertical, Slanted };

struct Edge {
    double ax, ay, bx, by; // end points
    double dx, dy;         // b - a
    double L;              // |d|^2
    double R;              // width * |d| / 2: the band half-width in cross-product units
    int rowFirst, rowLast; // rows the capsule touches, clipped to the image
    EdgeKind kind;
};

inline int clampToInt(double v, int lo, int hi)
{
    if (!(v > lo))
        return lo;
    if (v > hi)
        return hi;
    return static_cast<int>(v);
}

// The edge from a to b and the rows Y with ymin - w/2 <= Y < ymax + w/2 of the image. False
// when the capsule misses the image.
bool edgeOf(PixelPoint a, PixelPoint b, double w, int W, int H, Edge& e)
{
    const double r = 0.5 * w;
    e.ax = a.x;
    e.ay = a.y;
    e.bx = b.x;
    e.by = b.y;
    e.dx = e.bx - e.ax;
    e.dy = e.by - e.ay;
    e.L = e.dx * e.dx + e.dy * e.dy;
    e.R = w * std::sqrt(e.L) * 0.5;
    e.kind = e.dy == 0.0 ? (e.dx == 0.0 ? EdgeKind::Point : EdgeKind::Horizontal)
                         : (e.dx == 0.0 ? EdgeKind::Vertical : EdgeKind::Slanted);
    e.rowFirst = clampToInt(std::ceil(std::min(e.ay, e.by) - r), 0, H);
    e.rowLast = clampToInt(std::ceil(std::max(e.ay, e.by) + r) - 1.0, -1, H - 1);
    if (e.rowFirst > e.rowLast)
        return false;
    return !(std::max(e.ax, e.bx) + r < 0.0 || std::min(e.ax, e.bx) - r > W);
}

// The capsule's pixels on row Y, clamped to [0, W]; first >= end when it covers none. Every row
// gets the exact closed interval [lo, hi]: every operand is an integer or half-integer, sqrt is
// correctly rounded, and each bound ends with one division, so bounds that are exact integers
// come out exactly. Pixel x is covered when lo <= x < hi after rounding both up.
RowSpan capsuleSpan(const Edge& e, int Y, double w, int W)
{
    const double r = 0.5 * w, inf = std::numeric_limits<double>::infinity();
    double lo = inf, hi = -inf;
    auto disk = [&](double cx, double cy) {
        const double d = Y - cy;
        if (std::fabs(d) > r)
            return;
        const double h = 0.5 * std::sqrt(std::max(w * w - 4.0 * d * d, 0.0));
        lo = std::min(lo, cx - h);
        hi = std::max(hi, cx + h);
    };
    disk(e.ax, e.ay);
    if (e.kind != EdgeKind::Point)
        disk(e.bx, e.by);
    const double dya = Y - e.ay;
    if (e.kind == EdgeKind::Horizontal && std::fabs(dya) <= r) {
        lo = std::min(lo, std::min(e.ax, e.bx));
        hi = std::max(hi, std::max(e.ax, e.bx));
    } else if (e.kind == EdgeKind::Vertical && Y >= std::min(e.ay, e.by) && Y <= std::max(e.ay, e.by)) {
        lo = std::min(lo, e.ax - r);
        hi = std::max(hi, e.ax + r);
    } else if (e.kind == EdgeKind::Slanted) {
        // |(X - ax) dy - (Y - ay) dx| <= R  and  0 <= (X - ax) dx + (Y - ay) dy <= L
        const double c = dya * e.dx;
        const double b1 = (c - e.R) / e.dy, b2 = (c + e.R) / e.dy;
        const double t = dya * e.dy;
        const double t1 = (-t) / e.dx, t2 = (e.L - t) / e.dx;
        const double l = std::max(std::min(b1, b2), std::min(t1, t2));
        const double h = std::min(std::max(b1, b2), std::max(t1, t2));
        if (l <= h) {
            lo = std::min(lo, e.ax + l);
            hi = std::max(hi, e.ax + h);
        }
    }
    const double Wd = W;
    return {Y, static_cast<int>(std::min(std::max(std::ceil(lo), 0.0), Wd)),
            static_cast<int>(std::min(std::max(std::ceil(hi), 0.0), Wd))};
}

// Interval union: the spans sorted by row and first pixel, merged into disjoint runs (spans
// that touch join). Returns the pixels covered.
std::int64_t sortAndMerge(std::vector<RowSpan>& spans, std::vector<RowSpan>& out)
{
    std::sort(spans.begin(), spans.end(),
              [](const RowSpan& a, const RowSpan& b) { return a.row != b.row ? a.row < b.row : a.first < b.first; });
    std::int64_t combined = 0;
    for (std::size_t i = 0; i < spans.size();) {
        RowSpan run = spans[i++];
        for (; i < spans.size() && spans[i].row == run.row && spans[i].first <= run.end; ++i)
            run.end = std::max(run.end, spans[i].end);
        out.push_back(run);
        combined += run.end - run.first;
    }
    return combined;
}

} // namespace

std::int64_t appendSpansGeneral(int W, int H, std::span<const PixelPoint> pts, int width, std::vector<RowSpan>& out)
{
    const std::size_t n = pts.size();
    if (n < 2 || width < 1 || W <= 0 || H <= 0)
        return 0;
    std::vector<RowSpan> spans;
    for (std::size_t i = 0; i < n; ++i) {
        Edge e;
        if (!edgeOf(pts[i], pts[(i + 1) % n], width, W, H, e))
            continue;
        for (int y = e.rowFirst; y <= e.rowLast; ++y)
            if (const RowSpan s = capsuleSpan(e, y, width, W); s.first < s.end)
                spans.push_back(s);
    }
    return sortAndMerge(spans, out);
}

std::vector<RowSpan> referenceSweep(const CapsuleColumns& c)
{
    std::vector<RowSpan> spans, runs;
    for (std::size_t i = 0; i < c.capsules.size(); ++i)
        for (std::int32_t y = c.capsules[i].rowFirst; y <= c.capsules[i].rowLast; ++y) {
            const std::uint32_t v = c.rowOf[i][y];
            if (PackedSpan::first(v) < PackedSpan::end(v))
                spans.push_back({y, PackedSpan::first(v), PackedSpan::end(v)});
        }
    sortAndMerge(spans, runs);
    return runs;
}

} // namespace detail

// Reference: for each edge decide whether the point p + (eps, 0), eps infinitesimal, lies in
// the closed capsule, in exact integer arithmetic: each test is "A + eps * B + eps^2 * C <= 0"
// with integer A, B, C, settled by the first non-zero of A, B, C. Shifting right by an
// infinitesimal puts left boundaries inside and right boundaries outside; the flat bottom of a
// horizontal edge is excluded by the row rule Y < ymax + w/2.

namespace {

__extension__ typedef __int128 i128;

// sign of A + eps B + eps^2 C for infinitesimal eps > 0
int infinitesimalSign(i128 A, i128 B, i128 C)
{
    if (A != 0)
        return A < 0 ? -1 : 1;
    if (B != 0)
        return B < 0 ? -1 : 1;
    return C < 0 ? -1 : (C > 0 ? 1 : 0);
}

bool capsuleCoversRef(PixelPoint a, PixelPoint b, int width, int px, int py)
{
    if (2 * static_cast<std::int64_t>(py) >= 2 * static_cast<std::int64_t>(std::max(a.y, b.y)) + width)
        return false;
    const i128 w2 = i128(width) * width;
    // |p + (eps,0) - q|^2 <= w^2/4, i.e. 4 ex^2 + 4 ey^2 - w^2 + eps 8 ex + eps^2 4 <= 0
    auto nearPoint = [&](PixelPoint q) {
        const i128 ex = i128(px) - q.x, ey = i128(py) - q.y;
        return infinitesimalSign(4 * (ex * ex + ey * ey) - w2, 8 * ex, 4) <= 0;
    };
    const i128 dx = i128(b.x) - a.x, dy = i128(b.y) - a.y;
    const i128 L = dx * dx + dy * dy;
    if (L == 0)
        return nearPoint(a);
    const i128 ex = i128(px) - a.x, ey = i128(py) - a.y;
    const i128 t0 = ex * dx + ey * dy; // projection numerator; + eps dx
    if (infinitesimalSign(t0, dx, 0) <= 0)
        return nearPoint(a);
    if (infinitesimalSign(t0 - L, dx, 0) >= 0)
        return nearPoint(b);
    // cross = cross0 + eps dy;  4 cross^2 <= w^2 L
    const i128 cross0 = ex * dy - ey * dx;
    return infinitesimalSign(4 * cross0 * cross0 - w2 * L, 8 * cross0 * dy, 4 * dy * dy) <= 0;
}

} // namespace

bool referenceCovers(std::span<const PixelPoint> pts, int width, int px, int py)
{
    const std::size_t n = pts.size();
    if (n < 2 || width < 1)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (capsuleCoversRef(pts[i], pts[(i + 1) % n], width, px, py))
            return true;
    return false;
}

} // namespace zovex
