// Star rings: an n-pointed regular star inscribed in a box, decomposed into 2^h rotated
// figures of v vertices joining every s-th vertex, outlined with the canvas's pen.
// PolarPoint turns an angle (degrees, 0 at 12 o'clock, clockwise) into a point with the
// drawing core's circle constant 3.141593. All integer conversions round half to even.
#pragma once

#include "canvas.h"
#include "int_conv.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace zovex {

inline constexpr double kCircleConstant = 3.141593;

struct StarDecomposition {
    std::int16_t v = 0; // vertices of one figure
    std::int16_t s = 0; // step
    std::int16_t h = 0; // halvings: the ring has 2^h figures
    friend bool operator==(const StarDecomposition&, const StarDecomposition&) = default;
};

// n below 3 counts as 3.
StarDecomposition decomposeStar(std::int16_t n);

void PolarPoint(std::int32_t cx, std::int32_t cy, double angle, std::int32_t rx, std::int32_t ry, std::int32_t& x,
                std::int32_t& y);

// Calls fn(std::span<const PixelPoint>) for each figure of the ring in drawing order, with the
// vertices in pixels of the device context. Throws OverflowError where a conversion overflows.
template <class Fn>
void forEachStarFigure(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height, std::int16_t n,
                       float twipsPerPixelX, float twipsPerPixelY, Fn&& fn)
{
    // An ordinary screen has a whole number of twips per pixel; a finer canvas keeps its exact
    // fraction (15 / S), so that its rings are those of the ordinary canvas S times larger.
    const double tx = twipsPerPixelX;
    const double ty = twipsPerPixelY;
    const StarDecomposition d = decomposeStar(n);
    const std::int32_t cx = toInt32(left + width / 2.0);
    const std::int32_t cy = toInt32(top + height / 2.0);
    const std::int32_t rx = toInt32(width / 2.0);
    const std::int32_t ry = toInt32(height / 2.0);
    const double figures = std::ldexp(1.0, d.h);
    const long figureCount = 1L << d.h;
    thread_local std::vector<PixelPoint> vertices;
    vertices.resize(static_cast<std::size_t>(d.v));
    for (long k = 0; k < figureCount; ++k) {
        int m = 0;
        for (int j = 0; j < d.v; ++j) {
            const double angle = (360.0 / d.v) * (m + (1.0 / figures) * static_cast<double>(k));
            std::int32_t x = 0, y = 0;
            PolarPoint(cx, cy, angle, rx, ry, x, y);
            vertices[static_cast<std::size_t>(j)] = {toInt32(x / tx), toInt32(y / ty)};
            m += d.s;
            if (m > d.v)
                m -= d.v;
        }
        fn(std::span<const PixelPoint>(vertices.data(), vertices.size()));
    }
}

// The figures as lists, for inspection.
std::vector<std::vector<PixelPoint>> starRingFigures(std::int32_t left, std::int32_t top, std::int32_t width,
                                                     std::int32_t height, std::int16_t n, float twipsPerPixel = 15.0f);

// Draws the ring in `colour` with the canvas's DrawWidth and DrawMode; ForeColor is restored
// afterwards. Errors propagate, leaving the figures drawn so far (and ForeColor set).
// Returns the number of pixels combined.
std::int64_t DrawStarRing(Canvas& canvas, std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                          std::int16_t n, Colour colour);

} // namespace zovex
