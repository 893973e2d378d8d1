// The window registry: one entry per window kind, the only way to obtain a window.
//
// An entry holds the window's persistent object (a Form), made on first reference and kept
// for the whole run, so the window's own variables (a designer window's DesignCount) survive.
// The form's widget is built on the first reference that needs it (showing, hiding, touching a
// control): createWidget() builds the controls from their description and runs Form_Load.
// Closing the widget (the close box) unloads it: from that moment the window counts as not
// loaded, and the next reference builds it anew, even before the closed widget is deleted.
// Every window is a top-level widget of its own: a window shown with an owner is tied to it as
// the desktop's transient window (it stays above its owner and is minimised with it; on X11 its
// WM_TRANSIENT_FOR names the owner), never as a Qt child, so closing a window closes only that
// window. Hidden windows do not keep the program alive (endProgramWhenNoWindowIsVisible).
#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

namespace zovex {

// The kinds of window a program has; the program lists its own (app_windows.h). The registry
// only tells them apart.
enum class WindowKind : int;

class Form {
public:
    Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    // The widget, built (with Form_Load) if the window is not loaded.
    QWidget& widget();
    // Loaded: built and not closed since.
    bool isLoaded() const;

    // Shows the window modeless; brings it to the front if it is already visible. A window that
    // is not visible yet is owned by `owner`'s window when one is given (it then stays above
    // its owner and is minimised with it) and by none otherwise; the owner of a visible window
    // does not change.
    void Show(QWidget* owner = nullptr);
    // The window this one was last shown owned by, if it still exists.
    QWidget* owner() const;
    // Loads the window if need be, then hides it. Nothing else changes.
    void Hide();
    // Unloads the window as its close box does, without asking it; its timers stop at once.
    void Unload();

protected:
    // Builds the window and its controls and runs Form_Load. The widget must be a top-level
    // window; the registry gives it WA_DeleteOnClose.
    virtual std::unique_ptr<QWidget> createWidget() = 0;
    // Called once per loading, when the widget is closed, unloaded or destroyed.
    virtual void widgetDestroyed() {}

private:
    // Lets go of the current widget: it is on its way out and is no longer this window.
    void forgetWidget();

    QPointer<QWidget> m_widget;
    QPointer<QWidget> m_owner;
    QMetaObject::Connection m_destroyedConnection;
};

class WindowRegistry {
public:
    using Factory = std::function<std::unique_ptr<Form>()>;

    static WindowRegistry& instance();

    // Declares how a kind's window object is made. Done once per kind at start-up.
    void registerKind(WindowKind kind, Factory factory);
    bool hasKind(WindowKind kind) const { return m_factories.count(kind) != 0; }

    // The kind's window object, made on first reference. Throws std::logic_error for a kind
    // that was never registered.
    Form& form(WindowKind kind);
    // The kind's window object as the class it was registered with. Throws std::logic_error
    // when the kind holds an object of another class.
    template <class T>
    T& as(WindowKind kind)
    {
        T* typed = dynamic_cast<T*>(&form(kind));
        if (!typed)
            throw std::logic_error("window registry: a window of another class is registered under this kind");
        return *typed;
    }
    // Whether the entry holds an object whose widget is loaded, without creating anything.
    bool isLoaded(WindowKind kind) const;
    // Whether the entry holds its window object, without creating anything.
    bool hasForm(WindowKind kind) const { return m_forms.count(kind) != 0; }

    // Destroys every window and object (end of the program, or between tests). Must run while
    // the QApplication still exists.
    void reset();
    // reset(), and every kind forgotten as well: the registry as the program starts (tests).
    void clear();

private:
    std::map<WindowKind, Factory> m_factories;
    std::map<WindowKind, std::unique_ptr<Form>> m_forms;
};

} // namespace zovex
