// The one guard through which every window runs its event handlers, named by the handler's
// failure style. Nothing thrown by a handler ever crosses Qt's event dispatch.
//
// Contract, by style:
// - StatementByStatement: the handler runs each statement through attempt() and goes on after a
//   failing one (saving, printing, the generation tick). Whatever still escapes ends the handler
//   silently.
// - WholeOperation: any error ends the operation at once, silently, keeping what was already done
//   (every operation that opens or loads a picture).
// - NotAtAll: the handler lets its error go to its caller. At the event loop the caller is the
//   user: a notice ("Zovex提示") says in the program's language that the operation was not
//   completed and why, and the program goes on.
#pragma once

#include "message_box.h"

#include <QObject>
#include <QString>

#include <exception>
#include <utility>

class QWidget;

namespace zovex {

enum class FailureStyle { StatementByStatement, WholeOperation, NotAtAll };

// The notice for an error that reached the user: what kind of failure it was, in words a user
// can act on (never an exception's own English text).
QString handlerFailureText(std::exception_ptr error);

// Runs `handler` of `window` in `style`; reports through `boxes` (the program's by default).
template <class F>
void runHandler(FailureStyle style, QWidget* window, F&& handler, MessageBoxes* boxes = nullptr) noexcept
{
    try {
        std::forward<F>(handler)();
    } catch (...) {
        if (style != FailureStyle::NotAtAll)
            return;
        try {
            (boxes ? *boxes : messageBoxes()).notice(window, handlerFailureText(std::current_exception()));
        } catch (...) {
        }
    }
}

// Connects `signal` of `sender` to `handler`, run through runHandler for `window` (which also
// owns the connection: it ends with the window).
template <class Sender, class Signal, class F>
QMetaObject::Connection connectHandler(Sender* sender, Signal signal, QWidget* window, FailureStyle style,
                                       F handler)
{
    return QObject::connect(sender, signal, window,
                            [window, style, handler = std::move(handler)] { runHandler(style, window, handler); });
}

} // namespace zovex
