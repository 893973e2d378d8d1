#include "device_pixels.h"

#include <cmath>

namespace zovex {

QRect logicalRectOf(const QRect& pixels, double scale)
{
    if (scale == 1.0 || pixels.isEmpty())
        return pixels;
    const int l = static_cast<int>(std::floor(pixels.left() / scale));
    const int t = static_cast<int>(std::floor(pixels.top() / scale));
    const int r = static_cast<int>(std::ceil((pixels.right() + 1) / scale));
    const int b = static_cast<int>(std::ceil((pixels.bottom() + 1) / scale));
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

QRect drawDevicePixels(QPainter& painter, const QImage& picture, double scale, QPoint origin, const QRect& dirty)
{
    if (picture.isNull() || dirty.isEmpty())
        return {};
    if (scale == 1.0) {
        const QRect shown = dirty & QRect(origin, picture.size());
        if (!shown.isEmpty())
            painter.drawImage(shown.topLeft(), picture, shown.translated(-origin));
        return shown;
    }
    // The picture pixels under the dirty part, whole ones, put where they belong.
    const QRect part = dirty.translated(-origin);
    const QRect source = QRect(QPoint(static_cast<int>(std::floor(part.left() * scale)),
                                      static_cast<int>(std::floor(part.top() * scale))),
                               QPoint(static_cast<int>(std::ceil((part.right() + 1) * scale)) - 1,
                                      static_cast<int>(std::ceil((part.bottom() + 1) * scale)) - 1)) &
                         picture.rect();
    if (source.isEmpty())
        return {};
    const QRectF target(origin.x() + source.left() / scale, origin.y() + source.top() / scale, source.width() / scale,
                        source.height() / scale);
    const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    const double deviceRatio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scale != deviceRatio);
    painter.drawImage(target, picture, QRectF(source));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    return dirty & QRectF(QPointF(origin), QSizeF(picture.size()) / scale).toAlignedRect();
}

} // namespace zovex
