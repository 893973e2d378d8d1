// frmpass, the administrator login dialog ("管理员登录"), and its registry entry.
//
// The dialog loads in login mode (Label1, Text1 and the three buttons); "更改密码" with the
// current password in Text1 switches it to change mode, where Text2 and Text3 take a new
// password that "确定" writes to wvkcom.cct. The dialog never judges the login itself: "确定"
// records Text1 in grzbpass and closes, and CheckAdminPassword compares. "取消" ends the
// attempt as cancelled (the program then ends); the close box ends it without touching
// grzbpass; Esc does nothing. Enter presses "确定" unless a button has the focus.
//
// Text boxes show every character as "*" (a style hint of their own, so the desktop's usual
// bullet is not used) and take no input-method composition.
#pragma once

#include "admin_gate.h"

#include "window_registry.h"

#include <QDialog>
#include <QLabel>

#include <functional>
#include <memory>

class QLineEdit;
class QPushButton;

namespace zovex {

class MessageBoxes;

// What outlives one loading of the dialog: grzbpass, and how the last showing ended.
struct FrmpassState {
    QString grzbpass;
    AttemptEnd end = AttemptEnd::Closed;
};

// A label that reports a click, as the note Label2 does.
class ClickableLabel final : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class frmpass final : public QDialog {
public:
    // The dialog's messages go through `boxes`.
    frmpass(Module5& module, FrmpassState& state, MessageBoxes& boxes, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label3;
    QLineEdit* Text2;
    QLabel* Label4;
    QLineEdit* Text3;
    ClickableLabel* Label2;
    QPushButton* Command1;
    QPushButton* Comok;
    QPushButton* Comca;

    bool isChangeMode() const;
    // The message boxes its handlers report through.
    MessageBoxes& boxes() const { return m_boxes; }

    void Command1_Click();
    void Label2_Click();
    void Comok_Click();
    void Comca_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void runHandler(void (frmpass::*handler)());
    void notice(const QString& text);
    void emptyNewPasswordBoxes();

    Module5& m_module;
    FrmpassState& m_state;
    MessageBoxes& m_boxes;
};

// Texts of the dialog's own messages.
inline const QString kNeedOldPasswordText = QStringLiteral("请先输入原密码！");
inline const QString kMismatchText = QStringLiteral("两次输入的密码不相同，请重输。");
inline const QString kNewPasswordTooLongText = QStringLiteral("新密码最多31个字符，请重输。密码没有更改。");
inline const QString kNewPasswordBadCharText =
    QStringLiteral("新密码只能由英文字母、数字、空格和英文标点符号组成，请重输。密码没有更改。");
QString passwordNotSavedText(const QString& reason);

// The registry's frmpass: holds grzbpass for the whole run and loads the dialog afresh for
// every showing.
class FrmpassForm final : public Form, public LoginDialog {
public:
    FrmpassForm(Module5& module, MessageBoxes& boxes);

    AttemptEnd showModal() override;
    QString grzbpass() const override { return m_state.grzbpass; }

    // The dialog, loaded if need be.
    frmpass& dialog() { return static_cast<frmpass&>(widget()); }

protected:
    std::unique_ptr<QWidget> createWidget() override;

private:
    Module5& m_module;
    MessageBoxes& m_boxes;
    FrmpassState m_state;
};

} // namespace zovex
