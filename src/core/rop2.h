// The sixteen binary raster operations (ROP2), numbered 1..16 as the canvas's DrawMode.
// Each combines pen P and destination D bit by bit over the 24 colour bits; the alpha byte
// of an RGB32 pixel is kept at 0xFF. Bitwise operations do not care about channel order, so
// they work directly on RGB32 pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace zovex {

enum class Rop2 : int {
    Black = 1,
    NotMergePen = 2,
    MaskNotPen = 3,
    NotCopyPen = 4,
    MaskPenNot = 5,
    Not = 6,
    XorPen = 7,
    NotMaskPen = 8,
    MaskPen = 9,
    NotXorPen = 10,
    Nop = 11,
    MergeNotPen = 12,
    CopyPen = 13,
    MergePenNot = 14,
    MergePen = 15,
    White = 16,
};

// One pixel, or a vector of pixels (T a GCC vector of uint32_t).
template <Rop2 Op, class T>
[[gnu::always_inline]] constexpr T rop2Apply(T p, T d)
{
    T r = d;
    if constexpr (Op == Rop2::Black)
        r = d ^ d;
    else if constexpr (Op == Rop2::NotMergePen)
        r = ~(p | d);
    else if constexpr (Op == Rop2::MaskNotPen)
        r = ~p & d;
    else if constexpr (Op == Rop2::NotCopyPen)
        r = ~p;
    else if constexpr (Op == Rop2::MaskPenNot)
        r = p & ~d;
    else if constexpr (Op == Rop2::Not)
        r = ~d;
    else if constexpr (Op == Rop2::XorPen)
        r = p ^ d;
    else if constexpr (Op == Rop2::NotMaskPen)
        r = ~(p & d);
    else if constexpr (Op == Rop2::MaskPen)
        r = p & d;
    else if constexpr (Op == Rop2::NotXorPen)
        r = ~(p ^ d);
    else if constexpr (Op == Rop2::Nop)
        r = d;
    else if constexpr (Op == Rop2::MergeNotPen)
        r = ~p | d;
    else if constexpr (Op == Rop2::CopyPen)
        r = p;
    else if constexpr (Op == Rop2::MergePenNot)
        r = p | ~d;
    else if constexpr (Op == Rop2::MergePen)
        r = p | d;
    else
        r = d | ~d;
    return r | 0xFF000000u;
}

// One pixel, for tests and slow paths. `op` must be 1..16.
std::uint32_t rop2Pixel(Rop2 op, std::uint32_t pen, std::uint32_t dst);

// Combines dst[0..n) with the pen in place.
void rop2Span(Rop2 op, std::uint32_t pen, std::uint32_t* dst, int n);

// The pixels [first, end) of one image row.
struct RowSpan {
    std::int32_t row, first, end;
};

// Combines the pixels of each span with the pen; row y of the image starts at image + stride * y.
void rop2Spans(Rop2 op, std::uint32_t pen, std::uint32_t* image, std::ptrdiff_t stride, const RowSpan* spans,
               std::size_t n);

} // namespace zovex
