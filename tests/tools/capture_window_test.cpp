#include "capture_window.h"
#include "tick_gate.h"
#include "window_test.h"
#include "app_windows.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <random>

using namespace zovex;

namespace {

class KeyProbe final : public QWidget {
public:
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
};

ScreenImage noiseScreen(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 gen(11);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, 0xFF000000u | (gen() & 0xFFFFFFu));
    return {img, QPoint(0, 0)};
}

class Form20Test : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        test::registerForm1StandIn(registry);
        registerCaptureWindow(services);
        desktop.screen.shown = noiseScreen(800, 600);
    }

    bool loaded() const { return registry.isLoaded(WindowKind::Form20); }
    Form20& form() { return registry.as<CaptureForm>(WindowKind::Form20).window(); }
    Form20& shown()
    {
        registry.form(WindowKind::Form20).Show();
        return form();
    }

    static void mouse(QWidget& to, QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, QPointF(to.mapFromGlobal(global)), QPointF(global), button, held, Qt::NoModifier);
        QApplication::sendEvent(&to, &e);
    }
    // A left-button drag as the desktop delivers it to the capturing window, then the posted
    // release handled.
    static void drag(Form20& f, QPoint from, std::initializer_list<QPoint> path)
    {
        mouse(f, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        QPoint last = from;
        for (QPoint p : path) {
            mouse(f, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
            last = p;
        }
        mouse(f, QEvent::MouseButtonRelease, last, Qt::LeftButton, Qt::NoButton);
        QCoreApplication::sendPostedEvents();
    }
    QImage block(const QRect& r) const { return desktop.screen.shown.pixels.copy(r); }

    // Arms and drags from (400, 300) to (150, 120): the block 150..399 x 120..299.
    Form20& captureOnce()
    {
        Form20& f = shown();
        f.mnuFileSnap->trigger();
        drag(f, {400, 300}, {{300, 200}, {150, 120}});
        return f;
    }
};

} // namespace

TEST_F(Form20Test, LoadsWithItsMenuPictureAndDialog)
{
    Form20& f = form();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Zovex剪裁抓图"));
    EXPECT_EQ(f.mnuFile->title(), QStringLiteral("文件"));
    const QList<QAction*> items = f.mnuFile->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0], f.mnuFileSnap);
    EXPECT_EQ(items[0]->text(), QStringLiteral("剪裁抓图"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("保存图像"));
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), QStringLiteral("退出"));
    EXPECT_TRUE(f.mnuFileSnap->isEnabled());
    EXPECT_FALSE(f.mnuFileSave->isEnabled());
    EXPECT_FALSE(f.captureArmed());

    EXPECT_EQ(f.Picture1->geometry(), QRect(0, 0, 443, 324));
    EXPECT_EQ(f.Picture1->parentWidget(), &f.client());
    EXPECT_EQ(f.Picture1->BackColor(), RGB(192, 192, 255));
    EXPECT_TRUE(f.Picture1->picture().isNull());
    EXPECT_TRUE(f.CommonDialog1.CancelError);

    // Sized once: a larger window leaves the box where it was.
    f.show();
    f.resize(900, 700);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(f.Picture1->geometry(), QRect(0, 0, 443, 324));
}

TEST_F(Form20Test, ArmingSetsTheCrosshairAndCapturesTheMouseOnce)
{
    Form20& f = shown();
    f.mnuFileSnap->trigger();
    EXPECT_TRUE(f.captureArmed());
    EXPECT_EQ(desktop.screen.pointer, MousePointer::Crosshair);
    EXPECT_EQ(desktop.screen.captured, &f);

    f.mnuFileSnap->trigger(); // arming twice changes nothing
    EXPECT_TRUE(f.captureArmed());
    EXPECT_EQ(desktop.screen.pointerChanges.size(), 1u);
    EXPECT_EQ(desktop.screen.captures, 1);
}

