// The real program's tool windows under a real window manager (openbox on an Xvfb of the test's
// own): the print and capture windows name Form1 in WM_TRANSIENT_FOR and stay above it when the
// user clicks Form1; closing Form1 while Form5 and the print window are shown leaves the print
// window open with its picture; closing Form5 then leaves the program running with the print
// window; closing the print window shows Form1 again. Windows are closed through the window
// manager, as their close boxes do. Everything started here is stopped at the end.
#include "x_session.h"

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace zovex::test;

namespace {

constexpr int kWaitMs = 30000;

const QString kDesignerTitle = QStringLiteral("^ZovexTessaly5\\.0\\(Quenda\\)$");
const QString kPrintTitle = QStringLiteral("^Form1$");
const QString kCaptureTitle = QStringLiteral("^Zovex剪裁抓图$");
const QString kOpenDialogTitle = QStringLiteral("^打开$");
constexpr QRgb kPictureColour = qRgb(200, 30, 40);

qulonglong idOf(const QByteArray& xdotoolWindow) { return xdotoolWindow.toULongLong(); }

bool isColour(const QByteArray& rgb, QRgb c)
{
    return rgb.size() == 3 && static_cast<unsigned char>(rgb[0]) == qRed(c) &&
           static_cast<unsigned char>(rgb[1]) == qGreen(c) && static_cast<unsigned char>(rgb[2]) == qBlue(c);
}

class ToolWindowsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString copied = program.make(QStringLiteral(ZOVEX_APP_BINARY));
        ASSERT_TRUE(copied.isEmpty()) << copied.toStdString();
        const QString started = desk.start();
        ASSERT_TRUE(started.isEmpty()) << started.toStdString();
        const QString wmStarted = desk.startWindowManager(wm);
        ASSERT_TRUE(wmStarted.isEmpty()) << wmStarted.toStdString();
        ASSERT_TRUE(desk.launch(app, program.path()));
        ASSERT_FALSE(desk.waitPastLogin(kDesignerTitle, "Form1").isEmpty()) << "Form1 was not mapped";
    }

    QByteArray form(const QByteArray& role) const { return desk.mappedWindow(kDesignerTitle, role); }
    QByteArray waitForForm(const QByteArray& role) const
    {
        QByteArray w;
        within(kWaitMs, [&] { return !(w = form(role)).isEmpty(); });
        return w;
    }
    QByteArray waitFor(const QString& title, const QByteArray& role = {}) const
    {
        QByteArray w;
        within(kWaitMs, [&] {
            w = role.isEmpty() ? desk.visibleWindows(title).value(0) : desk.mappedWindow(title, role);
            return !w.isEmpty();
        });
        return w;
    }
    bool waitUntilUnmapped(const QString& title, const QByteArray& role) const
    {
        return within(kWaitMs, [&] { return desk.mappedWindow(title, role).isEmpty(); });
    }
    QRect client(const QByteArray& window) const { return desk.geometry(window).value_or(QRect()); }
    // Clicks a control of a window at its twip place.
    bool press(const QByteArray& window, int left, int top, int width, int height) const
    {
        return desk.click(onScreen(client(window), left, top, width, height).center());
    }
    void activate(const QByteArray& window) const
    {
        desk.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(window)});
    }
    // A pixel of the print window's picture (just inside Picture1's border at 30, 30 twips).
    QByteArray picturePixel(const QByteArray& print) const
    {
        const QRect c = client(print);
        return desk.pixels(QRect(c.x() + 2 + 2 + 20, c.y() + 2 + 2 + 20, 1, 1));
    }

    ProgramCopy program;
    XSession desk{QStringLiteral("1920x1080x24"), kWaitMs};
    ProcessGuard wm;
    ProcessGuard app;
};

