// AutoSizePictureBox: a picture box with automatic sizing, as the picture tools use it. It shows
// its Picture at the top-left of its interior, inside the standard sunken 2-pixel border, on its
// background colour.
//
// Contract: assigning a picture makes the interior exactly the picture's size (the box grows or
// shrinks, its top-left corner stays); the picture is kept as given, shared, not copied.
#pragma once

#include "colour.h"

#include <QImage>
#include <QWidget>

namespace zovex {

class AutoSizePictureBox final : public QWidget {
public:
    static constexpr int kBorderPx = 2;

    // A box of outer size `outerPx` with no picture.
    AutoSizePictureBox(QSize outerPx, Colour back, QWidget* parent = nullptr);

    // A null image removes the picture and leaves the size as it is.
    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }
    QRect interior() const { return rect().adjusted(kBorderPx, kBorderPx, -kBorderPx, -kBorderPx); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    QColor m_back;
};

} // namespace zovex
