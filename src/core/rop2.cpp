#include "rop2.h"

namespace zovex {

namespace {

template <Rop2 Op>
void spanLoop(std::uint32_t pen, std::uint32_t* dst, int n)
{
    for (int i = 0; i < n; ++i)
        dst[i] = rop2Apply<Op>(pen, dst[i]);
}

template <Rop2 Op>
void dispatchOne(Rop2 op, std::uint32_t pen, std::uint32_t* dst, int n, bool& done)
{
    if (!done && op == Op) {
        spanLoop<Op>(pen, dst, n);
        done = true;
    }
}

template <int... I>
void dispatch(Rop2 op, std::uint32_t pen, std::uint32_t* dst, int n,
              std::integer_sequence<int, I...>)
{
    bool done = false;
    (dispatchOne<static_cast<Rop2>(I + 1)>(op, pen, dst, n, done), ...);
}

} // namespace

// flatten: the sixteen loops are inlined into each clone, so the AVX2 one really uses AVX2.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
__attribute__((target_clones("avx2", "default"), flatten))
#endif
void rop2Span(Rop2 op, std::uint32_t pen, std::uint32_t* dst, int n)
{
    dispatch(op, pen, dst, n, std::make_integer_sequence<int, 16>{});
}

std::uint32_t rop2Pixel(Rop2 op, std::uint32_t pen, std::uint32_t dst)
{
    std::uint32_t d = dst;
    rop2Span(op, pen, &d, 1);
    return d;
}

} // namespace zovex
