// PictureBox: the picture box control of a window, a Canvas shown inside a sunken 2-pixel
// border. The box owns its Canvas; painting shows the canvas's persistent image as it is, with
// no copy, so whatever was drawn is on screen at the next paint. Drawing code calls update()
// (or drawn()) when it wants the change seen.
#pragma once

#include "canvas.h"

#include <QWidget>

namespace zovex {

class PictureBox final : public QWidget {
public:
    static constexpr int kBorderPx = 2;

    // A box whose outer size is `outerPx`; the canvas is the interior, filled with `back`.
    PictureBox(QSize outerPx, Colour back, QWidget* parent = nullptr);

    Canvas& canvas() { return m_canvas; }
    const Canvas& canvas() const { return m_canvas; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Canvas m_canvas;
};

} // namespace zovex
