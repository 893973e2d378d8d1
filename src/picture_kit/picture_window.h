// The window plumbing every picture window shares, so that no window writes it again:
// - setUpPictureWindow gives a new window its identity and look: the object name, which is also
//   its X window role (how the desktop and the end-to-end tests tell windows of one caption
//   apart), the caption, the windows' 宋体 9-point font and, where the window has one, a plain
//   background colour filled behind every control;
// - fillBackground gives a window or a panel in it that plain background colour;
// - PictureWindow<Base> (Base is QWidget or QMainWindow) holds the program's Services the window
//   was made with and routes Qt's window events to the window's handlers through the handler
//   guard.
//
// Contract of PictureWindow: every resize, once Base has handled it, runs Form_Resize statement by
// statement (a failing step leaves what is already laid out and tells no one). Every close is
// accepted, whatever the handlers do, and runs Form_QueryUnload and then Form_Unload as one whole
// operation (an error ends it silently). The handlers are public, so tests call them directly;
// a window overrides those it has, the others do nothing.
#pragma once

#include "colour.h"
#include "handler_guard.h"
#include "services.h"

#include <QCloseEvent>
#include <QResizeEvent>
#include <QString>
#include <QWidget>

#include <optional>

namespace zovex {

// Names, captions and dresses `window` as described above; without `background` the window
// keeps the background its style gives it.
void setUpPictureWindow(QWidget& window, const QString& name, const QString& caption,
                        std::optional<Colour> background = std::nullopt);

// Fills `widget`'s background with `colour` behind everything drawn on it.
void fillBackground(QWidget& widget, Colour colour);

template <class Base>
class PictureWindow : public Base {
public:
    virtual void Form_Resize() {}
    virtual void Form_QueryUnload() {}
    virtual void Form_Unload() {}

    // What the window works with outside itself.
    const Services& services() const { return m_services; }
    // The message boxes its handlers report through.
    MessageBoxes& boxes() const { return m_services.messageBoxes; }

protected:
    explicit PictureWindow(const Services& services, QWidget* parent = nullptr) : Base(parent), m_services(services) {}

    void resizeEvent(QResizeEvent* event) override
    {
        Base::resizeEvent(event);
        runHandler(boxes(), FailureStyle::StatementByStatement, this, [this] { Form_Resize(); });
    }

    void closeEvent(QCloseEvent* event) override
    {
        // No handler can keep the window open: closing never asks the user.
        event->accept();
        runHandler(boxes(), FailureStyle::WholeOperation, this, [this] {
            Form_QueryUnload();
            Form_Unload();
        });
    }

private:
    Services m_services;
};

} // namespace zovex
