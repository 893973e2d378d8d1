// First: rop2Apply in rop2.h passes vectors too, and the -Wpsabi silence must already hold.
#include "simd.h"

#include "rop2.h"

namespace zovex {

namespace {

// Pixels in vectors of 16, 8 and 4 (one AVX-512 register, two AVX2 or four SSE2 ones for 16).
using V16 = simd::V16u;
using V8 = simd::V8u;
using V4 = simd::V4u;

template <class V>
[[gnu::always_inline]] inline V loadV(const std::uint32_t* p)
{
    return simd::load<V>(p);
}

template <class V>
[[gnu::always_inline]] inline void storeV(std::uint32_t* p, const V& v)
{
    simd::store(p, v);
}

// The pen in each vector width, made once per call: a splat of a vector wider than the
// machine's registers goes through memory, which costs a stall each time it is made.
struct Pens {
    V16 p16;
    V8 p8;
    V4 p4;
    std::uint32_t p1;
};

// A short span as two vectors that may overlap: both are read before either is written, so a
// pixel in both gets the same value from each.
template <Rop2 Op, class V>
[[gnu::always_inline]] inline void pairOfVectors(const V& p, std::uint32_t* dst, int n)
{
    constexpr int k = sizeof(V) / 4;
    const V head = rop2Apply<Op>(p, loadV<V>(dst));
    const V tail = rop2Apply<Op>(p, loadV<V>(dst + n - k));
    storeV(dst, head);
    storeV(dst + n - k, tail);
}

// Each pixel of dst[0..n) is combined exactly once: whole vectors of 16 on 64-byte boundaries
// (one cache line each) in the middle, and the first and last 16 pixels, read before the loop,
// written after it over pixels the loop may have done too (with the same values).
template <Rop2 Op>
[[gnu::always_inline]] inline void spanLoop(const Pens& pens, std::uint32_t* dst, int n)
{
    if (n >= 16) {
        const V16 p = pens.p16;
        const V16 first = rop2Apply<Op>(p, loadV<V16>(dst));
        const V16 last = rop2Apply<Op>(p, loadV<V16>(dst + n - 16));
        auto* a = reinterpret_cast<std::uint32_t*>((reinterpret_cast<std::uintptr_t>(dst) + 64) & ~std::uintptr_t(63));
        for (std::uint32_t* const stop = dst + n - 16; a <= stop; a += 16)
            storeV(a, rop2Apply<Op>(p, loadV<V16>(a)));
        storeV(dst, first);
        storeV(dst + n - 16, last);
    } else if (n >= 8) {
        pairOfVectors<Op, V8>(pens.p8, dst, n);
    } else if (n >= 4) {
        pairOfVectors<Op, V4>(pens.p4, dst, n);
    } else {
        for (int i = 0; i < n; ++i)
            dst[i] = rop2Apply<Op>(pens.p1, dst[i]);
    }
}

template <Rop2 Op>
void spansLoop(std::uint32_t pen, std::uint32_t* image, std::ptrdiff_t stride, const RowSpan* spans, std::size_t n)
{
    const Pens pens{V16{} + pen, V8{} + pen, V4{} + pen, pen};
    for (std::size_t s = 0; s < n; ++s)
        spanLoop<Op>(pens, image + stride * spans[s].row + spans[s].first, spans[s].end - spans[s].first);
}

template <Rop2 Op>
void dispatchSpansOne(Rop2 op, std::uint32_t pen, std::uint32_t* image, std::ptrdiff_t stride, const RowSpan* spans,
                      std::size_t n, bool& done)
{
    if (!done && op == Op) {
        spansLoop<Op>(pen, image, stride, spans, n);
        done = true;
    }
}

template <int... I>
void dispatchSpans(Rop2 op, std::uint32_t pen, std::uint32_t* image, std::ptrdiff_t stride, const RowSpan* spans,
                   std::size_t n, std::integer_sequence<int, I...>)
{
    bool done = false;
    (dispatchSpansOne<static_cast<Rop2>(I + 1)>(op, pen, image, stride, spans, n, done), ...);
}

} // namespace

ZOVEX_SPAN_CLONES
void rop2Spans(Rop2 op, std::uint32_t pen, std::uint32_t* image, std::ptrdiff_t stride, const RowSpan* spans,
               std::size_t n)
{
    dispatchSpans(op, pen, image, stride, spans, n, std::make_integer_sequence<int, 16>{});
}

void rop2Span(Rop2 op, std::uint32_t pen, std::uint32_t* dst, int n)
{
    const RowSpan span{0, 0, n};
    rop2Spans(op, pen, dst, 0, &span, 1);
}

std::uint32_t rop2Pixel(Rop2 op, std::uint32_t pen, std::uint32_t dst)
{
    std::uint32_t d = dst;
    rop2Span(op, pen, &d, 1);
    return d;
}

} // namespace zovex
