#include "picture_window.h"

#include "control_table.h"

#include <QColor>
#include <QPalette>

namespace zovex {

void setUpPictureWindow(QWidget& window, const QString& name, const QString& caption, std::optional<Colour> background)
{
    window.setObjectName(name);
    window.setWindowRole(name);
    window.setWindowTitle(caption);
    window.setFont(songti());
    if (background)
        fillBackground(window, *background);
}

void fillBackground(QWidget& widget, Colour colour)
{
    widget.setAutoFillBackground(true);
    QPalette pal = widget.palette();
    pal.setColor(QPalette::Window, toQColor(colour));
    widget.setPalette(pal);
}

} // namespace zovex
