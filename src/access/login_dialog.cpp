#include "login_dialog.h"

#include "colour.h"
#include "control_table.h"
#include "picture_window.h"
#include "handler_guard.h"
#include "message_box.h"
#include "password_codec.h"
#include "password_file.h"
#include "twips.h"

#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>

namespace zovex {

namespace {

// Colours as the dialog's description gives them (red + 256 * green + 65536 * blue).
constexpr Colour kBackground = 0x400040;
constexpr Colour kRed = 0xFF;
constexpr Colour kGreen = 0xFF00;
constexpr Colour kOrange = 0x80FF;
constexpr Colour kNoteGreen = 0xC000;
constexpr Colour kButtonFace = 0x8000;
constexpr Colour kBlack = 0;

// Password boxes show "*" for every character, at once, whatever the desktop style's habit.
class AsteriskPasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        if (hint == SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Gives a text box of the dialog the password behaviour: asterisks, no input method, at most
// `maxLength` characters where it is above 0.
void givePasswordBehaviour(QLineEdit& box, int maxLength)
{
    box.setEchoMode(QLineEdit::Password);
    if (maxLength > 0)
        box.setMaxLength(maxLength);
    // After the echo mode, which sets the input-method attribute on its own.
    box.setAttribute(Qt::WA_InputMethodEnabled, false);
    box.setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                            Qt::ImhNoAutoUppercase | Qt::ImhLatinOnly);
}

using Control = WindowControl<frmpass>;
constexpr Qt::Alignment kMiddleLeft = Qt::AlignLeft | Qt::AlignVCenter;

const Control kControls[] = {
    {{"Label1", ControlKind::Label, {720, 240, 1170, 240}, "请输入密码：", kRed, {}, kBold9, kMiddleLeft},
     &frmpass::Label1},
    {{"Text1", ControlKind::TextBox, {2100, 210, 1590, 300}, "", kGreen, kBlack}, &frmpass::Text1},
    {{"Label3", ControlKind::Label, {900, 660, 975, 240}, "新设密码：", kOrange, {}, kBold9, kMiddleLeft},
     &frmpass::Label3},
    {{"Text2", ControlKind::TextBox, {2100, 630, 1575, 285}, "", kGreen, kBlack}, &frmpass::Text2},
    {{"Label4", ControlKind::Label, {870, 1080, 1035, 225}, "确认密码：", kOrange, {}, kBold9, kMiddleLeft},
     &frmpass::Label4},
    {{"Text3", ControlKind::TextBox, {2100, 1050, 1575, 285}, "", kGreen, kBlack}, &frmpass::Text3},
};
// The note wraps to three lines in its box; the CJK face's generous line spacing is tightened so
// all three fit, as they do with the desktop's bitmap 宋体.
const ControlRow kLabel2 = {"Label2",
                            ControlKind::Label,
                            {3690, 720, 1185, 645},
                            "<p style=\"line-height:75%\">请记好密码初始密码为空有效密码8位!</p>",
                            kNoteGreen,
                            {},
                            kBold9};
const Control kButtons[] = {
    {{"Command1", ControlKind::Button, {810, 1470, 1065, 315}, "更改密码", {}, kButtonFace}, &frmpass::Command1},
    {{"Comok", ControlKind::Button, {2100, 1470, 1065, 315}, "确定", {}, kButtonFace}, &frmpass::Comok},
    {{"Comca", ControlKind::Button, {3390, 1470, 1080, 315}, "取消", {}, kButtonFace}, &frmpass::Comca},
};

} // namespace

QString passwordNotSavedText(const QString& reason)
{
    return QStringLiteral("新密码没有保存：无法写入密码文件wvkcom.cct（%1）。原密码仍然有效。").arg(reason);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
        onClick();
}

frmpass::frmpass(Module5& module, FrmpassState& state, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_module(module), m_state(state), m_boxes(boxes)
{
    setWindowTitle(QStringLiteral("管理员登录"));
    setModal(true);
    setFixedSize(twipsRect(0, 0, 4905, 1965).size());
    setFont(songti());
    fillBackground(*this, kBackground);

    buildWindowControls(*this, kControls);
    givePasswordBehaviour(*Text1, kLoginChars);
    givePasswordBehaviour(*Text2, 0);
    givePasswordBehaviour(*Text3, 0);
    Label2 = new ClickableLabel(this);
    dressControl(*Label2, kLabel2);
    Label2->setText(kLabel2.caption);
    Label2->setTextFormat(Qt::RichText);
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    buildWindowControls(*this, kButtons);
    Comok->setDefault(true);

    // Created after the boxes, so it is destroyed after them (children go in creation order).
    auto* style = new AsteriskPasswordStyle;
    style->setParent(this);
    for (QLineEdit* box : {Text1, Text2, Text3})
        box->setStyle(style);

    for (QWidget* w : {static_cast<QWidget*>(Label3), static_cast<QWidget*>(Text2), static_cast<QWidget*>(Label4),
                       static_cast<QWidget*>(Text3), static_cast<QWidget*>(Label2)})
        w->setVisible(false);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Command1);
    setTabOrder(Command1, Comok);
    setTabOrder(Comok, Comca);
    Text1->setFocus(Qt::OtherFocusReason);

    connect(Command1, &QPushButton::clicked, this, [this] { runHandler(&frmpass::Command1_Click); });
    connect(Comok, &QPushButton::clicked, this, [this] { runHandler(&frmpass::Comok_Click); });
    connect(Comca, &QPushButton::clicked, this, [this] { runHandler(&frmpass::Comca_Click); });
    Label2->onClick = [this] { runHandler(&frmpass::Label2_Click); };
}

void frmpass::runHandler(void (frmpass::*handler)())
{
    zovex::runHandler(m_boxes, FailureStyle::NotAtAll, this, [&] { (this->*handler)(); });
}

void frmpass::notice(const QString& text) { boxes().notice(this, text); }

bool frmpass::isChangeMode() const { return !Label3->isHidden(); }

void frmpass::Command1_Click()
{
    if (Text1->text() != m_module.StoredPassword) {
        notice(kNeedOldPasswordText);
        Text1->setSelection(0, kLoginChars);
        Text1->setFocus(Qt::OtherFocusReason);
        return;
    }
    for (QWidget* w : {static_cast<QWidget*>(Label3), static_cast<QWidget*>(Label4), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Text2), static_cast<QWidget*>(Text3)})
        w->setVisible(true);
    Text2->setFocus(Qt::OtherFocusReason);
}

