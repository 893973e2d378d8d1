#include "image_box.h"

#include <QPainter>

namespace zovex {

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::NoFocus); }

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
    // A canvas drawn at device pixels is reduced smoothly to the box's device pixels; a picture
    // enlarged keeps its pixels sharp, as a stretched bitmap does.
    const QSizeF device = QSizeF(size()) * devicePixelRatioF();
    p.setRenderHint(QPainter::SmoothPixmapTransform,
                    m_picture.width() > device.width() || m_picture.height() > device.height());
    p.drawImage(rect(), m_picture);
}

} // namespace zovex
