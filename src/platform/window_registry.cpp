#include "window_registry.h"

#include <stdexcept>

namespace zovex {

Form::~Form()
{
    if (m_widget)
        delete m_widget.data();
}

QWidget& Form::widget()
{
    if (!m_widget) {
        std::unique_ptr<QWidget> w = createWidget();
        w->setAttribute(Qt::WA_DeleteOnClose, true);
        m_widget = w.release();
        QObject::connect(m_widget.data(), &QObject::destroyed, [this] { widgetDestroyed(); });
    }
    return *m_widget;
}

void Form::Show(QWidget* owner)
{
    QWidget& w = widget();
    if (owner && w.parentWidget() != owner) {
        const Qt::WindowFlags flags = w.windowFlags();
        w.setParent(owner, flags | Qt::Window);
    }
    if (w.isVisible() && !w.isMinimized()) {
        w.raise();
        w.activateWindow();
        return;
    }
    if (w.isMinimized())
        w.showNormal();
    w.show();
    w.raise();
    w.activateWindow();
}

void Form::Hide() { widget().hide(); }

void Form::Unload()
{
    if (m_widget)
        delete m_widget.data();
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

void WindowRegistry::reset()
{
    m_forms.clear();
}

} // namespace zovex
