#include "canvas.h"

#include "int_conv.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zovex {

double canvasScaleFor(double ratio)
{
    if (!(ratio >= 1.0))
        return 1.0;
    return std::min(ratio, static_cast<double>(kMaxScale));
}

int devicePixelsFor(int logicalPx, double scale)
{
    // The tolerance keeps a product that is whole but for rounding (857 * 1.1) from growing.
    return static_cast<int>(std::ceil(logicalPx * canvasScaleFor(scale) - 1e-7));
}

int penWidthFor(int drawWidth, double scale)
{
    return std::max(1, static_cast<int>(roundHalfEven(drawWidth * canvasScaleFor(scale))));
}

int dotsPerMeterFor(double scale) { return static_cast<int>(std::lround(96.0 * canvasScaleFor(scale) * 100.0 / 2.54)); }

double recordedScaleOf(const QImage& picture)
{
    const int dpm = std::min(picture.dotsPerMeterX(), picture.dotsPerMeterY());
    // In whole dots per inch: a file holds whole dots per metre, which 192 dpi is not.
    const double dpi = std::round(dpm * 0.0254);
    if (!(dpi > 96.0))
        return 1.0;
    return canvasScaleFor(dpi / 96.0);
}

Canvas::Canvas(int widthPx, int heightPx, Colour back, double scale)
    : m_image(std::max(widthPx, 1), std::max(heightPx, 1), QImage::Format_RGB32), m_scale(canvasScaleFor(scale)),
      m_backColor(back)
{
    m_image.fill(toPixel(back));
    m_image.setDotsPerMeterX(dotsPerMeterFor(m_scale));
    m_image.setDotsPerMeterY(dotsPerMeterFor(m_scale));
}

float Canvas::logicalTwips(int px) const
{
    if (m_scale == 1.0)
        return static_cast<float>(px) * kTwipsPerPixel;
    // The whole ordinary pixels covered, from the exact ratio: a canvas S times finer has
    // exactly the ordinary size in twips.
    return static_cast<float>(std::floor(px / m_scale + 1e-7) * double(kTwipsPerPixel));
}

bool Canvas::rescale(double scale, int widthPx, int heightPx)
{
    widthPx = std::max(widthPx, 1);
    heightPx = std::max(heightPx, 1);
    scale = canvasScaleFor(scale);
    m_outlines.clear();
    m_fillPending = false;
    if (widthPx != m_image.width() || heightPx != m_image.height()) {
        QImage next(widthPx, heightPx, QImage::Format_RGB32);
        if (next.isNull())
            return false;
        m_image = QImage(); // never two canvases' worth at once
        m_image = std::move(next);
    }
    m_scale = scale;
    m_image.fill(toPixel(m_backColor));
    m_image.setDotsPerMeterX(dotsPerMeterFor(m_scale));
    m_image.setDotsPerMeterY(dotsPerMeterFor(m_scale));
    return true;
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
    return m_outlines.add(m_image.width(), m_image.height(), pts, penWidthFor(m_drawWidth, m_scale),
                          static_cast<Rop2>(m_drawMode), toPixel(m_foreColor));
}

Colour Canvas::pixel(int x, int y) const
{
    return fromPixel(static_cast<std::uint32_t>(persistentImage().pixel(x, y)));
}

bool Canvas::resize(int widthPx, int heightPx)
{
    widthPx = std::max(widthPx, 1);
    heightPx = std::max(heightPx, 1);
    if (widthPx == m_image.width() && heightPx == m_image.height())
        return true;
    settle();
    QImage next(widthPx, heightPx, QImage::Format_RGB32);
    if (next.isNull())
        return false;
    next.setDotsPerMeterX(m_image.dotsPerMeterX());
    next.setDotsPerMeterY(m_image.dotsPerMeterY());
    const int keepW = std::min(widthPx, m_image.width());
    const int keepH = std::min(heightPx, m_image.height());
    const std::uint32_t back = toPixel(m_backColor);
    for (int y = 0; y < heightPx; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(next.scanLine(y));
        int from = 0;
        if (y < keepH) {
            std::memcpy(row, m_image.constScanLine(y), static_cast<std::size_t>(keepW) * 4);
            from = keepW;
        }
        std::fill(row + from, row + widthPx, back);
    }
    m_image = std::move(next);
    return true;
}

bool Canvas::showPicture(const QImage& picture, double scale)
{
    if (picture.isNull())
        return false;
    QImage image = picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return false;
    m_outlines.clear();
    m_fillPending = false;
    m_image = std::move(image);
    m_scale = canvasScaleFor(scale);
    return true;
}

void Canvas::PaintPicture(const QImage& picture, const QRect& target)
{
    if (picture.isNull() || target.isEmpty())
        return;
    QImage& pixels = persistentImage();
    if (!target.intersects(pixels.rect()))
        return;
    QPainter p(&pixels);
    // Pixels stay pixels, as a bitmap stretched on the desktop does: no smoothing.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (target.size() == picture.size())
        p.drawImage(target.topLeft(), picture);
    else
        p.drawImage(target, picture);
}

} // namespace zovex
