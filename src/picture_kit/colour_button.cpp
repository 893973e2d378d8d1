#include "colour_button.h"

#include <QColor>
#include <QPushButton>

namespace zovex {

QString colourButtonStyle(Colour face)
{
    const QString c = QColor::fromRgb(toPixel(face)).name();
    return QStringLiteral("QPushButton { background-color: %1; color: black; border: 2px outset %1; }"
                          "QPushButton:pressed { border-style: inset; }"
                          "QPushButton:focus { border: 2px solid black; }")
        .arg(c);
}

QPushButton* makeColourButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
                              Colour face)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setStyleSheet(colourButtonStyle(face));
    return b;
}

} // namespace zovex
