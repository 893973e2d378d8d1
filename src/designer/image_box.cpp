#include "image_box.h"

#include <QPainter>

#include <cmath>

namespace zovex {

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::NoFocus); }

void ImageBox::setPicture(const QImage& picture, Repaint repaint)
{
    m_picture = picture;
    // An opaque picture stretched over the whole box hides what lies beneath: the window under
    // the box is not painted there. (Where the box does not end on a whole device pixel, the
    // window shows through the last part of one.)
    const QSizeF device = QSizeF(size()) * devicePixelRatioF();
    const bool whole = device.width() == std::floor(device.width()) && device.height() == std::floor(device.height());
    setAttribute(Qt::WA_OpaquePaintEvent, whole && !m_picture.isNull() && !m_picture.hasAlphaChannel());
    if (repaint == Repaint::Now)
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
