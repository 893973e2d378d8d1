#include "picture_box.h"

#include "control_table.h"

#include <QPainter>
#include <QPaintEvent>
#include <qdrawutil.h>

#include <algorithm>

namespace zovex {

namespace {

QSize interiorOf(QSize outer)
{
    constexpr int border = 2 * PictureBox::kBorderPx;
    return {std::max(outer.width() - border, 1), std::max(outer.height() - border, 1)};
}

// Makes `picture` what the canvas holds: 32-bit RGB, transparent parts on the background
// colour. Done in place where the depth allows (a 32-bit picture, as most large ones are),
// so that the canvas and the box then share one image. False when memory runs out.
bool toCanvasPicture(QImage& picture, Colour back)
{
    if (picture.hasAlphaChannel()) {
        picture.convertTo(QImage::Format_ARGB32_Premultiplied);
        if (picture.isNull())
            return false;
        QPainter p(&picture);
        p.setCompositionMode(QPainter::CompositionMode_DestinationOver);
        p.fillRect(picture.rect(), toQColor(back));
        p.end();
        // Opaque everywhere now: premultiplied pixels are plain ones.
        return picture.reinterpretAsFormat(QImage::Format_RGB32);
    }
    picture.convertTo(QImage::Format_RGB32);
    return !picture.isNull();
}

} // namespace

PictureBox::PictureBox(QSize outerPx, Colour back, QWidget* parent, AutoSize autoSize, ScaleMode scale)
    : QWidget(parent), m_canvas(interiorOf(outerPx).width(), interiorOf(outerPx).height(), back),
      m_autoSize(autoSize), m_scale(scale)
{
    resize(outerPx);
    // Every pixel is painted below: no background erase, no flicker at high tick rates.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::setPicture(QImage picture)
{
    // With automatic sizing the canvas is the picture itself: the box keeps the same image, not
    // a second copy. (Drawing on the canvas later gives it an image of its own.)
    if (!picture.isNull() && m_autoSize == AutoSize::On && toCanvasPicture(picture, BackColor())
        && m_canvas.showPicture(picture)) {
        m_picture = std::move(picture);
        resize(m_picture.size() + QSize(2 * kBorderPx, 2 * kBorderPx));
        update();
        return;
    }
    m_picture = std::move(picture);
    if (!m_picture.isNull() && m_autoSize == AutoSize::On)
        setOuterSize(m_picture.size() + QSize(2 * kBorderPx, 2 * kBorderPx));
    m_canvas.Cls();
    m_canvas.PaintPicture(m_picture, QRect(QPoint(0, 0), m_picture.size()));
    update();
}

bool PictureBox::setOuterSize(QSize outerPx)
{
    const QSize in = interiorOf(outerPx);
    if (!m_canvas.resize(in.width(), in.height()))
        return false;
    resize(outerPx);
    return true;
}

float PictureBox::ScaleWidth() const
{
    const int px = m_canvas.widthPx();
    return m_scale == ScaleMode::Twip ? pxToTwips(px) : static_cast<float>(px);
}

float PictureBox::ScaleHeight() const
{
    const int px = m_canvas.heightPx();
    return m_scale == ScaleMode::Twip ? pxToTwips(px) : static_cast<float>(px);
}

int PictureBox::toPx(float v) const { return m_scale == ScaleMode::Twip ? twipsToPx(v) : toInt32(v); }

void PictureBox::PaintPicture(const QImage& picture, float x, float y, float width, float height)
{
    const QRect target(toPx(x), toPx(y), toPx(width), toPx(height));
    m_canvas.PaintPicture(picture, target);
    update(target.translated(kBorderPx, kBorderPx) & interior());
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // However the box was resized, its canvas is its interior (if memory allows).
    const QSize in = interiorOf(size());
    m_canvas.resize(in.width(), in.height());
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const QRect in = interior();
    const QRect dirty = event->rect() & in;
    if (!dirty.isEmpty()) {
        const QImage& image = m_canvas.persistentImage();
        const QRect shown = dirty & QRect(in.topLeft(), image.size());
        if (!shown.isEmpty())
            p.drawImage(shown.topLeft(), image, shown.translated(-in.topLeft()));
        // Only when the canvas could not grow with the box.
        if (shown != dirty) {
            const QRegion rest = QRegion(dirty) - shown;
            for (const QRect& r : rest)
                p.fillRect(r, toQColor(m_canvas.BackColor()));
        }
    }
    qDrawWinPanel(&p, rect(), palette(), true);
}

} // namespace zovex
