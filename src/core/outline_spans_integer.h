// The stages of the integer span builder (appendSpansInteger), open to the tests so that each
// is checked against a plain reference: Quotients against floor division, the chord table
// against an integer square root, the sweep against a sort-and-merge of the same capsules.
// Nothing else calls them; outlines come in through OutlineBatch.
//
// The techniques, by the names to look them up under:
// - One capsule per edge: a closed outline stroked with round joins is the union of its edges,
//   each swept by the pen's disk (a capsule, or stadium). A capsule meets a row in one
//   interval: the band between the two lines at distance w/2 from the edge, cut by the two
//   lines through the ends perpendicular to it, joined with the chords of the two end disks.
// - Exact integer bounds by quotient/remainder stepping (the incremental division behind
//   Bresenham's line and DDA scan conversion): with vertices and rows on whole pixels, every
//   bound of the band and of the perpendicular lines on row y is floor((A + y S) / D) for
//   integers A, S, D, and steps from row to row by the quotient and remainder of S / D: no
//   division per row, and ties come out exactly.
// - SIMD across rows: eight rows of a capsule at a time, one row per vector lane.
// - A chord table: the end disks' chords by the row's distance from the centre, computed once
//   per pen width with an integer square root.
// - Column store: each capsule's spans on its rows, packed, in one column per capsule.
// - An active-edge sweep (as in scan-line polygon fill): the rows are swept from the top, the
//   capsules over the row kept in order of their first pixel. The order of one row is nearly
//   the order of the next, so each row is put in order by insertion sort, and merged into
//   disjoint runs (interval union).
#pragma once

#include "outline_rasterizer.h"
#include "simd.h"

#include <cassert>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zovex::detail {

using simd::V8i;

// The outlines the integer builder takes (integerBuilderTakes); the packings below rely on them.
inline constexpr std::int32_t kCoordinateLimit = 8192; // |x| and |y| of every vertex
inline constexpr int kWidthLimit = 4096;               // pen width
inline constexpr int kImageWidthLimit = 32767;         // so a pixel column fits 15 bits
inline constexpr std::size_t kCapsuleLimit = 65535;    // so a capsule's number fits 16 bits
// A row below the image's top that a capsule reaches: a vertex's row and half a pen.
inline constexpr std::int32_t kRowLimit = kCoordinateLimit + kWidthLimit / 2;

// A piece of a capsule missing on a row: first kNone, end -kNone, which any min and max lose.
inline constexpr std::int32_t kNone = 1 << 30;

// floor(a / d) for d > 0.
inline std::int64_t floorDiv(std::int64_t a, std::int64_t d)
{
    assert(d > 0);
    const std::int64_t q = a / d;
    return (a % d != 0 && a < 0) ? q - 1 : q;
}

// floor(sqrt(v)) for 0 <= v < 2^62: the double's root, corrected by at most a step or two.
inline std::int64_t isqrt(std::int64_t v)
{
    assert(v >= 0 && v < (std::int64_t(1) << 62));
    std::int64_t s = static_cast<std::int64_t>(__builtin_sqrt(static_cast<double>(v)));
    while (s > 0 && s * s > v)
        --s;
    while ((s + 1) * (s + 1) <= v)
        ++s;
    return s;
}

// One capsule's pixels on one row, [first, end) with 0 <= first, end <= kImageWidthLimit
// (first >= end covers nothing), packed as first << 16 | end. Packed values order by first
// pixel; eight of them fill a vector, and unpack with a shift and a mask.
struct PackedSpan {
    static constexpr int kFirstShift = 16;
    static constexpr std::uint32_t kEndMask = 0xFFFF;
    static_assert(kImageWidthLimit <= 0x7FFF, "a packed span must stay a positive 32-bit int");

    static constexpr std::uint32_t pack(std::int32_t first, std::int32_t end)
    {
        return (static_cast<std::uint32_t>(first) << kFirstShift) | static_cast<std::uint32_t>(end);
    }
    static constexpr std::int32_t first(std::uint32_t v) { return static_cast<std::int32_t>(v >> kFirstShift); }
    static constexpr std::int32_t end(std::uint32_t v) { return static_cast<std::int32_t>(v & kEndMask); }

