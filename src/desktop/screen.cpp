#include "screen.h"
#include "replaceable.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace zovex {

QtScreen::~QtScreen()
{
    // The program's screen lives until the end of the process, when the application may be
    // gone already: leave Qt alone then.
    if (QGuiApplication::instance() == nullptr)
        return;
    releaseCapture();
    setMousePointer(MousePointer::Default);
}

ScreenImage QtScreen::grab(QPoint at)
{
    QScreen* screen = QGuiApplication::screenAt(at);
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    QImage pixels = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    pixels.setDevicePixelRatio(1.0);
    return {std::move(pixels), screen->geometry().topLeft()};
}

void QtScreen::setMousePointer(MousePointer pointer)
{
    if (pointer == m_pointer)
        return;
    if (pointer == MousePointer::Crosshair)
        QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
    else
        QGuiApplication::restoreOverrideCursor();
    m_pointer = pointer;
}

void QtScreen::setCapture(QWidget& window)
{
    window.grabMouse();
    m_captured = &window;
}

void QtScreen::releaseCapture()
{
    if (m_captured && QWidget::mouseGrabber() == m_captured.data())
        m_captured->releaseMouse();
    m_captured = nullptr;
}

Screen& desktopScreen() { return Replaceable<Screen, QtScreen>::get(); }
void setDesktopScreen(Screen* screen) { Replaceable<Screen, QtScreen>::replace(screen); }

} // namespace zovex
