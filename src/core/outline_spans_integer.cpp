// The integer builder of an outline's spans.
//
// A capsule meets a row in one interval, the union of three pieces: the band between the two
// lines at distance w/2 from the edge, cut by the two lines through the ends perpendicular to
// it, and the chords of the two end disks. With vertices and rows on whole pixels, every bound
// of every piece is the floor of an integer quotient, and these quotients step from row to row
// by a fixed quotient and remainder: each capsule's rows come from additions and compares,
// eight rows at a time, and every bound is exact, ties included. Pixel x is covered when
// first <= x < end (see outline_rasterizer.h for the tie rules this encodes).
//
// The rows of every capsule are written into one column per capsule. Then the rows are swept
// from the top: the capsules over a row, kept in the order of their first pixel on the row
// before (it changes little from row to row), are put in order by an insertion sort and merged.
#include "outline_spans.h"

#pragma GCC diagnostic ignored "-Wpsabi"

#include <algorithm>
#include <cmath>
#include <cstring>

// Built twice: for the x86-64 baseline and for AVX2 machines; the loader picks one.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define ZOVEX_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ZOVEX_CLONES
#endif

namespace zovex::detail {

namespace {

constexpr std::int32_t kCoordinateLimit = 8192; // |x|, |y| of every vertex
constexpr int kWidthLimit = 4096;
constexpr int kImageWidthLimit = 32767;        // first and end are packed as 16 bits each
constexpr std::size_t kEdgeLimit = 65535;      // the sweep numbers capsules in 16 bits
constexpr std::int32_t kNone = 1 << 30;        // a missing piece: first kNone, end -kNone

// floor(a / d) for d > 0.
inline std::int64_t floorDiv(std::int64_t a, std::int64_t d)
{
    const std::int64_t q = a / d;
    return (a % d != 0 && a < 0) ? q - 1 : q;
}

// floor(sqrt(v)) for 0 <= v < 2^62.
inline std::int64_t isqrt(std::int64_t v)
{
    std::int64_t s = static_cast<std::int64_t>(std::sqrt(static_cast<double>(v)));
    while (s > 0 && s * s > v)
        --s;
    while ((s + 1) * (s + 1) <= v)
        ++s;
    return s;
}

// The end disks' chords, by the distance d of the row from the disk's centre, as pixels
// relative to the centre's column: [first, end), or kNone / -kNone where the row misses the
// disk or the chord covers no pixel centre. Padded on both sides so that eight rows can be
// read at once anywhere within `pad` rows of a disk.
struct ChordTable {
    int width = 0;
    int pad = 0;  // index of d = 0
    std::vector<std::int32_t> first, end;

    void build(int w)
    {
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
};

enum class Kind { Point, Horizontal, Vertical, Slanted };

struct Edge {
    std::int32_t ax, ay, bx, by; // ay <= by; bx > ax when ay == by
    std::int32_t rowFirst, rowLast;
    Kind kind;
    std::size_t column; // its rows in the column store, from rowFirst
};

// Eight rows at a time, in vector registers (one AVX2 register, or two SSE2 ones in the
// baseline build). The helpers are internal and always inlined, so the ABI note for 32-byte
// vectors in the baseline build does not apply (see the top of the file).
typedef std::int32_t V8i __attribute__((vector_size(32)));

[[gnu::always_inline]] inline V8i vmin(const V8i& a, const V8i& b) { return a < b ? a : b; }
[[gnu::always_inline]] inline V8i vmax(const V8i& a, const V8i& b) { return a < b ? b : a; }

// floor((A + k S) / D) for the rows k = k0 .. k0 + 7 in the lanes: quotient q and remainder
// 0 <= r < D, stepped by eight rows at a time.
// The step S / D of a row as quotient and remainder, shared by the bounds with the same S and D.
struct Step {
    std::int64_t d, q1, r1;
    Step(std::int64_t S, std::int64_t D) : d(D), q1(floorDiv(S, D)), r1(S - floorDiv(S, D) * D) {}
};

struct Quotients {
    V8i q{}, r{};
    std::int32_t D, q8, r8;

