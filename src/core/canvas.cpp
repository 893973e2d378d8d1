#include "canvas.h"

#include <cmath>

namespace zovex {

Canvas::Canvas(int widthPx, int heightPx, Colour back)
    : m_image(std::max(widthPx, 1), std::max(heightPx, 1), QImage::Format_RGB32), m_backColor(back)
{
    m_image.fill(toPixel(back));
}

void Canvas::setBackColor(Colour c)
{
    m_backColor = c;
    m_fillPending = true;
    m_outlines.clear(); // the fill covers them
}

void Canvas::Cls()
{
    m_fillPending = true;
    m_outlines.clear();
    m_currentX = 0;
    m_currentY = 0;
}

void Canvas::setDrawWidth(int w)
{
    if (w < 1 || w > 32767)
        throw InvalidPropertyValue("invalid property value: DrawWidth " + std::to_string(w));
    m_drawWidth = w;
}

void Canvas::setDrawMode(int m)
{
    if (m < 1 || m > 16)
        throw InvalidPropertyValue("invalid property value: DrawMode " + std::to_string(m));
    m_drawMode = m;
}

void Canvas::setFontSize(float s)
{
    if (!(s > 0.0f) || s > 2160.0f || !std::isfinite(s))
        throw InvalidPropertyValue("invalid property value: FontSize");
    m_fontSize = s;
}

std::int64_t Canvas::Polygon(std::span<const PixelPoint> pts)
{
    if (m_outlines.spanCount() >= kQueuedSpans)
        settle();
    return m_outlines.add(m_image.width(), m_image.height(), pts, m_drawWidth,
                          static_cast<Rop2>(m_drawMode), toPixel(m_foreColor));
}

Colour Canvas::pixel(int x, int y) const
{
    return fromPixel(static_cast<std::uint32_t>(image().pixel(x, y)));
}

} // namespace zovex
