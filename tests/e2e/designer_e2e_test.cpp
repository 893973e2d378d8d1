// The real program on a real X server: Form1 is mapped with its caption, its canvas changes at
// the first tick (3 s after start), and a click on the "3" button shows Form3 with 第3大类.
// The test starts its own Xvfb (the server picks a free display itself, -displayfd) and stops
// it and the program afterwards, whatever the outcome. The polling below waits for a real
// process; nothing in the program is shortened or switched for the test.
#include "x_session.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRect>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>

using namespace zovex::test;

namespace {

constexpr int kStartMs = 30000;

const QString kDesignerTitle = QStringLiteral("^ZovexTessaly5\\.0\\(Quenda\\)$");

// The designer window whose X window role is `form`, if one is mapped.
QByteArray mappedForm(const XSession& desk, const QByteArray& form) { return desk.mappedWindow(kDesignerTitle, form); }

int countColour(const QByteArray& rgb, int r, int g, int b)
{
    int n = 0;
    for (int i = 0; i + 2 < rgb.size(); i += 3) {
        if (static_cast<unsigned char>(rgb[i]) == r && static_cast<unsigned char>(rgb[i + 1]) == g &&
            static_cast<unsigned char>(rgb[i + 2]) == b)
            ++n;
    }
    return n;
}

} // namespace

TEST(DesignerEndToEnd, Form1ComposesAndTheCategoryButtonShowsForm3)
{
    // The program runs from a folder of its own, with the initial (empty) administrator password.
    ProgramCopy program;
    XSession desk(QStringLiteral("1920x1080x24"), kStartMs);
    ProcessGuard app;
    const QString started = startProgram(QStringLiteral(ZOVEX_APP_BINARY), program, desk, app);
    ASSERT_TRUE(started.isEmpty()) << started.toStdString();

    // Through the login dialog, if the program asks (empty password: Enter lets the user in).
    const QByteArray form1 = desk.waitPastLogin(kDesignerTitle, "Form1");
    ASSERT_FALSE(form1.isEmpty()) << "no window titled ZovexTessaly5.0(Quenda) was mapped";
    EXPECT_EQ(desk.visibleWindows(kDesignerTitle).size(), 1) << "only Form1 is on screen";

    const std::optional<QRect> g1 = desk.geometry(form1);
    ASSERT_TRUE(g1);
    EXPECT_EQ(g1->width(), 21480 / 15) << "Form1's client area";

    // A canvas pixel beside the rings: dark blue until the first tick, then the first pattern's
    // background (only Form1 draws from the random source so far).
    const QRect probe(g1->x() + 2 + 5, g1->y() + 2 + 428, 1, 1);
    QByteArray first = desk.pixels(probe);
    ASSERT_EQ(first.size(), 3);
    ASSERT_EQ(countColour(first, 0, 0, 64), 1) << "the first tick came before the window could be seen";
    QByteArray changed;
    ASSERT_TRUE(within(10000, [&] {
        changed = desk.pixels(probe);
        return changed.size() == 3 && changed != first;
    })) << "the canvas did not change after the first tick";
    EXPECT_EQ(countColour(changed, 162, 123, 133), 1) << "the first pattern's background";

    // Label8 of Form1 (第1大类), then the "3" button (Command10) at its twip position.
    const QByteArray label8Form1 = desk.pixels(onScreen(*g1, 15450, 7860, 1275, 285));
    EXPECT_GT(countColour(label8Form1, 215, 21, 123), 0) << "Label8's text colour";
    ASSERT_TRUE(desk.click(onScreen(*g1, 15240, 8250, 495, 495).center()));

    QByteArray form3;
    ASSERT_TRUE(within(10000, [&] {
        form3 = mappedForm(desk, "Form3");
        return !form3.isEmpty() && mappedForm(desk, "Form1").isEmpty();
    })) << "pressing 3 did not replace Form1 by Form3";
    EXPECT_EQ(desk.visibleWindows(kDesignerTitle).size(), 1) << "the other designer windows are hidden";
    const std::optional<QRect> g3 = desk.geometry(form3);
    ASSERT_TRUE(g3);
    QByteArray label8Form3;
    EXPECT_TRUE(within(5000, [&] {
        label8Form3 = desk.pixels(onScreen(*g3, 15450, 7860, 1275, 285));
        return countColour(label8Form3, 215, 21, 123) > 0;
    })) << "Form3's Label8 is not painted";
    EXPECT_NE(label8Form3, label8Form1) << "第3大类 differs from 第1大类";
    EXPECT_EQ(app.process->state(), QProcess::Running);
}
