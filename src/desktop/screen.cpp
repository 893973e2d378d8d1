#include "screen.h"
#include "replaceable.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace zovex {

QRect ScreenImage::logicalGeometry() const
{
    if (ratio == 1.0)
        return geometry();
    return {origin, QSize(qCeil(pixels.width() / ratio - 1e-7), qCeil(pixels.height() / ratio - 1e-7))};
}

QPoint ScreenImage::toDevice(QPointF logical) const
{
    const double x = std::nearbyint((logical.x() - origin.x()) * ratio);
    const double y = std::nearbyint((logical.y() - origin.y()) * ratio);
    if (ratio == 1.0 && pixels.isNull())
        return {origin.x() + static_cast<int>(x), origin.y() + static_cast<int>(y)};
    return {origin.x() + static_cast<int>(std::clamp(x, 0.0, static_cast<double>(pixels.width()))),
            origin.y() + static_cast<int>(std::clamp(y, 0.0, static_cast<double>(pixels.height())))};
}

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
    // The screen's own device pixels, not the logical picture Qt would make of them.
    const QPixmap grabbed = screen->grabWindow(0);
    QImage pixels = grabbed.toImage().convertToFormat(QImage::Format_RGB32);
    const double ratio = grabbed.isNull() ? 1.0 : grabbed.devicePixelRatio();
    pixels.setDevicePixelRatio(1.0);
    return {std::move(pixels), screen->geometry().topLeft(), ratio > 0 ? ratio : 1.0};
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
