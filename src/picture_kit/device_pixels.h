// Pictures finer than the logical pixels they are shown in: a canvas drawn at a HiDPI screen's
// device pixels, a screen image, a picture recorded above 96 dpi. S picture pixels stand for
// one logical pixel in each direction; painting puts each picture pixel where it belongs, so on
// a screen whose device pixel ratio is S every picture pixel is one device pixel, and anywhere
// else the picture is scaled smoothly.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

namespace zovex {

// Paints the part of `picture` (S = `scale` pixels to a logical pixel, its top-left corner at
// `origin` in the painter's logical coordinates) that lies under `dirty` (logical). Returns the
// logical pixels the picture covered there.
QRect drawDevicePixels(QPainter& painter, const QImage& picture, double scale, QPoint origin, const QRect& dirty);

// The logical pixels on which the picture pixels `pixels` (of scale S) lie, rounded outwards.
QRect logicalRectOf(const QRect& pixels, double scale);

} // namespace zovex
