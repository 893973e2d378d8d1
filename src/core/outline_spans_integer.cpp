// The integer builder of an outline's spans: capsule columns by quotient/remainder stepping,
// eight rows at a time, then an active-edge sweep over them (see outline_spans_integer.h for
// the techniques). Pixel x of a row is covered when first <= x < end; outline_rasterizer.h
// gives the tie rules this encodes.
#include "outline_spans.h"
#include "outline_spans_integer.h"

#include <algorithm>

namespace zovex::detail {

using simd::vmax;
using simd::vmin;

// Vertex products, band and slab numerators and their quotients are held in 32-bit lanes:
// the largest, a slab numerator L - dya dy + |dx|, stays below 2^31 within the limits.
static_assert(2 * std::int64_t(2 * kCoordinateLimit) * (2 * kCoordinateLimit) +
                      std::int64_t(2 * kCoordinateLimit + kWidthLimit) * (2 * kCoordinateLimit) + 2 * kCoordinateLimit <
                  (std::int64_t(1) << 31),
              "bounds of capsules within the limits must fit 32-bit lanes");

void ChordTable::build(int w)
{
    assert(w >= 1 && w <= kWidthLimit);
    width = w;
    const int half = w / 2; // rows with 2|d| <= w meet the disk
    pad = half + 16;
    const std::size_t size = static_cast<std::size_t>(2 * pad + 1);
    first.assign(size, kNone);
    end.assign(size, -kNone);
    for (int d = 0; d <= half; ++d) {
        // The chord is |x| <= h, h = sqrt(w^2 - 4 d^2) / 2, and covers [-floor(h), ceil(h)).
        const std::int64_t D = std::int64_t(w) * w - 4 * std::int64_t(d) * d;
        const std::int64_t s = isqrt(D);
        const std::int32_t lo = static_cast<std::int32_t>(s >> 1);
        const std::int32_t hi = static_cast<std::int32_t>(s * s == D ? (s + 1) >> 1 : (s >> 1) + 1);
        if (lo + hi <= 0)
            continue;
        for (const int at : {pad + d, pad - d}) {
            first[static_cast<std::size_t>(at)] = -lo;
            end[static_cast<std::size_t>(at)] = hi;
        }
    }
}

namespace {

// Where one capsule's groups of eight rows go: clamped to the image, packed into its column
// and added to the row bounds. Row k counts from the capsule's first row.
struct ColumnWriter {
    std::uint32_t* out;
    RowBounds& bounds;
    std::size_t boundsAt; // the capsule's first row in the bounds
    std::int32_t W, count;

    [[gnu::always_inline]] void put(std::int32_t k, V8i lo, V8i hi) const
    {
        lo = vmin(vmax(lo, V8i{}), V8i{} + W);
        hi = vmin(vmax(hi, V8i{}), V8i{} + W);
        const V8i packed = PackedSpan::pack(lo, hi);
        simd::store(out + k, packed);
        bounds.add(boundsAt + static_cast<std::size_t>(k), packed, count - k);
    }
};

// Which end pieces a group of a slanted capsule's rows must look at: a row at least w/2 + 1
// rows from an end meets neither that end's disk nor the perpendicular line through it.
enum class NearEnd { Upper, Lower, Both };
// Which way a slanted edge runs going down. Leaning right (dx > 0) the perpendicular through
// the upper end bounds the first pixel of a row and the one through the lower end its end;
// leaning left the other way round.
enum class Lean { Right, Left };

// The rows of a slanted capsule (ay < by, ax != bx), in groups of eight.
//
// Band: the cross product c = (x - ax) dy - (y - ay) dx satisfies 4 c^2 <= w^2 L; on the
// boundary a point is inside when c dy < 0, so c runs over [-cMax, cMax - tie], and on row
// ay + dya the band covers first = ax + ceil((dya dx - cMax) / dy) up to
// end = ax + floor((dya dx + cMax - tie) / dy) + 1.
// Slab (between the perpendiculars): 0 <= (x - ax) dx + (y - ay) dy <= L, as ceilings of
// quotients by |dx|.
struct SlantedRows {
    const Capsule& e;
    const ChordTable& chords;
    const ColumnWriter& column;
    std::int64_t dx, dy, L, dya0;
    Quotients bandFirst;
    // The band end's numerator is the first's plus C = 2 cMax - tie - dy + 1 = cq dy + cr, so
    // its quotient is the first's plus cq, and one more where the remainders carry.
    std::int32_t cq, cr;
    Step slabStep;

