// The capture on a headless sway desktop with the desktop portal (run inside sway_session.sh),
// at output scale 1 and 2, the program started as a Wayland user starts it. Beside Form1 a
// native Wayland window of known colours (foot, magenta with a green line of text); the
// capture window is armed ("剪裁抓图"), the press falls on the native window, not on a window
// of the program, and the drag goes through the compositor's pointer. The captured picture is
// the screen's block as grim reads it, byte for byte: on the clipboard for other programs
// (wl-paste, image/png), in the capture window and in the BMP that "保存图像" writes. With the
// portal stopped, arming gives a "Zovex提示" notice and the clipboard keeps what it held.
#include "sway_desktop.h"
#include "x_session.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace zovex::test;

namespace {

constexpr int kWaitMs = 20000;
constexpr QRgb kCapturePictureBack = qRgb(192, 192, 255);
constexpr QRgb kNativeBack = qRgb(255, 0, 255);
const QString kNativeAppId = QStringLiteral("zovex-native");
const QString kOverlayTitle = QStringLiteral("zovex-selection-overlay");
const QString kNoticeTitle = QStringLiteral("Zovex提示");
const QString kSaveTitle = QStringLiteral("保存");

// As RGB32, alpha byte set, so that equal pixels are equal bytes whatever the source format.
QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

// Where `block` lies in `shot` inside `area` (device pixels); nothing if nowhere.
std::optional<QPoint> find(const QImage& shot, const QImage& block, const QRect& area)
{
    const QRect a = area & shot.rect();
    for (int y = a.top(); y + block.height() <= a.bottom() + 1; ++y)
        for (int x = a.left(); x + block.width() <= a.right() + 1; ++x)
            if (shot.pixel(x, y) == block.pixel(0, 0) && shot.copy(x, y, block.width(), block.height()) == block)
                return QPoint(x, y);
    return std::nullopt;
}

class WaylandCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString session = SwayDesktop::inSession();
        if (!session.isEmpty())
            GTEST_SKIP() << session.toStdString();
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(desk.startPointer().isEmpty());
    }

    // The native window: foot in magenta with a line of green text and no cursor, floating at
    // a known place left of the capture window.
    std::optional<SwayWindow> startNativeWindow()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        native.process->setProcessEnvironment(env);
        native.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        native.process->start(QStringLiteral("foot"),
                              {QStringLiteral("--app-id=") + kNativeAppId,
                               QStringLiteral("--override=colors.background=ff00ff"),
                               QStringLiteral("--override=colors.foreground=00ff00"),
                               QStringLiteral("--font=monospace:size=16"), QStringLiteral("sh"), QStringLiteral("-c"),
                               QStringLiteral("printf '\\033[?25l\\n  ZOVEX 0123456789\\n  native'; exec sleep 600")});
        if (!native.process->waitForStarted(kWaitMs))
            return std::nullopt;
        std::optional<SwayWindow> w;
        within(kWaitMs, [&] {
            for (const SwayWindow& x : desk.windows())
                if (x.appId == kNativeAppId)
                    w = x;
            return w.has_value();
        });
        if (!w)
            return w;
        desk.swaymsg(
            {QStringLiteral("[app_id=\"%1\"] floating enable, resize set 480 240, move absolute position 40 120")
                 .arg(kNativeAppId)});
        within(kWaitMs, [&] {
            for (const SwayWindow& x : desk.windows())
                if (x.appId == kNativeAppId && x.floating && x.rect.width() > 400)
                    w = x;
            return w && w->floating;
        });
        return w;
    }

    QTemporaryDir folder;
    SwayDesktop desk{kWaitMs};
    ProcessGuard native;
};

