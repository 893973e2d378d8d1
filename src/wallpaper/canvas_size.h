// The wallpaper canvas's size as the user types it: Text1 holds the height and Text2 the width,
// in twips, of the whole canvas box (its 2-pixel border included). A size is applied only when
// the canvas it gives can be saved by this program and opened again by its own windows:
// at least one pixel inside the border, at most kLargestCanvasSide pixels a side and
// kLargestPicturePixels (the picture loader's limit) in all.
//
// Contract: checkCanvasSide never throws; a refusal comes with the notice to show, naming the
// size asked for in pixels and the limit.
#pragma once

#include "load_picture.h"
#include "picture_box.h"

#include <QSize>
#include <QString>

#include <optional>

namespace zovex {

// Beyond this a side no longer fits the painter's coordinates on screen.
inline constexpr int kLargestCanvasSide = 32767;
inline constexpr qint64 kLargestCanvasPixels = kLargestPicturePixels;

enum class CanvasSide { Height, Width };

// The size, in pixels, of the canvas's interior when the box is `outerPx` pixels.
QSize canvasInterior(QSize outerPx);

struct CanvasSizeCheck {
    std::optional<QSize> interior; // the new interior, when the size can be applied
    QSize outer;                   // then the box's outer size, its border included
    QString notice;                // otherwise what the user is told
};

// The interior (and outer size) the canvas gets when `text` is applied to `side` of a box
// whose other side stays as in `outerPx`.
CanvasSizeCheck checkCanvasSide(const QString& text, CanvasSide side, QSize outerPx);

// The notice for a size the machine could not allocate.
QString canvasNotAllocatedNotice(QSize interior);

} // namespace zovex
