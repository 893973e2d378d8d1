// The form runtime: the handler guard's three failure styles, single-instance registration, Qt's
// own texts in Chinese and the end of the program when no window is visible.
#include "app_windows.h"
#include "desktop_program.h"
#include "errors.h"
#include "form1_stand_in.h"
#include "handler_guard.h"
#include "single_window.h"
#include "window_test.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QWindow>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using namespace zovex;

namespace {

TEST(HandlerGuard, EachStyleEndsTheHandlerAndOnlyNotAtAllTellsTheUser)
{
    test::ScriptedPlatform platform;
    const struct {
        FailureStyle style;
        bool notice;
    } styles[] = {{FailureStyle::StatementByStatement, false},
                  {FailureStyle::WholeOperation, false},
                  {FailureStyle::NotAtAll, true}};
    for (const auto& s : styles) {
        for (const bool fail : {false, true}) {
            SCOPED_TRACE(fail ? "failing" : "not failing");
            platform.boxes.shown.clear();
            // The second of three statements fails or not: a failure ends the handler there,
            // once, and nothing of it reaches the caller.
            int before = 0, after = 0;
            const auto handler = [&] {
                ++before;
                if (fail)
                    throw OverflowError("overflow converting to a 32-bit integer");
                ++after;
            };
            EXPECT_NO_THROW(runHandler(s.style, nullptr, handler));
            EXPECT_EQ(before, 1);
            EXPECT_EQ(after, fail ? 0 : 1);
            ASSERT_EQ(platform.boxes.shown.size(), fail && s.notice ? 1u : 0u);
            if (fail && s.notice) {
                EXPECT_EQ(platform.boxes.shown[0].title, kNoticeTitle);
                EXPECT_EQ(platform.boxes.shown[0].icon, MsgIcon::Exclamation);
            }
        }
    }
}

TEST(HandlerGuard, TheNoticeSaysWhatFailedInChineseNeverTheExceptionsEnglish)
{
    const struct {
        std::exception_ptr error;
        QString says;
    } cases[] = {
        {std::make_exception_ptr(OverflowError("overflow converting to a 32-bit integer")),
         QStringLiteral("数值超出允许的范围")},
        {std::make_exception_ptr(TypeMismatch("type mismatch")), QStringLiteral("输入的不是数字")},
        {std::make_exception_ptr(std::bad_alloc()), QStringLiteral("内存不足")},
        {std::make_exception_ptr(std::logic_error("window kind not registered")), QStringLiteral("内部错误")},
        {std::make_exception_ptr(42), QStringLiteral("内部错误")},
    };
    for (const auto& c : cases) {
        const QString text = handlerFailureText(c.error);
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(text.startsWith(QStringLiteral("操作没有完成：")));
        EXPECT_TRUE(text.contains(c.says));
        EXPECT_FALSE(text.contains(QLatin1String("overflow")) || text.contains(QLatin1String("window kind")) ||
                     text.contains(QLatin1String("std::")));
    }
}

TEST(HandlerGuard, AConnectedHandlerThatThrowsNeverReachesQt)
{
    test::ScriptedPlatform platform;
    QWidget window;
    auto* button = new QPushButton(&window);
    int runs = 0;
    connectHandler(button, &QPushButton::clicked, &window, FailureStyle::NotAtAll, [&] {
        ++runs;
        throw std::runtime_error("boom");
    });
    button->click();
    button->click();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(platform.boxes.shown.size(), 2u);
}

class FormsWindowTest : public test::WindowTest {};

class Probe final : public QWidget {
public:
    static inline int made = 0;
    Probe() { ++made; }
};

TEST_F(FormsWindowTest, ASingleWindowRegisteredTwiceIsStillOneWindow)
{
    Probe::made = 0;
    registerSingleWindow<Probe>(WindowKind::Form40);
    Probe& first = singleWindow<Probe>(WindowKind::Form40);
    registerSingleWindow<Probe>(WindowKind::Form40);
    EXPECT_EQ(&singleWindow<Probe>(WindowKind::Form40), &first);
    EXPECT_EQ(Probe::made, 1);
    first.close();
    singleWindow<Probe>(WindowKind::Form40);
    EXPECT_EQ(Probe::made, 2) << "closed, it is made anew at the next reference";
}

TEST_F(FormsWindowTest, WindowsShowOneAnotherOnlyWhenTheOtherIsPartOfTheProgram)
{
    auto& registry = WindowRegistry::instance();
    // Nothing registered: no window is shown, nothing is made, nothing fails.
    EXPECT_FALSE(showForm1());
    EXPECT_FALSE(showWindow(WindowKind::Form30));
    EXPECT_FALSE(showOwnedByForm1(WindowKind::Form20));
    EXPECT_FALSE(registry.hasForm(WindowKind::Form1));

    // A tool without Form1 is not shown owned by it.
    test::registerPlainStandIn(WindowKind::Form20);
    EXPECT_FALSE(showOwnedByForm1(WindowKind::Form20));
    EXPECT_FALSE(registry.isLoaded(WindowKind::Form20));

    test::registerForm1StandIn();
    EXPECT_TRUE(showForm1());
    QWidget& form1 = registry.form(WindowKind::Form1).widget();
    EXPECT_TRUE(form1.isVisible());
    EXPECT_TRUE(showOwnedByForm1(WindowKind::Form20));
    EXPECT_TRUE(registry.form(WindowKind::Form20).widget().isVisible());
    EXPECT_EQ(registry.form(WindowKind::Form20).owner(), &form1);

    test::registerPlainStandIn(WindowKind::Form40);
    EXPECT_TRUE(showWindow(WindowKind::Form40, &form1));
    EXPECT_EQ(registry.form(WindowKind::Form40).owner(), &form1);
    EXPECT_TRUE(showWindow(WindowKind::Form40));
    EXPECT_EQ(registry.form(WindowKind::Form40).owner(), &form1) << "a visible window keeps its owner";
}

// Restores Qt's own texts after the test: other tests of this program read English ones.
struct TranslationInstalled {
    TranslationInstalled() { ok = installChineseTranslation(*QCoreApplication::instance()); }
    ~TranslationInstalled()
    {
        for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>())
            delete t;
    }
    bool ok = false;
};

