// The capture window on a real X server (Xvfb, started here on a display number the server
// picks itself): a known picture on the screen, "剪裁抓图" chosen in the real menu, a drag by
// xdotool from bottom-right to top-left, then the clipboard read by xclip from another
// process and compared pixel for pixel with the same block of a screenshot taken before the
// drag; the picture saved through the menu and the BMP compared; a drag of zero size leaves
// the clipboard as it was. Everything started here is stopped at the end.
#include "capture_e2e_pattern.h"
#include "line_host.h"
#include "x_session.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace zovex;

namespace {

constexpr int kWaitMs = 20000;

// Asks until the condition holds.
bool eventually(const std::function<bool()>& condition) { return test::eventually(condition, kWaitMs); }
using test::pointIn;

QImage rgb32(const QImage& img) { return img.convertToFormat(QImage::Format_RGB32); }

// Pixel for pixel, whatever colour space or format the reader attached.
bool samePixels(const QImage& a, const QImage& b)
{
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return false;
    const QImage x = rgb32(a);
    const QImage y = rgb32(b);
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col)
            if ((x.pixel(col, row) & 0xFFFFFFu) != (y.pixel(col, row) & 0xFFFFFFu))
                return false;
    return true;
}

// The screen the capture runs on: its size in device pixels and how its ratio is set.
struct CaptureScreen {
    const char* xvfbScreen;
    double ratio;
    bool xftDpi192;           // "Xft.dpi: 192" in the screen's resources
    const char* scaleFactors; // QT_SCREEN_SCALE_FACTORS
};

// Where a logical screen position of the host's lies in device pixels (one screen, at 0, 0).
QPoint device(QPoint logical, double ratio) { return {qRound(logical.x() * ratio), qRound(logical.y() * ratio)}; }

