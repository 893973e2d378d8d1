#include "outline_rasterizer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace zovex {

namespace {

struct Edge {
    double ax, ay, bx, by; // end points
    double dx, dy;         // b - a
    double L;              // |d|^2
    double R;              // width * |d| / 2: the band half-width in cross-product units
    int rowFirst, rowLast; // rows the capsule touches, clipped to the image
};

struct Span {
    int first, end; // [first, end)
};

// Row interval of one capsule at row Y, closed [lo, hi]. Returns false when the row misses it.
// Written so that boundary values that are exact integers come out exactly: every operand is an
// integer or half-integer, sqrt is correctly rounded, and each bound ends with one division.
inline bool capsuleRow(const Edge& e, double Y, double w, double w2, double& lo, double& hi)
{
    const double r = 0.5 * w;
    lo = std::numeric_limits<double>::infinity();
    hi = -lo;
    const double dya = Y - e.ay;
    if (std::fabs(dya) <= r) {
        const double h = 0.5 * std::sqrt(w2 - 4.0 * dya * dya);
        lo = std::min(lo, e.ax - h);
        hi = std::max(hi, e.ax + h);
    }
    const double dyb = Y - e.by;
    if (std::fabs(dyb) <= r) {
        const double h = 0.5 * std::sqrt(w2 - 4.0 * dyb * dyb);
        lo = std::min(lo, e.bx - h);
        hi = std::max(hi, e.bx + h);
    }
    if (e.dy == 0.0) {
        if (e.dx != 0.0 && std::fabs(dya) <= r) {
            lo = std::min(lo, std::min(e.ax, e.bx));
            hi = std::max(hi, std::max(e.ax, e.bx));
        }
    } else if (e.dx == 0.0) {
        if (Y >= std::min(e.ay, e.by) && Y <= std::max(e.ay, e.by)) {
            lo = std::min(lo, e.ax - r);
            hi = std::max(hi, e.ax + r);
        }
    } else {
        // |(X - ax) dy - (Y - ay) dx| <= R  and  0 <= (X - ax) dx + (Y - ay) dy <= L
        const double c = dya * e.dx;
        double b1 = (c - e.R) / e.dy, b2 = (c + e.R) / e.dy;
        if (b1 > b2)
            std::swap(b1, b2);
        const double t = dya * e.dy;
        double t1 = (-t) / e.dx, t2 = (e.L - t) / e.dx;
        if (t1 > t2)
            std::swap(t1, t2);
        const double l = std::max(b1, t1), h = std::min(b2, t2);
        if (l <= h) {
            lo = std::min(lo, e.ax + l);
            hi = std::max(hi, e.ax + h);
        }
    }
    return lo <= hi;
}

inline int clampToInt(double v, int lo, int hi)
{
    if (!(v > lo))
        return lo;
    if (v > hi)
        return hi;
    return static_cast<int>(v);
}

// Many spans in one row (stars with many points): union them in a bit mask of the row instead
// of sorting, then combine each run of set bits once. Leaves the mask cleared. A span covers
// a few words at most: a call to memset for its middle words (what the compiler would make of
// the loop) costs more than the stores, and its wide stores stall the next span's reads.
__attribute__((optimize("no-tree-loop-distribute-patterns")))
std::int64_t combineByMask(std::uint32_t* row, const std::vector<Span>& spans, Rop2 op,
                           std::uint32_t pen, std::vector<std::uint64_t>& mask)
{
    std::size_t lo = mask.size(), hi = 0;
    for (const Span& sp : spans) {
        const std::size_t a = static_cast<std::size_t>(sp.first), b = static_cast<std::size_t>(sp.end);
        const std::size_t wa = a >> 6, wb = (b - 1) >> 6;
        const std::uint64_t headMask = ~0ull << (a & 63);
        const std::uint64_t tailMask = ~0ull >> (63 - ((b - 1) & 63));
        if (wa == wb) {
            mask[wa] |= headMask & tailMask;
        } else {
            mask[wa] |= headMask;
            for (std::size_t w = wa + 1; w < wb; ++w)
                mask[w] = ~0ull;
            mask[wb] |= tailMask;
        }
        lo = std::min(lo, wa);
        hi = std::max(hi, wb);
    }
    std::int64_t combined = 0;
    int runStart = -1;
    for (std::size_t w = lo; w <= hi; ++w) {
        std::uint64_t bitsLeft = mask[w];
        mask[w] = 0;
        int base = static_cast<int>(w << 6);
        int pos = 0;
        while (pos < 64) {
            if (runStart < 0) {
                const std::uint64_t rest = bitsLeft >> pos;
                if (rest == 0)
                    break;
                pos += __builtin_ctzll(rest);
                runStart = base + pos;
            } else {
                const std::uint64_t rest = ~bitsLeft >> pos;
                if (rest == 0)
                    break;
                pos += __builtin_ctzll(rest);
                const int runEnd = base + pos;
                rop2Span(op, pen, row + runStart, runEnd - runStart);
                combined += runEnd - runStart;
                runStart = -1;
            }
        }
    }
    if (runStart >= 0) {
        const int runEnd = static_cast<int>((hi + 1) << 6);
        rop2Span(op, pen, row + runStart, runEnd - runStart);
        combined += runEnd - runStart;
    }
    return combined;
}

} // namespace

