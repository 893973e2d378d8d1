// The real program on HiDPI X screens of its own: Xvfb with "Xft.dpi: 192" in the screen's
// resources (device pixel ratio 2; -noreset, or the resources go when the last client leaves)
// and Xvfb at 96 dpi with QT_SCREEN_SCALE_FACTORS=1.5. A screenshot of Form1's canvas after
// the first tick is, device pixel for device pixel, the picture zovex-render --scale r makes of
// the same pattern. Everything started here is stopped at the end.
#include "x_session.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace zovex::test;

namespace {

constexpr int kStartMs = 30000;
const QString kDesignerTitle = QStringLiteral("^ZovexTessaly5\\.0\\(Quenda\\)$");

struct Screen {
    const char* name;
    const char* xvfbScreen;
    double ratio;
    bool xftDpi192;           // the ratio from the screen's resources
    const char* scaleFactors; // the ratio from QT_SCREEN_SCALE_FACTORS
};

QImage rendered(const QString& folder, double ratio)
{
    QProcess p;
    p.start(QStringLiteral(ZOVEX_RENDER_EXE),
            {QStringLiteral("--category"), QStringLiteral("1"), QStringLiteral("--count"), QStringLiteral("1"),
             QStringLiteral("--scale"), QString::number(ratio), QStringLiteral("--out"), folder});
    p.waitForFinished(120000);
    const QList<QByteArray> line = p.readAllStandardOutput().trimmed().split('\t');
    if (p.exitCode() != 0 || line.size() < 3)
        return {};
    return QImage(QString::fromUtf8(line[2])).convertToFormat(QImage::Format_RGB32);
}

int differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += (a.pixel(x, y) & 0xFFFFFFu) != (b.pixel(x, y) & 0xFFFFFFu);
    return n;
}

void firstPatternIsTheRenderersAtTheScreensRatio(const Screen& screen)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QImage reference = rendered(tmp.path(), screen.ratio);
    ASSERT_FALSE(reference.isNull()) << "zovex-render --scale " << screen.ratio;

    ProgramCopy program;
    ASSERT_TRUE(program.make(QStringLiteral(ZOVEX_APP_BINARY)).isEmpty());
    XSession desk(QString::fromLatin1(screen.xvfbScreen), kStartMs, {QStringLiteral("-noreset")});
    const QString started = desk.start();
    ASSERT_TRUE(started.isEmpty()) << started.toStdString();
    if (screen.xftDpi192) {
        ASSERT_TRUE(desk.setResources(QStringLiteral("Xft.dpi:\t192\n")));
    }
    if (screen.scaleFactors)
        desk.setEnvironment(QStringLiteral("QT_SCREEN_SCALE_FACTORS"), QString::fromLatin1(screen.scaleFactors));
    ProcessGuard app;
    ASSERT_TRUE(desk.launch(app, program.path()));

    const QByteArray form1 = desk.waitPastLogin(kDesignerTitle, "Form1");
    ASSERT_FALSE(form1.isEmpty()) << "no window titled ZovexTessaly5.0(Quenda) was mapped";
    const std::optional<QRect> g = desk.geometry(form1);
    ASSERT_TRUE(g);
    // The controls are laid out in proportion: the client area is r times as wide.
    EXPECT_NEAR(g->width(), 21480 / 15 * screen.ratio, 1.0) << "Form1's client area in device pixels";

    // The canvas's interior in device pixels: inside a border of 2 logical pixels, the whole
    // device pixels of its 857 logical ones.
    const int border = static_cast<int>(std::ceil(2 * screen.ratio));
    const int side = static_cast<int>(std::floor(857 * screen.ratio));
    const QRect canvas(g->x() + border, g->y() + border, side, side);
    const QImage want = reference.copy(0, 0, side, side);
    int differing = -1;
    QImage shot;
    EXPECT_TRUE(within(15000,
                       [&] {
                           shot = desk.screenshot();
                           if (shot.isNull())
                               return false;
                           differing = differingPixels(shot.copy(canvas), want);
                           return differing == 0;
                       }))
        << differing << " device pixels of the canvas differ from zovex-render --scale " << screen.ratio;
    EXPECT_EQ(app.process->state(), QProcess::Running);
}

} // namespace

TEST(HiDpiEndToEnd, OnAScreenOfXftDpi192TheCanvasIsTheRenderersPictureAtScale2)
{
    firstPatternIsTheRenderersAtTheScreensRatio({"xft", "3840x2160x24", 2.0, true, nullptr});
}

TEST(HiDpiEndToEnd, WithScreenScaleFactorsOneAndAHalfTheCanvasIsTheRenderersPictureAtScale1_5)
{
    firstPatternIsTheRenderersAtTheScreensRatio({"factors", "2560x1600x24", 1.5, false, "1.5"});
}
