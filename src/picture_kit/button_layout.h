// The right-aligned button row of the picture windows' Form_Resize: buttons side by side without
// gaps, in the order given, the last one ending `gap` twips before the window's width W. A
// button's left is W minus the widths of it and every button after it, minus the gap, computed
// in twips and converted to pixels by the program's one rule. W is the client area's width: the
// desktop's frame is not the window's to draw on, and the buttons stay wholly visible whatever
// frame the window manager puts around them. Tops are not touched; a window narrower than the
// row pushes its buttons past the left edge.
#pragma once

#include "twips.h"

#include <initializer_list>

class QWidget;

namespace zovex {

void alignRight(const QWidget& window, std::initializer_list<QWidget*> row, Twips gap);

} // namespace zovex
