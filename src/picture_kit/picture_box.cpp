#include "picture_box.h"

#include "control_table.h"
#include "device_pixels.h"

#include <QPainter>
#include <QPaintEvent>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>

namespace zovex {

namespace {

QSize interiorOf(QSize outer)
{
    constexpr int border = 2 * PictureBox::kBorderPx;
    return {std::max(outer.width() - border, 1), std::max(outer.height() - border, 1)};
}

// The logical pixels that px pixels of scale S fill, rounded up.
int logicalPixelsFor(int px, double scale) { return std::max(1, static_cast<int>(std::ceil(px / scale - 1e-7))); }

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
    : QWidget(parent), m_canvas(interiorOf(outerPx).width(), interiorOf(outerPx).height(), back), m_autoSize(autoSize),
      m_scale(scale)
{
    resize(outerPx);
    // Every pixel is painted below: no background erase, no flicker at high tick rates.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::setPicture(QImage picture)
{
    // A picture recorded above 96 dpi is shown at its density: its size in logical pixels is
    // its size in pixels over S, rounded up.
    const double density = recordedScaleOf(picture);
    const QSize logical(logicalPixelsFor(picture.width(), density), logicalPixelsFor(picture.height(), density));
    const QSize border(2 * kBorderPx, 2 * kBorderPx);
    // With automatic sizing the canvas is the picture itself: the box keeps the same image, not
    // a second copy. (Drawing on the canvas later gives it an image of its own.)
    if (!picture.isNull() && m_autoSize == AutoSize::On && toCanvasPicture(picture, BackColor()) &&
        m_canvas.showPicture(picture, density)) {
        m_picture = std::move(picture);
        resize(logical + border);
        update();
        return;
    }
    m_picture = std::move(picture);
    if (!m_picture.isNull() && m_autoSize == AutoSize::On) {
        if (fitCanvas(logical + border, density))
            resize(logical + border);
    } else {
        fitCanvas(size(), density);
    }
    m_canvas.Cls();
    m_canvas.PaintPicture(m_picture, QRect(QPoint(0, 0), m_picture.size()));
    update();
}

bool PictureBox::fitCanvas(QSize outerPx, double scale)
{
    const QSize in = interiorOf(outerPx);
    const int w = devicePixelsFor(in.width(), scale), h = devicePixelsFor(in.height(), scale);
    if (scale != m_canvas.scale())
        return m_canvas.rescale(scale, w, h);
    return m_canvas.resize(w, h);
}

bool PictureBox::setOuterSize(QSize outerPx)
{
    if (!fitCanvas(outerPx, m_canvas.scale()))
        return false;
    resize(outerPx);
    return true;
}

double PictureBox::screenRatio() const { return canvasScaleFor(devicePixelRatioF()); }

bool PictureBox::followScreenRatio()
{
    const double r = screenRatio();
    if (r == m_canvas.scale())
        return false;
    if (!fitCanvas(size(), r))
        return false;
    update();
    return true;
}

float PictureBox::ScaleWidth() const
{
    return m_scale == ScaleMode::Twip ? m_canvas.ScaleWidth() : static_cast<float>(m_canvas.widthPx());
}

float PictureBox::ScaleHeight() const
{
    return m_scale == ScaleMode::Twip ? m_canvas.ScaleHeight() : static_cast<float>(m_canvas.heightPx());
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
    fitCanvas(size(), m_canvas.scale());
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const QRect in = interior();
    const QRect dirty = event->rect() & in;
    if (!dirty.isEmpty()) {
        // On a screen whose ratio is the canvas's scale, one canvas pixel to one device pixel.
        const QRect shown = drawDevicePixels(p, m_canvas.persistentImage(), m_canvas.scale(), in.topLeft(), dirty);
        // Only when the canvas could not grow with the box.
        if (shown != dirty) {
            const QRegion rest = QRegion(dirty) - shown;
            for (const QRect& r : rest)
                p.fillRect(r, toQColor(m_canvas.BackColor()));
        }
    }
    // The border does not change when the canvas does: a repaint of the canvas alone leaves it.
    if (!in.contains(event->rect()))
        qDrawWinPanel(&p, rect(), palette(), true);
}

} // namespace zovex
