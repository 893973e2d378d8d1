#include "auto_size_picture_box.h"

#include <QPaintEvent>
#include <QPainter>
#include <qdrawutil.h>

namespace zovex {

AutoSizePictureBox::AutoSizePictureBox(QSize outerPx, Colour back, QWidget* parent)
    : QWidget(parent), m_back(QColor::fromRgb(toPixel(back)))
{
    resize(outerPx);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setFocusPolicy(Qt::NoFocus);
}

void AutoSizePictureBox::setPicture(const QImage& picture)
{
    m_picture = picture;
    if (!m_picture.isNull())
        resize(m_picture.size() + QSize(2 * kBorderPx, 2 * kBorderPx));
    update();
}

void AutoSizePictureBox::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    qDrawWinPanel(&p, rect(), palette(), true);
    const QRect in = interior();
    const QRect dirty = event->rect() & in;
    if (dirty.isEmpty())
        return;
    p.fillRect(dirty, m_back);
    // Only the part that is on screen: a large picture costs no more than a small one.
    const QRect shown = dirty & QRect(in.topLeft(), m_picture.size());
    if (!shown.isEmpty())
        p.drawImage(shown.topLeft(), m_picture, shown.translated(-in.topLeft()));
}

} // namespace zovex
