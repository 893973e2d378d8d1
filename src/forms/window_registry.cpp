#include "window_registry.h"

#include "tick_queue.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWindow>

#include <stdexcept>

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
        if (m_ticks)
            m_ticks->cancel(old);
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

// The desktop learns a window's owner when the window is mapped: set before it is shown. On X11
// Qt writes WM_TRANSIENT_FOR only for windows of a secondary type, so an owned window is a
// dialog-type window (with the minimise and maximise buttons of a main window), as an owned
// window is on the desktop the system was made for: above its owner, minimised with it, no
// taskbar entry of its own.
void setTransientOwner(QWidget& w, QWidget* owner)
{
    // Only what this function made a dialog goes back to a main window: a window that is a
    // dialog of its own stays one.
    static constexpr char kOwnedType[] = "zovexOwnedType";
    const Qt::WindowFlags hints = w.windowFlags() & ~Qt::WindowType_Mask;
    Qt::WindowFlags flags = w.windowFlags();
    if (owner && w.windowType() == Qt::Window) {
        flags = hints | Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
        w.setProperty(kOwnedType, true);
    } else if (!owner && w.property(kOwnedType).toBool()) {
        flags = hints | Qt::Window;
        w.setProperty(kOwnedType, false);
    }
    if (w.windowFlags() != flags) {
        const Qt::WindowStates state = w.windowState();
        w.setWindowFlags(flags); // makes a new native window: before the handle is asked for
        w.setWindowState(state);
    }
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

void WindowRegistry::registerKind(WindowKind kind, Factory factory) { m_factories[kind] = std::move(factory); }

Form& WindowRegistry::form(WindowKind kind)
{
    auto it = m_forms.find(kind);
    if (it != m_forms.end())
        return *it->second;
    auto f = m_factories.find(kind);
    if (f == m_factories.end())
        throw std::logic_error("window kind not registered");
    std::unique_ptr<Form> made = f->second();
    made->m_ticks = &m_ticks;
    return *m_forms.emplace(kind, std::move(made)).first->second;
}

bool WindowRegistry::isLoaded(WindowKind kind) const
{
    auto it = m_forms.find(kind);
    return it != m_forms.end() && it->second->isLoaded();
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