    // The same, eight lanes at a time.
    [[gnu::always_inline]] static V8i pack(const V8i& first, const V8i& end) { return (first << kFirstShift) | end; }
    [[gnu::always_inline]] static V8i first(const V8i& v) { return v >> kFirstShift; }
    [[gnu::always_inline]] static V8i end(const V8i& v) { return v & static_cast<std::int32_t>(kEndMask); }
};

// A capsule as the sweep knows it: its number (its column) and its last row, so that the sweep
// sees it leave without looking anything up.
struct CapsuleTag {
    std::uint32_t bits;
    static_assert(kCapsuleLimit <= 0xFFFF, "capsule numbers must fit 16 bits");
    static_assert(kRowLimit <= 0xFFFF, "rows must fit 16 bits");

    static constexpr CapsuleTag make(std::int32_t lastRow, std::size_t capsule)
    {
        return {(static_cast<std::uint32_t>(lastRow) << 16) | static_cast<std::uint32_t>(capsule)};
    }
    constexpr std::int32_t lastRow() const { return static_cast<std::int32_t>(bits >> 16); }
    constexpr std::size_t capsule() const { return bits & 0xFFFF; }
};

// The sweep's sort key: a capsule's span on the current row above its tag. Keys order by
// first pixel, then by end, row and capsule: a total order, so equal spans come out alike.
struct SweepKey {
    std::uint64_t bits;

    static constexpr SweepKey make(std::uint32_t span, CapsuleTag tag)
    {
        return {(std::uint64_t(span) << 32) | tag.bits};
    }
    constexpr std::uint32_t span() const { return static_cast<std::uint32_t>(bits >> 32); }
    constexpr std::int32_t first() const { return PackedSpan::first(span()); }
    constexpr std::int32_t end() const { return PackedSpan::end(span()); }
    constexpr CapsuleTag tag() const { return {static_cast<std::uint32_t>(bits)}; }
    constexpr std::size_t capsule() const { return tag().capsule(); }
    friend constexpr bool operator<(SweepKey a, SweepKey b) { return a.bits < b.bits; }
};

// The step S / D from one row to the next, as quotient and remainder; shared by the bounds
// with the same S and D.
struct Step {
    std::int64_t d, q1, r1;
    Step(std::int64_t S, std::int64_t D) : d(D), q1(floorDiv(S, D)), r1(S - floorDiv(S, D) * D) {}
};

// floor((A + k S) / D) on eight consecutive rows k = k0 .. k0 + 7, one per lane, as quotient q
// and remainder 0 <= r < D; step() moves all eight on by eight rows. Every value must fit 32
// bits: the limits above see to it for the bounds of the builder.
struct Quotients {
    V8i q{}, r{};
    std::int32_t D, q8, r8;

