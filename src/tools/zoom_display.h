// ZoomDisplay: the zoom window's stretching image display. Its size, in single-precision twips,
// is the whole zoom state: the picture always fills that size exactly, and 放大 / 缩小 only
// change it. The display's top-left corner stays at (30, 30) twips of its window; whatever of it
// lies beyond the window is not seen.
//
// Contract: the display may be far larger than any widget or image can be (a 2000-pixel picture
// is 16 million pixels wide after forty 放大). The widget itself only covers the part of the
// display that is inside its window, and a paint reads the picture directly for the exposed
// pixels: memory and paint time do not grow with the zoom, and no scaled copy of the picture is
// ever made. The picture is smoothed while it is reduced or enlarged a little and shown with
// sharp blocks from kNearestFromScale on.
#pragma once

#include "twips.h"

#include <QImage>
#include <QWidget>

class QPainter;

namespace zovex {

// The display's size in twips, as the window keeps it: never rounded.
struct ZoomSize {
    Twips width = 0;
    Twips height = 0;
    friend bool operator==(const ZoomSize&, const ZoomSize&) = default;
};

enum class ZoomStep { Enlarge, Reduce };

// One step of 放大 (width + width × 0.25, then height + height × 0.25) or 缩小 (width − width ×
// 0.25, then the height), each side kept in single precision. A step that would take either side
// past the largest finite single-precision number, or a side that is not 0 to 0, is not taken at
// all: the size comes back unchanged, so the proportions hold and nothing becomes infinite.
ZoomSize zoomStep(ZoomSize size, ZoomStep step);

// The pixels a side of `twips` covers: the program's one rule (twipsToPx), but not bounded to
// 32 bits, since a double holds every finite single-precision size.
double displayPixels(Twips twips);

// From this enlargement on (in both directions) a picture pixel is shown as a sharp block.
inline constexpr double kNearestFromScale = 4.0;

enum class ZoomFilter {
    Copy,    // shown at its own size
    Smooth,  // area-averaged when reduced, interpolated when enlarged a little
    Nearest, // every display pixel shows the picture pixel under its centre
};
ZoomFilter zoomFilter(const QImage& picture, double extentWidthPx, double extentHeightPx);

// Paints a display `extentWidthPx` × `extentHeightPx` pixels large that shows a picture
// stretched to fill it. Coordinates are display pixels: the display's top-left is (0, 0) and is
// the painter's origin. Only `exposed` is painted, and only what lies in `shown`, the part of the
// display inside its window; the cost follows `shown` at most, whatever the extent. Keeps the
// smoothed part of the display between paints (one image of at most `shown`'s size), so that
// repainting an unchanged display costs a copy.
class ZoomPainter {
public:
    void paint(QPainter& painter, const QImage& picture, double extentWidthPx, double extentHeightPx,
               const QRect& shown, const QRect& exposed);

private:
    void paintNearest(QPainter& painter, const QImage& picture, double extentWidthPx, double extentHeightPx,
                      const QRect& area);
    void paintSmooth(QPainter& painter, const QImage& picture, double extentWidthPx, double extentHeightPx,
                     const QRect& shown, const QRect& area);

    QImage m_scratch; // the last area painted block by block
    QImage m_smooth;  // the smoothed part shown, for the key below
    qint64 m_smoothPicture = 0;
    double m_smoothWidth = 0;
    double m_smoothHeight = 0;
    QSize m_smoothShown;
};

class ZoomDisplay final : public QWidget {
public:
    // The display's top-left corner in its window, in twips.
    static constexpr int kLeftTwips = 30;
    static constexpr int kTopTwips = 30;

    // A display of `size` twips on `window`; it follows the window's size from now on.
    ZoomDisplay(ZoomSize size, QWidget* window);

    ZoomSize zoomSize() const { return m_size; }
    // Set exactly as given; the widget then covers the part of the new size inside the window.
    void setZoomWidth(Twips twips);
    void setZoomHeight(Twips twips);
    // Both sides at once, fitted to the window once.
    void setZoomSize(ZoomSize size);

    // The picture shown, or a null image for none (the window's background shows through).
    // Kept shared, not copied, unless it has to be brought to 32 bits a pixel once.
    void setPicture(QImage picture);
    const QImage& picture() const { return m_picture; }

    // The display's full extent in pixels (the widget is only the part inside the window).
    double extentWidthPx() const { return displayPixels(m_size.width); }
    double extentHeightPx() const { return displayPixels(m_size.height); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Covers the part of the display that lies inside the window.
    void fitToWindow();

    ZoomSize m_size;
    QImage m_picture;
    ZoomPainter m_painter;
};

} // namespace zovex