    [[gnu::always_inline]] V8i bandEnd() const
    {
        return bandFirst.q + cq - ((bandFirst.r + cr) >= bandFirst.D); // true lanes are -1
    }
    // The slab's first and end pixels (relative to ax) from row k on.
    [[gnu::always_inline]] Quotients slabFirstFrom(std::int32_t k) const
    {
        const std::int64_t dya = dya0 + k, adx = slabStep.d;
        return Quotients(dx > 0 ? -dya * dy + adx - 1 : dya * dy - L + adx - 1, slabStep);
    }
    [[gnu::always_inline]] Quotients slabEndFrom(std::int32_t k) const
    {
        const std::int64_t dya = dya0 + k, adx = slabStep.d;
        return Quotients(dx > 0 ? L - dya * dy + adx - 1 : dya * dy + adx - 1, slabStep);
    }

    // Rows [from, to) near one end or both: the band cut by the slab, with the end disks.
    template <NearEnd near, Lean lean>
    [[gnu::always_inline]] void endRows(std::int32_t from, std::int32_t to)
    {
        constexpr bool nearUpper = near != NearEnd::Lower, nearLower = near != NearEnd::Upper;
        constexpr bool slabCutsFirst = near == NearEnd::Both || (near == NearEnd::Upper) == (lean == Lean::Right);
        constexpr bool slabCutsEnd = near == NearEnd::Both || (near == NearEnd::Upper) == (lean == Lean::Left);
        Quotients slabFirst = slabFirstFrom(from), slabEnd = slabEndFrom(from);
        for (std::int32_t k = from; k < to; k += 8) {
            V8i f = bandFirst.q, en = bandEnd() + 1;
            if constexpr (slabCutsFirst)
                f = vmax(f, slabFirst.q);
            if constexpr (slabCutsEnd)
                en = vmin(en, slabEnd.q);
            f += e.ax;
            en += e.ax;
            const V8i seg = f < en;
            V8i lo = seg ? f : V8i{} + kNone;
            V8i hi = seg ? en : V8i{} - kNone;
            if constexpr (nearUpper)
                chords.addDisk(e.ax, e.ay, e.rowFirst + k, lo, hi);
            if constexpr (nearLower)
                chords.addDisk(e.bx, e.by, e.rowFirst + k, lo, hi);
            column.put(k, lo, hi);
            bandFirst.step();
            if constexpr (slabCutsFirst)
                slabFirst.step();
            if constexpr (slabCutsEnd)
                slabEnd.step();
        }
    }

