#include "clipboard.h"

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

} // namespace zovex
