// The right-aligned button row of the picture windows' Form_Resize: buttons side by side without
// gaps, in the order given, the last one ending `gap` twips before the window's width W. A
// button's left is W minus the widths of it and every button after it, minus the gap, computed
// in twips and converted to pixels by the program's one rule. W is the window's outer width, its
// frame included (the client width while the window has no frame yet, or none at all), and
// the lefts are the client area's coordinates as ever: a frame pushes the row right by its
// width. Tops are not touched; a window narrower than the row pushes its buttons past the
// left edge.
#pragma once

#include "twips.h"

#include <initializer_list>

class QWidget;

namespace zovex {

void alignRight(const QWidget& window, std::initializer_list<QWidget*> row, Twips gap);

} // namespace zovex
