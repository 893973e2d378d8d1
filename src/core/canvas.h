// Canvas: the drawing surface of a window. It owns the persistent image (QImage RGB32 of the
// interior's size, shown by the window without copying) and the drawing state: colours,
// DrawWidth, DrawMode, the canvas font, CurrentX/CurrentY. Logical coordinates are twips,
// 15 twips per pixel. Invalid property values raise InvalidPropertyValue and leave the old value.
// Outlines are combined by DrawMode; the background fill, Cls and printed text are not.
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

class Canvas {
public:
    // A canvas whose interior is widthPx x heightPx pixels, filled with `back`.
    Canvas(int widthPx, int heightPx, Colour back);

    int widthPx() const { return m_image.width(); }
    int heightPx() const { return m_image.height(); }
    float TwipsPerPixelX() const { return kTwipsPerPixel; }
    float TwipsPerPixelY() const { return kTwipsPerPixel; }
    float ScaleWidth() const { return static_cast<float>(widthPx()) * kTwipsPerPixel; }
    float ScaleHeight() const { return static_cast<float>(heightPx()) * kTwipsPerPixel; }

    // Setting BackColor fills the whole interior at once.
    Colour BackColor() const { return m_backColor; }
    void setBackColor(Colour c);
    // Fills the interior with BackColor and puts the current position at (0, 0).
    void Cls();

    Colour ForeColor() const { return m_foreColor; }
    void setForeColor(Colour c) { m_foreColor = c; }

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

    // Device level: the closed outline through pixel points with the current pen.
    // Returns the number of pixels combined. The pixels are computed at once and combined
    // together with the other outlines of the pattern when the image is next used.
    std::int64_t Polygon(std::span<const PixelPoint> pts);

    // The persistent image itself (the window paints from it) and a snapshot copy of it.
    const QImage& image() const
    {
        settle();
        return m_image;
    }
    QImage& image()
    {
        settle();
        return m_image;
    }
    QImage Image() const { return image().copy(); }
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
    // is converted once). False for a null picture or one that cannot be converted.
    bool showPicture(const QImage& picture);
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

    mutable QImage m_image;
    mutable bool m_fillPending = false;
    mutable OutlineBatch m_outlines;
    Colour m_backColor;
    Colour m_foreColor = RGB(0, 0, 0);
    int m_drawWidth = 1;
    int m_drawMode = 13;
    QString m_fontName = QStringLiteral("MS Sans Serif");
    float m_fontSize = 8.25f;
    bool m_fontBold = false;
    float m_currentX = 0;
    float m_currentY = 0;
};

} // namespace zovex
