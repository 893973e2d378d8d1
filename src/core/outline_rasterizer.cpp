#include "outline_rasterizer.h"

#include "outline_spans.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace zovex {

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

struct Span {
    int first, end; // [first, end)
};

// Half-open: pixel x is covered when lo <= x < hi. Clamped to [0, W] before the conversion; a
// row the capsule misses (lo = inf, hi = -inf) comes out empty.
inline void toPixels(double lo, double hi, double W, int& first, int& end)
{
    first = static_cast<int>(std::min(std::max(std::ceil(lo), 0.0), W));
    end = static_cast<int>(std::min(std::max(std::ceil(hi), 0.0), W));
}

// Pixel spans of one capsule for the rows rowFirst .. rowFirst + count - 1: first[k], end[k];
// an empty span comes out with first >= end. Every row gets the exact closed interval [lo, hi]:
// every operand is an integer or half-integer, sqrt is correctly rounded, and each bound ends
// with one division, so bounds that are exact integers come out exactly. Branch-free per row:
// a bound is computed regardless and dropped when its condition fails.
template <EdgeKind kind>
inline void capsuleRows(const Edge& edge, int rowFirst, int count, double w, double W,
                        int* __restrict first, int* __restrict end)
{
    const Edge e = edge; // a local copy: its fields stay in registers across the rows
    const double r = 0.5 * w, w2 = w * w;
    const double inf = std::numeric_limits<double>::infinity();
    const double yMin = std::min(e.ay, e.by), yMax = std::max(e.ay, e.by);
    const double xMin = std::min(e.ax, e.bx), xMax = std::max(e.ax, e.bx);
    for (int k = 0; k < count; ++k) {
        const double Y = rowFirst + k;
        double lo = inf, hi = -inf;
        const double dya = Y - e.ay;
        const bool nearA = std::fabs(dya) <= r;
        const double ha = 0.5 * std::sqrt(std::max(w2 - 4.0 * dya * dya, 0.0));
        lo = nearA ? std::min(lo, e.ax - ha) : lo;
        hi = nearA ? std::max(hi, e.ax + ha) : hi;
        if constexpr (kind != EdgeKind::Point) {
            const double dyb = Y - e.by;
            const bool nearB = std::fabs(dyb) <= r;
            const double hb = 0.5 * std::sqrt(std::max(w2 - 4.0 * dyb * dyb, 0.0));
            lo = nearB ? std::min(lo, e.bx - hb) : lo;
            hi = nearB ? std::max(hi, e.bx + hb) : hi;
        }
        if constexpr (kind == EdgeKind::Horizontal) {
            lo = nearA ? std::min(lo, xMin) : lo;
            hi = nearA ? std::max(hi, xMax) : hi;
        } else if constexpr (kind == EdgeKind::Vertical) {
            const bool along = Y >= yMin && Y <= yMax;
            lo = along ? std::min(lo, e.ax - r) : lo;
            hi = along ? std::max(hi, e.ax + r) : hi;
        } else if constexpr (kind == EdgeKind::Slanted) {
            // |(X - ax) dy - (Y - ay) dx| <= R  and  0 <= (X - ax) dx + (Y - ay) dy <= L
            const double c = dya * e.dx;
            const double b1 = (c - e.R) / e.dy, b2 = (c + e.R) / e.dy;
            const double t = dya * e.dy;
            const double t1 = (-t) / e.dx, t2 = (e.L - t) / e.dx;
            const double l = std::max(std::min(b1, b2), std::min(t1, t2));
            const double h = std::min(std::max(b1, b2), std::max(t1, t2));
            const bool band = l <= h;
            lo = band ? std::min(lo, e.ax + l) : lo;
            hi = band ? std::max(hi, e.ax + h) : hi;
        }
        toPixels(lo, hi, W, first[k], end[k]);
    }
}

