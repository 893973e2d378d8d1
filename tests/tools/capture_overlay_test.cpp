// The capture where the mouse capture reaches only the program's own windows (a Wayland
// desktop): arming reads the screens and shows them under the crosshair, the press lands on an
// overlay, and a screen that cannot be read is a notice that changes nothing.
#include "capture_window.h"
#include "tick_gate.h"
#include "window_test.h"
#include "app_windows.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace zovex;

namespace {

ScreenImage noise(int w, int h, QPoint origin, double ratio, unsigned seed)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 gen(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, 0xFF000000u | (gen() & 0xFFFFFFu));
    return {img, origin, ratio};
}

ScreenShot shotOf(std::vector<ScreenImage> screens)
{
    ScreenShot shot;
    shot.screens = std::move(screens);
    return shot;
}

class CaptureOverlayTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        test::registerForm1StandIn(registry);
        registerCaptureWindow(services);
        desktop.screen.reach = MouseReach::OwnWindows;
        // Two screens: 800 x 600 at ratio 1, and beside it 1600 x 1200 device pixels at ratio 2.
        screens = {noise(800, 600, {0, 0}, 1.0, 3), noise(1600, 1200, {800, 0}, 2.0, 4)};
    }

    Form20& shown()
    {
        registry.form(WindowKind::Form20).Show();
        return registry.as<CaptureForm>(WindowKind::Form20).window();
    }
    static SelectionOverlay& overlayOf(const Form20& f, std::size_t i)
    {
        return const_cast<SelectionOverlay&>(*f.frozenScreens()->overlay(i));
    }
    // An event at `local` on a window, as the desktop delivers it there.
    static void mouse(QWidget& to, QEvent::Type type, QPointF local, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, local, to.mapToGlobal(local), button, held, Qt::NoModifier);
        QApplication::sendEvent(&to, &e);
    }
    // Arms, answers the reading and drags on the overlay of screen `i` from `from` to `to`
    // (the overlay's logical pixels).
    Form20& captureOn(std::size_t i, QPointF from, QPointF to)
    {
        Form20& f = shown();
        f.mnuFileSnap->trigger();
        desktop.screen.answerReading(shotOf(screens));
        SelectionOverlay& o = overlayOf(f, i);
        mouse(o, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        mouse(o, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        mouse(o, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        mouse(o, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        QCoreApplication::sendPostedEvents();
        return f;
    }

    std::vector<ScreenImage> screens;
};

} // namespace

TEST_F(CaptureOverlayTest, ArmingReadsTheScreensAndShowsEachUnderTheCrosshair)
{
    Form20& f = shown();
    f.mnuFileSnap->trigger();
    EXPECT_TRUE(f.captureArmed());
    EXPECT_EQ(desktop.screen.pointer, MousePointer::Crosshair);
    EXPECT_EQ(desktop.screen.captured, nullptr) << "a mouse capture would take the press from the overlay";
    EXPECT_EQ(desktop.screen.readings, 1);
    EXPECT_TRUE(f.readingScreens());
    EXPECT_EQ(f.frozenScreens(), nullptr) << "nothing to show before the desktop answers";

    f.mnuFileSnap->trigger(); // arming again while the desktop reads changes nothing
    EXPECT_EQ(desktop.screen.readings, 1);

    // A press on the window itself while the screens are being read starts nothing.
    mouse(f, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(f.selection(), nullptr);
    EXPECT_TRUE(desktop.screen.grabbedAt.empty());

    desktop.screen.answerReading(shotOf(screens));
    EXPECT_FALSE(f.readingScreens());
    ASSERT_NE(f.frozenScreens(), nullptr);
    ASSERT_EQ(f.frozenScreens()->size(), 2u);
    const QRect places[] = {{0, 0, 800, 600}, {800, 0, 800, 600}};
    for (std::size_t i = 0; i < 2; ++i) {
        const SelectionOverlay& o = overlayOf(f, i);
        EXPECT_TRUE(o.isVisible());
        EXPECT_EQ(o.geometry(), places[i]);
        EXPECT_EQ(o.windowTitle(), QStringLiteral("zovex-selection-overlay"));
        EXPECT_TRUE(o.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_TRUE(o.windowFlags().testFlag(Qt::FramelessWindowHint));
        EXPECT_EQ(o.cursor().shape(), Qt::CrossCursor);
        EXPECT_EQ(o.image().pixels, screens[i].pixels);
    }
    EXPECT_TRUE(f.captureArmed());
    EXPECT_FALSE(gate.isHeld()) << "the ticks go on until the press";
}

TEST_F(CaptureOverlayTest, APressOnAnOverlayAndADragCaptureThatBlockOfTheScreenAsItWasAtTheArming)
{
    // On the second screen (ratio 2) from (300, 250) to (50.25, 100.5) logical: device pixels
    // 100..599 x 200..499 of that screen, 800 + those in screen positions.
    Form20& f = captureOn(1, {300, 250}, {50.25, 100.5});
    const QImage expected = screens[1].pixels.copy(100, 201, 500, 299);
    EXPECT_EQ(desktop.clipboard.sets, 1);
    EXPECT_EQ(desktop.clipboard.held, expected);
    EXPECT_EQ(f.Picture1->picture(), expected);
    EXPECT_TRUE(f.mnuFileSave->isEnabled());
    EXPECT_FALSE(f.captureArmed());
    EXPECT_EQ(f.frozenScreens(), nullptr);
    ASSERT_NE(f.selection(), nullptr);
    EXPECT_EQ(f.selection()->rect(), (ScreenRect{900, 201, 1400, 500}));
    EXPECT_FALSE(f.selection()->overlay()->isVisible());
    EXPECT_EQ(desktop.screen.pointer, MousePointer::Default);
    EXPECT_FALSE(gate.isHeld());
    EXPECT_TRUE(desktop.screen.grabbedAt.empty()) << "the screen is not read again at the press";

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shot.bmp"));
    platform.dialogs.answers = {path};
    f.mnuFileSave->trigger();
    EXPECT_EQ(QImage(path, "BMP").convertToFormat(QImage::Format_RGB32), expected);
    EXPECT_TRUE(platform.boxes.shown.empty());

    // The first screen, at ratio 1, dragged the other way round.
    captureOn(0, {20, 30}, {420, 330});
    EXPECT_EQ(desktop.clipboard.held, screens[0].pixels.copy(20, 30, 400, 300));
}

TEST_F(CaptureOverlayTest, DuringTheDragTheFrameIsOnTheOverlayAndTheOtherScreensAreLeft)
{
    Form20& f = shown();
    f.mnuFileSnap->trigger();
    desktop.screen.answerReading(shotOf(screens));
    SelectionOverlay& first = overlayOf(f, 0);
    // A right press changes nothing.
    mouse(first, QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(f.selection(), nullptr);
    EXPECT_TRUE(f.captureArmed());

    mouse(first, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    const SelectionSession* s = f.selection();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->overlay(), &first) << "the overlay that was pressed shows the selection";
    EXPECT_EQ(f.frozenScreens(), nullptr);
    EXPECT_TRUE(gate.isHeld());
    mouse(first, QEvent::MouseMove, {300, 200}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(s->rect(), (ScreenRect{100, 100, 300, 200}));
    EXPECT_NE(first.image().pixels, screens[0].pixels) << "the frame is drawn";
    // Beyond the overlay's edge the rectangle stops at its screen's edge.
    mouse(first, QEvent::MouseMove, {900, 700}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(s->rect(), (ScreenRect{100, 100, 800, 600}));
    mouse(first, QEvent::MouseButtonRelease, {300, 200}, Qt::LeftButton, Qt::NoButton);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(desktop.clipboard.held, screens[0].pixels.copy(100, 100, 200, 100)) << "without the frame";
}

TEST_F(CaptureOverlayTest, AScreenThatCannotBeReadIsANoticeAndChangesNothing)
{
    struct Case {
        ScreenFailure why;
        const char* says;
    };
    const Case cases[] = {
        {ScreenFailure::NoPortal, "xdg-desktop-portal"},
        {ScreenFailure::Refused, "拒绝"},
        {ScreenFailure::PortalFailed, "错误"},
        {ScreenFailure::NoAnswer, "没有按时回答"},
        {ScreenFailure::PortalGone, "退出"},
        {ScreenFailure::UnreadableFile, "读不出"},
        {ScreenFailure::WrongSize, "大小不符"},
    };
    Form20& f = captureOn(0, {20, 30}, {420, 330});
    const QImage held = desktop.clipboard.held;
    const QImage picture = f.Picture1->picture();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        platform.boxes.shown.clear();
        f.mnuFileSnap->trigger();
        desktop.screen.answerReading(ScreenShot::failed(c.why, QStringLiteral("详情")));
        ASSERT_EQ(platform.boxes.shown.size(), 1u);
        const MessageRequest& m = platform.boxes.shown[0];
        EXPECT_EQ(m.title, QStringLiteral("Zovex提示"));
        EXPECT_EQ(m.icon, MsgIcon::Exclamation);
        EXPECT_TRUE(m.text.startsWith(QStringLiteral("无法读取屏幕，没有抓图。"))) << m.text.toStdString();
        EXPECT_TRUE(m.text.contains(QString::fromUtf8(c.says))) << m.text.toStdString();
        EXPECT_TRUE(m.text.contains(QStringLiteral("（详情）")));
        EXPECT_TRUE(m.text.contains(QStringLiteral("剪裁抓图"))) << "says what to do";
        EXPECT_FALSE(f.captureArmed());
        EXPECT_EQ(f.frozenScreens(), nullptr);
        EXPECT_EQ(desktop.screen.pointer, MousePointer::Default);
        EXPECT_EQ(desktop.clipboard.sets, 1);
        EXPECT_EQ(desktop.clipboard.held, held);
        EXPECT_EQ(f.Picture1->picture(), picture);
        EXPECT_TRUE(f.mnuFileSave->isEnabled());
    }
    // Armed again afterwards, it works.
    captureOn(0, {0, 0}, {10, 10});
    EXPECT_EQ(desktop.clipboard.sets, 2);
}

TEST_F(CaptureOverlayTest, AScreenTheXServerCannotReadIsANoticeAtThePress)
{
    desktop.screen.reach = MouseReach::Everywhere;
    desktop.screen.shown = screens[0];
    for (ScreenFailure why : {ScreenFailure::BlackImage, ScreenFailure::NoScreen}) {
        platform.boxes.shown.clear();
        desktop.screen.grabFailure = why;
        Form20& f = shown();
        f.mnuFileSnap->trigger();
        ASSERT_EQ(desktop.screen.captured, &f);
        mouse(f, QEvent::MouseButtonPress, {200, 200}, Qt::LeftButton, Qt::LeftButton);
        ASSERT_EQ(platform.boxes.shown.size(), 1u);
        EXPECT_TRUE(platform.boxes.shown[0].text.startsWith(QStringLiteral("无法读取屏幕")));
        EXPECT_EQ(f.selection(), nullptr);
        EXPECT_FALSE(f.captureArmed());
        EXPECT_EQ(desktop.screen.captured, nullptr);
        EXPECT_EQ(desktop.screen.pointer, MousePointer::Default);
        EXPECT_FALSE(gate.isHeld());
        EXPECT_EQ(desktop.clipboard.sets, 0);
        EXPECT_TRUE(f.Picture1->picture().isNull());
        EXPECT_FALSE(f.mnuFileSave->isEnabled());
    }
    EXPECT_TRUE(platform.boxes.shown[0].text.contains(QStringLiteral("Xwayland")) ||
                platform.boxes.shown[0].text.contains(QStringLiteral("显示器")));
}

TEST_F(CaptureOverlayTest, LeavingWhileArmedDropsTheReadingAndTheOverlays)
{
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way == 0 ? "退出 while reading" : "close box with the overlays shown");
        Form20& f = shown();
        f.mnuFileSnap->trigger();
        if (way == 1)
            desktop.screen.answerReading(shotOf(screens));
        if (way == 0)
            f.mnuFileExit->trigger();
        else
            f.close();
        flushDeletes();
        EXPECT_FALSE(desktop.screen.readingWaits()) << "the reading is abandoned";
        EXPECT_EQ(desktop.screen.pointer, MousePointer::Default);
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible() && w->windowTitle() == kSelectionOverlayTitle);
    }
    // A late answer finds nobody waiting.
    desktop.screen.answerReading(shotOf(screens));
    EXPECT_TRUE(platform.boxes.shown.empty());
    EXPECT_EQ(desktop.clipboard.sets, 0);
}