TEST(ChineseTranslation, QtsOwnButtonsAndFileDialogSpeakChinese)
{
    TranslationInstalled installed;
    ASSERT_TRUE(installed.ok) << "qtbase_zh_CN not found in Qt's translations folder";
    EXPECT_TRUE(installChineseTranslation(*QCoreApplication::instance())) << "a second call changes nothing";

    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    ASSERT_NE(lookIn, nullptr);
    EXPECT_EQ(lookIn->text(), QStringLiteral("查找范围："));
}

TEST(ProgramEnd, ComesWhenNoWindowIsVisibleNotWhenTheLastUnownedOneCloses)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    int ends = 0;
    endProgramWhenNoWindowIsVisible(*app, [&] { ++ends; });
    EXPECT_FALSE(app->quitOnLastWindowClosed());
    const auto settle = [] { QCoreApplication::sendPostedEvents(); };

    QWidget designer;
    QWidget hiddenDesigner;
    QWidget tool;
    designer.show();
    hiddenDesigner.show();
    hiddenDesigner.hide();
    tool.winId();
    tool.windowHandle()->setTransientParent(designer.windowHandle());
    tool.show();
    settle();

    designer.close();
    settle();
    EXPECT_EQ(ends, 0) << "the owned tool window is still on the screen";

    // Hidden and shown again in one handler: the program goes on.
    tool.hide();
    designer.show();
    settle();
    EXPECT_EQ(ends, 0);

    designer.close();
    tool.close();
    settle();
    EXPECT_EQ(ends, 1) << "only a hidden window is left";

    endProgramWhenNoWindowIsVisible(*app, [] {});
    app->setQuitOnLastWindowClosed(true);
}

} // namespace
