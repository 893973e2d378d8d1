#include "clipboard.h"
#include "replaceable.h"

#include <QClipboard>
#include <QGuiApplication>

namespace zovex {

void QtClipboard::setImage(const QImage& image)
{
    if (QClipboard* c = QGuiApplication::clipboard())
        c->setImage(image, QClipboard::Clipboard);
}

QImage QtClipboard::image() const
{
    if (QClipboard* c = QGuiApplication::clipboard())
        return c->image(QClipboard::Clipboard);
    return {};
}

Clipboard& systemClipboard() { return Replaceable<Clipboard, QtClipboard>::get(); }
void setSystemClipboard(Clipboard* clipboard)
{
    Replaceable<Clipboard, QtClipboard>::replace(clipboard);
}

} // namespace zovex