void frmpass::Label2_Click() { Command1_Click(); }

void frmpass::emptyNewPasswordBoxes()
{
    Text3->clear();
    Text2->clear();
    Text2->setFocus(Qt::OtherFocusReason);
}

void frmpass::Comok_Click()
{
    m_state.grzbpass = Text1->text();
    if (isChangeMode()) {
        const QString newPassword = Text2->text();
        if (newPassword != Text3->text()) {
            notice(kMismatchText);
            emptyNewPasswordBoxes();
            return;
        }
        switch (checkNewPassword(newPassword)) {
        case NewPasswordProblem::None:
            break;
        case NewPasswordProblem::TooLong:
            notice(kNewPasswordTooLongText);
            emptyNewPasswordBoxes();
            return;
        case NewPasswordProblem::BadCharacter:
            notice(kNewPasswordBadCharText);
            emptyNewPasswordBoxes();
            return;
        }
        // Checked above: at most 31 printable ASCII characters always encode.
        const std::optional<QByteArray> encoded = encodePassword(newPassword.toLatin1());
        const PasswordFileWrite written =
            encoded ? writePasswordFile(m_module.programDir, *encoded) : PasswordFileWrite{false, {}};
        if (!written.ok)
            notice(passwordNotSavedText(written.error));
    }
    done(QDialog::Accepted);
}

void frmpass::Comca_Click()
{
    m_state.end = AttemptEnd::Cancelled;
    done(QDialog::Rejected);
}

void frmpass::keyPressEvent(QKeyEvent* event)
{
    // Esc is no way out of the login: only "确定", "取消" and the close box end an attempt.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

FrmpassForm::FrmpassForm(Module5& module, MessageBoxes& boxes) : m_module(module), m_boxes(boxes) {}

std::unique_ptr<QWidget> FrmpassForm::createWidget() { return std::make_unique<frmpass>(m_module, m_state, m_boxes); }

AttemptEnd FrmpassForm::showModal()
{
    Unload(); // every attempt starts from a freshly loaded dialog in login mode
    m_state.end = AttemptEnd::Closed;
    frmpass& d = dialog();
    // Our own modal loop rather than QDialog::exec(), which takes WA_DeleteOnClose away while
    // it runs: the registry would then count the dialog on screen as not loaded.
    QPointer<frmpass> shown(&d);
    QEventLoop loop;
    QObject::connect(&d, &QDialog::finished, &loop, &QEventLoop::quit);
    QObject::connect(&d, &QObject::destroyed, &loop, &QEventLoop::quit);
    d.setWindowModality(Qt::ApplicationModal);
    d.show();
    loop.exec(QEventLoop::DialogExec);
    // Closing scheduled the deletion; done now, so no closed dialog outlives the attempt.
    delete shown.data();
    return m_state.end;
}

} // namespace zovex
