#include "window_registry.h"

#include "tick_queue.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QTimer>
#include <QWindow>

#include <stdexcept>

#include <xcb/xcb.h>

namespace zovex {

Form::~Form()
{
    QObject::disconnect(m_destroyedConnection);
    // After the application object is gone a widget can no longer be destroyed safely; the
    // process is ending then and the memory goes with it.
    if (m_widget && QCoreApplication::instance())
        delete m_widget.data();
}

bool Form::isLoaded() const
{
    // Qt takes WA_DeleteOnClose away from a widget whose close was accepted, just before it
    // schedules its deletion: such a widget is closed even though it still exists.
    return m_widget && m_widget->testAttribute(Qt::WA_DeleteOnClose);
}

void Form::forgetWidget()
{
    QObject::disconnect(m_destroyedConnection);
    QWidget* old = m_widget.data();
    m_widget = nullptr;
    if (old) {
        // A closed window must not tick between its close and its deletion.
        for (QTimer* t : old->findChildren<QTimer*>())
            t->stop();
        TickQueue::instance().cancel(old);
    }
    widgetDestroyed();
}

QWidget& Form::widget()
{
    if (m_widget && !isLoaded())
        forgetWidget();
    if (!m_widget) {
        std::unique_ptr<QWidget> w = createWidget();
        w->setAttribute(Qt::WA_DeleteOnClose, true);
        m_widget = w.release();
        m_destroyedConnection = QObject::connect(m_widget.data(), &QObject::destroyed, [this] {
            QObject::disconnect(m_destroyedConnection);
            widgetDestroyed();
        });
    }
    return *m_widget;
}

namespace {

// Qt tells an X11 desktop the owner (WM_TRANSIENT_FOR) of dialogs and tool windows only; an
// owned ordinary window needs the property set on its own.
void setX11Owner(QWindow& window, QWindow* owner)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    const xcb_window_t id = static_cast<xcb_window_t>(window.winId());
    if (owner) {
        const xcb_window_t ownerId = static_cast<xcb_window_t>(owner->winId());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1,
                            &ownerId);
    } else {
        xcb_delete_property(connection, id, XCB_ATOM_WM_TRANSIENT_FOR);
    }
    xcb_flush(connection);
}

// The desktop learns a window's owner when the window is mapped: set before it is shown.
void setTransientOwner(QWidget& w, QWidget* owner)
{
    w.winId(); // the window's handle, made now if it has none yet
    QWindow* handle = w.windowHandle();
    if (!handle)
        return;
    QWindow* ownerHandle = nullptr;
    if (owner) {
        owner->window()->winId();
        ownerHandle = owner->window()->windowHandle();
    }
    handle->setTransientParent(ownerHandle);
}

} // namespace

QWidget* Form::owner() const { return m_owner.data(); }

void Form::Show(QWidget* owner)
{
    QWidget& w = widget();
    if (owner && owner->window() == &w)
        owner = nullptr;
    if (!w.isVisible()) {
        m_owner = owner ? owner->window() : nullptr;
        setTransientOwner(w, m_owner.data());
    }
    if (w.isMinimized())
        w.setWindowState(w.windowState() & ~Qt::WindowMinimized);
    if (w.isVisible()) {
        w.raise(); // a window being shown comes up in front anyway
    } else {
        w.show();
        // Qt's mapping of an ordinary window clears the X11 owner set before it.
        if (QWindow* handle = w.windowHandle())
            setX11Owner(*handle, m_owner ? m_owner->windowHandle() : nullptr);
    }
    w.activateWindow();
}

void Form::Hide() { widget().hide(); }

void Form::Unload()
{
    if (!m_widget)
        return;
    QWidget* w = m_widget.data();
    forgetWidget();
    w->hide();
    // Later, so that a window may unload itself from one of its own handlers.
    w->deleteLater();
}

WindowRegistry& WindowRegistry::instance()
{
    static WindowRegistry registry;
    return registry;
}

void WindowRegistry::registerKind(WindowKind kind, Factory factory)
{
    m_factories[kind] = std::move(factory);
}

Form& WindowRegistry::form(WindowKind kind)
{
    auto it = m_forms.find(kind);
    if (it != m_forms.end())
        return *it->second;
    auto f = m_factories.find(kind);
    if (f == m_factories.end())
        throw std::logic_error("window kind not registered");
    return *m_forms.emplace(kind, f->second()).first->second;
}

bool WindowRegistry::isLoaded(WindowKind kind) const
{
    auto it = m_forms.find(kind);
    return it != m_forms.end() && it->second->isLoaded();
}

void showOwnedByForm1(WindowKind tool)
{
    WindowRegistry& registry = WindowRegistry::instance();
    if (!registry.hasKind(tool))
        return;
    registry.form(tool).Show(&registry.form(WindowKind::Form1).widget());
}

void WindowRegistry::clear()
{
    reset();
    m_factories.clear();
}

void WindowRegistry::reset()
{
    // Destroy one at a time, so a window destroyed with its owner is already gone (its Form
    // holds a QPointer) when its own entry goes.
    while (!m_forms.empty())
        m_forms.erase(m_forms.begin());
}

} // namespace zovex