// The rows of a slanted edge at least r + 1 below its upper end and above its lower end: there
// the row meets neither end disk, and the band's row interval lies at least two pixels inside
// the lines through the ends perpendicular to the edge (far more than any rounding error, for
// all 32-bit coordinates), so the projection bounds of capsuleRows lose every comparison and
// its interval is the band's alone: the same values from two divisions instead of four and
// no square roots.
inline void bandRows(const Edge& edge, int rowFirst, int count, double W, int* __restrict first,
                     int* __restrict end)
{
    const Edge e = edge;
    for (int k = 0; k < count; ++k) {
        const double dya = (rowFirst + k) - e.ay;
        const double c = dya * e.dx;
        const double b1 = (c - e.R) / e.dy, b2 = (c + e.R) / e.dy;
        toPixels(e.ax + std::min(b1, b2), e.ax + std::max(b1, b2), W, first[k], end[k]);
    }
}

// Four rows at a time in vector registers (two SSE2 registers in the baseline build, one AVX2
// register in the other): the same operations as the scalar loops above, lane by lane, so the
// same correctly rounded values; only the divisions run four at once.
// The helpers are internal and always inlined, so the ABI note for 32-byte vectors in the
// baseline build does not apply (it comes at the end of the file, hence no pop).
#pragma GCC diagnostic ignored "-Wpsabi"
typedef double V4d __attribute__((vector_size(32)));
typedef std::int64_t V4l __attribute__((vector_size(32)));
typedef std::int32_t V4i __attribute__((vector_size(16)));

[[gnu::always_inline]] inline V4d vmin(const V4d& a, const V4d& b) { return b < a ? b : a; } // as std::min
[[gnu::always_inline]] inline V4d vmax(const V4d& a, const V4d& b) { return a < b ? b : a; } // as std::max

// toPixels on four rows. ceil by truncation, after clamping to [-1, W + 1], which keeps the
// clamped ceil the same and the values within int range.
[[gnu::always_inline]] inline void toPixels4(const V4d& lo, const V4d& hi, double W, int* first, int* end)
{
    auto pixels = [W](const V4d& value) {
        const V4d v = vmin(vmax(value, V4d{} - 1.0), V4d{} + (W + 1.0));
        const V4d t = __builtin_convertvector(__builtin_convertvector(v, V4i), V4d);
        V4d c = t < v ? t + 1.0 : t;
        c = vmin(vmax(c, V4d{}), V4d{} + W);
        return __builtin_convertvector(c, V4i);
    };
    const V4i f = pixels(lo), e = pixels(hi);
    std::memcpy(first, &f, sizeof f);
    std::memcpy(end, &e, sizeof e);
}

// capsuleRows<Slanted> on four rows from rowFirst. capHalf[i] is the half chord of an end disk
// i rows from its centre, 0.5 * sqrt(w^2 - 4 i^2), the value the scalar loop computes.
[[gnu::always_inline]] inline void slantedRows4(const Edge& e, int rowFirst, double r, const double* capHalf,
                         int capLast, double W, int* first, int* end)
{
    const double inf = std::numeric_limits<double>::infinity();
    const V4d Y = V4d{0.0, 1.0, 2.0, 3.0} + double(rowFirst);
    const V4d dya = Y - e.ay, dyb = Y - e.by;
    const V4d ada = dya < 0.0 ? -dya : dya, adb = dyb < 0.0 ? -dyb : dyb;
    const V4l nearA = ada <= r, nearB = adb <= r;
    const V4i ia = __builtin_convertvector(vmin(ada, V4d{} + capLast), V4i);
    const V4i ib = __builtin_convertvector(vmin(adb, V4d{} + capLast), V4i);
    const V4d ha = {capHalf[ia[0]], capHalf[ia[1]], capHalf[ia[2]], capHalf[ia[3]]};
    const V4d hb = {capHalf[ib[0]], capHalf[ib[1]], capHalf[ib[2]], capHalf[ib[3]]};
    V4d lo = nearA ? e.ax - ha : V4d{} + inf;
    V4d hi = nearA ? e.ax + ha : V4d{} - inf;
    lo = nearB ? vmin(lo, e.bx - hb) : lo;
    hi = nearB ? vmax(hi, e.bx + hb) : hi;
    const V4d c = dya * e.dx;
    const V4d b1 = (c - e.R) / e.dy, b2 = (c + e.R) / e.dy;
    const V4d t = dya * e.dy;
    const V4d t1 = (-t) / e.dx, t2 = (e.L - t) / e.dx;
    const V4d l = vmax(vmin(b1, b2), vmin(t1, t2));
    const V4d h = vmin(vmax(b1, b2), vmax(t1, t2));
    const V4l band = l <= h;
    lo = band ? vmin(lo, e.ax + l) : lo;
    hi = band ? vmax(hi, e.ax + h) : hi;
    toPixels4(lo, hi, W, first, end);
}

