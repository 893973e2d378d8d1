// The capture routines of Module2: the screen rectangle, the inverted selection frame with its
// "WxH" label, the selection that follows the mouse, and the copy of a screen block to the
// clipboard.
//
// "The screen" these routines draw on and copy from is a ScreenImage: one image of the whole
// screen taken when the selection starts. The frame and the label are drawn by inverting that
// image's pixels, so drawing the same rectangle twice leaves every pixel as it was; the
// selection erases its last frame before it ends, and the copy taken afterwards holds neither
// frame nor label. Rectangles are in screen pixels (the image's origin is subtracted here).
#pragma once

#include "screen.h"

#include <QFont>
#include <QRect>
#include <QRegion>
#include <QString>

#include <cstdint>

namespace zovex {

class Clipboard;

// Left, top, right, bottom in screen pixels. Normalised: left <= right and top <= bottom; it
// then covers columns left..right-1 and rows top..bottom-1.
struct ScreenRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int64_t width() const { return std::int64_t{right} - left; }
    std::int64_t height() const { return std::int64_t{bottom} - top; }
    bool isEmpty() const { return width() == 0 || height() == 0; }
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

void SwapLong(std::int32_t& a, std::int32_t& b);

// Swaps left/right and top/bottom where they are the wrong way round.
void NormalizeRect(ScreenRect& rect);

// The display's default system font, as the frame's label is measured and drawn in it
// (without smoothing, so every glyph pixel is either inverted or not).
QFont selectionLabelFont();

// The label of a normalised, non-empty rectangle: its text ("200x150") and the box it is
// drawn in, in screen pixels, centred on the rectangle (halves rounded to the even neighbour).
struct SelectionLabel {
    QString text;
    QRect box;
};
SelectionLabel selectionLabel(const ScreenRect& rect, const QFont& font);

// Inverts the frame of `rect` (normalised here) on the screen image: four one-pixel strips
// along its edges, each corner lying in two strips and so left as it was, and the label's
// glyph pixels at its centre. An empty rectangle draws nothing. Whatever lies outside the
// image is left out.
void DrawSelectionFrame(ScreenImage& screen, const ScreenRect& rect, const QFont& font);

// The pixels DrawSelectionFrame may change for `rect`, in image coordinates (for repainting).
QRegion selectionFrameRegion(const ScreenImage& screen, const ScreenRect& rect, const QFont& font);

// The selection that follows the mouse: the loop of TrackSelectionRect without the waiting.
// Starting draws the anchor-anchor rectangle (which is empty, so nothing shows); every mouse
// message erases the current frame and draws the one from the anchor to the message's cursor
// position; finishing erases the last frame, leaving the image exactly as it was at the start.
class SelectionTracker {
public:
    SelectionTracker(ScreenImage& screen, const QFont& font, QPoint anchor);

    // A mouse message at `cursor` (screen pixels). Returns the image pixels that changed.
    QRegion mouseMessage(QPoint cursor);
    // Erases the frame; returns the final normalised rectangle. Later calls change nothing.
    ScreenRect finish();

    const ScreenRect& rect() const { return m_rect; }
    bool isFinished() const { return m_finished; }
    // The image pixels the frame of the current rectangle covers.
    QRegion currentRegion() const;

private:
    ScreenImage& m_screen;
    QFont m_font;
    QPoint m_anchor;
    ScreenRect m_rect;
    bool m_finished = false;
};

// Copies the screen block of (left, top)-(right, bottom) out of the screen image and hands it
// to the clipboard, replacing what it held. Returns the block. A block of zero width or height
// captures nothing: the clipboard is left alone and the result is a null image. Parts of the
// block outside the image are black.
QImage CaptureScreenToClipboard(const ScreenImage& screen, std::int32_t left, std::int32_t top, std::int32_t right,
                                std::int32_t bottom, Clipboard& clipboard);

} // namespace zovex