    // Rows [from, to) away from both ends: the band alone. A band point on such a row projects
    // onto the edge at least (dya |d| - w/2 |dx|) / dy >= 0 from the end, so the slab never
    // cuts it, and no end disk reaches the row.
    [[gnu::always_inline]] void middleRows(std::int32_t from, std::int32_t to)
    {
        for (std::int32_t k = from; k < to; k += 8) {
            column.put(k, bandFirst.q + e.ax, bandEnd() + (e.ax + 1));
            bandFirst.step();
        }
    }
};

[[gnu::always_inline]] inline void slantedColumn(const Capsule& e, int w, const ChordTable& chords,
                                                 const ColumnWriter& column)
{
    const std::int64_t dx = std::int64_t(e.bx) - e.ax, dy = std::int64_t(e.by) - e.ay;
    const std::int64_t L = dx * dx + dy * dy;
    const std::int64_t M = std::int64_t(w) * w * L;
    const std::int64_t s = isqrt(M);
    const std::int64_t cMax = s >> 1;
    const std::int64_t tie = (s * s == M && (s & 1) == 0) ? 1 : 0;
    const std::int64_t dya0 = std::int64_t(e.rowFirst) - e.ay;
    const std::int64_t C = 2 * cMax - tie - dy + 1;
    const std::int32_t cq = static_cast<std::int32_t>(floorDiv(C, dy));
    SlantedRows rows{e,
                     chords,
                     column,
                     dx,
                     dy,
                     L,
                     dya0,
                     Quotients(-cMax + dya0 * dx + dy - 1, Step(dx, dy)),
                     cq,
                     static_cast<std::int32_t>(C - std::int64_t(cq) * dy),
                     Step(dx > 0 ? -dy : dy, dx < 0 ? -dx : dx)};
    // Whole groups [0, midFirst) and [midEnd, count) hold the rows near an end.
    const std::int32_t count = column.count, half = w / 2;
    const std::int32_t midTop = e.ay + half + 1 - e.rowFirst, midBottom = e.by - half - 1 - e.rowFirst;
    const std::int32_t midFirst = std::min(count, std::max(0, (midTop + 7) / 8 * 8));
    const std::int32_t midEnd = std::max(midFirst, std::min(count, midBottom + 1 >= 0 ? (midBottom + 1) / 8 * 8 : 0));
    // Whether the first groups end, and the last ones start, w/2 + 1 rows or more from the
    // other end: then they need only their own end's pieces.
    const bool headAlone = e.rowFirst + midFirst - 1 <= e.by - half - 1;
    const bool tailAlone = e.rowFirst + midEnd >= e.ay + half + 1;
    if (headAlone && dx > 0)
        rows.endRows<NearEnd::Upper, Lean::Right>(0, midFirst);
    else if (headAlone)
        rows.endRows<NearEnd::Upper, Lean::Left>(0, midFirst);
    else
        rows.endRows<NearEnd::Both, Lean::Right>(0, midFirst);
    rows.middleRows(midFirst, midEnd);
    if (tailAlone && dx > 0)
        rows.endRows<NearEnd::Lower, Lean::Right>(midEnd, count);
    else if (tailAlone)
        rows.endRows<NearEnd::Lower, Lean::Left>(midEnd, count);
    else
        rows.endRows<NearEnd::Both, Lean::Right>(midEnd, count);
}

// The other kinds, eight rows at a time: a dot, a horizontal and a vertical edge.
[[gnu::always_inline]] inline void straightColumn(const Capsule& e, int w, const ChordTable& chords,
                                                  const ColumnWriter& column)
{
    const std::int32_t bandLo = e.ax - w / 2, bandHi = e.ax + (w + 1) / 2; // vertical band
    for (std::int32_t k = 0; k < column.count; k += 8) {
        const std::int32_t Y0 = e.rowFirst + k;
        V8i lo = V8i{} + kNone, hi = V8i{} - kNone;
        if (e.kind == CapsuleKind::Horizontal) {
            lo = V8i{} + e.ax; // every row of the range is a row of the band
            hi = V8i{} + e.bx;
        } else if (e.kind == CapsuleKind::Vertical) {
            const V8i Y = simd::kLanes + Y0;
            const V8i along = (Y >= e.ay) & (Y <= e.by);
            lo = along ? V8i{} + bandLo : lo;
            hi = along ? V8i{} + bandHi : hi;
        }
        chords.addDisk(e.ax, e.ay, Y0, lo, hi);
        if (e.kind != CapsuleKind::Dot)
            chords.addDisk(e.bx, e.by, Y0, lo, hi);
        column.put(k, lo, hi);
    }
}

// The edge from a to b as a capsule with its ends top to bottom, and its rows: rows Y with
// ymin - w/2 <= Y < ymax + w/2, clipped to the image. False when it misses the image.
bool capsuleOf(PixelPoint a, PixelPoint b, int width, int W, int H, Capsule& e)
{
    if (b.y < a.y || (b.y == a.y && b.x < a.x))
        std::swap(a, b);
    e.ax = a.x;
    e.ay = a.y;
    e.bx = b.x;
    e.by = b.y;
    e.kind = a.y == b.y ? (a.x == b.x ? CapsuleKind::Dot : CapsuleKind::Horizontal)
                        : (a.x == b.x ? CapsuleKind::Vertical : CapsuleKind::Slanted);
    e.rowFirst = std::max(a.y - width / 2, 0);
    e.rowLast = std::min(b.y + (width + 1) / 2 - 1, H - 1);
    if (e.rowFirst > e.rowLast)
        return false;
    // Entirely left or right of the image.
    return !(2 * std::max(a.x, b.x) + width < 0 || 2 * std::min(a.x, b.x) - width > 2 * W);
}

} // namespace

ZOVEX_CLONES
bool buildCapsuleColumns(int W, int H, std::span<const PixelPoint> pts, int width, CapsuleColumns& c)
{
    assert(integerBuilderTakes(pts, width, W));
    if (c.chords.width != width)
        c.chords.build(width);
    c.capsules.clear();
    std::size_t storeSize = 0;
    c.top = H;
    c.bottom = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        Capsule e;
        if (!capsuleOf(pts[i], pts[(i + 1) % pts.size()], width, W, H, e))
            continue;
        e.column = storeSize;
        storeSize += static_cast<std::size_t>(e.rowLast - e.rowFirst + 1 + 8); // room for a last group of 8
        c.top = std::min(c.top, e.rowFirst);
        c.bottom = std::max(c.bottom, e.rowLast);
        c.capsules.push_back(e);
    }
    if (c.capsules.empty())
        return false;
    c.store.resize(storeSize);
    c.bounds.reset(static_cast<std::size_t>(c.bottom - c.top + 1));
    const std::size_t count = c.capsules.size();
    c.rowOf.resize(count);
    c.joins.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Capsule& e = c.capsules[i];
        std::uint32_t* const col = c.store.data() + e.column;
        const ColumnWriter writer{col, c.bounds, static_cast<std::size_t>(e.rowFirst - c.top), W,
                                  e.rowLast - e.rowFirst + 1};
        if (e.kind == CapsuleKind::Slanted)
            slantedColumn(e, width, c.chords, writer);
        else
            straightColumn(e, width, c.chords, writer);
        c.rowOf[i] = col - e.rowFirst;
        c.joins[i] = {e.rowFirst, CapsuleTag::make(e.rowLast, i)};
    }
    std::sort(c.joins.begin(), c.joins.end(), [](const Join& p, const Join& q) { return p.row < q.row; });
    return true;
}