TEST_F(WaylandCapture, APressOnANativeWindowCapturesTheScreensBlockOnTheClipboardInTheWindowAndInTheFile)
{
    bool portalStopped = false;
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        ASSERT_TRUE(desk.setScale(scale));
        const std::optional<SwayWindow> foot = startNativeWindow();
        ASSERT_TRUE(foot) << "the native window did not appear";

        ProgramOnSway program(desk, kWaitMs);
        const QString started = program.start();
        ASSERT_TRUE(started.isEmpty()) << started.toStdString();
        const std::optional<SwayWindow> form1 = program.pastLogin();
        ASSERT_TRUE(form1) << "Form1 did not appear";
        EXPECT_FALSE(form1->xwayland) << "the program runs on Xwayland";
        std::optional<SwayWindow> capture = program.openCapture();
        ASSERT_TRUE(capture) << "the capture window did not open";
        ASSERT_FALSE(capture->rect.intersects(foot->rect));

        // The drag: from inside the native window's text to a point further in, in logical
        // pixels; the block is the same rectangle in device pixels.
        const QPoint from = foot->rect.topLeft() + QPoint(12, 8);
        const QPoint to = from + QPoint(230, 90);
        const QRect block(from * scale, to * scale - QPoint(1, 1));
        QImage screen;
        ASSERT_TRUE(within(kWaitMs, [&] {
            screen = desk.screenshot();
            return showsColour(screen, (foot->rect.center()) * scale, kNativeBack);
        })) << "the native window is not shown";
        const QImage want = rgb(screen.copy(block));
        ASSERT_GT(want.size().width(), 0);

        ASSERT_TRUE(program.chooseFileMenuItem(0, scale, kCapturePictureBack)) << "the menu did not open";
        // Armed: the screen, read through the portal, is shown in an overlay over everything.
        EXPECT_TRUE(desk.waitForWindow(kOverlayTitle)) << "no overlay after arming";
        ASSERT_TRUE(desk.drag(from, to));
        EXPECT_TRUE(desk.waitUntilGone(kOverlayTitle));

        QImage pasted;
        EXPECT_TRUE(within(kWaitMs,
                           [&] {
                               pasted = rgb(QImage::fromData(desk.paste(QStringLiteral("image/png")), "PNG"));
                               return pasted == want;
                           }))
            << "the clipboard holds " << pasted.width() << "x" << pasted.height() << ", the block is " << want.width()
            << "x" << want.height();
        const QByteArray pastedPng = desk.paste(QStringLiteral("image/png"));

        // The window shows the picture at its natural size from the picture box's top-left.
        capture = desk.window(ProgramOnSway::kCapture);
        ASSERT_TRUE(capture);
        const QRect shown(capture->rect.topLeft() * scale, capture->rect.size() * scale);
        EXPECT_TRUE(within(kWaitMs, [&] { return find(desk.screenshot(), want, shown).has_value(); }))
            << "the capture window does not show the block";

        // "保存图像" writes it as a BMP, under the name typed into the save dialog.
        const QString file = QDir(folder.path()).filePath(QStringLiteral("capture-%1.bmp").arg(scale));
        ASSERT_TRUE(program.chooseFileMenuItem(1, scale, kCapturePictureBack));
        ASSERT_TRUE(desk.waitForWindow(kSaveTitle)) << "no save dialog";
        // wtype hands the compositor a keymap of its own first: a pause before the first key,
        // or the program may read that key with the keymap it had. A key can still be lost on a
        // loaded machine, so the name is typed again over the whole field until the dialog
        // takes it; Enter twice where the first one only took the name completer's choice.
        bool saveClosed = false;
        for (int attempt = 0; attempt < 4 && !saveClosed; ++attempt) {
            desk.run(QStringLiteral("wtype"), {QStringLiteral("-M"), QStringLiteral("ctrl"), QStringLiteral("a"),
                                               QStringLiteral("-m"), QStringLiteral("ctrl")});
            ASSERT_EQ(desk.run(QStringLiteral("wtype"), {QStringLiteral("-s"), QStringLiteral("300"), file}).exitCode,
                      0);
            for (int enter = 0; enter < 2 && !saveClosed; ++enter) {
                desk.key(QStringLiteral("Return"));
                saveClosed = within(2000, [&] { return !desk.window(kSaveTitle); });
            }
        }
        EXPECT_TRUE(saveClosed) << "the save dialog stays";
        QImage saved;
        EXPECT_TRUE(within(kWaitMs, [&] { return (saved = rgb(QImage(file, "BMP"))) == want; }))
            << file.toStdString() << (QFile::exists(file) ? " holds " : " is missing, ") << saved.width() << "x"
            << saved.height() << ", the block is " << want.width() << "x" << want.height();

        if (scale == 2) {
            // Without the portal the screen cannot be read: a notice, and the clipboard keeps
            // the last capture.
            const QString stopped = desk.stopPortal();
            ASSERT_TRUE(stopped.isEmpty()) << stopped.toStdString();
            portalStopped = true;
            ASSERT_TRUE(program.chooseFileMenuItem(0, scale, kCapturePictureBack));
            const std::optional<SwayWindow> notice = desk.waitForWindow(kNoticeTitle);
            EXPECT_TRUE(notice) << "no notice when the screen cannot be read";
            EXPECT_FALSE(desk.window(kOverlayTitle));
            EXPECT_EQ(desk.paste(QStringLiteral("image/png")), pastedPng);
            EXPECT_TRUE(notice && desk.close(*notice) && desk.waitUntilGone(kNoticeTitle));
        }

        const std::optional<SwayWindow> last = desk.window(ProgramOnSway::kCapture);
        EXPECT_TRUE(last && desk.close(*last) && desk.waitUntilGone(ProgramOnSway::kCapture));
        EXPECT_TRUE(program.closeAndEnd());
        native.process->terminate();
        native.process->waitForFinished(kWaitMs);
    }
    EXPECT_TRUE(portalStopped);
}

} // namespace