TEST_F(ToolWindowsEndToEnd, ToolWindowsAreOwnedByForm1AndLiveOnTheirOwn)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pictureFile = dir.filePath(QStringLiteral("picture.bmp"));
    {
        QImage picture(200, 150, QImage::Format_RGB32);
        picture.fill(kPictureColour);
        ASSERT_TRUE(picture.save(pictureFile, "BMP"));
    }

    // Form5 and Form1 both shown: "5", then "打印图案" in Form5 and the print window closed,
    // which shows Form1 again beside Form5.
    QByteArray form1 = waitForForm("Form1");
    ASSERT_TRUE(press(form1, 16740, 8250, 495, 495)); // "5"
    const QByteArray form5 = waitForForm("Form5");
    ASSERT_FALSE(form5.isEmpty());
    ASSERT_TRUE(waitUntilUnmapped(kDesignerTitle, "Form1"));
    activate(form5);
    ASSERT_TRUE(press(form5, 13260, 7350, 1245, 375)); // 打印图案
    QByteArray print = waitFor(kPrintTitle, "zvtdy");
    ASSERT_FALSE(print.isEmpty()) << "打印图案 in Form5 showed no print window";
    ASSERT_TRUE(desk.closeWindow(print));
    form1 = waitForForm("Form1");
    ASSERT_FALSE(form1.isEmpty()) << "closing the print window did not show Form1";
    ASSERT_FALSE(form(QByteArrayLiteral("Form5")).isEmpty());

    // From Form1: the capture window, moved aside, and the print window, made smaller.
    activate(form1);
    ASSERT_TRUE(press(form1, 20010, 5490, 1245, 375)); // 剪裁保存
    const QByteArray capture = waitFor(kCaptureTitle);
    ASSERT_FALSE(capture.isEmpty());
    // Moved through the window manager, then waited for: xdotool's own wait can miss a move that
    // the window manager makes in its frame's terms.
    desk.run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-r"), QString::fromLatin1(capture),
                                        QStringLiteral("-e"), QStringLiteral("0,1300,600,-1,-1")});
    ASSERT_TRUE(within(kWaitMs, [&] { return client(capture).x() >= 1300; })) << "the capture window did not move";
    activate(form1);
    ASSERT_TRUE(press(form1, 13260, 7350, 1245, 375)); // 打印图案
    print = waitFor(kPrintTitle, "zvtdy");
    ASSERT_FALSE(print.isEmpty());
    EXPECT_TRUE(within(kWaitMs, [&] {
        return desk
            .run(QStringLiteral("xprop"),
                 {QStringLiteral("-id"), QString::fromLatin1(print), QStringLiteral("_NET_WM_STATE")})
            .out.contains("_NET_WM_STATE_MAXIMIZED_HORZ");
    })) << "an owned window still opens maximised";
    desk.run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-r"), QString::fromLatin1(print),
                                        QStringLiteral("-b"), QStringLiteral("remove,maximized_vert,maximized_horz")});
    desk.run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-r"), QString::fromLatin1(print),
                                        QStringLiteral("-e"), QStringLiteral("0,900,80,700,420")});
    ASSERT_TRUE(within(kWaitMs, [&] { return client(print).width() == 700; }));

    // Both name Form1 as their owner.
    EXPECT_EQ(desk.transientFor(print), idOf(form1));
    EXPECT_EQ(desk.transientFor(capture), idOf(form1));

    // A click on Form1's canvas, away from both: Form1 gets the focus, the tools stay above it.
    const QRect f1 = client(form1);
    ASSERT_TRUE(desk.click(QPoint(f1.x() + 200, f1.y() + 700)));
    ASSERT_TRUE(within(kWaitMs, [&] { return desk.activeWindow() == idOf(form1); })) << "the click did not reach Form1";
    const QList<qulonglong> stack = desk.stackingOrder();
    ASSERT_TRUE(stack.contains(idOf(form1)) && stack.contains(idOf(print)) && stack.contains(idOf(capture)));
    EXPECT_GT(stack.indexOf(idOf(print)), stack.indexOf(idOf(form1))) << "the print window went behind Form1";
    EXPECT_GT(stack.indexOf(idOf(capture)), stack.indexOf(idOf(form1))) << "the capture window went behind Form1";

    // A picture in the print window, through its real (Chinese) file dialog.
    activate(print);
    const QRect p = client(print);
    ASSERT_TRUE(desk.click(QPoint(p.right() - 91 / 2 - 7, p.y() + 4 + 12))); // 取图, 100 twips from the edge
    const QByteArray dialog = waitFor(kOpenDialogTitle);
    ASSERT_FALSE(dialog.isEmpty()) << "取图 showed no file dialog titled 打开";
    activate(dialog);
    desk.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), pictureFile});
    desk.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(within(kWaitMs, [&] { return isColour(picturePixel(print), kPictureColour); }))
        << "the picture is not shown";

    // The capture window goes, so that only the print window can keep the program running.
    ASSERT_TRUE(desk.closeWindow(capture));
    ASSERT_TRUE(within(kWaitMs, [&] { return desk.visibleWindows(kCaptureTitle).isEmpty(); }));

    // Closing Form1 closes only Form1.
    ASSERT_TRUE(desk.closeWindow(form1));
    ASSERT_TRUE(waitUntilUnmapped(kDesignerTitle, "Form1"));
    EXPECT_FALSE(desk.mappedWindow(kPrintTitle, "zvtdy").isEmpty()) << "closing Form1 closed the print window";
    EXPECT_FALSE(form(QByteArrayLiteral("Form5")).isEmpty());
    EXPECT_TRUE(isColour(picturePixel(print), kPictureColour)) << "the print window lost its picture";

    // Closing the last designer window on the screen: the print window keeps the program running.
    ASSERT_TRUE(desk.closeWindow(form5));
    ASSERT_TRUE(waitUntilUnmapped(kDesignerTitle, "Form5"));
    EXPECT_FALSE(app.process->waitForFinished(2000)) << "the program ended with the print window open";
    EXPECT_FALSE(desk.mappedWindow(kPrintTitle, "zvtdy").isEmpty());

    // Closing the print window shows Form1.
    ASSERT_TRUE(desk.closeWindow(print));
    EXPECT_FALSE(waitForForm("Form1").isEmpty()) << "closing the print window did not show Form1";
    EXPECT_EQ(app.process->state(), QProcess::Running);
}

} // namespace
