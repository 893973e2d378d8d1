// ImageBox: the stretching image control. It holds a picture (an implicitly shared QImage, so
// several boxes showing one snapshot share its pixels) and stretches it to its own size when
// it paints: setting a picture costs no scaling, and a hidden box costs nothing at all. A box
// showing a picture covers itself whole, so nothing beneath it is painted.
#pragma once

#include <QImage>
#include <QWidget>

namespace zovex {

class ImageBox final : public QWidget {
public:
    explicit ImageBox(QWidget* parent = nullptr);

    // Now: the box repaints itself; ByCaller: the caller has it repainted (update()) when it sees fit.
    enum class Repaint { Now, ByCaller };
    // A null image means "no picture": the box shows what lies beneath it.
    void setPicture(const QImage& picture, Repaint repaint = Repaint::Now);
    // Lets go of the picture without a repaint, for a caller that sets the next one before
    // anything is painted: the pixels it shared are then no longer held by the box.
    void releasePicture() { m_picture = QImage(); }
    const QImage& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

} // namespace zovex
