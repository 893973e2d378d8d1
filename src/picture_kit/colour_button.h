// Colour buttons: the graphical button style of the windows' panels and toolbars, the face in
// the button's own colour, raised, sunken while pressed, outlined while it has the focus.
#pragma once

#include "colour.h"

#include <QRect>
#include <QString>

class QPushButton;
class QWidget;

namespace zovex {

// The style sheet that gives a button the face colour `face`.
QString colourButtonStyle(Colour face);

// A push button named `name` (its control name) with `caption` at `geometry` (pixels) in
// `parent`, which owns it, in the face colour `face`.
QPushButton* makeColourButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
                              Colour face);

} // namespace zovex
