// "保存图案" and "打印图案" as the designer windows reach them: each window saves its own canvas
// through its own dialog, and the print window opens owned by Form1 from any designer window.
#include "designer_fixture.h"
#include "desktop_program.h"
#include "print_window.h"
#include "app_windows.h"

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

using namespace zovex;
using test::kCancel;

namespace {

class ToolButtonsTest : public test::DesignerTest {
protected:
    void SetUp() override
    {
        DesignerTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        registerPrintWindow();
    }

    QTemporaryDir dir;
};

TEST_F(ToolButtonsTest, EachDesignerWindowSavesItsOwnCanvasThroughItsOwnDialog)
{
    DesignerWindow& form3 = window(3);
    form3.Timer1_Timer(); // a pattern on Form3's canvas
    const QString saved = dir.filePath(QStringLiteral("form3.bmp"));
    platform.dialogs.answers = {saved, kCancel};
    form3.Command2_Click();
    EXPECT_EQ(QImage(saved).convertToFormat(QImage::Format_RGB32), form3.canvas().persistentImage());
    EXPECT_TRUE(form3.Timer1->isActive()); // saving does not pause the window

    window(2).Command2_Click();
    ASSERT_EQ(platform.dialogs.requests.size(), 2u);
    EXPECT_TRUE(platform.dialogs.requests[1].fileName.isEmpty()); // Form3's name stays in Form3

    // A closed window comes back with a new dialog.
    form3.close();
    flushDeletes();
    platform.dialogs.answers = {kCancel};
    window(3).Command2_Click();
    ASSERT_EQ(platform.dialogs.requests.size(), 3u);
    EXPECT_TRUE(platform.dialogs.requests[2].fileName.isEmpty());
}

TEST_F(ToolButtonsTest, PrintWindowOpensOwnedByForm1AndClosingItShowsForm1)
{
    WindowRegistry& registry = WindowRegistry::instance();
    designerForm(1).Show();
    window(1).Command12_Click(); // to category 5: Form1 is hidden
    DesignerWindow& form5 = window(5);
    ASSERT_FALSE(window(1).isVisible());

    form5.Command3_Click();
    ASSERT_TRUE(registry.isLoaded(WindowKind::zvtdy));
    zvtdy& print = registry.as<ZvtdyForm>(WindowKind::zvtdy).window();
    EXPECT_TRUE(print.isVisible());
    EXPECT_TRUE(print.isWindow());
    EXPECT_EQ(print.parentWidget(), nullptr) << "a window of its own, not a child of Form1";
    EXPECT_EQ(registry.form(WindowKind::zvtdy).owner(), &window(1));
    ASSERT_NE(print.windowHandle(), nullptr);
    EXPECT_EQ(print.windowHandle()->transientParent(), window(1).windowHandle());
    EXPECT_TRUE(form5.isVisible());
    EXPECT_TRUE(form5.Timer1->isActive());

    print.close();
    EXPECT_TRUE(window(1).isVisible());
    EXPECT_TRUE(form5.isVisible());
    EXPECT_FALSE(registry.isLoaded(WindowKind::zvtdy));
}

} // namespace

TEST_F(ToolButtonsTest, ClosingADesignerWindowClosesOnlyItAndAnOpenToolKeepsTheProgramRunning)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    int ends = 0;
    endProgramWhenNoWindowIsVisible(*app, [&] { ++ends; });
    const auto settle = [] { QCoreApplication::sendPostedEvents(); };
    WindowRegistry& registry = WindowRegistry::instance();

    // Form5 and Form1 both shown, the print window owned by Form1 with a picture.
    start().Command12_Click();
    DesignerWindow& form5 = window(5);
    form5.Command3_Click();
    zvtdy& print = registry.as<ZvtdyForm>(WindowKind::zvtdy).window();
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(qRgb(40, 50, 60));
    const QString file = dir.filePath(QStringLiteral("p.bmp"));
    ASSERT_TRUE(picture.save(file, "BMP"));
    platform.dialogs.answers = {file};
    print.Command4_Click();
    designerForm(1).Show();
    ASSERT_TRUE(window(1).isVisible() && form5.isVisible() && print.isVisible());

    window(1).close();
    flushDeletes();
    settle();
    ASSERT_TRUE(registry.isLoaded(WindowKind::zvtdy)) << "closing Form1 closed the print window";
    EXPECT_EQ(&registry.as<ZvtdyForm>(WindowKind::zvtdy).window(), &print);
    EXPECT_TRUE(print.isVisible());
    EXPECT_EQ(print.Picture1->picture().convertToFormat(QImage::Format_RGB32), picture);

    form5.close();
    flushDeletes();
    settle();
    EXPECT_EQ(ends, 0) << "the print window is still on the screen";

    print.close();
    flushDeletes();
    settle();
    EXPECT_TRUE(shown(1)) << "closing the print window shows Form1";
    EXPECT_EQ(ends, 0);

    window(1).close();
    settle();
    EXPECT_EQ(ends, 1) << "no window is visible any more";
    endProgramWhenNoWindowIsVisible(*app, [] {});
    app->setQuitOnLastWindowClosed(true);
}
