// The zoom window on a real X server (Xvfb, started here): opened by the wallpaper window's
// "缩放" and owned by it, a picture loaded and shown at its own size at (2, 2), forty "放大"
// with the window answering after each and its memory staying put, "缩小" until the notice,
// and the close box (sent as a window manager sends it) bringing the wallpaper window back.
// Every click is xdotool's, as a person's would be; the screen is read back with import.
#include "line_host.h"
#include "x_session.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>

using namespace zovex;

namespace {

constexpr int kWaitMs = 20000;
const QRgb kLeft = qRgb(200, 40, 40);
const QRgb kRight = qRgb(40, 40, 200);
const QRgb kFormBack = qRgb(192, 255, 255);

bool eventually(const std::function<bool()>& condition) { return test::eventually(condition, kWaitMs); }

// One step of the window, worked as it works it: in double, kept in single precision.
float enlarged(float w) { return static_cast<float>(static_cast<double>(w) + static_cast<double>(w) * 0.25); }
float reduced(float w) { return static_cast<float>(static_cast<double>(w) - static_cast<double>(w) * 0.25); }
QString exact(float v) { return QString::number(static_cast<double>(v), 'g', 9); }

// Resident memory of a process, in MiB; negative if unreadable.
double residentMiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("VmRSS:\\s*(\\d+) kB")).match(QString::fromLatin1(f.readAll()));
    return m.hasMatch() ? m.captured(1).toDouble() / 1024 : -1;
}

} // namespace