// Built twice: for the x86-64 baseline and for AVX2 machines (rounding instructions, wider
// vectors in the span loops); the loader picks one at start-up.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define ZOVEX_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ZOVEX_CLONES
#endif

ZOVEX_CLONES
std::int64_t strokeClosedPolygon(QImage& image, std::span<const PixelPoint> pts, int width,
                                 Rop2 op, std::uint32_t penPixel)
{
    const std::size_t n = pts.size();
    const int W = image.width(), H = image.height();
    if (n < 2 || width < 1 || W <= 0 || H <= 0)
        return 0;

    thread_local std::vector<Edge> edges;
    thread_local std::vector<Span> spans;
    thread_local std::vector<std::uint64_t> mask;
    edges.clear();
    mask.assign(static_cast<std::size_t>(W / 64 + 1), 0);

    const double w = width;
    const double w2 = w * w;
    const double r = 0.5 * w;
    int rowMin = H, rowMax = -1;
    for (std::size_t i = 0; i < n; ++i) {
        const PixelPoint a = pts[i], b = pts[(i + 1) % n];
        Edge e;
        e.ax = a.x;
        e.ay = a.y;
        e.bx = b.x;
        e.by = b.y;
        e.dx = e.bx - e.ax;
        e.dy = e.by - e.ay;
        e.L = e.dx * e.dx + e.dy * e.dy;
        e.R = w * std::sqrt(e.L) * 0.5;
        // Rows Y with ymin - r <= Y < ymax + r.
        const double top = std::ceil(std::min(e.ay, e.by) - r);
        const double bottom = std::ceil(std::max(e.ay, e.by) + r) - 1.0;
        e.rowFirst = clampToInt(top, 0, H);
        e.rowLast = clampToInt(bottom, -1, H - 1);
        if (e.rowFirst > e.rowLast)
            continue;
        // Skip capsules entirely left or right of the image.
        if (std::max(e.ax, e.bx) + r < 0.0 || std::min(e.ax, e.bx) - r > W)
            continue;
        rowMin = std::min(rowMin, e.rowFirst);
        rowMax = std::max(rowMax, e.rowLast);
        edges.push_back(e);
    }

    std::int64_t combined = 0;
    auto* bits = reinterpret_cast<std::uint32_t*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / 4;
    for (int y = rowMin; y <= rowMax; ++y) {
        spans.clear();
        const double Y = y;
        for (const Edge& e : edges) {
            if (y < e.rowFirst || y > e.rowLast)
                continue;
            double lo, hi;
            if (!capsuleRow(e, Y, w, w2, lo, hi))
                continue;
            // Half-open: pixel x is covered when lo <= x < hi.
            const int first = clampToInt(std::ceil(lo), 0, W);
            const int end = clampToInt(std::ceil(hi), 0, W);
            if (first < end)
                spans.push_back({first, end});
        }
        if (spans.empty())
            continue;
        std::uint32_t* row = bits + stride * y;
        if (spans.size() > 8) {
            combined += combineByMask(row, spans, op, penPixel, mask);
            continue;
        }
        // Few spans per row is the common case: insertion sort, then merge.
        for (std::size_t i = 1; i < spans.size(); ++i) {
            const Span s = spans[i];
            std::size_t j = i;
            for (; j > 0 && spans[j - 1].first > s.first; --j)
                spans[j] = spans[j - 1];
            spans[j] = s;
        }
        Span cur = spans.front();
        for (std::size_t i = 1; i < spans.size(); ++i) {
            if (spans[i].first <= cur.end) {
                cur.end = std::max(cur.end, spans[i].end);
            } else {
                rop2Span(op, penPixel, row + cur.first, cur.end - cur.first);
                combined += cur.end - cur.first;
                cur = spans[i];
            }
        }
        rop2Span(op, penPixel, row + cur.first, cur.end - cur.first);
        combined += cur.end - cur.first;
    }
    return combined;
}

// ---------------------------------------------------------------------------------------------
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
    if (2 * static_cast<std::int64_t>(py) >=
        2 * static_cast<std::int64_t>(std::max(a.y, b.y)) + width)
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
