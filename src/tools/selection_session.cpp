#include "selection_session.h"

#include "device_pixels.h"
#include "int_conv.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QPainter>
#include <QPaintEvent>

namespace zovex {

SelectionOverlay::SelectionOverlay(const ScreenImage& screen)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint),
      m_screen(&screen)
{
    setObjectName(kSelectionOverlayTitle);
    setWindowTitle(kSelectionOverlayTitle);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setAttribute(Qt::WA_NoSystemBackground, true);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::CrossCursor);
    setGeometry(screen.logicalGeometry());
}

void SelectionOverlay::setImage(const ScreenImage& screen)
{
    m_screen = &screen;
    update();
}

void SelectionOverlay::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    for (const QRect& r : event->region())
        drawDevicePixels(p, m_screen->pixels, m_screen->ratio, QPoint(0, 0), r);
}

void SelectionOverlay::updatePixels(const QRegion& pixels)
{
    if (m_screen->ratio == 1.0) {
        update(pixels);
        return;
    }
    QRegion logical;
    for (const QRect& r : pixels)
        logical += logicalRectOf(r, m_screen->ratio);
    update(logical);
}

void SelectionOverlay::showOverScreen()
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        // The compositor places windows; a full-screen one covers the screen it is put on.
        const QList<QScreen*> screens = QGuiApplication::screens();
        for (QScreen* s : screens)
            if (s->geometry().topLeft() == m_screen->origin)
                setScreen(s);
        showFullScreen();
    } else {
        show();
    }
    raise();
}

void SelectionOverlay::mousePressEvent(QMouseEvent* event)
{
    // A copy: the handler may hand this overlay to a selection, which drops the handler.
    const Pressed pressed = m_pressed;
    if (pressed)
        pressed(*event);
}

FrozenScreens::FrozenScreens(std::vector<ScreenImage> screens, Pressed pressed)
{
    for (ScreenImage& image : screens) {
        auto frozen = std::make_unique<Frozen>();
        frozen->image = std::move(image);
        m_screens.push_back(std::move(frozen));
    }
    for (std::size_t i = 0; i < m_screens.size(); ++i) {
        Frozen& f = *m_screens[i];
        f.overlay = std::make_unique<SelectionOverlay>(f.image);
        f.overlay->onPress([pressed, i](const QMouseEvent& press) { pressed(i, press); });
        f.overlay->showOverScreen();
    }
}

FrozenScreens::~FrozenScreens() = default;

const SelectionOverlay* FrozenScreens::overlay(std::size_t index) const
{
    return index < m_screens.size() ? m_screens[index]->overlay.get() : nullptr;
}

FrozenScreens::Taken FrozenScreens::take(std::size_t index)
{
    Taken taken;
    if (index >= m_screens.size() || !m_screens[index]->overlay)
        return taken;
    Frozen& f = *m_screens[index];
    taken.image = std::move(f.image);
    taken.overlay = std::move(f.overlay);
    taken.overlay->onPress(nullptr);
    // Shows the taken image until the selection hands it its own.
    taken.overlay->setImage(taken.image);
    m_screens.clear();
    return taken;
}

namespace {

// The label's font at the screen's device pixels: r times the system font's size.
QFont atRatio(QFont font, double ratio)
{
    if (ratio == 1.0)
        return font;
    if (font.pixelSize() > 0)
        font.setPixelSize(qRound(font.pixelSize() * ratio));
    else
        font.setPointSizeF(font.pointSizeF() * ratio);
    return font;
}

} // namespace

SelectionSession::SelectionSession(QWidget& window, ScreenImage image, QPointF origin, QPointF offset, Screen& screen,
                                   TickGate& ticks, const QFont& font, Finished finished,
                                   std::unique_ptr<SelectionOverlay> overlay)
    : m_window(&window), m_screen(screen), m_image(std::move(image)), m_overlay(std::move(overlay)),
      m_finished(std::move(finished))
{
    const QPoint start = m_image.toDevice(origin);
    const QPoint anchor(start.x() + static_cast<int>(roundHalfEven(offset.x() * m_image.ratio)),
                        start.y() + static_cast<int>(roundHalfEven(offset.y() * m_image.ratio)));
    m_tracker = std::make_unique<SelectionTracker>(m_image, atRatio(font, m_image.ratio), anchor);
    m_ticksHeld.emplace(ticks);
    qApp->installEventFilter(this);
    if (m_overlay) {
        m_overlay->setImage(m_image);
    } else if (!m_image.pixels.isNull()) {
        m_overlay = std::make_unique<SelectionOverlay>(m_image);
        m_overlay->show();
        m_overlay->raise();
    }
}

SelectionSession::~SelectionSession()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool SelectionSession::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_active)
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Accepted, so no shortcut fires: the key then comes as a key press, dropped below.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return true;
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        // Widgets only: the same event passes the window object first, and is taken once,
        // where a widget receives it.
        if (!watched->isWidgetType())
            return false;
        auto& mouse = static_cast<QMouseEvent&>(*event);
        // On the overlay, from the overlay's own corner: that is where its screen starts.
        const QPointF at = m_overlay && watched == m_overlay.get() ? mouse.position() + QPointF(m_image.origin)
                                                                   : mouse.globalPosition();
        const QRegion changed = m_tracker->mouseMessage(m_image.toDevice(at));
        if (m_overlay)
            m_overlay->updatePixels(changed);
        if (event->type() == QEvent::MouseButtonRelease && mouse.button() == Qt::LeftButton)
            end(mouse);
        return true;
    }
    default:
        return false;
    }
}

void SelectionSession::end(const QMouseEvent& release)
{
    m_active = false;
    const ScreenRect rect = m_tracker->finish();
    if (m_overlay)
        m_overlay->hide();
    qApp->removeEventFilter(this);
    m_ticksHeld.reset();
    m_screen.releaseCapture();
    if (m_window) {
        const QPointF global = release.globalPosition();
        // Posted, so the window handles it after the capture, as the system's own release.
        QCoreApplication::postEvent(m_window.data(),
                                    new QMouseEvent(QEvent::MouseButtonRelease, m_window->mapFromGlobal(global), global,
                                                    Qt::LeftButton, release.buttons(), release.modifiers()));
    }
    if (m_finished)
        m_finished(m_image, rect);
}

QPoint pressScreenPoint(const QWidget& client, QPointF clientPoint)
{
    return client.mapToGlobal(
        QPoint(static_cast<int>(roundHalfEven(clientPoint.x())), static_cast<int>(roundHalfEven(clientPoint.y()))));
}

std::unique_ptr<SelectionSession> TrackSelectionRect(QWidget& window, const QWidget& client, QPointF clientPoint,
                                                     ScreenImage image, Screen& screen, TickGate& ticks,
                                                     SelectionSession::Finished finished, const QFont& font)
{
    return std::make_unique<SelectionSession>(window, std::move(image), client.mapToGlobal(QPointF(0, 0)), clientPoint,
                                              screen, ticks, font, std::move(finished));
}

std::unique_ptr<SelectionSession> TrackSelectionRect(QWidget& window, FrozenScreens::Taken frozen, QPointF overlayPoint,
                                                     Screen& screen, TickGate& ticks,
                                                     SelectionSession::Finished finished, const QFont& font)
{
    const QPointF origin(frozen.image.origin);
    return std::make_unique<SelectionSession>(window, std::move(frozen.image), origin, overlayPoint, screen, ticks,
                                              font, std::move(finished), std::move(frozen.overlay));
}

} // namespace zovex
