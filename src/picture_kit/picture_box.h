// PictureBox: the picture box control of every picture window (the designer canvas, the print,
// capture, wallpaper and zoom windows' boxes). A Canvas (the persistent image, owned by the box)
// is shown inside the standard sunken 2-pixel border; the box paints only the part of it that is
// exposed, straight from the canvas's pixels, so a box far larger than the screen costs no more
// to show than a small one.
//
// Contract:
// - The canvas is the interior (outer size less the border); it starts filled with the box's
//   background colour. Drawing code calls updateCanvas() (or PaintPicture, which does) to have
//   its change seen; the border is painted only where it is exposed itself.
// - Picture: the picture shown as the box's background, drawn at the top-left of the interior at
//   its own size; what does not fit is cut off. With AutoSize::On assigning a picture makes the
//   interior exactly the picture's size (the top-left corner stays) and the persistent image
//   shows just the picture, sharing its pixels until something is drawn. A null picture removes
//   it, leaving the size as it is and the interior in the background colour.
// - ScaleWidth/ScaleHeight and PaintPicture's coordinates are in the box's ScaleMode: twips (15
//   a logical pixel, converted by the program's one rule) or whole pixels of the canvas.
// - Sizes and positions of the box are logical pixels. Its canvas may be finer, S device pixels
//   to a logical one (Canvas::scale()): followScreenRatio() makes it the device pixel ratio of
//   the box's screen (the designer canvas, before each pattern), and a picture that records
//   more than 96 dpi is shown at that density (96 * S dpi: S picture pixels to a logical pixel).
//   A canvas whose scale is the screen's is painted pixel for pixel; any other is scaled
//   smoothly to the logical interior.
#pragma once

#include "canvas.h"
#include "twips.h"

#include <QImage>
#include <QWidget>

namespace zovex {

enum class AutoSize { Off, On };
enum class ScaleMode { Twip, Pixel };

class PictureBox final : public QWidget {
public:
    static constexpr int kBorderPx = 2;

    // A box whose outer size is `outerPx`, its interior filled with `back`.
    PictureBox(QSize outerPx, Colour back, QWidget* parent = nullptr, AutoSize autoSize = AutoSize::Off,
               ScaleMode scale = ScaleMode::Twip);

    Canvas& canvas() { return m_canvas; }
    const Canvas& canvas() const { return m_canvas; }
    Colour BackColor() const { return m_canvas.BackColor(); }
    QRect interior() const { return rect().adjusted(kBorderPx, kBorderPx, -kBorderPx, -kBorderPx); }
    // Has the canvas repainted after drawing on it: its pixels only, not the border around it.
    void updateCanvas() { update(interior()); }

    const QImage& picture() const { return m_picture; }
    void setPicture(QImage picture);

    // The device pixel ratio of the box's screen as a canvas takes it (1 to 8).
    double screenRatio() const;
    // Makes the canvas the box's interior in device pixels of its screen when the ratio is not
    // the canvas's scale already: what was drawn is gone, the drawing state stays. True when the
    // canvas changed. The canvas stays as it was when the finer image cannot be had.
    bool followScreenRatio();

    // A new outer size: the canvas keeps what was drawn (top-left) and grows in the background
    // colour. False when the canvas cannot be that large; the box then stays as it was.
    bool setOuterSize(QSize outerPx);

    ScaleMode scaleMode() const { return m_scale; }
    float ScaleWidth() const;
    float ScaleHeight() const;
    // Draws the whole picture into the persistent image at (x, y), scaled to width x height, all
    // in the box's ScaleMode; the drawn part is repainted. OverflowError for a place or size that
    // does not fit in 32-bit pixels.
    void PaintPicture(const QImage& picture, float x, float y, float width, float height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int toPx(float v) const;
    // The canvas at `scale`, covering the logical interior of `outerPx`.
    bool fitCanvas(QSize outerPx, double scale);

    Canvas m_canvas;
    QImage m_picture;
    AutoSize m_autoSize;
    ScaleMode m_scale;
};

} // namespace zovex
