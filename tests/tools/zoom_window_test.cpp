#include "zoom_window.h"

#include "window_test.h"
#include "app_windows.h"

#include <QApplication>
#include <QFile>
#include <QImageWriter>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cfloat>

using namespace zovex;
using test::kCancel;

namespace {

class ZoomWindowTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        // The capture and wallpaper windows, which the zoom window shows.
        test::registerPlainStandIn(registry, WindowKind::Form20);
        test::registerPlainStandIn(registry, WindowKind::Form30);
        registerZoomWindow(services);
    }

    ZoomForm& form() { return registry.as<ZoomForm>(WindowKind::Form40); }
    Form40& window() { return form().window(); }
    // The window shown at a known size (not maximised), so the display's part inside it is known.
    Form40& shownWindow(QSize size = {1000, 700})
    {
        Form40& w = window();
        w.setWindowState(Qt::WindowNoState);
        w.resize(size);
        w.show();
        QCoreApplication::sendPostedEvents();
        return w;
    }

    QString writePicture(const QString& name, int w, int h)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(qRgb(20, 40, 60));
        const QString p = dir.filePath(name);
        QImageWriter writer(p, "png");
        EXPECT_TRUE(writer.write(img)) << writer.errorString().toStdString();
        return p;
    }
    void load(const QString& answer)
    {
        platform.dialogs.answers = {answer};
        window().Command4_Click();
    }
    void setDisplay(ZoomSize s)
    {
        window().Image1->setZoomWidth(s.width);
        window().Image1->setZoomHeight(s.height);
    }
    ZoomSize display() { return window().Image1->zoomSize(); }

    QTemporaryDir dir;
};

TEST_F(ZoomWindowTest, OpensAsDescribed)
{
    Form40& w = window();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Zovex图像缩放剪裁"));
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(192, 255, 255));
    EXPECT_EQ(display(), (ZoomSize{9195, 8505}));
    EXPECT_EQ(w.Image1->pos(), QPoint(2, 2));
    EXPECT_TRUE(w.Image1->picture().isNull());
    const std::pair<QPushButton*, const char*> buttons[] = {
        {w.Command4, "取图"}, {w.Command1, "放大"}, {w.Command2, "缩小"}, {w.Command3, "剪裁保存"}};
    for (const auto& [b, caption] : buttons) {
        EXPECT_EQ(b->text(), QString::fromUtf8(caption));
        EXPECT_EQ(b->size(), QSize(67, 19));
        EXPECT_EQ(b->y(), 0);
        EXPECT_EQ(b->grab().toImage().pixelColor(3, 3), QColor(192, 192, 255)) << caption;
    }
}

TEST_F(ZoomWindowTest, ALoadedPictureShowsAtItsOwnSizeAtThirtyTwips)
{
    Form40& w = shownWindow();
    load(writePicture(QStringLiteral("a.png"), 400, 300));
    EXPECT_EQ(display(), (ZoomSize{6000, 4500}));
    EXPECT_EQ(w.Image1->geometry(), QRect(2, 2, 400, 300));
    EXPECT_EQ(w.Image1->picture().size(), QSize(400, 300));
    const QImage shot = w.grab().toImage();
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(20, 40, 60));
    EXPECT_EQ(shot.pixelColor(401, 301), QColor(20, 40, 60));
    EXPECT_EQ(shot.pixelColor(402, 302), QColor(192, 255, 255));
    const DialogRequest& asked = platform.dialogs.requests.at(0);
    EXPECT_EQ(asked.mode, DialogMode::Open);
    EXPECT_EQ(asked.filters.size(), 4);
    EXPECT_TRUE(asked.initDir.isEmpty());
}

TEST_F(ZoomWindowTest, APictureRecordedAboveNinetySixDpiShowsAtItsDensity)
{
    Form40& w = shownWindow();
    QImage picture(800, 600, QImage::Format_RGB32);
    picture.fill(qRgb(20, 40, 60));
    for (const int dpi : {192, 72}) {
        picture.setDotsPerMeterX(qRound(dpi / 0.0254));
        picture.setDotsPerMeterY(qRound(dpi / 0.0254));
        const QString path = dir.filePath(QStringLiteral("d%1.png").arg(dpi));
        ASSERT_TRUE(picture.save(path, "PNG"));
        load(path);
        // 192 dpi: 400 x 300 logical pixels; 72 dpi, like 96: one picture pixel to one.
        EXPECT_EQ(display(), dpi == 192 ? (ZoomSize{6000, 4500}) : (ZoomSize{12000, 9000})) << dpi;
        EXPECT_EQ(w.Image1->picture().size(), QSize(800, 600)) << dpi;
    }
}

