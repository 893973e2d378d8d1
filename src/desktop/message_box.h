// Message boxes of the desktop behind a small interface, so that every handler that asks or
// tells the user runs in tests with a scripted answer. Titles used by the system: "Zovex提示"
// for notices, "询问" for yes/no questions, "Zovex禁告！" for the final refusal at login.
#pragma once

#include <QString>

class QFont;
class QMessageBox;
class QWidget;

namespace zovex {

enum class MsgIcon { None, Question, Exclamation, Information, Critical };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

struct MessageRequest {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer defaultAnswer = MsgAnswer::Ok;
};

inline const QString kNoticeTitle = QStringLiteral("Zovex提示");
inline const QString kQuestionTitle = QStringLiteral("询问");

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows the box modally (timers keep running) and returns the button pressed.
    virtual MsgAnswer show(QWidget* parent, const MessageRequest& request) = 0;

    // A notice with the exclamation icon and an OK button.
    MsgAnswer notice(QWidget* parent, const QString& text)
    {
        return show(parent, {text, kNoticeTitle, MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok});
    }
};

// The desktop's real message boxes (QMessageBox).
class QtMessageBoxes final : public MessageBoxes {
public:
    MsgAnswer show(QWidget* parent, const MessageRequest& request) override;
};

// Sets a Qt box up as the request asks (title, text, icon, buttons), at least as wide as its
// title needs (titleBarWidth), so that the window manager shows the title whole.
void prepareMessageBox(QMessageBox& box, const MessageRequest& request);

// The width, in pixels, of a window whose title bar shows `title` whole when the window manager
// draws it in `font` or one a quarter larger: the title, bold, with room for the window's icon,
// three title-bar buttons and the bar's ends. Qt sizes a box for its text and leaves the title
// 50 pixels of room, where the window manager's buttons alone take more.
int titleBarWidth(const QFont& font, const QString& title);

} // namespace zovex