    [[gnu::always_inline]] Quotients(std::int64_t A, const Step& st) : D(static_cast<std::int32_t>(st.d))
    {
        const std::int64_t d = st.d, q1 = st.q1, r1 = st.r1;
        std::int64_t qq = floorDiv(A, d), rr = A - qq * d;
        std::int32_t ql[8], rl[8];
        for (int j = 0; j < 8; ++j) {
            assert(qq >= INT32_MIN && qq <= INT32_MAX); // the lanes hold 32 bits
            ql[j] = static_cast<std::int32_t>(qq);
            rl[j] = static_cast<std::int32_t>(rr);
            rr += r1;
            const bool carry = rr >= d;
            rr -= carry ? d : 0;
            qq += q1 + carry;
        }
        q = simd::load<V8i>(ql);
        r = simd::load<V8i>(rl);
        // 8 S / D from S / D: 8 r1 < 8 D.
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

// The end disks' chords, by the distance d of the row from the disk's centre, as pixels
// relative to the centre's column: [first, end), or kNone / -kNone where the row misses the
// disk or the chord covers no pixel centre. Padded on both sides so that eight rows can be
// read at once anywhere within `pad` rows of a disk.
struct ChordTable {
    int width = 0;
    int pad = 0; // index of d = 0
    std::vector<std::int32_t> first, end;

    void build(int w);
    // The chords of the disk centred at (cx, cy) on the rows Y0 .. Y0 + 7, joined into lo / hi.
    [[gnu::always_inline]] void addDisk(std::int32_t cx, std::int32_t cy, std::int32_t Y0, V8i& lo, V8i& hi) const
    {
        const std::int32_t d = Y0 - cy;
        if (d < -pad || d > pad - 8)
            return; // all eight rows miss the disk
        const std::size_t at = static_cast<std::size_t>(d + pad);
        lo = simd::vmin(lo, simd::load<V8i>(first.data() + at) + cx);
        hi = simd::vmax(hi, simd::load<V8i>(end.data() + at) + cx);
    }
};

// What the sweep needs to know of a row before it looks at the capsules over it: the least
// and greatest first and end pixels among them. When the greatest first is below the least
// end, every span holds a common pixel and the row is one run. Kept as packed spans, each half
// taken on its own: least holds the least first and the least end, greatest the greatest.
struct RowBounds {
    std::vector<std::uint32_t> least, greatest;

    void reset(std::size_t rows)
    {
        least.assign(rows + 8, PackedSpan::pack(kImageWidthLimit, kImageWidthLimit));
        greatest.assign(rows + 8, 0);
    }
    std::int32_t leastFirst(std::size_t k) const { return PackedSpan::first(least[k]); }
    std::int32_t leastEnd(std::size_t k) const { return PackedSpan::end(least[k]); }
    std::int32_t greatestFirst(std::size_t k) const { return PackedSpan::first(greatest[k]); }
    std::int32_t greatestEnd(std::size_t k) const { return PackedSpan::end(greatest[k]); }
    bool oneRun(std::size_t k) const { return greatestFirst(k) < leastEnd(k); }
    // Eight rows of packed spans from row k on; lanes at or past `valid` are left out. The
    // halves are compared as sixteen 16-bit lanes, first and end each on its own.
    [[gnu::always_inline]] void add(std::size_t k, const V8i& packed, std::int32_t valid)
    {
        V8i forLeast = packed, forGreatest = packed;
        if (valid < 8) {
            const V8i in = simd::kLanes < valid;
            forLeast =
                in ? packed : V8i{} + static_cast<std::int32_t>(PackedSpan::pack(kImageWidthLimit, kImageWidthLimit));
            forGreatest = in ? packed : V8i{};
        }
        using simd::V16s;
        V16s l = simd::load<V16s>(least.data() + k), g = simd::load<V16s>(greatest.data() + k);
        const V16s newLeast = simd::bitCast<V16s>(forLeast), newGreatest = simd::bitCast<V16s>(forGreatest);
        l = newLeast < l ? newLeast : l;
        g = g < newGreatest ? newGreatest : g;
        simd::store(least.data() + k, l);
        simd::store(greatest.data() + k, g);
    }
};

enum class CapsuleKind { Dot, Horizontal, Vertical, Slanted };

// One edge's capsule, its ends ordered top to bottom, and the rows it covers on the image.
struct Capsule {
    std::int32_t ax, ay, bx, by; // ay <= by; bx > ax when ay == by
    std::int32_t rowFirst, rowLast;
    CapsuleKind kind;
    std::size_t column; // its rows in the column store, from rowFirst
};

// A capsule joining the sweep at its first row.
struct Join {
    std::int32_t row;
    CapsuleTag tag;
};

// Every capsule of one outline with its column of packed spans, one per row from its first
// row, padded to whole groups of eight; rowOf[i][y] is capsule i's span on row y. Kept from
// outline to outline (per thread) so that the vectors keep their room.
struct CapsuleColumns {
    ChordTable chords;
    std::vector<Capsule> capsules;
    std::vector<std::uint32_t> store;
    std::vector<const std::uint32_t*> rowOf;
    std::vector<Join> joins; // by first row
    RowBounds bounds;        // of the rows top .. bottom, from index 0
    std::int32_t top = 0, bottom = -1;
};

// The capsules of the closed outline through pts on an image W x H and their columns. False
// when no capsule touches the image. The outline must be one integerBuilderTakes.
bool buildCapsuleColumns(int W, int H, std::span<const PixelPoint> pts, int width, CapsuleColumns& c);

// The sweep's working room, sized by sweepCapsuleColumns.
struct SweepScratch {
    std::vector<SweepKey> keys, next;
    std::vector<std::uint32_t> laneRuns;
    std::vector<RowSpan> runs;
};

// The disjoint runs of covered pixels, row by row from the top and left to right, in
// s.runs[0 .. result).
std::size_t sweepCapsuleColumns(const CapsuleColumns& c, SweepScratch& s);

// Plain reference for the sweep: every row's spans from every capsule over it, sorted and
// merged. The same runs, in the same order.
std::vector<RowSpan> referenceSweep(const CapsuleColumns& c);

} // namespace zovex::detail