ZOVEX_CLONES
std::int64_t appendSpansInteger(int W, int H, std::span<const PixelPoint> pts, int width, std::vector<RowSpan>& out)
{
    if (pts.size() < 2 || width < 1 || W <= 0 || H <= 0)
        return 0;
    // Kept from outline to outline so that their vectors keep their room.
    thread_local CapsuleColumns columns;
    thread_local SweepScratch scratch;
    if (!buildCapsuleColumns(W, H, pts, width, columns))
        return 0;
    const std::size_t runCount = sweepCapsuleColumns(columns, scratch);
    std::int64_t combined = 0;
    for (std::size_t k = 0; k < runCount; ++k)
        combined += scratch.runs[k].end - scratch.runs[k].first;
    out.insert(out.end(), scratch.runs.begin(), scratch.runs.begin() + static_cast<std::ptrdiff_t>(runCount));
    return combined;
}

bool integerBuilderTakes(std::span<const PixelPoint> pts, int width, int imageWidth)
{
    if (width < 1 || width > kWidthLimit || imageWidth > kImageWidthLimit || pts.size() > kCapsuleLimit)
        return false;
    for (const PixelPoint& p : pts)
        if (p.x < -kCoordinateLimit || p.x > kCoordinateLimit || p.y < -kCoordinateLimit || p.y > kCoordinateLimit)
            return false;
    return true;
}

} // namespace zovex::detail

// ---------------------------------------------------------------------------------------------
// The sweep, row by row from the top.
//
// A row whose spans all hold a common pixel is one run, known from its row bounds alone. On the
// others each capsule over the row is a SweepKey: its span on the row above its tag, which
// carries all the sweep needs to fetch the next row's span from the capsule's column. The keys
// come in the order of the last row swept, which changes only where two capsules' left ends
// cross (most crossings lie in the rows with a common pixel, near the middle of a star); each
// key is put in order by insertion as it comes, then the row is merged.
//
// After a row swept key by key, the rows below it, up to the next capsule that starts or ends
// or the next row that is one run, are swept eight at a time, a row a lane, in the order of
// that row: the spans of a capsule on eight rows are one load from its column. Of such a group
// the rows before the first one where a span starts before the run it comes to stand; that row
// is swept key by key again, and put in order.

