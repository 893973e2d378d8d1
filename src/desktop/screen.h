// The desktop's screen behind a small interface: an image of a whole screen, the
// application-wide mouse pointer and the mouse capture. The capture window works through it,
// so its handlers run in tests with a scripted screen and no display.
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

class Screen {
public:
    virtual ~Screen() = default;

    // The whole screen that holds `at` (the primary screen when none does).
    virtual ScreenImage grab(QPoint at) = 0;

    virtual MousePointer mousePointer() const = 0;
    // Shown over every window of the application until set back to Default.
    virtual void setMousePointer(MousePointer pointer) = 0;

    // Routes every mouse press, move and release anywhere on the screen to `window` until
    // released (or until another window captures the mouse).
    virtual void setCapture(QWidget& window) = 0;
    // Ends the capture this object set, if it is still in force.
    virtual void releaseCapture() = 0;
};

// Qt's screens (QScreen::grabWindow(0)), override cursor and widget mouse grab.
class QtScreen final : public Screen {
public:
    ~QtScreen() override;
    ScreenImage grab(QPoint at) override;
    MousePointer mousePointer() const override { return m_pointer; }
    void setMousePointer(MousePointer pointer) override;
    void setCapture(QWidget& window) override;
    void releaseCapture() override;

private:
    MousePointer m_pointer = MousePointer::Default;
    QPointer<QWidget> m_captured;
};

// The program's screen: the Qt one unless a test installed another.
Screen& desktopScreen();
void setDesktopScreen(Screen* screen); // nullptr restores the Qt one

} // namespace zovex
