// TrackSelectionRect, the selection the user drags out on the screen, realised without a
// nested message loop: at the left press one image of the whole screen is taken and shown in
// a frameless full-screen overlay above every window; the frame and label are drawn by
// inverting that image (SelectionTracker) while the mouse moves; at the left release the
// overlay goes away and the caller gets the final rectangle together with the untouched
// image, from which the block is cut. So the frame and label are never captured, and
// everything that was on the screen at the press is, the capture window included.
//
// All of it is in the device pixels of the screen where the press falls: the anchor, the
// rectangle, its "WxH" label (in the system font at the screen's ratio), the inverted strips
// and the block. The overlay shows the screen image pixel for pixel. A selection stays on the
// screen where it starts: where the mouse goes onto another screen, the rectangle stops at the
// edge of the first, so the block is always one screen's own device pixels, never a mixture
// of two resolutions.
//
// While the selection runs it takes every mouse message of the application (presses, moves,
// releases and double-clicks of any button, on any window) and handles nothing else: key
// presses are dropped, and the designer windows' ticks are held (TickGate) and resume after
// the release without catching up. The release that ends it releases the mouse capture and
// is posted back to the capture window, so the window's own mouse-up handling runs.
#pragma once

#include "capture_routines.h"
#include "screen.h"
#include "tick_gate.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QMouseEvent;

namespace zovex {

// The full-screen window that shows the screen image while the user drags.
class SelectionOverlay final : public QWidget {
public:
    explicit SelectionOverlay(const ScreenImage& screen);
    // Repaints where these pixels of the screen image lie.
    void updatePixels(const QRegion& pixels);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ScreenImage& m_screen;
};

class SelectionSession final : public QObject {
public:
    // Runs once, at the left release, with the screen image (frame erased) and the final
    // normalised rectangle.
    using Finished = std::function<void(const ScreenImage& screen, const ScreenRect& rect)>;

    // `grabAt` picks the screen (a logical screen position); the anchor is `clientPos` (logical,
    // fractional) in the client area whose top-left corner is at `clientOrigin` on the screen,
    // rounded to the nearest device pixel of that screen, halves to the even neighbour.
    SelectionSession(QWidget& window, QPoint grabAt, QPointF clientOrigin, QPointF clientPos, Screen& screen,
                     const QFont& font, Finished finished);
    ~SelectionSession() override;
    SelectionSession(const SelectionSession&) = delete;
    SelectionSession& operator=(const SelectionSession&) = delete;

    bool isActive() const { return m_active; }
    const ScreenRect& rect() const { return m_tracker->rect(); }
    // The screen image as the overlay shows it (with the current frame).
    const ScreenImage& screenImage() const { return m_image; }
    const SelectionOverlay* overlay() const { return m_overlay.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void end(const QMouseEvent& release);

    QPointer<QWidget> m_window;
    Screen& m_screen;
    ScreenImage m_image;
    std::unique_ptr<SelectionTracker> m_tracker;
    std::unique_ptr<SelectionOverlay> m_overlay;
    std::optional<TickHold> m_ticksHeld;
    Finished m_finished;
    bool m_active = true;
};

// Starts the selection for the capture `window` from `clientPoint`, a point of its client
// area `client` in logical pixels (converted to the screen's device pixels here: the anchor). The selection ends at the
// next left release; the returned object must live until then (destroying it earlier
// abandons the selection without calling `finished`).
std::unique_ptr<SelectionSession> TrackSelectionRect(QWidget& window, const QWidget& client, QPointF clientPoint,
                                                     Screen& screen, SelectionSession::Finished finished,
                                                     const QFont& font = selectionLabelFont());

} // namespace zovex
