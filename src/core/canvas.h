// Canvas: the drawing surface of a window. It owns the persistent image (QImage RGB32 of the
// interior's size, shown by the window without copying) and the drawing state: colours,
// DrawWidth, DrawMode, the canvas font, CurrentX/CurrentY. Logical coordinates are twips,
// 15 twips per pixel. Invalid property values raise InvalidPropertyValue and leave the old value.
// Outlines are combined by DrawMode; the background fill, Cls and printed text are not.
//
// A canvas may be made S times finer (S from 1 to 8, whole or not: the device pixel ratio of a
// HiDPI screen, 1.25, 1.5, 2, or a print size): it then behaves as if on a screen of 96 * S
// dots per inch, 15 / S twips per pixel exactly, fonts S times as many pixels high and every
// pen S times DrawWidth pixels wide (rounded half to even, at least 1). The logical size in
// twips and every property value stay those of the ordinary canvas, so the same statements draw
// the same picture, only finer. Its persistent image records 96 * S dots per inch, which a saved
// file keeps.
#pragma once

#include "colour.h"
#include "errors.h"
#include "outline_rasterizer.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <span>

namespace zovex {

// The screen's twips per pixel: a 96-dots-per-inch logical screen.
inline constexpr float kTwipsPerPixel = 15.0f;
// The finest canvas: 8 times an ordinary screen's pixels in each direction.
inline constexpr int kMaxScale = 8;

// A device pixel ratio as a canvas takes it: 1 to 8 (a screen below 1 draws at 1, a NaN at 1).
double canvasScaleFor(double ratio);
// The device pixels that cover logicalPx ordinary pixels at scale S: logicalPx * S rounded up,
// so that a canvas of that many pixels fills the logical interior on the screen.
int devicePixelsFor(int logicalPx, double scale);
// The pen of DrawWidth w on a canvas of scale S: w * S pixels, rounded half to even, at least 1.
int penWidthFor(int drawWidth, double scale);
// Dots per metre recorded in a picture drawn at scale S: 96 * S dots per inch, in whole dots
// per metre (3780 at 96 dpi, as Qt records its default).
int dotsPerMeterFor(double scale);
// The scale a picture records: its dots per inch over 96, 1 for a picture that records 96 dpi
// or less (or nothing), otherwise up to kMaxScale.
double recordedScaleOf(const QImage& picture);

class Canvas {
public:
    // A canvas whose interior is widthPx x heightPx pixels, filled with `back`, with `scale`
    // (1 to 8, see canvasScaleFor) pixels for each pixel of an ordinary screen in each direction.
    Canvas(int widthPx, int heightPx, Colour back, double scale = 1.0);

    int widthPx() const { return m_image.width(); }
    int heightPx() const { return m_image.height(); }
    double scale() const { return m_scale; }
    float TwipsPerPixelX() const { return kTwipsPerPixel / static_cast<float>(m_scale); }
    float TwipsPerPixelY() const { return kTwipsPerPixel / static_cast<float>(m_scale); }
    // The whole ordinary pixels the interior covers, in twips: the pixels over S, rounded down
    // (devicePixelsFor rounded them up).
    float ScaleWidth() const { return logicalTwips(widthPx()); }
    float ScaleHeight() const { return logicalTwips(heightPx()); }
    // A new scale and interior (widthPx x heightPx device pixels), all in BackColor: what was
    // drawn is gone (the next pattern draws anew), the drawing state stays. False when an image
    // of that size cannot be had; the canvas is then as it was.
    bool rescale(double scale, int widthPx, int heightPx);

    // Setting BackColor fills the whole interior at once.
    Colour BackColor() const { return m_backColor; }
    void setBackColor(Colour c);
    // Fills the interior with BackColor and puts the current position at (0, 0).
    void Cls();

    Colour ForeColor() const { return m_foreColor; }
    void setForeColor(Colour c) { m_foreColor = c; }

