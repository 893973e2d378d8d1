#include "selection_session.h"

#include "device_pixels.h"
#include "int_conv.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

namespace zovex {

SelectionOverlay::SelectionOverlay(const ScreenImage& screen)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint),
      m_screen(screen)
{
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setAttribute(Qt::WA_NoSystemBackground, true);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::CrossCursor);
    setGeometry(screen.logicalGeometry());
}

void SelectionOverlay::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    for (const QRect& r : event->region())
        drawDevicePixels(p, m_screen.pixels, m_screen.ratio, QPoint(0, 0), r);
}

void SelectionOverlay::updatePixels(const QRegion& pixels)
{
    if (m_screen.ratio == 1.0) {
        update(pixels);
        return;
    }
    QRegion logical;
    for (const QRect& r : pixels)
        logical += logicalRectOf(r, m_screen.ratio);
    update(logical);
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

SelectionSession::SelectionSession(QWidget& window, QPoint grabAt, QPointF clientOrigin, QPointF clientPos,
                                   Screen& screen, TickGate& ticks, const QFont& font, Finished finished)
    : m_window(&window), m_screen(screen), m_image(screen.grab(grabAt)), m_finished(std::move(finished))
{
    const QPoint origin = m_image.toDevice(clientOrigin);
    const QPoint anchor(origin.x() + static_cast<int>(roundHalfEven(clientPos.x() * m_image.ratio)),
                        origin.y() + static_cast<int>(roundHalfEven(clientPos.y() * m_image.ratio)));
    m_tracker = std::make_unique<SelectionTracker>(m_image, atRatio(font, m_image.ratio), anchor);
    m_ticksHeld.emplace(ticks);
    qApp->installEventFilter(this);
    if (!m_image.pixels.isNull()) {
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
        const QRegion changed = m_tracker->mouseMessage(m_image.toDevice(mouse.globalPosition()));
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

std::unique_ptr<SelectionSession> TrackSelectionRect(QWidget& window, const QWidget& client, QPointF clientPoint,
                                                     Screen& screen, TickGate& ticks,
                                                     SelectionSession::Finished finished, const QFont& font)
{
    const QPoint grabAt = client.mapToGlobal(
        QPoint(static_cast<int>(roundHalfEven(clientPoint.x())), static_cast<int>(roundHalfEven(clientPoint.y()))));
    return std::make_unique<SelectionSession>(window, grabAt, client.mapToGlobal(QPointF(0, 0)), clientPoint, screen,
                                              ticks, font, std::move(finished));
}

} // namespace zovex