// bandRows on four rows from rowFirst.
[[gnu::always_inline]] inline void bandRows4(const Edge& e, int rowFirst, double W, int* first, int* end)
{
    const V4d dya = (V4d{0.0, 1.0, 2.0, 3.0} + double(rowFirst)) - e.ay;
    const V4d c = dya * e.dx;
    const V4d b1 = (c - e.R) / e.dy, b2 = (c + e.R) / e.dy;
    toPixels4(e.ax + vmin(b1, b2), e.ax + vmax(b1, b2), W, first, end);
}

// Rows of one capsule, rowFirst .. rowLast: the rows away from both ends through bandRows (or
// one constant span for a vertical edge), the rest through capsuleRows. Inlined, so it is built
// into each build of strokeClosedPolygon (rounding instructions in the AVX2 one).
[[gnu::always_inline]] inline void edgeSpans(const Edge& e, double w, double W,
                                             const double* capHalf, int capLast, int* first,
                                             int* end)
{
    const int count = e.rowLast - e.rowFirst + 1;
    if (e.kind == EdgeKind::Point)
        return capsuleRows<EdgeKind::Point>(e, e.rowFirst, count, w, W, first, end);
    if (e.kind == EdgeKind::Horizontal)
        return capsuleRows<EdgeKind::Horizontal>(e, e.rowFirst, count, w, W, first, end);
    const double r = 0.5 * w;
    const double midTop = std::ceil(std::min(e.ay, e.by) + r + 1.0);
    const double midBottom = std::floor(std::max(e.ay, e.by) - r - 1.0);
    const int midFirst = static_cast<int>(std::clamp(midTop, double(e.rowFirst), double(e.rowLast) + 1.0));
    const int midEnd = static_cast<int>(std::clamp(midBottom + 1.0, double(midFirst), double(e.rowLast) + 1.0));
    const int head = midFirst - e.rowFirst, mid = midEnd - midFirst, tail = e.rowLast + 1 - midEnd;
    if (e.kind == EdgeKind::Vertical) {
        capsuleRows<EdgeKind::Vertical>(e, e.rowFirst, head, w, W, first, end);
        int f, en;
        toPixels(e.ax - r, e.ax + r, W, f, en);
        std::fill_n(first + head, mid, f);
        std::fill_n(end + head, mid, en);
        capsuleRows<EdgeKind::Vertical>(e, midEnd, tail, w, W, first + head + mid, end + head + mid);
        return;
    }
    auto slanted = [&](int from, int rows, int* f, int* en) __attribute__((always_inline)) {
        int k = 0;
        for (; k + 4 <= rows; k += 4)
            slantedRows4(e, from + k, r, capHalf, capLast, W, f + k, en + k);
        capsuleRows<EdgeKind::Slanted>(e, from + k, rows - k, w, W, f + k, en + k);
    };
    slanted(e.rowFirst, head, first, end);
    int k = 0;
    for (; k + 4 <= mid; k += 4)
        bandRows4(e, midFirst + k, W, first + head + k, end + head + k);
    bandRows(e, midFirst + k, mid - k, W, first + head + k, end + head + k);
    slanted(midEnd, tail, first + head + mid, end + head + mid);
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
// of sorting, then emit each run of set bits once. Leaves the mask cleared. A span covers
// a few words at most: a call to memset for its middle words (what the compiler would make of
// the loop) costs more than the stores, and its wide stores stall the next span's reads.
__attribute__((optimize("no-tree-loop-distribute-patterns")))
std::int64_t unionByMask(int y, std::span<const Span> spans, std::vector<std::uint64_t>& mask,
                         std::vector<RowSpan>& out)
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
                out.push_back({y, runStart, runEnd});
                combined += runEnd - runStart;
                runStart = -1;
            }
        }
    }
    if (runStart >= 0) {
        const int runEnd = static_cast<int>((hi + 1) << 6);
        out.push_back({y, runStart, runEnd});
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

// The general builder: each capsule row by row in double precision, every bound ending in one
// correctly rounded division, so bounds that are whole numbers come out exactly.
ZOVEX_CLONES
std::int64_t detail::appendSpansGeneral(int W, int H, std::span<const PixelPoint> pts, int width,
                                        std::vector<RowSpan>& out)
{
    const std::size_t n = pts.size();
    if (n < 2 || width < 1 || W <= 0 || H <= 0)
        return 0;

    thread_local std::vector<Edge> edges;
    thread_local std::vector<Span> spans;
    thread_local std::vector<std::uint64_t> mask;
    thread_local std::vector<int> rowStart, rowFill, spanFirst, spanEnd;
    thread_local std::vector<double> capHalf; // see slantedRows4; kept while the width stays
    thread_local int capHalfWidth = 0;
    edges.clear();
    mask.assign(static_cast<std::size_t>(W / 64 + 1), 0);

    const double w = width;
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
        e.kind = e.dy == 0.0 ? (e.dx == 0.0 ? EdgeKind::Point : EdgeKind::Horizontal)
                             : (e.dx == 0.0 ? EdgeKind::Vertical : EdgeKind::Slanted);
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
    if (edges.empty())
        return 0;

    // Edge by edge, so each capsule's rows run through one straight loop; the spans land in
    // per-row buckets, sized beforehand by counting the capsules over each row.
    const int rows = rowMax - rowMin + 1;
    rowFill.assign(static_cast<std::size_t>(rows + 1), 0); // first: change of the count per row
    for (const Edge& e : edges) {
        ++rowFill[static_cast<std::size_t>(e.rowFirst - rowMin)];
        --rowFill[static_cast<std::size_t>(e.rowLast - rowMin + 1)];
    }
    rowStart.resize(static_cast<std::size_t>(rows + 1)); // bucket k starts at rowStart[k]
    int over = 0, start = 0;
    for (std::size_t k = 0; k < static_cast<std::size_t>(rows); ++k) {
        over += rowFill[k];
        rowStart[k] = start;
        start += over;
    }
    rowStart[static_cast<std::size_t>(rows)] = start;
    rowFill.assign(rowStart.begin(), rowStart.end() - 1);
    spans.resize(static_cast<std::size_t>(rowStart.back()));
    spanFirst.resize(static_cast<std::size_t>(H));
    spanEnd.resize(static_cast<std::size_t>(H));

    const double Wd = W;
    const int capLast = width / 2; // the last whole row within r of a disk's centre
    if (capHalfWidth != width) {
        capHalf.resize(static_cast<std::size_t>(capLast + 1));
        for (int i = 0; i <= capLast; ++i) {
            const double dy = i;
            capHalf[static_cast<std::size_t>(i)] = 0.5 * std::sqrt(w * w - 4.0 * dy * dy);
        }
        capHalfWidth = width;
    }
    for (const Edge& e : edges) {
        const int count = e.rowLast - e.rowFirst + 1;
        edgeSpans(e, w, Wd, capHalf.data(), capLast, spanFirst.data(), spanEnd.data());
        int* fill = rowFill.data() + (e.rowFirst - rowMin);
        for (int k = 0; k < count; ++k) {
            const Span sp{spanFirst[static_cast<std::size_t>(k)], spanEnd[static_cast<std::size_t>(k)]};
            spans[static_cast<std::size_t>(fill[k])] = sp;
            fill[k] += sp.first < sp.end; // empty spans are overwritten by the next one
        }
    }

    std::int64_t combined = 0;
    for (int k = 0; k < rows; ++k) {
        Span* const rowSpans = spans.data() + rowStart[static_cast<std::size_t>(k)];
        const std::size_t count = static_cast<std::size_t>(rowFill[static_cast<std::size_t>(k)] - rowStart[static_cast<std::size_t>(k)]);
        if (count == 0)
            continue;
        const int y = rowMin + k;
        if (count > 8) {
            combined += unionByMask(y, std::span<const Span>(rowSpans, count), mask, out);
            continue;
        }
        // Few spans per row is the common case: insertion sort, then merge.
        for (std::size_t i = 1; i < count; ++i) {
            const Span s = rowSpans[i];
            std::size_t j = i;
            for (; j > 0 && rowSpans[j - 1].first > s.first; --j)
                rowSpans[j] = rowSpans[j - 1];
            rowSpans[j] = s;
        }
        Span cur = rowSpans[0];
        for (std::size_t i = 1; i < count; ++i) {
            if (rowSpans[i].first <= cur.end) {
                cur.end = std::max(cur.end, rowSpans[i].end);
            } else {
                out.push_back({y, cur.first, cur.end});
                combined += cur.end - cur.first;
                cur = rowSpans[i];
            }
        }
        out.push_back({y, cur.first, cur.end});
        combined += cur.end - cur.first;
    }
    return combined;
}

std::int64_t OutlineBatch::add(int imageWidth, int imageHeight, std::span<const PixelPoint> pts,
                               int width, Rop2 op, std::uint32_t pen)
{
    const std::size_t begin = m_spans.size();
    const std::int64_t combined =
        detail::integerBuilderTakes(pts, width, imageWidth)
            ? detail::appendSpansInteger(imageWidth, imageHeight, pts, width, m_spans)
            : detail::appendSpansGeneral(imageWidth, imageHeight, pts, width, m_spans);
    if (m_spans.size() > begin)
        m_outlines.push_back({op, pen, begin, m_spans.size(), m_spans[begin].row, m_spans.back().row});
    return combined;
}

void OutlineBatch::clear()
{
    m_outlines.clear();
    m_spans.clear();
}

namespace {

// n pixels of one colour from dst on. On x86-64 a string store: the processor writes whole
// cache lines without first reading them, which a loop of vector stores cannot do.
void fillPixels(std::uint32_t* dst, std::size_t n, std::uint32_t pixel)
{
#if defined(__x86_64__) && defined(__GNUC__)
    asm volatile("rep stosl" : "+D"(dst), "+c"(n) : "a"(pixel) : "memory");
#else
    std::fill_n(dst, n, pixel);
#endif
}

} // namespace

void OutlineBatch::apply(QImage& image, const std::uint32_t* fill)
{
    const int W = image.width(), H = image.height();
    int rowFirst = fill ? 0 : H, rowLast = fill ? H - 1 : -1;
    for (const Outline& o : m_outlines) {
        rowFirst = std::min(rowFirst, o.rowFirst);
        rowLast = std::max(rowLast, o.rowLast);
    }
    m_cursor.resize(m_outlines.size());
    for (std::size_t i = 0; i < m_outlines.size(); ++i)
        m_cursor[i] = m_outlines[i].begin;
    auto* bits = reinterpret_cast<std::uint32_t*>(image.bits());
    const std::ptrdiff_t stride = image.bytesPerLine() / 4;
    const RowSpan* spans = m_spans.data();
    // Sixteen rows at a time: few calls, and the band stays in the cache while every outline
    // goes over it.
    constexpr int kBand = 16;
    RowSpan fillSpans[kBand];
    for (int y0 = rowFirst; y0 <= rowLast; y0 += kBand) {
        const int y1 = std::min(y0 + kBand, rowLast + 1); // rows y0 .. y1 - 1
        if (fill && stride == W) {
            fillPixels(bits + stride * y0, static_cast<std::size_t>(y1 - y0) * static_cast<std::size_t>(W), *fill);
        } else if (fill) {
            for (int y = y0; y < y1; ++y)
                fillSpans[y - y0] = {y, 0, W};
            rop2Spans(Rop2::CopyPen, *fill, bits, stride, fillSpans, static_cast<std::size_t>(y1 - y0));
        }
        for (std::size_t i = 0; i < m_outlines.size(); ++i) {
            const Outline& o = m_outlines[i];
            if (y1 <= o.rowFirst || y0 > o.rowLast)
                continue;
            const std::size_t from = m_cursor[i];
            std::size_t to = from;
            while (to < o.end && spans[to].row < y1)
                ++to;
            if (to > from)
                rop2Spans(o.op, o.pen, bits, stride, spans + from, to - from);
            m_cursor[i] = to;
        }
    }
    clear();
}

std::int64_t strokeClosedPolygon(QImage& image, std::span<const PixelPoint> pts, int width,
                                 Rop2 op, std::uint32_t penPixel)
{
    thread_local OutlineBatch batch;
    batch.clear();
    const std::int64_t combined = batch.add(image.width(), image.height(), pts, width, op, penPixel);
    batch.apply(image, nullptr);
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
