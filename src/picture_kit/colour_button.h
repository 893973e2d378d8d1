// Colour buttons: the graphical button style of the windows' panels and toolbars, the face in
// the button's own colour, raised, sunken while pressed, outlined while it has the focus.
#pragma once

#include "colour.h"

#include <QString>

namespace zovex {

// The style sheet that gives a button the face colour `face`.
QString colourButtonStyle(Colour face);

} // namespace zovex