TEST(ZoomEndToEnd, OpenedFromTheWallpaperWindowZoomedFortyTimesAndClosed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(kLeft);
    for (int y = 0; y < 300; ++y)
        for (int xx = 200; xx < 400; ++xx)
            picture.setPixel(xx, y, kRight);
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    ASSERT_TRUE(picture.save(path, "PNG"));

    test::XSession x(QStringLiteral("1280x800x24"), kWaitMs);
    const QString started = x.start();
    ASSERT_TRUE(started.isEmpty()) << started.toStdString();
    test::LineHost host(kWaitMs);
    ASSERT_TRUE(host.start(x, QStringLiteral(ZOVEX_ZOOM_HOST))) << "the zoom host did not start";

    // Not XSession::click: its wait for the pointer to arrive never ends when the pointer is
    // already there, as it is for the second of two presses of one button.
    auto click = [&](const QByteArray& reply) {
        const QPoint p = test::pointIn(reply);
        return p.x() >= 0 && x.xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
                                        QStringLiteral("click"), QStringLiteral("1")})
                                     .exitCode == 0;
    };
    auto button = [&](int n) { return click(host.ask("button " + QByteArray::number(n))); };

    // "缩放" in the wallpaper window: the zoom window is mapped, owned by the wallpaper window.
    QByteArray zoomButton;
    ASSERT_TRUE(eventually([&] { return (zoomButton = host.ask("zoom")) != "zoom none"; }));
    ASSERT_TRUE(click(zoomButton));
    const QByteArray zoomWindow = x.waitForWindow(QStringLiteral("Zovex图像缩放剪裁"));
    ASSERT_FALSE(zoomWindow.isEmpty()) << "the zoom window was not mapped";
    const QString form30 = host.state(QStringLiteral("form30"));
    EXPECT_EQ(host.state(QStringLiteral("owner")), form30);
    EXPECT_EQ(x.transientFor(zoomWindow), form30.toULongLong()) << "not owned on the desktop";

    // "取图": the picture at its own size, its top-left corner at (2, 2) of the window.
    ASSERT_EQ(host.ask("dialog " + path.toUtf8()), "dialog queued");
    ASSERT_TRUE(button(4));
    ASSERT_TRUE(eventually([&] { return host.state(QStringLiteral("picture")) == QLatin1String("400x300"); }));
    EXPECT_EQ(host.state(QStringLiteral("width")), QLatin1String("6000"));
    EXPECT_EQ(host.state(QStringLiteral("height")), QLatin1String("4500"));
    const std::optional<QRect> client = x.geometry(zoomWindow);
    ASSERT_TRUE(client);
    const QPoint origin = client->topLeft();
    auto screenAt = [&](const QImage& shot, QPoint p) { return shot.pixel(origin + p) & 0xffffffu; };
    QImage shot;
    EXPECT_TRUE(eventually([&] {
        shot = x.screenshot();
        return !shot.isNull() && screenAt(shot, {2, 100}) == (kLeft & 0xffffffu) &&
               screenAt(shot, {401, 301}) == (kRight & 0xffffffu) &&
               screenAt(shot, {402, 200}) == (kFormBack & 0xffffffu) &&
               screenAt(shot, {1, 100}) == (kFormBack & 0xffffffu);
    })) << "the picture is not shown at its own size at (2, 2)";

    // Forty "放大": the window answers after each, and its memory does not follow the zoom.
    const qint64 pid = host.process().processId();
    const double before = residentMiB(pid);
    float width = 6000;
    for (int i = 1; i <= 40; ++i) {
        width = enlarged(width);
        ASSERT_TRUE(button(1)) << i;
        ASSERT_TRUE(eventually([&] { return host.state(QStringLiteral("width")) == exact(width); }))
            << "no answer after 放大 " << i;
    }
    const double after = residentMiB(pid);
    std::cout << "zoom host resident memory: " << before << " MiB before, " << after << " MiB after forty 放大\n";
    EXPECT_GT(before, 0);
    EXPECT_LT(after - before, 100.0);
    // At 7,500 times its size the picture's top-left pixel fills all the window shows.
    EXPECT_TRUE(eventually([&] {
        shot = x.screenshot();
        return !shot.isNull() && screenAt(shot, {2, 100}) == (kLeft & 0xffffffu) &&
               screenAt(shot, {client->width() - 3, client->height() - 3}) == (kLeft & 0xffffffu);
    })) << "the enlarged picture is not shown";

    // "缩小" until the width is below 50 twips: then, and only then, the notice; and again at
    // the next press, which reduces once more.
    int notices = 0;
    for (int i = 1; i <= 80 && notices < 2; ++i) {
        width = reduced(width);
        ASSERT_TRUE(button(2)) << i;
        ASSERT_TRUE(eventually([&] { return host.state(QStringLiteral("width")) == exact(width); }))
            << "no answer after 缩小 " << i;
        if (width >= 50) {
            EXPECT_EQ(host.state(QStringLiteral("modal")), QLatin1String("-")) << width;
            continue;
        }
        ++notices;
        EXPECT_EQ(host.state(QStringLiteral("modal")), QStringLiteral("Zovex提示"));
        EXPECT_EQ(host.state(QStringLiteral("modaltext")), QStringLiteral("不能再缩小了"));
        EXPECT_TRUE(eventually([&] { return !x.visibleWindows(QStringLiteral("Zovex提示")).isEmpty(); }));
        QByteArray ok;
        ASSERT_TRUE(eventually([&] { return (ok = host.ask("ok")) != "ok none"; }));
        ASSERT_TRUE(click(ok));
        EXPECT_TRUE(eventually([&] { return host.state(QStringLiteral("modal")) == QLatin1String("-"); }));
    }
    EXPECT_EQ(notices, 2);

    // The close box: the zoom window goes, the wallpaper window is shown.
    const test::ToolRun closed = x.run(QStringLiteral(ZOVEX_CLOSE_BOX), {QString::fromLatin1(zoomWindow)});
    EXPECT_EQ(closed.exitCode, 0);
    EXPECT_TRUE(eventually([&] { return host.state(QStringLiteral("loaded")) == QLatin1String("0"); }));
    EXPECT_EQ(host.state(QStringLiteral("form30visible")), QLatin1String("1"));
    EXPECT_TRUE(eventually([&] { return x.visibleWindows(QStringLiteral("Zovex图像缩放剪裁")).isEmpty(); }));

    EXPECT_EQ(host.ask("quit"), "bye");
    EXPECT_TRUE(host.process().waitForFinished(kWaitMs));
}