TEST_F(Form20Test, PressesThatDoNotStartASelection)
{
    struct Case {
        const char* what;
        bool arm;
        MousePointer pointerAtPress;
        Qt::MouseButton button;
        bool staysArmed;
    };
    const Case cases[] = {
        {"right press while armed", true, MousePointer::Crosshair, Qt::RightButton, true},
        {"middle press while armed", true, MousePointer::Crosshair, Qt::MiddleButton, true},
        {"left press, not armed", false, MousePointer::Default, Qt::LeftButton, false},
        {"left press, armed but the pointer was changed", true, MousePointer::Default, Qt::LeftButton, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Form20& f = shown();
        if (c.arm)
            f.mnuFileSnap->trigger();
        desktop.screen.pointer = c.pointerAtPress;
        mouse(f, QEvent::MouseButtonPress, {300, 200}, c.button, c.button);
        mouse(f, QEvent::MouseButtonRelease, {300, 200}, c.button, Qt::NoButton);
        EXPECT_EQ(f.captureArmed(), c.staysArmed);
        EXPECT_EQ(f.selection(), nullptr);
        EXPECT_TRUE(desktop.screen.grabbedAt.empty());
        EXPECT_EQ(desktop.clipboard.sets, 0);
        EXPECT_FALSE(gate.isHeld());
        registry.form(WindowKind::Form20).Unload();
        desktop.screen.pointer = MousePointer::Default;
    }
}

TEST_F(Form20Test, RightPressWhileArmedThenLeftPressStartsTheSelection)
{
    Form20& f = shown();
    f.mnuFileSnap->trigger();
    mouse(f, QEvent::MouseButtonPress, {300, 200}, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(desktop.screen.captured, &f);
    EXPECT_EQ(desktop.screen.pointer, MousePointer::Crosshair);
    mouse(f, QEvent::MouseButtonPress, {300, 200}, Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
    ASSERT_NE(f.selection(), nullptr);
    EXPECT_TRUE(f.selection()->isActive());
    EXPECT_FALSE(f.captureArmed());
}

TEST_F(Form20Test, ThePressPointIsRoundedToTheEvenNeighbourInClientPixels)
{
    struct Case {
        QPointF client;
        QPoint rounded;
    };
    const Case cases[] = {
        {{10.5, 11.5}, {10, 12}}, {{7.5, 0.5}, {8, 0}}, {{3.4, 3.6}, {3, 4}}, {{-2.5, -1.5}, {-2, -2}}};
    for (const Case& c : cases) {
        Form20& f = shown();
        f.mnuFileSnap->trigger();
        desktop.screen.grabbedAt.clear();
        f.Form_MouseDown(Qt::LeftButton, Qt::NoModifier, c.client);
        ASSERT_NE(f.selection(), nullptr);
        const QPoint anchor = f.client().mapToGlobal(c.rounded);
        EXPECT_EQ(f.selection()->rect(), (ScreenRect{anchor.x(), anchor.y(), anchor.x(), anchor.y()}));
        ASSERT_EQ(desktop.screen.grabbedAt.size(), 1u);
        EXPECT_EQ(desktop.screen.grabbedAt[0], anchor);
        registry.form(WindowKind::Form20).Unload();
    }
}

TEST_F(Form20Test, WhileDraggingTheFrameFollowsTheMouseTicksAreHeldAndKeysIgnored)
{
    Form20& f = shown();
    KeyProbe probe;
    probe.show();
    f.mnuFileSnap->trigger();
    mouse(f, QEvent::MouseButtonPress, {400, 300}, Qt::LeftButton, Qt::LeftButton);
    const SelectionSession* s = f.selection();
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(gate.isHeld());
    ASSERT_NE(s->overlay(), nullptr);
    EXPECT_TRUE(s->overlay()->isVisible());
    EXPECT_EQ(s->overlay()->geometry(), QRect(0, 0, 800, 600));
    EXPECT_TRUE(s->overlay()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(s->overlay()->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(s->screenImage().pixels, desktop.screen.shown.pixels) << "nothing shown before the mouse moves";

    mouse(f, QEvent::MouseMove, {150, 120}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(s->rect(), (ScreenRect{150, 120, 400, 300}));
    EXPECT_NE(s->screenImage().pixels, desktop.screen.shown.pixels) << "the frame is on the screen";
    // Moves reach the selection whichever window they are delivered to.
    mouse(const_cast<SelectionOverlay&>(*s->overlay()), QEvent::MouseMove, {160, 130}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(s->rect(), (ScreenRect{160, 130, 400, 300}));

    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&probe, &key);
    EXPECT_EQ(probe.keys, 0);
    EXPECT_TRUE(s->isActive()) << "the keyboard cannot end the selection";

    mouse(f, QEvent::MouseButtonRelease, {160, 130}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(s->isActive());
    EXPECT_FALSE(gate.isHeld());
    EXPECT_FALSE(s->overlay()->isVisible());
    EXPECT_EQ(desktop.screen.captured, nullptr);
    EXPECT_EQ(desktop.screen.pointer, MousePointer::Crosshair) << "until the posted release arrives";
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(desktop.screen.pointer, MousePointer::Default);

    QApplication::sendEvent(&probe, &key);
    EXPECT_EQ(probe.keys, 1);
}

TEST_F(Form20Test, NoShortcutFiresDuringASelection)
{
    KeyProbe other;
    int fired = 0;
    auto* save = new QAction(&other);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    other.addAction(save);
    QObject::connect(save, &QAction::triggered, [&] { ++fired; });
    other.show();
    QApplication::setActiveWindow(&other);
    other.setFocus();
    QTest::keyClick(&other, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(fired, 1) << "the shortcut works outside a selection";

    Form20& f = shown();
    f.mnuFileSnap->trigger();
    mouse(f, QEvent::MouseButtonPress, {400, 300}, Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(f.selection() && f.selection()->isActive());
    QApplication::setActiveWindow(&other);
    const int keysBefore = other.keys;
    QTest::keyClick(&other, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&other, Qt::Key_A);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(other.keys, keysBefore);
    mouse(f, QEvent::MouseButtonRelease, {400, 300}, Qt::LeftButton, Qt::NoButton);
    QCoreApplication::sendPostedEvents();
    QApplication::setActiveWindow(&other);
    QTest::keyClick(&other, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(fired, 2);
}

TEST_F(Form20Test, ACaptureGoesToTheClipboardAndThePictureWithoutTheFrame)
{
    Form20& f = captureOnce();
    const QImage expected = block({150, 120, 250, 180});
    EXPECT_EQ(desktop.clipboard.sets, 1);
    EXPECT_EQ(desktop.clipboard.held, expected);
    EXPECT_EQ(f.Picture1->picture(), expected);
    EXPECT_TRUE(f.mnuFileSave->isEnabled());
    EXPECT_FALSE(f.captureArmed());
    EXPECT_EQ(desktop.screen.pointer, MousePointer::Default);
    EXPECT_EQ(desktop.screen.captured, nullptr);

    // The same drag the other way round gives the same picture.
    f.mnuFileSnap->trigger();
    drag(f, {150, 120}, {{400, 300}});
    EXPECT_EQ(desktop.clipboard.sets, 2);
    EXPECT_EQ(desktop.clipboard.held, expected);
}

TEST_F(Form20Test, OnAHiDpiScreenTheSelectionAndTheBlockAreDevicePixels)
{
    // A screen of ratio 2: 1600 x 1200 device pixels shown as 800 x 600 logical ones.
    ScreenImage screen = noiseScreen(1600, 1200);
    screen.ratio = 2.0;
    desktop.screen.shown = screen;
    Form20& f = shown();
    f.mnuFileSnap->trigger();
    mouse(f, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    const SelectionSession* s = f.selection();
    ASSERT_NE(s, nullptr);
    ASSERT_NE(s->overlay(), nullptr);
    EXPECT_EQ(s->overlay()->geometry(), QRect(0, 0, 800, 600)); // the screen, shown 1:1
    mouse(f, QEvent::MouseMove, {500, 400}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(s->rect(), (ScreenRect{200, 200, 1000, 800}));
    // The frame is inverted on the device pixels: the top strip's second pixel is inverted.
    EXPECT_EQ(s->screenImage().pixels.pixel(201, 200) & 0xFFFFFF, ~screen.pixels.pixel(201, 200) & 0xFFFFFF);
    // Beyond the screen's edge the rectangle stops at the edge: a selection stays on its screen.
    mouse(f, QEvent::MouseMove, {950, 700}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(s->rect(), (ScreenRect{200, 200, 1600, 1200}));
    mouse(f, QEvent::MouseMove, {500, 400}, Qt::NoButton, Qt::LeftButton);
    mouse(f, QEvent::MouseButtonRelease, {500, 400}, Qt::LeftButton, Qt::NoButton);
    QCoreApplication::sendPostedEvents();

    const QImage expected = screen.pixels.copy(200, 200, 800, 600);
    EXPECT_EQ(desktop.clipboard.held, expected);
    EXPECT_EQ(f.Picture1->picture(), expected);
    EXPECT_EQ(qRound(f.Picture1->picture().dotsPerMeterX() * 0.0254), 192);
    // Shown at its density, two picture pixels to a logical pixel: every device pixel of the block.
    EXPECT_EQ(f.Picture1->canvas().scale(), 2.0);
    EXPECT_EQ(f.Picture1->canvas().persistentImage().copy(0, 0, 800, 600), expected);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shot.bmp"));
    platform.dialogs.answers = {path};
    f.mnuFileSave->trigger();
    const QImage saved(path, "BMP");
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), expected);
    EXPECT_EQ(qRound(saved.dotsPerMeterX() * 0.0254), 192);
}

TEST_F(Form20Test, AZeroSizeSelectionCapturesNothing)
{
    struct Case {
        const char* what;
        QPoint from;
        std::vector<QPoint> path;
    };
    const Case cases[] = {
        {"a click", {300, 200}, {}},
        {"a purely horizontal drag", {300, 200}, {{350, 200}, {100, 200}}},
        {"a purely vertical drag", {300, 200}, {{300, 50}}},
        {"moved away and back", {300, 200}, {{350, 260}, {300, 200}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (bool afterACapture : {false, true}) {
            Form20& f = afterACapture ? captureOnce() : shown();
            const QImage clipboardBefore = desktop.clipboard.held;
            const int setsBefore = desktop.clipboard.sets;
            const QImage pictureBefore = f.Picture1->picture();
            f.mnuFileSnap->trigger();
            mouse(f, QEvent::MouseButtonPress, c.from, Qt::LeftButton, Qt::LeftButton);
            QPoint last = c.from;
            for (QPoint p : c.path) {
                mouse(f, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
                last = p;
            }
            mouse(f, QEvent::MouseButtonRelease, last, Qt::LeftButton, Qt::NoButton);
            QCoreApplication::sendPostedEvents();
            EXPECT_EQ(desktop.clipboard.sets, setsBefore);
            EXPECT_EQ(desktop.clipboard.held, clipboardBefore);
            EXPECT_EQ(f.Picture1->picture(), pictureBefore);
            EXPECT_EQ(f.mnuFileSave->isEnabled(), afterACapture);
            EXPECT_EQ(desktop.screen.pointer, MousePointer::Default);
            EXPECT_FALSE(gate.isHeld());
            registry.form(WindowKind::Form20).Unload();
            desktop.clipboard = test::FakeClipboard();
        }
    }
}

TEST_F(Form20Test, SaveAsksTheDialogAndCancelStops)
{
    Form20& f = captureOnce();
    platform.dialogs.answers = {test::kCancel};
    f.mnuFileSave->trigger();
    ASSERT_EQ(platform.dialogs.requests.size(), 1u);
    const DialogRequest& r = platform.dialogs.requests[0];
    EXPECT_EQ(r.mode, DialogMode::Save);
    EXPECT_EQ(r.title, QStringLiteral("保存"));
    EXPECT_EQ(r.flags, kOverwritePrompt | kHideReadOnly);
    EXPECT_EQ(r.filters, QStringList{QStringLiteral("位图文件(*.bmp)")});
    EXPECT_TRUE(r.initDir.isEmpty());
    EXPECT_TRUE(platform.boxes.shown.empty());
    EXPECT_TRUE(f.CommonDialog1.FileName.isEmpty());
}

TEST_F(Form20Test, SaveWritesTheWholePictureAsABmpUnderExactlyTheChosenName)
{
    QTemporaryDir dir;
    Form20& f = shown();
    f.mnuFileSnap->trigger();
    drag(f, {700, 550}, {{20, 30}}); // larger than the box: only part of it is seen
    const QImage expected = block({20, 30, 680, 520});
    ASSERT_EQ(f.Picture1->picture(), expected);

    for (const QString& name : {QStringLiteral("shot"), QStringLiteral("shot.jpg"), QStringLiteral("图像.bmp")}) {
        const QString path = dir.filePath(name);
        platform.dialogs.answers = {path};
        f.mnuFileSave->trigger();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(file.read(2), QByteArray("BM"));
        file.close();
        EXPECT_EQ(QImage(path, "BMP").convertToFormat(QImage::Format_RGB32), expected);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    // The dialog offers the last name again; saving onto it asks nothing of the window's own.
    platform.dialogs.answers = {dir.filePath(QStringLiteral("shot"))};
    f.mnuFileSave->trigger();
    EXPECT_EQ(platform.dialogs.requests.back().fileName, dir.filePath(QStringLiteral("图像.bmp")));
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(Form20Test, AFailedSaveSaysSoAndLeavesTheOldFile)
{
    QTemporaryDir dir;
    Form20& f = captureOnce();
    const QString missing = dir.filePath(QStringLiteral("no-such-folder/shot.bmp"));
    platform.dialogs.answers = {missing};
    f.mnuFileSave->trigger();
    ASSERT_EQ(platform.boxes.shown.size(), 1u);
    const MessageRequest& m = platform.boxes.shown[0];
    EXPECT_EQ(m.title, QStringLiteral("Zovex提示"));
    EXPECT_EQ(m.icon, MsgIcon::Exclamation);
    EXPECT_TRUE(m.text.contains(missing));
    EXPECT_TRUE(f.mnuFileSave->isEnabled());

    // A folder in the way of the name: the notice, and the folder is untouched.
    const QString folder = dir.filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir().mkdir(folder));
    platform.dialogs.answers = {folder};
    f.mnuFileSave->trigger();
    ASSERT_EQ(platform.boxes.shown.size(), 2u);
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST_F(Form20Test, ExitHidesAndShowsForm1KeepingThePictureAndMenuState)
{
    Form20& f = captureOnce();
    QTemporaryDir dir;
    platform.dialogs.answers = {dir.filePath(QStringLiteral("a.bmp"))};
    f.mnuFileSave->trigger();
    const QImage picture = f.Picture1->picture();

    f.mnuFileExit->trigger();
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(loaded());
    EXPECT_TRUE(registry.form(WindowKind::Form1).widget().isVisible());

    Form20& again = shown();
    EXPECT_EQ(&again, &f);
    EXPECT_EQ(again.Picture1->picture(), picture);
    EXPECT_TRUE(again.mnuFileSave->isEnabled());
    EXPECT_EQ(again.CommonDialog1.FileName, dir.filePath(QStringLiteral("a.bmp")));
}

TEST_F(Form20Test, LeavingWhileArmedGivesThePointerBack)
{
    for (int way = 0; way < 2; ++way) {
        Form20& f = shown();
        f.mnuFileSnap->trigger();
        if (way == 0)
            f.mnuFileExit->trigger();
        else
            f.close();
        EXPECT_EQ(desktop.screen.pointer, MousePointer::Default) << way;
        EXPECT_EQ(desktop.screen.captured, nullptr) << way;
        if (way == 0) {
            EXPECT_FALSE(shown().captureArmed());
        }
    }
}

TEST_F(Form20Test, ClosingUnloadsItButLeavesForm1Alone)
{
    Form& form1 = registry.form(WindowKind::Form1);
    form1.Show();
    QWidget* form1Widget = &form1.widget();

    Form20& f = captureOnce();
    f.close();
    EXPECT_FALSE(loaded());
    EXPECT_TRUE(registry.isLoaded(WindowKind::Form1));
    EXPECT_EQ(&registry.form(WindowKind::Form1), &form1);
    EXPECT_EQ(&form1.widget(), form1Widget);
    EXPECT_TRUE(form1Widget->isVisible());

    Form20& fresh = shown();
    EXPECT_FALSE(fresh.mnuFileSave->isEnabled());
    EXPECT_TRUE(fresh.Picture1->picture().isNull());
}

TEST_F(Form20Test, ClosingDuringASelectionLetsEverythingGo)
{
    Form20& f = shown();
    f.mnuFileSnap->trigger();
    mouse(f, QEvent::MouseButtonPress, {400, 300}, Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(gate.isHeld());
    registry.form(WindowKind::Form20).Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(gate.isHeld());
    EXPECT_EQ(desktop.screen.pointer, MousePointer::Default);
    EXPECT_EQ(desktop.screen.captured, nullptr);
    KeyProbe probe;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QApplication::sendEvent(&probe, &key);
    EXPECT_EQ(probe.keys, 1);
}
