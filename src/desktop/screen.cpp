#include "screen.h"

#include "portal_screenshot.h"

#include <QCursor>
#include <QDBusConnection>
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
    // A screen that outlives the application must leave Qt alone.
    if (QGuiApplication::instance() == nullptr)
        return;
    releaseCapture();
    setMousePointer(MousePointer::Default);
}

bool isAllBlack(const QImage& image)
{
    if (image.isNull())
        return false;
    const QImage rgb = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                           ? image
                           : image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if ((row[x] & 0xFFFFFFu) != 0)
                return false;
    }
    return true;
}

bool onWaylandDesktop()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland")))
        return true;
    if (platform != QLatin1String("xcb"))
        return false;
    // An X display beside a Wayland one is Xwayland's.
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland"))
        return true;
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [](const QScreen* s) { return s->name().startsWith(QLatin1String("XWAYLAND")); });
}

namespace {

ScreenShot grabScreen(QScreen* screen)
{
    if (screen == nullptr)
        return ScreenShot::failed(ScreenFailure::NoScreen);
    // The screen's own device pixels, not the logical picture Qt would make of them.
    const QPixmap grabbed = screen->grabWindow(0);
    QImage pixels = grabbed.toImage().convertToFormat(QImage::Format_RGB32);
    if (pixels.isNull())
        return ScreenShot::failed(ScreenFailure::NoScreen);
    // An X server that cannot see the compositor's pixels (Xwayland) answers with black: that
    // is no picture of the screen.
    if (isAllBlack(pixels))
        return ScreenShot::failed(ScreenFailure::BlackImage);
    const double ratio = grabbed.devicePixelRatio();
    pixels.setDevicePixelRatio(1.0);
    ScreenShot shot;
    shot.screens.push_back({std::move(pixels), screen->geometry().topLeft(), ratio > 0 ? ratio : 1.0});
    return shot;
}

// Every screen read from the X server, handed over from the event loop.
class XServerReading final : public QObject, public PendingScreenShot {
public:
    explicit XServerReading(std::function<void(ScreenShot)> done)
    {
        QMetaObject::invokeMethod(
            this,
            [done = std::move(done)] {
                ScreenShot all;
                const QList<QScreen*> screens = QGuiApplication::screens();
                for (QScreen* screen : screens) {
                    ScreenShot one = grabScreen(screen);
                    if (!one.ok()) {
                        done(std::move(one));
                        return;
                    }
                    all.screens.push_back(std::move(one.screens.front()));
                }
                done(all.screens.empty() ? ScreenShot::failed(ScreenFailure::NoScreen) : std::move(all));
            },
            Qt::QueuedConnection);
    }
};

} // namespace

bool QtScreen::wayland() const
{
    if (m_wayland < 0)
        m_wayland = onWaylandDesktop() ? 1 : 0;
    return m_wayland == 1;
}

ScreenShot QtScreen::grab(QPoint at)
{
    QScreen* screen = QGuiApplication::screenAt(at);
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    return grabScreen(screen);
}

MouseReach QtScreen::mouseReach() const { return wayland() ? MouseReach::OwnWindows : MouseReach::Everywhere; }

std::unique_ptr<PendingScreenShot> QtScreen::readScreens(std::function<void(ScreenShot)> done)
{
    if (!wayland())
        return std::make_unique<XServerReading>(std::move(done));
    std::vector<ScreenLayout> layout;
    for (const QScreen* screen : QGuiApplication::screens())
        layout.push_back({screen->geometry(), screen->devicePixelRatio()});
    return std::make_unique<PortalScreenshot>(QDBusConnection::sessionBus(), std::move(layout), std::move(done));
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

} // namespace zovex