namespace zovex::detail {

namespace {

// The keys of row y in order: the live ones in the order of the last row swept, then the
// capsules that join on row y or joined since the last row swept key by key. Capsules past
// their last row drop out; liveUntil becomes the least last row of those that stay.
[[gnu::always_inline]] inline std::size_t orderRow(std::int32_t y, const std::uint32_t* const* __restrict rowOf,
                                                   const SweepKey* keys, std::size_t live, const Join* __restrict joins,
                                                   std::size_t count, std::size_t& joined, SweepKey* next,
                                                   std::int32_t& liveUntil)
{
    std::size_t m = 0;
    auto take = [&](CapsuleTag tag) __attribute__((always_inline))
    {
        if (y > tag.lastRow())
            return;
        liveUntil = std::min(liveUntil, tag.lastRow());
        const SweepKey key = SweepKey::make(rowOf[tag.capsule()][y], tag);
        std::size_t p = m++;
        for (; p > 0 && key < next[p - 1]; --p)
            next[p] = next[p - 1];
        next[p] = key;
    };
    for (std::size_t j = 0; j < live; ++j)
        take(keys[j].tag());
    for (; joined < count && joins[joined].row <= y; ++joined)
        take(joins[joined].tag);
    return m;
}

// Row y's runs from its keys in order, without branches: the current run is written out at
// every key and kept (counted) only when the key's span starts past it and the run covers a
// pixel. A span that covers no pixel (first >= end) never widens a run.
[[gnu::always_inline]] inline std::size_t mergeRow(std::int32_t y, const SweepKey* keys, std::size_t live,
                                                   RowSpan* __restrict run, std::size_t runCount)
{
    std::int32_t runFirst = keys[0].first(), runEnd = keys[0].end();
    for (std::size_t j = 1; j < live; ++j) {
        const std::int32_t f = keys[j].first(), en = keys[j].end();
        const bool gap = f > runEnd;
        run[runCount] = {y, runFirst, runEnd};
        runCount += gap && runEnd > runFirst;
        runFirst = gap ? f : runFirst;
        runEnd = gap ? en : std::max(runEnd, en);
    }
    run[runCount] = {y, runFirst, runEnd};
    return runCount + (runEnd > runFirst);
}

// Each lane's runs, while a group is merged: lane l's n-th run at laneRuns[laneBase[l] + n].
struct LaneRuns {
    std::uint32_t* __restrict at;
    V8i laneBase;
    V8i laneCount{};

