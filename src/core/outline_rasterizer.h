// Our own outline rasterizer: a closed polygon stroked with a solid, round-joined pen of an
// integer width, without anti-aliasing, every covered pixel combined exactly once with the
// destination by a ROP2.
//
// Geometry: a vertex (x, y) is the centre of pixel (x, y). The stroke is the union of one
// capsule per edge (the edge swept by a disk of diameter `width`). A pixel is covered when its
// centre lies inside the stroke; a centre exactly on a left or top boundary is inside, on a
// right or bottom boundary outside. So a pen of width w covers exactly w pixels across a
// horizontal or vertical edge, and a width-1 outline passes through its vertex pixels.
//
// Work is bounded by the clipped image area, never by the pen width: any width up to 32767
// and any 32-bit vertex coordinates are fine.
#pragma once

#include "rop2.h"

#include <QImage>

#include <cstdint>
#include <span>

namespace zovex {

struct PixelPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// Strokes the closed outline pts[0] -> ... -> pts[n-1] -> pts[0] on an RGB32 image.
// Fewer than two points draw nothing. Returns the number of pixels combined.
std::int64_t strokeClosedPolygon(QImage& image, std::span<const PixelPoint> pts, int width,
                                 Rop2 op, std::uint32_t penPixel);

// Slow, exact reference for tests: whether the centre of pixel (px, py) is covered by the
// stroke under the rules above, decided per pixel against every edge in exact integer
// arithmetic. Valid for |coordinates| below 2^20 and widths up to 4096.
bool referenceCovers(std::span<const PixelPoint> pts, int width, int px, int py);

} // namespace zovex