TEST_F(ZoomWindowTest, ReducingBelowFiftyTwipsSaysSoEveryTimeAfterReducing)
{
    window();
    setDisplay({90, 90});
    window().Command2_Click();
    EXPECT_EQ(display().width, 67.5f);
    EXPECT_TRUE(platform.boxes.shown.empty());

    setDisplay({60, 60});
    window().Command2_Click();
    EXPECT_EQ(display().width, 45.0f);
    ASSERT_EQ(platform.boxes.shown.size(), 1u);
    const MessageRequest& m = platform.boxes.shown[0];
    EXPECT_EQ(m.text, QStringLiteral("不能再缩小了"));
    EXPECT_EQ(m.title, QStringLiteral("Zovex提示"));
    EXPECT_EQ(m.icon, MsgIcon::None);
    EXPECT_EQ(m.buttons, MsgButtons::Ok);

    window().Command2_Click();
    EXPECT_EQ(display().width, 33.75f);
    EXPECT_EQ(platform.boxes.shown.size(), 2u);
}

TEST_F(ZoomWindowTest, StepsScaleBothSidesAndDoNotRoundTrip)
{
    load(writePicture(QStringLiteral("a.png"), 400, 300));
    window().Command1_Click();
    EXPECT_EQ(display(), (ZoomSize{7500, 5625}));
    window().Command2_Click();
    EXPECT_EQ(display(), (ZoomSize{5625, 4218.75f})); // 0.9375 of the start
    for (int i = 0; i < 20; ++i)
        window().Command1_Click();
    EXPECT_NEAR(display().height / display().width, 0.75, 1e-6);
}

TEST_F(ZoomWindowTest, EnlargingBeforeAnyPictureGrowsTheEmptyDisplay)
{
    window().Command1_Click();
    EXPECT_EQ(display(), (ZoomSize{11493.75f, 10631.25f}));
    EXPECT_TRUE(window().Image1->picture().isNull());
}

TEST_F(ZoomWindowTest, AStepPastSinglePrecisionIsNotTaken)
{
    window();
    setDisplay({FLT_MAX, FLT_MAX * 0.75f});
    window().Command1_Click();
    EXPECT_EQ(display(), (ZoomSize{FLT_MAX, FLT_MAX * 0.75f}));
    window().Command2_Click();
    EXPECT_EQ(display(), (ZoomSize{FLT_MAX * 0.75f, FLT_MAX * 0.75f * 0.75f}));
}

TEST_F(ZoomWindowTest, CancelOrANonPictureKeepsTheDisplay)
{
    load(writePicture(QStringLiteral("a.png"), 400, 300));
    window().Command1_Click();
    const ZoomSize before = display();
    const qint64 picture = window().Image1->picture().cacheKey();

    load(kCancel);
    const QString text = dir.filePath(QStringLiteral("notes.jpg"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture\n");
    f.close();
    load(text);
    load(dir.filePath(QStringLiteral("missing.png")));

    EXPECT_EQ(display(), before);
    EXPECT_EQ(window().Image1->picture().cacheKey(), picture);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(ZoomWindowTest, ButtonsEndTwoHundredTwipsBeforeTheWindowsOuterWidthOnEveryResize)
{
    Form40& w = shownWindow();
    for (const int width : {1200, 817, 300, 60}) {
        SCOPED_TRACE(width);
        w.resize(width, 500);
        QCoreApplication::sendPostedEvents();
        // W is the outer width, the frame included (the test desktop's frame is 2 pixels a side).
        const int outer = w.frameGeometry().width();
        ASSERT_EQ(outer, width + 4);
        // 200 twips is 13.33 pixels: W − 4 × 1005 − 200 twips, rounded to a pixel.
        const int left = qRound((outer * 15 - 4 * 1005 - 200) / 15.0);
        EXPECT_EQ(w.Command4->x(), left);
        EXPECT_EQ(w.Command1->x(), left + 67);
        EXPECT_EQ(w.Command2->x(), left + 134);
        EXPECT_EQ(w.Command3->x(), left + 201);
        EXPECT_EQ(w.Command3->y(), 0);
    }
}

TEST_F(ZoomWindowTest, TheDisplayKeepsItsSizeWhenTheWindowResizes)
{
    Form40& w = shownWindow();
    load(writePicture(QStringLiteral("a.png"), 400, 300));
    w.resize(200, 150);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(display(), (ZoomSize{6000, 4500}));
    EXPECT_EQ(w.Image1->geometry(), QRect(2, 2, 198, 148)); // the part inside the window
    w.resize(1000, 700);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(w.Image1->geometry(), QRect(2, 2, 400, 300));
}

TEST_F(ZoomWindowTest, CloseBoxShowsTheWallpaperWindowAndTheNextOpeningStartsAfresh)
{
    Form40& w = shownWindow();
    load(writePicture(QStringLiteral("a.png"), 400, 300));
    w.Command1_Click();
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(form().isLoaded());
    EXPECT_TRUE(registry.form(WindowKind::Form30).widget().isVisible());

    Form40& again = window();
    EXPECT_NE(&again, &w);
    EXPECT_EQ(display(), (ZoomSize{9195, 8505}));
    EXPECT_TRUE(again.Image1->picture().isNull());
}

TEST_F(ZoomWindowTest, CropShowsTheCaptureWindowWithoutAnOwner)
{
    shownWindow();
    window().Command3->click();
    QWidget& capture = registry.form(WindowKind::Form20).widget();
    EXPECT_TRUE(capture.isVisible());
    EXPECT_EQ(capture.parentWidget(), nullptr);
    EXPECT_TRUE(window().isVisible());
}

} // namespace