    [[gnu::always_inline]] Quotients(std::int64_t A, const Step& st)
        : D(static_cast<std::int32_t>(st.d))
    {
        const std::int64_t d = st.d, q1 = st.q1, r1 = st.r1;
        std::int64_t qq = floorDiv(A, d), rr = A - qq * d;
        std::int32_t ql[8], rl[8];
        for (int j = 0; j < 8; ++j) {
            ql[j] = static_cast<std::int32_t>(qq);
            rl[j] = static_cast<std::int32_t>(rr);
            rr += r1;
            const bool carry = rr >= d;
            rr -= carry ? d : 0;
            qq += q1 + carry;
        }
        std::memcpy(&q, ql, sizeof q);
        std::memcpy(&r, rl, sizeof r);
        // 8 S / D, from S / D: 8 r1 < 8 D
        q8 = static_cast<std::int32_t>(8 * q1 + 8 * r1 / d);
        r8 = static_cast<std::int32_t>(8 * r1 % d);
    }

    [[gnu::always_inline]] void step()
    {
        r += r8;
        q += q8;
        const V8i carry = r >= D; // -1 where the remainder passed D
        r -= D & carry;
        q -= carry;
    }
};

[[gnu::always_inline]] inline V8i load8(const std::int32_t* p)
{
    V8i v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The chords of the disk centred at (cx, cy) on the rows Y0 .. Y0 + 7 into lo / hi.
[[gnu::always_inline]] inline void addDisk(const ChordTable& t, std::int32_t cx, std::int32_t cy,
                                           std::int32_t Y0, V8i& lo, V8i& hi)
{
    const std::int32_t d = Y0 - cy;
    if (d < -t.pad || d > t.pad - 8)
        return; // all eight rows miss the disk
    const std::size_t at = static_cast<std::size_t>(d + t.pad);
    lo = vmin(lo, load8(t.first.data() + at) + cx);
    hi = vmax(hi, load8(t.end.data() + at) + cx);
}

// What the sweep needs to know of a row before it looks at the capsules over it: the least
// and greatest first and end pixels among them. When the greatest first is below the least
// end, every span holds a common pixel and the row is one run. Kept as the values are, first
// << 16 | end, but with each half taken on its own: least holds the least first and the least
// end, greatest the greatest of each. (Both halves are at most 32767.)
struct RowBounds {
    std::vector<std::uint32_t> least, greatest;

    void reset(std::size_t rows)
    {
        least.assign(rows + 8, 0x7FFF7FFFu);
        greatest.assign(rows + 8, 0);
    }
    std::int32_t leastFirst(std::size_t k) const { return static_cast<std::int32_t>(least[k] >> 16); }
    std::int32_t leastEnd(std::size_t k) const { return static_cast<std::int32_t>(least[k] & 0xFFFF); }
    std::int32_t greatestFirst(std::size_t k) const { return static_cast<std::int32_t>(greatest[k] >> 16); }
    std::int32_t greatestEnd(std::size_t k) const { return static_cast<std::int32_t>(greatest[k] & 0xFFFF); }
    bool oneRun(std::size_t k) const { return greatestFirst(k) < leastEnd(k); }
};

// Eight rows of values (first << 16 | end) into RowBounds from row `at`; lanes at or past
// `valid` are left out.
typedef std::int16_t V16s __attribute__((vector_size(32)));

[[gnu::always_inline]] inline void addBounds(RowBounds& b, std::size_t at, const V8i& packed, std::int32_t valid)
{
    V8i forLeast = packed, forGreatest = packed;
    if (valid < 8) {
        const V8i in = V8i{0, 1, 2, 3, 4, 5, 6, 7} < valid;
        forLeast = in ? packed : V8i{} + 0x7FFF7FFF;
        forGreatest = in ? packed : V8i{};
    }
    V16s least, greatest;
    std::memcpy(&least, b.least.data() + at, sizeof least);
    std::memcpy(&greatest, b.greatest.data() + at, sizeof greatest);
    V16s l, g;
    std::memcpy(&l, &forLeast, sizeof l);
    std::memcpy(&g, &forGreatest, sizeof g);
    least = l < least ? l : least;
    greatest = greatest < g ? g : greatest;
    std::memcpy(b.least.data() + at, &least, sizeof least);
    std::memcpy(b.greatest.data() + at, &greatest, sizeof greatest);
}

// The rows of a slanted capsule (ay < by, ax != bx), eight at a time; writes a whole number of
// groups of eight (the column has room for them). A row at least w/2 + 1 below the upper end
// and above the lower one meets neither end disk, and its stretch of the band lies between the
// lines through the ends perpendicular to the edge (a band point on the row projects onto the
// edge at least (dya |d| - w/2 |dx|) / dy >= 0 from the end): its span is the band's alone.
// `bounds` gets each row's first and end at row - top.
[[gnu::always_inline]] inline void slantedColumn(const Edge& e, int w, const ChordTable& chords,
                                                 std::int32_t W, std::uint32_t* out,
                                                 RowBounds& bounds, std::int32_t top)
{
    const std::int64_t dx = std::int64_t(e.bx) - e.ax, dy = std::int64_t(e.by) - e.ay;
    const std::int64_t L = dx * dx + dy * dy;
    // Band: the cross product c = (x - ax) dy - (y - ay) dx satisfies 4 c^2 <= w^2 L; on the
    // boundary a point is inside when c dy < 0, so c runs over [-cMax, cMax - tie].
    const std::int64_t M = std::int64_t(w) * w * L;
    const std::int64_t s = isqrt(M);
    const std::int64_t cMax = s >> 1;
    const std::int64_t tie = (s * s == M && (s & 1) == 0) ? 1 : 0;
    const std::int64_t dya0 = std::int64_t(e.rowFirst) - e.ay;
    // first = ax + ceil((dya dx - cMax) / dy), end = ax + floor((dya dx + cMax - tie) / dy) + 1
    const Step bandStep(dx, dy);
    Quotients bandFirst(-cMax + dya0 * dx + dy - 1, bandStep);
    // The end's numerator is the first's plus C = 2 cMax - tie - dy + 1 = cq dy + cr, so its
    // quotient is the first's plus cq, and one more where the remainders carry.
    const std::int64_t C = 2 * cMax - tie - dy + 1;
    const std::int32_t cq = static_cast<std::int32_t>(floorDiv(C, dy));
    const std::int32_t cr = static_cast<std::int32_t>(C - std::int64_t(cq) * dy);
    auto bandEnd = [&]() __attribute__((always_inline)) {
        return bandFirst.q + cq - ((bandFirst.r + cr) >= bandFirst.D); // true lanes are -1
    };
    // Slab: 0 <= (x - ax) dx + (y - ay) dy <= L, as ceilings of quotients by |dx|, from row k.
    const std::int64_t adx = dx < 0 ? -dx : dx;
    const Step slabStep(dx > 0 ? -dy : dy, adx);
    auto slabFirstFrom = [&](std::int32_t k) __attribute__((always_inline)) {
        const std::int64_t dya = dya0 + k;
        return Quotients(dx > 0 ? -dya * dy + adx - 1 : dya * dy - L + adx - 1, slabStep);
    };
    auto slabEndFrom = [&](std::int32_t k) __attribute__((always_inline)) {
        const std::int64_t dya = dya0 + k;
        return Quotients(dx > 0 ? L - dya * dy + adx - 1 : dya * dy + adx - 1, slabStep);
    };
    const std::int32_t count = e.rowLast - e.rowFirst + 1;
    // Groups [0, midFirst) and [midEnd, count) in rows from rowFirst take the whole capsule.
    const std::int32_t half = w / 2;
    const std::int32_t midTop = e.ay + half + 1 - e.rowFirst, midBottom = e.by - half - 1 - e.rowFirst; // rows
    const std::int32_t midFirst = std::min(count, std::max(0, (midTop + 7) / 8 * 8));
    const std::int32_t midEnd = std::max(midFirst, std::min(count, midBottom + 1 >= 0 ? (midBottom + 1) / 8 * 8 : 0));
    auto put = [&](std::int32_t k, V8i lo, V8i hi) __attribute__((always_inline)) {
        lo = vmin(vmax(lo, V8i{}), V8i{} + W);
        hi = vmin(vmax(hi, V8i{}), V8i{} + W);
        const V8i packed = (lo << 16) | hi;
        std::memcpy(out + k, &packed, sizeof packed);
        addBounds(bounds, static_cast<std::size_t>(e.rowFirst + k - top), packed, count - k);
    };
    // The rows of [from, to) with the pieces of both ends, or (near one end of a long capsule)
    // of that end alone: rows at least w/2 + 1 from an end meet neither that end's disk nor
    // its perpendicular line, as in the middle.
    // The slab's lower bound comes from the perpendicular through a when dx > 0, through b
    // when dx < 0; the upper bound from the other one.
    auto ends = [&]<bool nearA, bool nearB, bool useLower, bool useUpper>(std::int32_t from, std::int32_t to)
                    __attribute__((always_inline)) {
        Quotients slabFirst = slabFirstFrom(from), slabEnd = slabEndFrom(from);
        for (std::int32_t k = from; k < to; k += 8) {
            const std::int32_t Y0 = e.rowFirst + k;
            V8i f = bandFirst.q, en = bandEnd() + 1;
            if constexpr (useLower)
                f = vmax(f, slabFirst.q);
            if constexpr (useUpper)
                en = vmin(en, slabEnd.q);
            f += e.ax;
            en += e.ax;
            const V8i seg = f < en;
            V8i lo = seg ? f : V8i{} + kNone;
            V8i hi = seg ? en : V8i{} - kNone;
            if constexpr (nearA)
                addDisk(chords, e.ax, e.ay, Y0, lo, hi);
            if constexpr (nearB)
                addDisk(chords, e.bx, e.by, Y0, lo, hi);
            put(k, lo, hi);
            bandFirst.step();
            if constexpr (useLower)
                slabFirst.step();
            if constexpr (useUpper)
                slabEnd.step();
        }
    };
    auto whole = [&](std::int32_t from, std::int32_t to) __attribute__((always_inline)) {
        ends.template operator()<true, true, true, true>(from, to);
    };
    // Whether the first groups end, and the last ones start, w/2 + 1 rows or more from the
    // other end.
    const bool headAlone = e.rowFirst + midFirst - 1 <= e.by - half - 1;
    const bool tailAlone = e.rowFirst + midEnd >= e.ay + half + 1;
    if (headAlone && dx > 0)
        ends.template operator()<true, false, true, false>(0, midFirst);
    else if (headAlone)
        ends.template operator()<true, false, false, true>(0, midFirst);
    else
        whole(0, midFirst);
    for (std::int32_t k = midFirst; k < midEnd; k += 8) {
        put(k, bandFirst.q + e.ax, bandEnd() + (e.ax + 1));
        bandFirst.step();
    }
    if (tailAlone && dx > 0)
        ends.template operator()<false, true, false, true>(midEnd, count);
    else if (tailAlone)
        ends.template operator()<false, true, true, false>(midEnd, count);
    else
        whole(midEnd, count);
}

// The other kinds, eight rows at a time: a dot, a horizontal and a vertical edge.
[[gnu::always_inline]] inline void straightColumn(const Edge& e, int w, const ChordTable& chords, std::int32_t W,
                                                  std::uint32_t* out, RowBounds& bounds, std::int32_t top)
{
    const std::int32_t bandLo = e.ax - w / 2, bandHi = e.ax + (w + 1) / 2; // vertical band
    const std::int32_t count = e.rowLast - e.rowFirst + 1;
    for (std::int32_t k = 0; k < count; k += 8) {
        const std::int32_t Y0 = e.rowFirst + k;
        V8i lo = V8i{} + kNone, hi = V8i{} - kNone;
        if (e.kind == Kind::Horizontal) {
            lo = V8i{} + e.ax; // every row of the range is a row of the band
            hi = V8i{} + e.bx;
        } else if (e.kind == Kind::Vertical) {
            const V8i Y = V8i{0, 1, 2, 3, 4, 5, 6, 7} + Y0;
            const V8i along = (Y >= e.ay) & (Y <= e.by);
            lo = along ? V8i{} + bandLo : lo;
            hi = along ? V8i{} + bandHi : hi;
        }
        addDisk(chords, e.ax, e.ay, Y0, lo, hi);
        if (e.kind != Kind::Point)
            addDisk(chords, e.bx, e.by, Y0, lo, hi);
        lo = vmin(vmax(lo, V8i{}), V8i{} + W);
        hi = vmin(vmax(hi, V8i{}), V8i{} + W);
        const V8i packed = (lo << 16) | hi;
        std::memcpy(out + k, &packed, sizeof packed);
        addBounds(bounds, static_cast<std::size_t>(Y0 - top), packed, count - k);
    }
}

// A capsule joining the sweep: its first row, and the low half of its keys.
struct Join {
    std::int32_t row;
    std::uint32_t low; // its last row << 16 | its number
};

// The sweep, row by row from the top. A row whose spans all hold a common pixel is one run,
// known from its bounds alone. On the others each capsule over the row is a key
// first << 48 | end << 32 | lastRow << 16 | capsule, its value on row y (first << 16 | end)
// being rowOf[capsule][y]: the key carries all the sweep needs to fetch the next row's value,
// and keys sort by first pixel. (Rows are below 2^16: vertices lie within 8192 of the origin
// and pens are at most 4096 wide.) The keys come in the order of the last row swept, which
// changes only where two capsules' left ends cross (most crossings lie in the rows with a
// common pixel, near the middle of a star); each key is put in order by insertion as it comes.
//
// After a row swept one by one, the rows below it, up to the next capsule that starts or ends
// or the next row that is one run, are swept eight at a time, a row a lane, in the order of
// that row: the values of a capsule on eight rows are one load from its column. Of a group,
// the rows before the first on which a span starts before the run it comes to stand; that row
// is swept alone, and put in order. Writes the runs of covered pixels into run and returns
// their number; laneRuns has room for 8 x count.
ZOVEX_CLONES [[gnu::noinline]] std::size_t
sweepRows(const std::uint32_t* const* __restrict rowOf, const Join* __restrict joins, std::size_t count,
          std::int32_t top, std::int32_t bottom, const RowBounds& bounds, std::uint64_t* keys,
          std::uint64_t* next, std::uint32_t* __restrict laneRuns, RowSpan* __restrict run)
{
    auto first = [](std::uint64_t key) { return static_cast<std::int32_t>(key >> 48); };
    auto end = [](std::uint64_t key) { return static_cast<std::int32_t>((key >> 32) & 0xFFFF); };
    std::size_t live = 0, joined = 0, runCount = 0;
    std::int32_t liveUntil = 0; // the last row of every live capsule is at or past it

    // Rows y .. y + rows - 1 (2 <= rows <= 8) with the live capsules over every one of them.
    // A lane's runs go to its own stretch of laneRuns (first << 16 | end), then to run for the
    // rows that stand. Returns their number.
    auto group = [&](std::int32_t y, std::int32_t rows) __attribute__((always_inline)) {
        const V8i lane = V8i{0, 1, 2, 3, 4, 5, 6, 7};
        const V8i valid = lane < rows;
        const V8i laneBase = lane * static_cast<std::int32_t>(count);
        V8i laneCount{};
        auto valuesOf = [&](std::size_t j) __attribute__((always_inline)) {
            return load8(reinterpret_cast<const std::int32_t*>(rowOf[keys[j] & 0xFFFF] + y));
        };
        auto keepRuns = [&](const V8i& out, const V8i& runFirst, const V8i& runEnd) __attribute__((always_inline)) {
            // Whether any lane is set: the halves folded onto the first lanes.
            V8i folded = out | __builtin_shufflevector(out, out, 4, 5, 6, 7, 4, 5, 6, 7);
            folded |= __builtin_shufflevector(folded, folded, 2, 3, 2, 3, 2, 3, 2, 3);
            std::uint64_t any;
            std::memcpy(&any, &folded, sizeof any);
            if (any == 0)
                return;
            const V8i packed = (runFirst << 16) | runEnd;
            for (int l = 0; l < 8; ++l)
                if (out[l])
                    laneRuns[laneBase[l] + laneCount[l]] = static_cast<std::uint32_t>(packed[l]);
            laneCount -= out;
        };
        V8i v = valuesOf(0);
        V8i runFirst = v >> 16, runEnd = v & 0xFFFF;
        V8i disorder{};
        for (std::size_t j = 1; j < live; ++j) {
            v = valuesOf(j);
            const V8i f = v >> 16, en = v & 0xFFFF;
            // The order need not hold exactly: a span that starts within the current run
            // (crossing capsules overlap) merges as well. Only one that covers pixels and
            // starts before the run might reach back into runs already kept.
            disorder |= (f < runFirst) & (f < en);
            const V8i gap = f > runEnd;
            keepRuns(gap & (runEnd > runFirst) & valid, runFirst, runEnd);
            runFirst = gap ? f : runFirst;
            runEnd = gap ? en : vmax(runEnd, en);
        }
        // The rows before the first one out of order stand.
        std::int32_t good = 0;
        while (good < rows && disorder[good] == 0)
            ++good;
        keepRuns((runEnd > runFirst) & (lane < good), runFirst, runEnd);
        for (std::int32_t l = 0; l < good; ++l)
            for (std::int32_t c = 0; c < laneCount[l]; ++c) {
                const std::uint32_t r = laneRuns[laneBase[l] + c];
                run[runCount++] = {y + l, static_cast<std::int32_t>(r >> 16), static_cast<std::int32_t>(r & 0xFFFF)};
            }
        return good;
    };

    for (std::int32_t y = top; y <= bottom; ++y) {
        const std::size_t k = static_cast<std::size_t>(y - top);
        if (bounds.oneRun(k)) {
            // Every span holds the pixels [greatestFirst, leastEnd): one run.
            run[runCount] = {y, bounds.leastFirst(k), bounds.greatestEnd(k)};
            runCount += bounds.greatestEnd(k) > bounds.leastFirst(k);
            continue;
        }
        // The new values, in the order of the last row swept; the capsules that started
        // since then last.
        std::size_t m = 0;
        liveUntil = bottom;
        auto take = [&](std::uint32_t low) __attribute__((always_inline)) {
            if (y > static_cast<std::int32_t>(low >> 16))
                return; // past its last row
            liveUntil = std::min(liveUntil, static_cast<std::int32_t>(low >> 16));
            const std::uint64_t key = (std::uint64_t(rowOf[low & 0xFFFF][y]) << 32) | low;
            std::size_t p = m++;
            for (; p > 0 && next[p - 1] > key; --p) // put in order by insertion
                next[p] = next[p - 1];
            next[p] = key;
        };
        for (std::size_t j = 0; j < live; ++j)
            take(static_cast<std::uint32_t>(keys[j]));
        for (; joined < count && joins[joined].row <= y; ++joined)
            take(joins[joined].low);
        std::swap(keys, next);
        live = m;
        if (live == 0)
            continue;
        // Merge, without branches: the current run is written out at every span and kept
        // (counted) only when the span starts past it and the run covers a pixel. A span that
        // covers no pixel (first >= end) never widens a run.
        std::int32_t runFirst = first(keys[0]), runEnd = end(keys[0]);
        for (std::size_t j = 1; j < live; ++j) {
            const std::int32_t f = first(keys[j]), en = end(keys[j]);
            const bool gap = f > runEnd;
            run[runCount] = {y, runFirst, runEnd};
            runCount += gap && runEnd > runFirst;
            runFirst = gap ? f : runFirst;
            runEnd = gap ? en : std::max(runEnd, en);
        }
        run[runCount] = {y, runFirst, runEnd};
        runCount += runEnd > runFirst;
        // Then eight rows at a time while no capsule starts or ends.
        for (;;) {
            const std::int32_t from = y + 1;
            const std::int32_t joinsAt = joined < count ? joins[joined].row : bottom + 1;
            const std::int32_t most = std::min({8, liveUntil + 1 - from, joinsAt - from});
            std::int32_t rows = 0; // and up to the next row that is one run
            while (rows < most && !bounds.oneRun(static_cast<std::size_t>(from + rows - top)))
                ++rows;
            const std::int32_t done = rows < 2 ? 0 : group(from, rows);
            y += done;
            if (done < rows || done == 0)
                break;
        }
    }
    return runCount;
}

} // namespace

bool integerBuilderTakes(std::span<const PixelPoint> pts, int width, int imageWidth)
{
    if (width < 1 || width > kWidthLimit || imageWidth > kImageWidthLimit || pts.size() > kEdgeLimit)
        return false;
    for (const PixelPoint& p : pts)
        if (p.x < -kCoordinateLimit || p.x > kCoordinateLimit || p.y < -kCoordinateLimit ||
            p.y > kCoordinateLimit)
            return false;
    return true;
}

ZOVEX_CLONES
std::int64_t appendSpansInteger(int W, int H, std::span<const PixelPoint> pts, int width,
                                std::vector<RowSpan>& out)
{
    const std::size_t n = pts.size();
    if (n < 2 || width < 1 || W <= 0 || H <= 0)
        return 0;

    thread_local ChordTable chords;
    thread_local std::vector<Edge> edges;
    thread_local std::vector<std::uint32_t> columns;
    thread_local std::vector<Join> joins;
    thread_local std::vector<const std::uint32_t*> rowOf;
    thread_local RowBounds bounds;
    thread_local std::vector<std::uint64_t> sweep, sweepNext;
    thread_local std::vector<std::uint32_t> laneRuns;
    thread_local std::vector<RowSpan> runs;
    if (chords.width != width)
        chords.build(width);

    // The capsules, each with its end points ordered top to bottom, and their rows: rows Y
    // with ymin - w/2 <= Y < ymax + w/2, clipped to the image.
    edges.clear();
    std::size_t columnSize = 0;
    const int wHalfDown = width / 2, wHalfUp = (width + 1) / 2;
    for (std::size_t i = 0; i < n; ++i) {
        PixelPoint a = pts[i], b = pts[(i + 1) % n];
        if (b.y < a.y || (b.y == a.y && b.x < a.x))
            std::swap(a, b);
        Edge e;
        e.ax = a.x;
        e.ay = a.y;
        e.bx = b.x;
        e.by = b.y;
        e.kind = a.y == b.y ? (a.x == b.x ? Kind::Point : Kind::Horizontal)
                            : (a.x == b.x ? Kind::Vertical : Kind::Slanted);
        e.rowFirst = std::max(a.y - wHalfDown, 0);
        e.rowLast = std::min(b.y + wHalfUp - 1, H - 1);
        if (e.rowFirst > e.rowLast)
            continue;
        if (2 * std::max(a.x, b.x) + width < 0 || 2 * std::min(a.x, b.x) - width > 2 * W)
            continue; // entirely left or right of the image
        e.column = columnSize;
        columnSize += static_cast<std::size_t>(e.rowLast - e.rowFirst + 1 + 8); // room for a last group of 8
        edges.push_back(e);
    }
    if (edges.empty())
        return 0;

    columns.resize(columnSize);
    std::int32_t top = H, bottom = 0;
    for (const Edge& e : edges) {
        top = std::min(top, e.rowFirst);
        bottom = std::max(bottom, e.rowLast);
    }
    const std::size_t rowCount = static_cast<std::size_t>(bottom - top + 1);
    bounds.reset(rowCount);
    const std::size_t count = edges.size();
    rowOf.resize(count);
    joins.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Edge& e = edges[i];
        std::uint32_t* const col = columns.data() + e.column;
        if (e.kind == Kind::Slanted)
            slantedColumn(e, width, chords, W, col, bounds, top);
        else
            straightColumn(e, width, chords, W, col, bounds, top);
        rowOf[i] = col - e.rowFirst; // rowOf[i][y]: row y's value
        joins[i] = {e.rowFirst, (static_cast<std::uint32_t>(e.rowLast) << 16) | static_cast<std::uint32_t>(i)};
    }
    std::sort(joins.begin(), joins.end(), [](const Join& p, const Join& q) { return p.row < q.row; });
    sweep.resize(count);
    sweepNext.resize(count);
    laneRuns.resize(8 * count);
    // A row writes at most one run per capsule over it, and one more that it does not keep.
    if (runs.size() < columnSize + rowCount + 1)
        runs.resize(columnSize + rowCount + 1);
    const std::size_t runCount = sweepRows(rowOf.data(), joins.data(), count, top, bottom,
                                           bounds, sweep.data(), sweepNext.data(), laneRuns.data(), runs.data());
    std::int64_t combined = 0;
    for (std::size_t k = 0; k < runCount; ++k)
        combined += runs[k].end - runs[k].first;
    out.insert(out.end(), runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(runCount));
    return combined;
}

} // namespace zovex::detail