    // What a new canvas draws with until it is told otherwise.
    static constexpr int kInitialDrawWidth = 1, kInitialDrawMode = 13;

    int DrawWidth() const { return m_drawWidth; }
    void setDrawWidth(int w); // 1..32767
    int DrawMode() const { return m_drawMode; }
    void setDrawMode(int m); // 1..16

    const QString& FontName() const { return m_fontName; }
    void setFontName(const QString& f) { m_fontName = f; }
    float FontSize() const { return m_fontSize; }
    void setFontSize(float s);
    bool FontBold() const { return m_fontBold; }
    void setFontBold(bool b) { m_fontBold = b; }

    float CurrentX() const { return m_currentX; }
    float CurrentY() const { return m_currentY; }
    void setCurrentX(float x) { m_currentX = x; }
    void setCurrentY(float y) { m_currentY = y; }

    // Device level: the closed outline through pixel points with the current pen, scale()
    // times DrawWidth pixels wide.
    // Returns the number of pixels combined. The pixels are computed at once and combined
    // together with the other outlines of the pattern when the image is next used.
    std::int64_t Polygon(std::span<const PixelPoint> pts);

    // The persistent image itself, which the window paints from, with every queued outline and
    // pending fill combined into it first: so even the const overload writes pixels. Image() is
    // a snapshot copy of it.
    const QImage& persistentImage() const
    {
        settle();
        return m_image;
    }
    QImage& persistentImage()
    {
        settle();
        return m_image;
    }
    QImage Image() const { return persistentImage().copy(); }
    // The persistent image for a drawing that covers every pixel of it: a fill or outlines
    // still waiting are dropped instead of being drawn first.
    QImage& imageToOverwrite()
    {
        m_fillPending = false;
        m_outlines.clear();
        return m_image;
    }

    Colour pixel(int x, int y) const;

    // A new interior of widthPx x heightPx (at least 1 x 1): what was drawn stays at the
    // top-left, cut off where the canvas got smaller, and new parts take BackColor. False when
    // an image of that size cannot be had; the canvas is then as it was. The old and the new
    // image exist together only while the rows are copied.
    bool resize(int widthPx, int heightPx);
    // Makes `picture` the persistent image, the interior taking its size: the picture is
    // shared, not copied, until something is drawn on the canvas (a picture that is not RGB32
    // is converted once). The canvas takes `scale` (the picture's density, canvasScaleFor).
    // False for a null picture or one that cannot be converted.
    bool showPicture(const QImage& picture, double scale = 1.0);
    // Draws the whole `picture` into the persistent image, scaled to `target` (pixels of the
    // interior, any position, parts outside cut off). Transparent parts of the picture leave
    // the canvas as it was. An empty target or a null picture draws nothing.
    void PaintPicture(const QImage& picture, const QRect& target);

private:
    // Cls followed by a new BackColor and the rings is the start of every pattern: the fill and
    // the outlines wait until the pixels are next used, and are then written in one pass over
    // the rows, the fill with the last colour only.
    void settle() const
    {
        if (m_fillPending || !m_outlines.empty()) {
            const std::uint32_t fill = toPixel(m_backColor);
            m_outlines.apply(m_image, m_fillPending ? &fill : nullptr);
            m_fillPending = false;
        }
    }
    // Outlines queue up to this many spans before they are combined.
    static constexpr std::size_t kQueuedSpans = 1u << 18;
    float logicalTwips(int px) const;

    mutable QImage m_image;
    mutable bool m_fillPending = false;
    mutable OutlineBatch m_outlines;
    double m_scale = 1.0;
    Colour m_backColor;
    Colour m_foreColor = RGB(0, 0, 0);
    int m_drawWidth = kInitialDrawWidth;
    int m_drawMode = kInitialDrawMode;
    QString m_fontName = QStringLiteral("MS Sans Serif");
    float m_fontSize = 8.25f;
    bool m_fontBold = false;
    float m_currentX = 0;
    float m_currentY = 0;
};

} // namespace zovex
