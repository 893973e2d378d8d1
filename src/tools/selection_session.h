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
// presses are dropped, and the designer windows' ticks are held (the program's TickGate, handed
// in) and resume after the release without catching up. The release that ends it releases the
// mouse capture and is posted back to the capture window, so the window's own mouse-up handling
// runs.
//
// Where the mouse capture reaches only the program's own windows (Wayland), the screens are
// read when the capture is armed and each is shown at once in its overlay with the crosshair
// (FrozenScreens), so the next press anywhere lands on the program; the press then starts the
// selection on that overlay's image, the screen as it was at the arming. Positions on an overlay
// are taken from the overlay itself (its own pixels from its top-left corner, which is where
// its screen starts), as a Wayland desktop tells a window nothing of where it is on the screen.
#pragma once

#include "capture_routines.h"
#include "screen.h"
#include "tick_gate.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QMouseEvent;

namespace zovex {

// The title (and object name) of the overlay windows, for the desktop's tools that look for them.
inline const QString kSelectionOverlayTitle = QStringLiteral("zovex-selection-overlay");

// The full-screen window that shows the screen image while the user drags.
class SelectionOverlay final : public QWidget {
public:
    using Pressed = std::function<void(const QMouseEvent& press)>;

    explicit SelectionOverlay(const ScreenImage& screen);
    // Shows another image of the same screen (the one a selection draws on).
    void setImage(const ScreenImage& screen);
    const ScreenImage& image() const { return *m_screen; }
    // Repaints where these pixels of the screen image lie.
    void updatePixels(const QRegion& pixels);
    // Covers its screen, above every window: full screen on a Wayland desktop (where a window
    // cannot place itself), at the screen's place elsewhere.
    void showOverScreen();
    // Presses that reach the overlay itself (none do while a selection takes the mouse).
    void onPress(Pressed pressed) { m_pressed = std::move(pressed); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const ScreenImage* m_screen;
    Pressed m_pressed;
};

// The screens as they were when the capture was armed, each in its overlay with the crosshair.
class FrozenScreens {
public:
    // A press on the overlay of screen `index`, at the overlay's logical position.
    using Pressed = std::function<void(std::size_t index, const QMouseEvent& press)>;

    FrozenScreens(std::vector<ScreenImage> screens, Pressed pressed);
    ~FrozenScreens();
    FrozenScreens(const FrozenScreens&) = delete;
    FrozenScreens& operator=(const FrozenScreens&) = delete;

    std::size_t size() const { return m_screens.size(); }
    // Null once the screen has been taken.
    const SelectionOverlay* overlay(std::size_t index) const;

    struct Taken {
        ScreenImage image;
        std::unique_ptr<SelectionOverlay> overlay; // still showing the screen
    };
    // Screen `index` and its overlay, for a selection; every other overlay closes.
    Taken take(std::size_t index);

private:
    struct Frozen {
        ScreenImage image;
        std::unique_ptr<SelectionOverlay> overlay;
    };
    std::vector<std::unique_ptr<Frozen>> m_screens;
};

class SelectionSession final : public QObject {
public:
    // Runs once, at the left release, with the screen image (frame erased) and the final
    // normalised rectangle.
    using Finished = std::function<void(const ScreenImage& screen, const ScreenRect& rect)>;

    // The selection on `image`, one screen as it looked; the anchor is `offset` (logical,
    // fractional) from the point `origin` of the screen (a client area's top-left corner, or
    // the screen's own), rounded to the nearest device pixel of that screen, halves to the even
    // neighbour. The image is shown in `overlay` when one is handed in, else in a new one.
    SelectionSession(QWidget& window, ScreenImage image, QPointF origin, QPointF offset, Screen& screen,
                     TickGate& ticks, const QFont& font, Finished finished,
                     std::unique_ptr<SelectionOverlay> overlay = nullptr);
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

// The screen position of a press at `clientPoint` (logical) in the client area `client`,
// rounded halves to even: the point whose screen is read for the selection.
QPoint pressScreenPoint(const QWidget& client, QPointF clientPoint);

// Starts the selection for the capture `window` from `clientPoint`, a point of its client
// area `client` in logical pixels (converted to the screen's device pixels here: the anchor),
// on `image`, the screen read at the press. The selection ends at the next left release; the
// returned object must live until then (destroying it earlier abandons the selection without
// calling `finished`).
std::unique_ptr<SelectionSession> TrackSelectionRect(QWidget& window, const QWidget& client, QPointF clientPoint,
                                                     ScreenImage image, Screen& screen, TickGate& ticks,
                                                     SelectionSession::Finished finished,
                                                     const QFont& font = selectionLabelFont());

// The same from a press at `overlayPoint` (logical) on the overlay of a frozen screen.
std::unique_ptr<SelectionSession> TrackSelectionRect(QWidget& window, FrozenScreens::Taken frozen, QPointF overlayPoint,
                                                     Screen& screen, TickGate& ticks,
                                                     SelectionSession::Finished finished,
                                                     const QFont& font = selectionLabelFont());

} // namespace zovex
