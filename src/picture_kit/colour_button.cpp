#include "colour_button.h"

#include "control_table.h"

namespace zovex {

QString colourButtonStyle(Colour face)
{
    const QString c = toQColor(face).name();
    return QStringLiteral("QPushButton { background-color: %1; color: black; border: 2px outset %1; }"
                          "QPushButton:pressed { border-style: inset; }"
                          "QPushButton:focus { border: 2px solid black; }")
        .arg(c);
}

} // namespace zovex
