#include "login_dialog.h"

#include "access_test_support.h"
#include "password_file.h"
#include "scripted_platform.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

using namespace zovex;
using zovex::test::ProgramFolder;

namespace {

QByteArray lineFor(const QByteArray& plain) { return passwordFileLine(*encodePassword(plain)); }

// A loaded dialog with its state, shown (non-modally) so focus and visibility behave as on screen.
struct Dialog {
    ProgramFolder folder;
    Module5 module;
    FrmpassState state;
    test::ScriptedMessageBoxes boxes;
    std::unique_ptr<frmpass> dlg;
    std::optional<int> finished;

    explicit Dialog(const QByteArray& stored = "")
    {
        module.programDir = QFile::encodeName(folder.path());
        module.StoredPassword = QString::fromLatin1(stored);
        folder.put(lineFor(stored));
        dlg = std::make_unique<frmpass>(module, state, boxes);
        QObject::connect(dlg.get(), &QDialog::finished, [this](int r) { finished = r; });
        dlg->show();
    }
    std::vector<QString> texts() const
    {
        std::vector<QString> t;
        for (const MessageRequest& r : boxes.shown)
            t.push_back(r.text);
        return t;
    }
    void enterChangeMode()
    {
        dlg->Text1->setText(module.StoredPassword);
        dlg->Command1_Click();
        ASSERT_TRUE(dlg->isChangeMode());
    }
};

QColor colourOf(const QWidget* w, QPalette::ColorRole role) { return w->palette().color(role); }

// Plays the user at each showing of a frmpass in a modal loop: every time one appears, the next
// action runs on it from inside its event loop. A showing the script did not expect is cancelled.
class DialogDriver final : public QObject {
public:
    std::deque<std::function<void(frmpass&)>> actions;
    int unexpected = 0;

    DialogDriver() { qApp->installEventFilter(this); }
    ~DialogDriver() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dlg = dynamic_cast<frmpass*>(watched);
        if (event->type() != QEvent::Show || !dlg)
            return false;
        std::function<void(frmpass&)> act;
        if (actions.empty()) {
            ++unexpected;
            act = [](frmpass& d) { d.Comca_Click(); };
        } else {
            act = std::move(actions.front());
            actions.pop_front();
        }
        QPointer<frmpass> guard(dlg);
        QMetaObject::invokeMethod(
            qApp,
            [guard, act] {
                if (guard)
                    act(*guard);
            },
            Qt::QueuedConnection);
        return false;
    }
};

} // namespace

