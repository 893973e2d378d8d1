// The designer canvas on a screen of device pixel ratio r (this program runs three times, with
// QT_SCALE_FACTOR 1, 1.5 and 2): each pattern is drawn at the screen's device pixels, exactly
// as zovex-render --scale r draws it, shown pixel for pixel, and saved at that resolution; the
// count, the label and the random source do not depend on r.
#include "designer_fixture.h"

#include "category.h"
#include "generation_tick.h"
#include "zoom_display.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace zovex;
using zovex::test::DesignerTest;

namespace {

double ratioUnderTest()
{
    bool ok = false;
    const double r = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    return ok ? r : 1.0;
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Rendered {
    QString file;
    QString label;
    QString state;
};

// zovex-render's first pattern of category 1 from the program's start, at scale `scale`.
Rendered render(const QString& folder, const QString& scale)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_SCALE_FACTOR")); // the renderer needs no screen
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZOVEX_RENDER_EXE),
            {QStringLiteral("--category"), QStringLiteral("1"), QStringLiteral("--count"), QStringLiteral("1"),
             QStringLiteral("--scale"), scale, QStringLiteral("--out"), folder});
    p.waitForFinished(120000);
    const QStringList line = QString::fromUtf8(p.readAllStandardOutput()).trimmed().split(QLatin1Char('\t'));
    if (p.exitCode() != 0 || line.size() < 4)
        return {};
    return {line[2], line[3], line[1]};
}

} // namespace

TEST_F(DesignerTest, ThePatternIsDrawnAtTheScreensDevicePixelsAsTheRendererDrawsIt)
{
    const double r = ratioUnderTest();
    DesignerWindow& w = start();
    ASSERT_EQ(w.Picture1->screenRatio(), r);
    w.Timer1_Timer();

    const Canvas& c = w.canvas();
    EXPECT_EQ(c.scale(), r);
    EXPECT_EQ(c.widthPx(), devicePixelsFor(kDesignerCanvasPx, r));
    EXPECT_EQ(c.ScaleWidth(), 12855.0f);

    // Saved through "保存图案": the file is the renderer's, byte for byte, header included
    // (96 * r dots per inch).
    QTemporaryDir tmp;
    const QString saved = tmp.filePath(QStringLiteral("saved.bmp"));
    platform.dialogs.answers = {saved};
    w.Command2_Click();
    const Rendered ref = render(tmp.filePath(QStringLiteral("render")), QString::number(r));
    ASSERT_FALSE(ref.file.isEmpty());
    const QByteArray want = bytesOf(ref.file);
    const QByteArray got = bytesOf(saved);
    ASSERT_GE(want.size(), 54);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want) << "the saved pattern differs from zovex-render --scale " << r;
    EXPECT_EQ(qRound(qFromLittleEndian<qint32>(got.constData() + 38) * 0.0254), qRound(96 * r));

    // The count, the label and the random source's position are those of the ordinary screen.
    EXPECT_EQ(w.Label11->text(), QStringLiteral("1"));
    const Rendered ordinary = render(tmp.filePath(QStringLiteral("ordinary")), QStringLiteral("1"));
    EXPECT_EQ(ref.label, ordinary.label);
    RandomSource after;
    after.setState(RandomSource::kStartState);
    after.advance(static_cast<std::uint64_t>(category(1).drawsPerTick()));
    EXPECT_EQ(random.state(), after.state());

    // On the screen the canvas is shown pixel for pixel: the box's device pixels inside the
    // border are the canvas's.
    const QImage shown = w.Picture1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int border = devicePixelsFor(PictureBox::kBorderPx, r);
    const int side = static_cast<int>(kDesignerCanvasPx * r); // whole device pixels of the interior
    ASSERT_GE(shown.width(), border + side);
    int differing = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            differing += shown.pixel(border + x, border + y) != c.persistentImage().pixel(x, y);
    EXPECT_EQ(differing, 0);

    // The previews hold the pattern at its device pixels.
    EXPECT_EQ(w.Image[0]->picture().size(), c.persistentImage().size());
}

TEST_F(DesignerTest, TheDemonstrationRingIsDrawnAtTheScreensDevicePixels)
{
    const double r = ratioUnderTest();
    DesignerWindow& w = start();
    w.Text1->setText(QStringLiteral("5"));
    w.Command1_Click(1);
    EXPECT_EQ(w.canvas().scale(), r);
    EXPECT_EQ(w.canvas().widthPx(), devicePixelsFor(kDesignerCanvasPx, r));
}

TEST_F(DesignerTest, ACanvasLeftAtAnotherRatioDrawsTheNextPatternAtTheScreensOwn)
{
    // As after a move from a screen of ratio 3 (or a change of the ratio): the canvas still has
    // the old one until the next pattern, which is drawn at the screen's ratio and is the
    // renderer's picture again.
    const double r = ratioUnderTest();
    DesignerWindow& w = start();
    w.Timer1_Timer();
    const int side3 = devicePixelsFor(kDesignerCanvasPx, 3.0);
    ASSERT_TRUE(w.canvas().rescale(3.0, side3, side3));
    w.Picture1->grab(); // painted scaled meanwhile
    random.setState(RandomSource::kStartState);
    designerForm(1).DesignCount = 0;
    w.Timer1_Timer();
    EXPECT_EQ(w.canvas().scale(), r);
    QTemporaryDir tmp;
    const Rendered ref = render(tmp.path(), QString::number(r));
    ASSERT_FALSE(ref.file.isEmpty());
    const QImage want = QImage(ref.file).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(w.canvas().persistentImage().convertToFormat(QImage::Format_RGB32), want);
    EXPECT_FALSE(w.Picture1->followScreenRatio()) << "nothing to change until the ratio changes";
}

TEST(ZoomAtScreenRatio, EnlargedBlocksHaveTheirEdgesOnDevicePixels)
{
    // A 10 x 10 checkerboard enlarged 8.3 times (1245 twips, 83 logical pixels, 83 r device
    // pixels): each device pixel shows the picture pixel under its own centre, so the blocks'
    // edges fall on device pixels where they belong, not on whole logical pixels.
    const double r = ratioUnderTest();
    QWidget window;
    window.resize(200, 200);
    QImage picture(10, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            picture.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 128));
    ZoomDisplay display({1245, 1245}, &window);
    display.setPicture(picture);
    const QImage shot = display.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int side = static_cast<int>(83 * r);
    ASSERT_GE(shot.width(), side);
    int wrong = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            // The device pixel's centre, in picture pixels.
            const int px = static_cast<int>((x + 0.5) * 10 / (83 * r)),
                      py = static_cast<int>((y + 0.5) * 10 / (83 * r));
            wrong += shot.pixel(x, y) != picture.pixel(px, py);
        }
    EXPECT_EQ(wrong, 0);
}