void dragCapture(const CaptureScreen& screen)
{
    QTemporaryDir outDir;
    ASSERT_TRUE(outDir.isValid());
    const double r = screen.ratio;

    test::XSession x(QString::fromLatin1(screen.xvfbScreen), kWaitMs, {QStringLiteral("-noreset")});
    const QString started = x.start();
    ASSERT_TRUE(started.isEmpty()) << started.toStdString();
    if (screen.xftDpi192) {
        ASSERT_TRUE(x.setResources(QStringLiteral("Xft.dpi:\t192\n")));
    }
    if (screen.scaleFactors)
        x.setEnvironment(QStringLiteral("QT_SCREEN_SCALE_FACTORS"), QString::fromLatin1(screen.scaleFactors));

    test::LineHost host(kWaitMs);
    ASSERT_TRUE(host.start(x, QStringLiteral(ZOVEX_CAPTURE_HOST))) << "the capture host did not start";
    ASSERT_TRUE(eventually([&] { return host.ask("exposed") == "exposed 1"; }));

    auto xdotool = [&](const QStringList& args) { return x.xdotool(args).exitCode; };
    auto clipboard = [&](const QString& target) {
        return x
            .run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                           QStringLiteral("-t"), target, QStringLiteral("-o")})
            .out;
    };
    auto click = [&](QPoint p) {
        return xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
                        QStringLiteral("click"), QStringLiteral("1")});
    };
    // Opens "文件" and chooses one of its items, as a person would.
    auto choose = [&](const QByteArray& item) {
        const QPoint menu = device(pointIn(host.ask("menu")), r);
        if (click(menu) != 0)
            return false;
        QByteArray where;
        if (!eventually([&] { return (where = host.ask("item " + item)) != "item none"; }))
            return false;
        return click(device(pointIn(where), r)) == 0;
    };

    // The known picture is on the screen: pixel for pixel on an ordinary screen, each pixel a
    // block of r x r device pixels at a whole ratio; at a fractional one, once it stands still.
    const QImage pattern = test::capturePattern();
    const QPoint patternEnd =
        device(test::kPatternAt + QPoint(test::kPatternSize.width(), test::kPatternSize.height()), r);
    const QRect patternOnScreen(device(test::kPatternAt, r), patternEnd - QPoint(1, 1));
    const bool wholeRatio = r == std::floor(r);
    const QImage patternShown = wholeRatio ? pattern.scaled(patternOnScreen.size()) : QImage();
    QImage last;
    auto patternIsShown = [&](const QImage& shot) {
        if (wholeRatio)
            return samePixels(shot.copy(patternOnScreen), patternShown);
        const QImage now = shot.copy(patternOnScreen);
        const bool still = samePixels(now, last) && now.pixel(now.width() / 2, now.height() / 2) != qRgb(0, 0, 0);
        last = now;
        return still;
    };
    QImage before;
    ASSERT_TRUE(eventually([&] {
        before = x.screenshot();
        return patternIsShown(before);
    })) << "the known picture never showed";

    // Arm through the menu.
    ASSERT_TRUE(choose("snap"));
    ASSERT_TRUE(eventually([&] { return host.state(QStringLiteral("armed")) == QLatin1String("1"); }));
    EXPECT_EQ(host.state(QStringLiteral("pointer")), QStringLiteral("2"));
    EXPECT_EQ(host.state(QStringLiteral("grabber")), QStringLiteral("1"));
    const QImage shownBefore = before.copy(patternOnScreen);
    before = x.screenshot();
    ASSERT_TRUE(samePixels(before.copy(patternOnScreen), shownBefore));

    // Press at the bottom-right corner over the picture (another window than the capture
    // window), drag to the top-left; xdotool moves in device pixels, and so does the selection.
    const QPoint from = device({460, 380}, r);
    const QPoint to = device({120, 110}, r);
    const QRect expectedRect(to.x(), to.y(), from.x() - to.x(), from.y() - to.y());
    ASSERT_EQ(xdotool({QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                       QStringLiteral("mousedown"), QStringLiteral("1")}),
              0);
    ASSERT_TRUE(eventually([&] { return host.state(QStringLiteral("selecting")) == QLatin1String("1"); }));
    EXPECT_EQ(host.state(QStringLiteral("overlay")), QStringLiteral("1"));
    EXPECT_EQ(host.state(QStringLiteral("held")), QStringLiteral("1"));
    const QPoint between = device({300, 250}, r);
    ASSERT_EQ(xdotool({QStringLiteral("mousemove"), QString::number(between.x()), QString::number(between.y()),
                       QStringLiteral("mousemove"), QString::number(to.x()), QString::number(to.y())}),
              0);
    const QString rectText = QStringLiteral("%1,%2,%3,%4").arg(to.x()).arg(to.y()).arg(from.x()).arg(from.y());
    ASSERT_TRUE(eventually([&] { return host.state(QStringLiteral("rect")) == rectText; }));

    // The inverted frame is on the screen while dragging: strips inverted, corners not.
    auto inverted = [&](const QImage& now, QPoint p) { return now.pixel(p) == (before.pixel(p) ^ 0x00FFFFFFu); };
    QImage during;
    EXPECT_TRUE(eventually([&] {
        during = x.screenshot();
        return !during.isNull() && inverted(during, {to.x() + 5, to.y()}) &&
               inverted(during, {from.x() - 1, to.y() + 5});
    })) << "no frame on the screen during the drag";
    if (!during.isNull()) {
        EXPECT_EQ(during.pixel(to), before.pixel(to));
        EXPECT_EQ(during.pixel(from - QPoint(1, 1)), before.pixel(from - QPoint(1, 1)));
        EXPECT_EQ(during.pixel(to - QPoint(1, 0)), before.pixel(to - QPoint(1, 0)));
        EXPECT_FALSE(samePixels(during.copy(expectedRect.adjusted(1, 1, -1, -1)),
                                before.copy(expectedRect.adjusted(1, 1, -1, -1))))
            << "the label shows inside the frame";
    }

    ASSERT_EQ(xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}), 0);
    ASSERT_TRUE(eventually([&] { return host.state(QStringLiteral("pointer")) == QLatin1String("0"); }));
    EXPECT_EQ(host.state(QStringLiteral("save")), QStringLiteral("1"));
    EXPECT_EQ(host.state(QStringLiteral("held")), QStringLiteral("0"));
    EXPECT_EQ(host.state(QStringLiteral("grabber")), QStringLiteral("0"));
    EXPECT_EQ(host.state(QStringLiteral("picture")),
              QStringLiteral("%1x%2").arg(expectedRect.width()).arg(expectedRect.height()));
    EXPECT_TRUE(eventually([&] {
        return samePixels(x.screenshot().copy(patternOnScreen), before.copy(patternOnScreen));
    })) << "the overlay is gone, the picture on the screen as it was";

    // Another program reads the block from the clipboard, as PNG and as BMP.
    const QByteArray targets = clipboard(QStringLiteral("TARGETS"));
    EXPECT_TRUE(targets.contains("image/png")) << targets.toStdString();
    EXPECT_TRUE(targets.contains("image/bmp")) << targets.toStdString();
    const QImage expected = before.copy(expectedRect);
    const QImage pasted = rgb32(QImage::fromData(clipboard(QStringLiteral("image/png")), "PNG"));
    ASSERT_EQ(pasted.size(), expectedRect.size());
    EXPECT_TRUE(samePixels(pasted, expected));
    if (r == 1.0) {
        EXPECT_TRUE(samePixels(pasted, pattern.copy(expectedRect.translated(-test::kPatternAt))));
    }
    EXPECT_TRUE(samePixels(QImage::fromData(clipboard(QStringLiteral("image/bmp")), "BMP"), expected));

    // "保存图像" through the menu; the dialog's answer is scripted.
    const QString path = outDir.filePath(QStringLiteral("capture.bmp"));
    ASSERT_EQ(host.ask("dialog " + path.toUtf8()), "dialog queued");
    ASSERT_TRUE(choose("save"));
    ASSERT_TRUE(eventually([&] { return QFile::exists(path); }));
    host.ask("state"); // the write is done once the host answers again
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.read(2), QByteArray("BM"));
    }
    EXPECT_TRUE(samePixels(QImage(path, "BMP"), expected));
    EXPECT_EQ(qRound(QImage(path, "BMP").dotsPerMeterX() * 0.0254), qRound(96 * r))
        << "the file records its resolution";

    // A click while armed (zero width and height) captures nothing. It lands on the bare
    // desktop, outside every window of the program: the mouse capture brings it to Form20.
    ASSERT_TRUE(choose("snap"));
    ASSERT_TRUE(eventually([&] { return host.state(QStringLiteral("armed")) == QLatin1String("1"); }));
    const QPoint bare = device({900, 700}, r);
    ASSERT_EQ(
        xdotool({QStringLiteral("mousemove"), QString::number(bare.x()), QString::number(bare.y()),
                 QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mouseup"), QStringLiteral("1")}),
        0);
    ASSERT_TRUE(eventually([&] {
        return host.state(QStringLiteral("armed")) == QLatin1String("0") &&
               host.state(QStringLiteral("selecting")) == QLatin1String("0") &&
               host.state(QStringLiteral("pointer")) == QLatin1String("0");
    }));
    EXPECT_TRUE(samePixels(QImage::fromData(clipboard(QStringLiteral("image/png")), "PNG"), expected));
    EXPECT_EQ(host.state(QStringLiteral("picture")),
              QStringLiteral("%1x%2").arg(expectedRect.width()).arg(expectedRect.height()));
    EXPECT_EQ(host.state(QStringLiteral("save")), QStringLiteral("1"));

    EXPECT_EQ(host.ask("quit"), "bye");
    EXPECT_TRUE(host.process().waitForFinished(kWaitMs));
}

} // namespace

TEST(CaptureEndToEnd, DraggedBlockReachesTheClipboardTheWindowAndTheFile)
{
    dragCapture({"1024x768x24", 1.0, false, nullptr});
}

TEST(CaptureEndToEnd, OnAScreenOfXftDpi192TheDraggedDeviceBlockIsCaptured)
{
    dragCapture({"2048x1536x24", 2.0, true, nullptr});
}

TEST(CaptureEndToEnd, WithScreenScaleFactorsOneAndAHalfTheDraggedDeviceBlockIsCaptured)
{
    dragCapture({"1536x1152x24", 1.5, false, "1.5"});
}
