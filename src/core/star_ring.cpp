#include "star_ring.h"

namespace zovex {

StarDecomposition decomposeStar(std::int16_t n)
{
    if (n < 3)
        n = 3;
    StarDecomposition d;
    if (n % 2 != 0) {
        d.v = n;
        d.s = static_cast<std::int16_t>(n / 2);
        d.h = 0;
        return d;
    }
    int q = n / 2;
    int h = 1;
    while (!(q % 2 != 0 || q == 4)) {
        q /= 2;
        ++h;
    }
    d.v = static_cast<std::int16_t>(q);
    d.s = static_cast<std::int16_t>(q == 4 ? 1 : q / 2);
    d.h = static_cast<std::int16_t>(h);
    return d;
}

void PolarPoint(std::int32_t cx, std::int32_t cy, double angle, std::int32_t rx, std::int32_t ry, std::int32_t& x,
                std::int32_t& y)
{
    constexpr double K = kCircleConstant / 180.0;
    x = toInt32(cx + rx * std::sin(angle * K));
    y = toInt32(cy - ry * std::sin((angle + 90.0) * K));
}

std::vector<std::vector<PixelPoint>> starRingFigures(std::int32_t left, std::int32_t top, std::int32_t width,
                                                     std::int32_t height, std::int16_t n, float twipsPerPixel)
{
    std::vector<std::vector<PixelPoint>> out;
    forEachStarFigure(left, top, width, height, n, twipsPerPixel, twipsPerPixel,
                      [&](std::span<const PixelPoint> f) { out.emplace_back(f.begin(), f.end()); });
    return out;
}

std::int64_t DrawStarRing(Canvas& canvas, std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                          std::int16_t n, Colour colour)
{
    const Colour saved = canvas.ForeColor();
    canvas.setForeColor(colour);
    std::int64_t combined = 0;
    forEachStarFigure(left, top, width, height, n, canvas.TwipsPerPixelX(), canvas.TwipsPerPixelY(),
                      [&](std::span<const PixelPoint> f) { combined += canvas.Polygon(f); });
    canvas.setForeColor(saved);
    return combined;
}

} // namespace zovex
