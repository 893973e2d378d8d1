// The window registry: one entry per window kind, the only way to obtain a window.
//
// An entry holds the window's persistent object (a Form), made on first reference and kept
// for the whole run, so the window's own variables (a designer window's DesignCount) survive.
// The form's widget is built on the first reference that needs it (showing, hiding, touching a
// control): createWidget() builds the controls from their description and runs Form_Load.
// Closing the widget (the close box) destroys it with its controls and timers; the next
// reference builds it anew.
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>

namespace zovex {

enum class WindowKind {
    Form1 = 1, Form2, Form3, Form4, Form5, Form6, Form7, Form8, Form9, Form10,
    Form20,  // screen-region capture
    Form30,  // wallpaper layout
    Form40,  // zoom and crop
    zvtdy,   // print window
    frmpass, // administrator login
};

inline WindowKind designerKind(int category) { return static_cast<WindowKind>(category); }

class Form {
public:
    virtual ~Form();

    // The widget, built (with Form_Load) if the window is not loaded.
    QWidget& widget();
    bool isLoaded() const { return !m_widget.isNull(); }

    // Shows the window modeless, above `owner` if one is given; brings it to the front if it is
    // already visible.
    void Show(QWidget* owner = nullptr);
    // Loads the window if need be, then hides it.
    void Hide();
    // Unloads the window as its close box does (without asking it).
    void Unload();

protected:
    // Builds the window and its controls and runs Form_Load. The widget must be a top-level
    // window; the registry gives it WA_DeleteOnClose.
    virtual std::unique_ptr<QWidget> createWidget() = 0;
    // Called after the widget was destroyed (closed or unloaded).
    virtual void widgetDestroyed() {}

private:
    QPointer<QWidget> m_widget;
};

class WindowRegistry {
public:
    using Factory = std::function<std::unique_ptr<Form>()>;

    static WindowRegistry& instance();

    // Declares how a kind's window object is made. Done once per kind at start-up.
    void registerKind(WindowKind kind, Factory factory);
    bool hasKind(WindowKind kind) const { return m_factories.count(kind) != 0; }

    // The kind's window object, made on first reference.
    Form& form(WindowKind kind);
    template <class T>
    T& as(WindowKind kind) { return static_cast<T&>(form(kind)); }
    // Whether the entry holds an object whose widget is loaded, without creating anything.
    bool isLoaded(WindowKind kind) const;

    // Destroys every window and object (end of the program, or between tests).
    void reset();

private:
    std::map<WindowKind, Factory> m_factories;
    std::map<WindowKind, std::unique_ptr<Form>> m_forms;
};

} // namespace zovex
