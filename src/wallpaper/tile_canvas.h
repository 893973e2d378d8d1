// TileCanvas: the wallpaper's one drawing step. It repeats a picture edge to edge over a
// canvas's persistent image in cells of a given size, row by row from the top-left corner;
// the last column and row are cut off at the canvas's edge and every pixel is painted over.
//
// Contract: the picture is drawn into each cell scaled to exactly the cell's size, whatever its
// own size and proportions (a picture of the cell's size is copied 1:1). The pixels are those
// of the canvas's own PaintPicture of the whole picture into each cell, cut off at the canvas's
// edge; the picture is scaled once per call and rows are copied, so a tiling costs about one
// write of the canvas and holds at most one scaled cell besides it (never more than the canvas
// itself). Transparent parts of the picture show the canvas's BackColor, not what was there.
// A null picture or an empty cell throws std::invalid_argument and leaves the canvas as it was.
#pragma once

#include <QImage>
#include <QSize>

namespace zovex {

class Canvas;

void TileCanvas(Canvas& canvas, const QImage& picture, QSize cell);

} // namespace zovex
