#include "picture_box.h"

#include <QPainter>
#include <QPaintEvent>
#include <qdrawutil.h>

#include <algorithm>

namespace zovex {

PictureBox::PictureBox(QSize outerPx, Colour back, QWidget* parent)
    : QWidget(parent),
      m_canvas(std::max(outerPx.width() - 2 * kBorderPx, 1), std::max(outerPx.height() - 2 * kBorderPx, 1), back)
{
    resize(outerPx);
    // Every pixel is painted below: no background erase, no flicker at high tick rates.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    qDrawWinPanel(&p, rect(), palette(), true);
    const QRect interior(kBorderPx, kBorderPx, m_canvas.widthPx(), m_canvas.heightPx());
    const QRect dirty = event->rect() & interior;
    if (!dirty.isEmpty())
        p.drawImage(dirty.topLeft(), m_canvas.image(), dirty.translated(-interior.topLeft()));
}

} // namespace zovex
