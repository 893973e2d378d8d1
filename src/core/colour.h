// The system's colour: red + 256 * green + 65536 * blue, upper byte 0. Pixels of the canvas
// are QImage RGB32 (0xFFRRGGBB); the two meet only through the functions below.
#pragma once

#include <cstdint>

namespace zovex {

using Colour = std::uint32_t;

constexpr Colour RGB(int r, int g, int b)
{
    return static_cast<Colour>(r & 0xFF) | (static_cast<Colour>(g & 0xFF) << 8) | (static_cast<Colour>(b & 0xFF) << 16);
}
constexpr int redOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int greenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

// Colour -> RGB32 pixel (alpha 0xFF) and back.
constexpr std::uint32_t toPixel(Colour c)
{
    return 0xFF000000u | (static_cast<std::uint32_t>(redOf(c)) << 16) | (static_cast<std::uint32_t>(greenOf(c)) << 8) |
           static_cast<std::uint32_t>(blueOf(c));
}
constexpr Colour fromPixel(std::uint32_t p)
{
    return RGB(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF));
}

} // namespace zovex

namespace zovex {
// The desktop's standard button-face colour, used where a window starts in it.
inline constexpr Colour kButtonFaceColour = RGB(240, 240, 240);
} // namespace zovex