TEST(Frmpass, LoadsInLoginModeWithTheDescribedControls)
{
    Dialog d;
    frmpass& f = *d.dlg;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("管理员登录"));
    EXPECT_TRUE(f.isModal());
    EXPECT_EQ(f.size(), QSize(327, 131));
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_EQ(colourOf(&f, QPalette::Window), QColor(64, 0, 64));

    struct Control {
        QWidget* widget;
        QString text;
        QRect geometry;
        bool visible;
    };
    const std::vector<Control> controls = {
        {f.Label1, QStringLiteral("请输入密码："), {48, 16, 78, 16}, true},
        {f.Text1, {}, {140, 14, 106, 20}, true},
        {f.Label3, QStringLiteral("新设密码："), {60, 44, 65, 16}, false},
        {f.Text2, {}, {140, 42, 105, 19}, false},
        {f.Label4, QStringLiteral("确认密码："), {58, 72, 69, 15}, false},
        {f.Text3, {}, {140, 70, 105, 19}, false},
        {f.Label2, QStringLiteral("请记好密码初始密码为空有效密码8位!"), {246, 48, 79, 43}, false},
        {f.Command1, QStringLiteral("更改密码"), {54, 98, 71, 21}, true},
        {f.Comok, QStringLiteral("确定"), {140, 98, 71, 21}, true},
        {f.Comca, QStringLiteral("取消"), {226, 98, 72, 21}, true},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.widget->metaObject()->className() + std::string(" ") + c.text.toStdString());
        EXPECT_EQ(c.widget->geometry(), c.geometry);
        EXPECT_EQ(c.widget->isVisible(), c.visible);
        if (auto* label = qobject_cast<QLabel*>(c.widget)) {
            QTextDocument shown;
            shown.setHtml(label->text());
            EXPECT_EQ(shown.toPlainText(), c.text);
            EXPECT_EQ(label->font().family(), QStringLiteral("宋体"));
            EXPECT_TRUE(label->font().bold());
            EXPECT_EQ(label->font().pixelSize(), 12); // 9 points at 96 dpi
        } else if (auto* button = qobject_cast<QPushButton*>(c.widget)) {
            EXPECT_EQ(button->text(), c.text);
            EXPECT_EQ(colourOf(button, QPalette::Button), QColor(0, 128, 0));
        }
    }
    EXPECT_FALSE(f.isChangeMode());

    EXPECT_EQ(colourOf(f.Label1, QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(colourOf(f.Label3, QPalette::WindowText), QColor(255, 128, 0));
    EXPECT_EQ(colourOf(f.Label4, QPalette::WindowText), QColor(255, 128, 0));
    EXPECT_EQ(colourOf(f.Label2, QPalette::WindowText), QColor(0, 192, 0));
    EXPECT_TRUE(f.Label2->wordWrap());
    EXPECT_LE(f.Label2->heightForWidth(f.Label2->width()), f.Label2->height()); // the whole note shows
    EXPECT_TRUE(f.Comok->isDefault());
}

TEST(Frmpass, PasswordBoxesMaskWithStarsAndTakeNoInputMethod)
{
    Dialog d;
    struct Box {
        QLineEdit* edit;
        int maxLength;
    };
    for (const Box& b : {Box{d.dlg->Text1, 8}, Box{d.dlg->Text2, 32767}, Box{d.dlg->Text3, 32767}}) {
        SCOPED_TRACE(b.edit == d.dlg->Text1 ? "Text1" : "Text2/Text3");
        EXPECT_EQ(b.edit->echoMode(), QLineEdit::Password);
        EXPECT_EQ(b.edit->maxLength(), b.maxLength);
        EXPECT_FALSE(b.edit->testAttribute(Qt::WA_InputMethodEnabled));
        EXPECT_TRUE(b.edit->inputMethodHints().testFlag(Qt::ImhSensitiveData));
        EXPECT_EQ(colourOf(b.edit, QPalette::Base), QColor(0, 0, 0));
        EXPECT_EQ(colourOf(b.edit, QPalette::Text), QColor(0, 255, 0));
        b.edit->setText(QStringLiteral("0123456789"));
        EXPECT_EQ(b.edit->displayText(), QString(std::min(10, b.maxLength), QLatin1Char('*')));
    }
    EXPECT_EQ(d.dlg->Text1->text(), QStringLiteral("01234567"));
}

TEST(Frmpass, Text1ComesFirstAndTabGoesThroughTheBoxesThenTheButtons)
{
    Dialog d;
    frmpass& f = *d.dlg;
    EXPECT_EQ(f.focusWidget(), f.Text1);
    const std::vector<QWidget*> expected = {f.Text1, f.Text2, f.Text3, f.Command1, f.Comok, f.Comca};
    std::vector<QWidget*> chain;
    QWidget* w = f.Text1;
    do {
        if (std::find(expected.begin(), expected.end(), w) != expected.end())
            chain.push_back(w);
        w = w->nextInFocusChain();
    } while (w != f.Text1 && chain.size() < 10);
    EXPECT_EQ(chain, expected);
}

TEST(Frmpass, ChangeModeNeedsTheCurrentPasswordInText1)
{
    struct Case {
        const char* name;
        QString text1;
        std::function<void(frmpass&)> press;
        bool changeMode;
    };
    const auto command1 = [](frmpass& f) { f.Command1_Click(); };
    const auto label2 = [](frmpass& f) { f.Label2_Click(); };
    const std::vector<Case> cases = {
        {"更改密码, right", "abc", command1, true},       {"更改密码, wrong", "abcdefgh", command1, false},
        {"更改密码, other case", "ABC", command1, false}, {"the note, right", "abc", label2, true},
        {"the note, wrong", "x", label2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dialog d("abc");
        frmpass& f = *d.dlg;
        f.Text1->setText(c.text1);
        f.Text1->deselect();
        c.press(f);
        EXPECT_EQ(f.isChangeMode(), c.changeMode);
        for (QWidget* w :
             {static_cast<QWidget*>(f.Label3), static_cast<QWidget*>(f.Text2), static_cast<QWidget*>(f.Label4),
              static_cast<QWidget*>(f.Text3), static_cast<QWidget*>(f.Label2)})
            EXPECT_EQ(w->isVisible(), c.changeMode);
        EXPECT_FALSE(d.finished.has_value());
        if (c.changeMode) {
            EXPECT_TRUE(d.boxes.shown.empty());
            EXPECT_EQ(f.focusWidget(), f.Text2);
        } else {
            ASSERT_EQ(d.boxes.shown.size(), 1u);
            EXPECT_EQ(d.boxes.shown[0].text, kNeedOldPasswordText);
            EXPECT_EQ(d.boxes.shown[0].title, kNoticeTitle);
            EXPECT_EQ(d.boxes.shown[0].icon, MsgIcon::Exclamation);
            EXPECT_EQ(f.Text1->selectionStart(), 0);
            EXPECT_EQ(f.Text1->selectionLength(), std::min<int>(8, c.text1.size()));
            EXPECT_EQ(f.focusWidget(), f.Text1);
        }
    }
}

TEST(Frmpass, ClickingTheNoteWithTheMouseRunsItsHandler)
{
    Dialog d("abc");
    d.enterChangeMode();
    d.dlg->Text1->setText(QStringLiteral("wrong"));
    const QPointF centre = QRectF(d.dlg->Label2->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, d.dlg->Label2->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, d.dlg->Label2->mapToGlobal(centre), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(d.dlg->Label2, &press);
    QApplication::sendEvent(d.dlg->Label2, &release);
    EXPECT_EQ(d.texts(), std::vector<QString>{kNeedOldPasswordText});
}

TEST(Frmpass, OkInLoginModeRecordsText1AndClosesWithoutWriting)
{
    Dialog d("abc");
    d.dlg->Text1->setText(QStringLiteral("guess"));
    d.dlg->Comok_Click();
    EXPECT_EQ(d.state.grzbpass, QStringLiteral("guess"));
    EXPECT_EQ(d.finished, QDialog::Accepted);
    EXPECT_EQ(d.state.end, AttemptEnd::Closed);
    EXPECT_TRUE(d.boxes.shown.empty());
    EXPECT_EQ(d.folder.content(), lineFor("abc"));
}

TEST(Frmpass, OkInChangeModeWritesTheNewPassword)
{
    struct Case {
        const char* name;
        QString newPassword;
        QString text1After; // Text1 edited after entering change mode
    };
    const std::vector<Case> cases = {
        {"ten characters are stored whole", QStringLiteral("0123456789"), QStringLiteral("abc")},
        {"the empty password writes two quotes", QString(), QStringLiteral("abc")},
        {"31 printable characters", QStringLiteral(" !\"#$%&'()*+,-./0123456789:;<=>"), QStringLiteral("abc")},
        {"Text1 edited afterwards: file still written, attempt judged on the edit", QStringLiteral("new"),
         QStringLiteral("edited")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dialog d("abc");
        d.enterChangeMode();
        d.dlg->Text2->setText(c.newPassword);
        d.dlg->Text3->setText(c.newPassword);
        d.dlg->Text1->setText(c.text1After);
        d.dlg->Comok_Click();
        EXPECT_EQ(d.folder.content(), passwordFileLine(*encodePassword(c.newPassword.toLatin1())));
        EXPECT_EQ(test::modeOf(d.folder.file()), 0644u);
        EXPECT_EQ(d.state.grzbpass, c.text1After);
        EXPECT_EQ(d.finished, QDialog::Accepted);
        EXPECT_TRUE(d.boxes.shown.empty());
        EXPECT_EQ(d.module.StoredPassword, QStringLiteral("abc")); // the new one counts from the next start
    }
    Dialog empty("abc");
    empty.enterChangeMode();
    empty.dlg->Comok_Click();
    EXPECT_EQ(empty.folder.content(), QByteArray("\"\"\r\n"));
}

TEST(Frmpass, OkInChangeModeRefusesBadNewPasswordsAndKeepsTheDialogOpen)
{
    struct Case {
        const char* name;
        QString text2;
        QString text3;
        QString message;
    };
    const std::vector<Case> cases = {
        {"the two boxes differ", QStringLiteral("new1"), QStringLiteral("new2"), kMismatchText},
        {"one box empty", QStringLiteral("new"), QString(), kMismatchText},
        {"32 characters", QString(32, QLatin1Char('a')), QString(32, QLatin1Char('a')), kNewPasswordTooLongText},
        {"Chinese characters", QStringLiteral("密码"), QStringLiteral("密码"), kNewPasswordBadCharText},
        {"a Latin-1 letter", QStringLiteral("café"), QStringLiteral("café"), kNewPasswordBadCharText},
        {"a tab", QStringLiteral("a\tb"), QStringLiteral("a\tb"), kNewPasswordBadCharText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dialog d("abc");
        d.enterChangeMode();
        d.dlg->Text2->setText(c.text2);
        d.dlg->Text3->setText(c.text3);
        d.dlg->Comok_Click();
        EXPECT_EQ(d.texts(), std::vector<QString>{c.message});
        EXPECT_EQ(d.boxes.shown[0].title, kNoticeTitle);
        EXPECT_EQ(d.folder.content(), lineFor("abc"));
        EXPECT_FALSE(d.finished.has_value());
        EXPECT_TRUE(d.dlg->isVisible());
        EXPECT_TRUE(d.dlg->isChangeMode());
        EXPECT_TRUE(d.dlg->Text2->text().isEmpty());
        EXPECT_TRUE(d.dlg->Text3->text().isEmpty());
        EXPECT_EQ(d.dlg->focusWidget(), d.dlg->Text2);
        EXPECT_EQ(d.state.grzbpass, QStringLiteral("abc"));
    }
}

TEST(Frmpass, ANewPasswordThatCannotBeWrittenIsReportedNotClaimed)
{
    Dialog d("abc");
    d.module.programDir = "/proc/self"; // nobody, not even root, may create files there
    d.enterChangeMode();
    d.dlg->Text2->setText(QStringLiteral("new"));
    d.dlg->Text3->setText(QStringLiteral("new"));
    d.dlg->Comok_Click();
    ASSERT_EQ(d.boxes.shown.size(), 1u);
    EXPECT_EQ(d.boxes.shown[0].title, kNoticeTitle);
    EXPECT_TRUE(d.boxes.shown[0].text.startsWith(QStringLiteral("新密码没有保存：无法写入密码文件wvkcom.cct（")))
        << d.boxes.shown[0].text.toStdString();
    EXPECT_GT(d.boxes.shown[0].text.size(), passwordNotSavedText(QString()).size()); // the reason is given
    EXPECT_EQ(d.finished, QDialog::Accepted); // the attempt itself goes on to be judged
    EXPECT_EQ(d.state.grzbpass, QStringLiteral("abc"));
}

TEST(Frmpass, CancelCloseBoxEscAndEnter)
{
    {
        SCOPED_TRACE("取消 ends the attempt as cancelled without a message");
        Dialog d;
        d.state.grzbpass = QStringLiteral("before");
        d.dlg->Text1->setText(QStringLiteral("typed"));
        d.dlg->Comca_Click();
        EXPECT_EQ(d.state.end, AttemptEnd::Cancelled);
        EXPECT_TRUE(d.finished.has_value());
        EXPECT_TRUE(d.boxes.shown.empty());
        EXPECT_EQ(d.state.grzbpass, QStringLiteral("before"));
    }
    {
        SCOPED_TRACE("the close box leaves grzbpass alone");
        Dialog d;
        d.state.grzbpass = QStringLiteral("before");
        d.dlg->Text1->setText(QStringLiteral("typed"));
        EXPECT_TRUE(d.dlg->close());
        EXPECT_EQ(d.state.end, AttemptEnd::Closed);
        EXPECT_FALSE(d.dlg->isVisible());
        EXPECT_EQ(d.state.grzbpass, QStringLiteral("before"));
    }
    {
        SCOPED_TRACE("Esc does nothing");
        Dialog d;
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(d.dlg->Text1, &esc);
        EXPECT_TRUE(d.dlg->isVisible());
        EXPECT_FALSE(d.finished.has_value());
    }
    {
        SCOPED_TRACE("Enter in Text1 presses 确定");
        Dialog d;
        d.dlg->Text1->setText(QStringLiteral("typed"));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(d.dlg->Text1, &enter);
        EXPECT_EQ(d.finished, QDialog::Accepted);
        EXPECT_EQ(d.state.grzbpass, QStringLiteral("typed"));
    }
}

TEST(FrmpassForm, EachShowingLoadsAFreshDialogAndGrzbpassCarriesOver)
{
    ProgramFolder folder;
    folder.put(lineFor("abc"));
    Module5 module{QFile::encodeName(folder.path()), QStringLiteral("abc")};
    test::ScriptedMessageBoxes boxes;
    FrmpassForm form(module, boxes);
    DialogDriver driver;
    driver.actions = {
        [&](frmpass& f) {
            EXPECT_TRUE(form.isLoaded());
            EXPECT_EQ(&form.dialog(), &f); // the registry's window is the one on screen
            EXPECT_TRUE(f.isModal());
            EXPECT_EQ(QApplication::activeModalWidget(), &f);
            f.Text1->setText(QStringLiteral("abc"));
            f.Command1_Click();
            f.Text2->setText(QStringLiteral("half"));
            f.Text1->setText(QStringLiteral("first"));
            f.Comok_Click(); // boxes differ: stays open
            f.close();
        },
        [](frmpass& f) {
            EXPECT_FALSE(f.isChangeMode());
            EXPECT_TRUE(f.Text1->text().isEmpty());
            EXPECT_TRUE(f.Text2->text().isEmpty());
            f.close();
        },
        [](frmpass& f) { f.Comca_Click(); },
    };
    EXPECT_EQ(form.showModal(), AttemptEnd::Closed);
    EXPECT_EQ(form.grzbpass(), QStringLiteral("first"));
    EXPECT_FALSE(form.isLoaded()); // closing unloads
    EXPECT_EQ(form.showModal(), AttemptEnd::Closed);
    EXPECT_EQ(form.grzbpass(), QStringLiteral("first"));
    EXPECT_EQ(form.showModal(), AttemptEnd::Cancelled);
    EXPECT_EQ(driver.unexpected, 0);
    EXPECT_EQ(folder.content(), lineFor("abc"));
}

TEST(FrmpassForm, ATenCharacterPasswordSetAtOneStartOpensTheNextWithItsFirstEight)
{
    ProgramFolder folder;
    folder.put("\"\"\r\n");
    test::ScriptedMessageBoxes boxes;
    DialogDriver driver;

    const auto start = [&](std::function<void(frmpass&)> act) {
        Module5 module{QFile::encodeName(folder.path()), {}};
        FrmpassForm form(module, boxes);
        int form1 = 0;
        driver.actions = {std::move(act)};
        const GateOutcome o = CheckAdminPassword({module, boxes, form, [&] { ++form1; }});
        EXPECT_EQ(form1, o == GateOutcome::Granted ? 1 : 0);
        return o;
    };

    EXPECT_EQ(start([](frmpass& f) {
                  f.Command1_Click(); // Text1 empty: the current password
                  f.Text2->setText(QStringLiteral("0123456789"));
                  f.Text3->setText(QStringLiteral("0123456789"));
                  f.Comok_Click();
              }),
              GateOutcome::Granted);
    EXPECT_EQ(folder.content(), lineFor("0123456789"));

    EXPECT_EQ(start([](frmpass& f) {
                  f.Text1->setText(QStringLiteral("0123456789")); // Text1 keeps 8 of them
                  f.Comok_Click();
              }),
              GateOutcome::Granted);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(driver.unexpected, 0);
}
