// Module4: moving a control about its window with the mouse, the way a title bar moves a
// window. The wallpaper window drags its canvas with it.
//
// Contract: DragControl ends any mouse capture the program holds and starts the move at once:
// until the next release of a mouse button the control follows the pointer, keeping the point
// that was grabbed under it, and then stays where it was dropped. No limit is put on the new
// position. The call returns at once; the move is carried by the mouse events that follow,
// which go to the control alone while it lasts. `pointer` is where the pointer is, in screen
// coordinates.
#pragma once

#include <QPoint>

class QWidget;

namespace zovex {

void DragControl(QWidget& control, QPoint pointer);

// Where a control that was at `start` when the pointer grabbed it at `grabbed` goes when the
// pointer is at `pointer`.
constexpr QPoint dragPosition(QPoint start, QPoint grabbed, QPoint pointer) { return start + (pointer - grabbed); }

} // namespace zovex
