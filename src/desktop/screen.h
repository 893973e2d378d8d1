// The desktop's screen behind a small interface: an image of a whole screen, the
// application-wide mouse pointer and the mouse capture. The capture window works through it,
// so its handlers run in tests with a scripted screen and no display.
//
// Where the screen is read depends on the desktop. On an X11 desktop the X server gives it at
// once, and the mouse capture reaches presses anywhere on the screen. On a Wayland desktop
// (natively or through Xwayland) neither holds: the X server cannot read what the compositor
// shows (its image is black), and a program receives only the presses on its own windows. There
// the screen comes from the desktop portal, asynchronously (the desktop may first ask the user),
// and mouseReach() says so. A screen that cannot be read is a ScreenFailure, never a black image.
//
// Screen positions are pixels of the virtual desktop, y downwards. A screen image holds the
// screen's device pixels: on a HiDPI screen of device pixel ratio r, r of them to a logical
// pixel in each direction. Its origin is where the screen starts, which is the same in device
// and in logical pixels (the desktop lays its screens out by their device pixels; Qt keeps
// each screen's top-left corner and scales what lies inside it).
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace zovex {

// The application-wide pointer, with the codes the system gives them.
enum class MousePointer { Default = 0, Crosshair = 2 };

// One whole screen as it looked at the moment of the grab.
struct ScreenImage {
    QImage pixels;      // Format_RGB32, the screen's device pixels
    QPoint origin;      // screen position of the image's top-left pixel
    double ratio = 1.0; // device pixels per logical pixel
    // The screen's device pixels, in screen positions.
    QRect geometry() const { return {origin, pixels.size()}; }
    // The screen in logical pixels, as windows are placed on it.
    QRect logicalGeometry() const;
    // The device pixel under a logical screen position: the nearest pixel edge, held to the
    // screen (a position beyond its edges gives the edge).
    QPoint toDevice(QPointF logical) const;
};

// Why the screen could not be read.
enum class ScreenFailure {
    None,
    NoScreen,       // the desktop shows no screen, or its image is empty
    BlackImage,     // the X server gave an all-black image, as Xwayland does on a Wayland desktop
    NoPortal,       // no session bus, or no desktop portal with a Screenshot service on it
    Refused,        // the user or the desktop refused the screenshot (the portal's response 1)
    PortalFailed,   // the portal reported an error (response 2, or an error reply)
    NoAnswer,       // the portal gave no answer within the time allowed
    PortalGone,     // the portal left the bus before it answered
    UnreadableFile, // the picture the portal wrote could not be read
    WrongSize,      // the picture is not the size of the screens
};

// A reading of the screen: one image per screen, or why there is none.
struct ScreenShot {
    std::vector<ScreenImage> screens; // empty when failure is not None
    ScreenFailure failure = ScreenFailure::None;
    QString detail; // what the desktop said, for the user: an error's name, a file, sizes

    bool ok() const { return failure == ScreenFailure::None && !screens.empty(); }
    static ScreenShot failed(ScreenFailure why, QString detail = {}) { return {{}, why, std::move(detail)}; }
};

// A reading of the screens in progress. Destroying it abandons it: its callback never runs.
class PendingScreenShot {
public:
    virtual ~PendingScreenShot() = default;
};

// Where setCapture routes the mouse: presses anywhere on the screen (X11), or only those on the
// program's own windows (Wayland, native or through Xwayland).
enum class MouseReach { Everywhere, OwnWindows };

class Screen {
public:
    virtual ~Screen() = default;

    // The whole screen that holds `at` (the primary screen when none does), read at once.
    // Exactly one image on success.
    virtual ScreenShot grab(QPoint at) = 0;

    // Reads every screen as it is now, without blocking: `done` runs once, later, from the
    // event loop, with one image per screen (or the failure), unless the returned object has
    // been destroyed first.
    virtual std::unique_ptr<PendingScreenShot> readScreens(std::function<void(ScreenShot)> done) = 0;

    virtual MouseReach mouseReach() const = 0;

    virtual MousePointer mousePointer() const = 0;
    // Shown over every window of the application until set back to Default.
    virtual void setMousePointer(MousePointer pointer) = 0;

    // Routes every mouse press, move and release anywhere on the screen to `window` until
    // released (or until another window captures the mouse).
    virtual void setCapture(QWidget& window) = 0;
    // Ends the capture this object set, if it is still in force.
    virtual void releaseCapture() = 0;
};

// Whether the program runs on a Wayland desktop, natively or through Xwayland: Qt's wayland
// platform, or an X display beside a Wayland one (WAYLAND_DISPLAY, XDG_SESSION_TYPE=wayland,
// or X screens that Xwayland names).
bool onWaylandDesktop();

// Qt's screens, override cursor and widget mouse grab. On an X11 desktop the screen is read
// from the X server (QScreen::grabWindow(0)); on a Wayland desktop from the desktop portal on
// the session bus (portal_screenshot.h), and mouseReach() is OwnWindows. Which of the two is
// decided at the first use, from onWaylandDesktop().
class QtScreen final : public Screen {
public:
    ~QtScreen() override;
    ScreenShot grab(QPoint at) override;
    std::unique_ptr<PendingScreenShot> readScreens(std::function<void(ScreenShot)> done) override;
    MouseReach mouseReach() const override;
    MousePointer mousePointer() const override { return m_pointer; }
    void setMousePointer(MousePointer pointer) override;
    void setCapture(QWidget& window) override;
    void releaseCapture() override;

private:
    bool wayland() const;

    MousePointer m_pointer = MousePointer::Default;
    QPointer<QWidget> m_captured;
    mutable int m_wayland = -1; // -1 until decided
};

// An image that is black in every pixel (an X server that cannot read the screen gives one).
bool isAllBlack(const QImage& image);

} // namespace zovex
