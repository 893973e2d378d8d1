#include "picture_window.h"

#include "font_faces.h"

#include <QColor>
#include <QPalette>

namespace zovex {

void setUpPictureWindow(QWidget& window, const QString& name, const QString& caption,
                        std::optional<Colour> background)
{
    window.setObjectName(name);
    window.setWindowRole(name);
    window.setWindowTitle(caption);
    window.setFont(controlFont(QStringLiteral("宋体"), 9, false));
    if (background)
        fillBackground(window, *background);
}

void fillBackground(QWidget& widget, Colour colour)
{
    widget.setAutoFillBackground(true);
    QPalette pal = widget.palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(toPixel(colour)));
    widget.setPalette(pal);
}

} // namespace zovex
