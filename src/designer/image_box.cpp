#include "image_box.h"

#include <QPainter>

namespace zovex {

ImageBox::ImageBox(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void ImageBox::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void ImageBox::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter p(this);
    p.drawImage(rect(), m_picture);
}

} // namespace zovex