    // Keeps the current run of the lanes set in `keep`.
    [[gnu::always_inline]] void keep(const V8i& keep, const V8i& runFirst, const V8i& runEnd)
    {
        if (!simd::anyLane(keep))
            return;
        const V8i packed = PackedSpan::pack(runFirst, runEnd);
        for (int l = 0; l < 8; ++l)
            if (keep[l])
                at[laneBase[l] + laneCount[l]] = static_cast<std::uint32_t>(packed[l]);
        laneCount -= keep;
    }
};

// Rows y .. y + rows - 1 (2 <= rows <= 8), over each of which the same keys are live, merged a
// row a lane in the order of the keys. The runs of the rows that stand go to run; returns their
// number of rows.
[[gnu::always_inline]] inline std::int32_t mergeGroup(std::int32_t y, std::int32_t rows,
                                                      const std::uint32_t* const* __restrict rowOf,
                                                      const SweepKey* keys, std::size_t live, std::size_t count,
                                                      std::uint32_t* __restrict laneRuns, RowSpan* __restrict run,
                                                      std::size_t& runCount)
{
    const V8i valid = simd::kLanes < rows;
    LaneRuns lanes{laneRuns, simd::kLanes * static_cast<std::int32_t>(count)};
    auto spansOf = [&](std::size_t j) __attribute__((always_inline))
    {
        return simd::load<V8i>(rowOf[keys[j].capsule()] + y);
    };
    V8i v = spansOf(0);
    V8i runFirst = PackedSpan::first(v), runEnd = PackedSpan::end(v);
    V8i disorder{};
    for (std::size_t j = 1; j < live; ++j) {
        v = spansOf(j);
        const V8i f = PackedSpan::first(v), en = PackedSpan::end(v);
        // The order need not hold exactly: a span that starts within the current run
        // (crossing capsules overlap) merges as well. Only one that covers pixels and
        // starts before the run might reach back into runs already kept.
        disorder |= (f < runFirst) & (f < en);
        const V8i gap = f > runEnd;
        lanes.keep(gap & (runEnd > runFirst) & valid, runFirst, runEnd);
        runFirst = gap ? f : runFirst;
        runEnd = gap ? en : vmax(runEnd, en);
    }
    std::int32_t good = 0; // the rows before the first one out of order stand
    while (good < rows && disorder[good] == 0)
        ++good;
    lanes.keep((runEnd > runFirst) & (simd::kLanes < good), runFirst, runEnd);
    for (std::int32_t l = 0; l < good; ++l)
        for (std::int32_t c = 0; c < lanes.laneCount[l]; ++c) {
            const std::uint32_t r = laneRuns[lanes.laneBase[l] + c];
            run[runCount++] = {y + l, PackedSpan::first(r), PackedSpan::end(r)};
        }
    return good;
}

ZOVEX_CLONES [[gnu::noinline]] std::size_t sweepRows(const std::uint32_t* const* __restrict rowOf,
                                                     const Join* __restrict joins, std::size_t count, std::int32_t top,
                                                     std::int32_t bottom, const RowBounds& bounds, SweepKey* keys,
                                                     SweepKey* next, std::uint32_t* __restrict laneRuns,
                                                     RowSpan* __restrict run)
{
    std::size_t live = 0, joined = 0, runCount = 0;
    for (std::int32_t y = top; y <= bottom; ++y) {
        const std::size_t k = static_cast<std::size_t>(y - top);
        if (bounds.oneRun(k)) { // every span holds the pixels [greatestFirst, leastEnd)
            run[runCount] = {y, bounds.leastFirst(k), bounds.greatestEnd(k)};
            runCount += bounds.greatestEnd(k) > bounds.leastFirst(k);
            continue;
        }
        std::int32_t liveUntil = bottom; // every live capsule's last row is at or past it
        live = orderRow(y, rowOf, keys, live, joins, count, joined, next, liveUntil);
        std::swap(keys, next);
        if (live == 0)
            continue;
        runCount = mergeRow(y, keys, live, run, runCount);
        // Then eight rows at a time while no capsule starts or ends.
        for (;;) {
            const std::int32_t from = y + 1;
            const std::int32_t joinsAt = joined < count ? joins[joined].row : bottom + 1;
            const std::int32_t most = std::min({8, liveUntil + 1 - from, joinsAt - from});
            std::int32_t rows = 0; // and up to the next row that is one run
            while (rows < most && !bounds.oneRun(static_cast<std::size_t>(from + rows - top)))
                ++rows;
            const std::int32_t done =
                rows < 2 ? 0 : mergeGroup(from, rows, rowOf, keys, live, count, laneRuns, run, runCount);
            y += done;
            if (done < rows || done == 0)
                break;
        }
    }
    return runCount;
}

} // namespace

std::size_t sweepCapsuleColumns(const CapsuleColumns& c, SweepScratch& s)
{
    const std::size_t count = c.capsules.size();
    s.keys.resize(count);
    s.next.resize(count);
    s.laneRuns.resize(8 * count);
    // A row writes at most one run per capsule over it, and one more that it does not keep.
    const std::size_t most = c.store.size() + static_cast<std::size_t>(c.bottom - c.top + 1) + 1;
    if (s.runs.size() < most)
        s.runs.resize(most);
    return sweepRows(c.rowOf.data(), c.joins.data(), count, c.top, c.bottom, c.bounds, s.keys.data(), s.next.data(),
                     s.laneRuns.data(), s.runs.data());
}

} // namespace zovex::detail
