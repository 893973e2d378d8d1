#include "print_window.h"

#include "printer.h"
#include "window_test.h"
#include "app_windows.h"

#include <QApplication>
#include <QGuiApplication>
#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace zovex;
using test::kCancel;

namespace {

QImage testPicture(int w, int h, QRgb colour)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    img.setPixel(0, 0, qRgb(255, 255, 0)); // a marked corner shows any flip
    return img;
}

// The smallest GIF there is: 1 x 1 pixel, colour 0 of a two-colour table (red). Qt reads GIF
// but does not write it.
const QByteArray kGif1x1 = QByteArray::fromHex("474946383961010001008000"
                                               "00ff000000000021f90401000000002c00000000"
                                               "010001000002024401003b");

class PrintWindowTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        test::registerForm1StandIn(registry);
        registerPrintWindow(services);
    }

    ZvtdyForm& form() { return registry.as<ZvtdyForm>(WindowKind::zvtdy); }
    zvtdy& window() { return form().window(); }

    QString write(const QString& name, const QImage& img, const char* format)
    {
        const QString p = dir.filePath(name);
        QImageWriter w(p, format);
        EXPECT_TRUE(w.write(img)) << w.errorString().toStdString();
        return p;
    }
    QString writeBytes(const QString& name, const QByteArray& bytes)
    {
        const QString p = dir.filePath(name);
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return p;
    }
    void load(const QString& answer)
    {
        platform.dialogs.answers = {answer};
        window().Command4_Click();
    }

    QTemporaryDir dir;
};

TEST_F(PrintWindowTest, OpensAsDescribed)
{
    zvtdy& w = window();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Form1"));
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(192, 255, 255));
    EXPECT_EQ(w.Picture1->geometry(), QRect(2, 2, 644, 484));
    EXPECT_TRUE(w.Picture1->picture().isNull());
    EXPECT_EQ(w.Command4->text(), QStringLiteral("取图"));
    EXPECT_EQ(w.Command2->text(), QStringLiteral("打印"));
    EXPECT_EQ(w.Command4->geometry().top(), 4);
    EXPECT_EQ(w.Command2->geometry().top(), 32);
    EXPECT_EQ(w.Command4->size(), QSize(85, 25));
    // An empty box shows its own background inside the border.
    const QImage shot = w.Picture1->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(100, 100)), QColor(255, 192, 255));
}

TEST_F(PrintWindowTest, ButtonsStayAHundredTwipsFromTheOuterRightEdgeOnEveryResize)
{
    zvtdy& w = window();
    w.setWindowState(Qt::WindowNoState);
    w.show();
    for (const int width : {1200, 817, 300, 60}) {
        SCOPED_TRACE(width);
        w.resize(width, 500);
        QCoreApplication::sendPostedEvents();
        // W is the outer width, the frame included (the test desktop's frame is 2 pixels a side).
        const int outer = w.frameGeometry().width();
        ASSERT_EQ(outer, width + 4);
        // 100 twips is 6.67 pixels; the left edge is W - 1275 - 100 twips, rounded to a pixel.
        const int left = qRound((outer * 15 - 1375) / 15.0);
        EXPECT_EQ(w.Command4->x(), left);
        EXPECT_EQ(w.Command2->x(), left);
        EXPECT_EQ(w.Command4->y(), 4);
        EXPECT_EQ(w.Command2->y(), 32);
        EXPECT_EQ(w.Picture1->pos(), QPoint(2, 2)); // the picture does not move
    }
}

TEST_F(PrintWindowTest, LoadedPictureSetsTheBoxSizeInsideItsBorder)
{
    const QImage picture = testPicture(1000, 800, qRgb(10, 120, 200));
    load(write(QStringLiteral("big.bmp"), picture, "bmp"));
    zvtdy& w = window();
    EXPECT_EQ(w.Picture1->geometry(), QRect(2, 2, 1004, 804));
    EXPECT_EQ(w.Picture1->interior(), QRect(2, 2, 1000, 800));
    EXPECT_EQ(w.Picture1->picture().convertToFormat(QImage::Format_RGB32), picture);
    // It is shown at the top-left of the interior, unflipped.
    const QImage shot = w.Picture1->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(2, 2)), QColor(255, 255, 0));
    EXPECT_EQ(QColor(shot.pixel(1001, 801)), QColor(10, 120, 200));

    ASSERT_EQ(platform.dialogs.requests.size(), 1u);
    const DialogRequest& r = platform.dialogs.requests[0];
    EXPECT_EQ(r.mode, DialogMode::Open);
    EXPECT_EQ(r.filters, (QStringList{QStringLiteral("All Files (*.*)"), QStringLiteral("JPG Files (*.jpg)"),
                                      QStringLiteral("GIF Files (*.gif)"), QStringLiteral("BMP Files (*.bmp)")}));
    EXPECT_TRUE(r.initDir.isEmpty());
    EXPECT_TRUE(w.CommonDialog1.CancelError);
}

TEST_F(PrintWindowTest, APictureRecordedAboveNinetySixDpiIsShownAtItsDensity)
{
    // A pattern saved on a screen of ratio 2 (192 dpi), one of ratio 1.5 (144), a 300-dpi scan,
    // a 72-dpi JPEG and a bitmap that records 96: the box takes the size in logical pixels.
    struct Case {
        const char* name;
        const char* format;
        int side;
        int dpi;
        int shownSide;
    };
    const Case cases[] = {
        {"hidpi.bmp", "bmp", 1714, 192, 857},  {"ratio15.bmp", "bmp", 1286, 144, 858},
        {"scan.png", "png", 600, 300, 192},    {"photo.jpg", "jpg", 400, 72, 400},
        {"ordinary.bmp", "bmp", 857, 96, 857},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage picture = testPicture(c.side, c.side, qRgb(10, 120, 200));
        picture.setDotsPerMeterX(qRound(c.dpi / 0.0254));
        picture.setDotsPerMeterY(qRound(c.dpi / 0.0254));
        load(write(QString::fromLatin1(c.name), picture, c.format));
        zvtdy& w = window();
        EXPECT_EQ(w.Picture1->interior().size(), QSize(c.shownSide, c.shownSide));
        EXPECT_EQ(w.Picture1->picture().size(), QSize(c.side, c.side)); // every pixel kept
        // Printed as it is: the printer puts it down at its density.
        w.Command2_Click();
        ASSERT_FALSE(printer.pictures.empty());
        EXPECT_EQ(printer.pictures.back().size(), QSize(c.side, c.side));
        EXPECT_EQ(recordedScaleOf(printer.pictures.back()), c.dpi > 96 ? c.dpi / 96.0 : 1.0);
    }
}

TEST_F(PrintWindowTest, ReadsEveryCommonPictureFormatByContent)
{
    const QImage picture = testPicture(40, 30, qRgb(0, 200, 0));
    const struct {
        QString file;
        QSize size;
    } cases[] = {
        {write(QStringLiteral("a.bmp"), picture, "bmp"), {40, 30}},
        {write(QStringLiteral("a.jpg"), picture, "jpeg"), {40, 30}},
        {write(QStringLiteral("a.png"), picture, "png"), {40, 30}},
        {write(QStringLiteral("a.ico"), picture, "ico"), {40, 30}},
        {writeBytes(QStringLiteral("a.gif"), kGif1x1), {1, 1}},
        // The name does not decide: a bitmap named .jpg is read as the bitmap it is.
        {write(QStringLiteral("bitmap.jpg"), picture, "bmp"), {40, 30}},
        {write(QStringLiteral("noextension"), picture, "png"), {40, 30}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        window().Picture1->setPicture(QImage());
        load(c.file);
        EXPECT_EQ(window().Picture1->picture().size(), c.size);
    }
}

TEST_F(PrintWindowTest, CancelOrAFileThatIsNoPictureChangesNothing)
{
    const QImage picture = testPicture(64, 48, qRgb(1, 2, 3));
    load(write(QStringLiteral("kept.png"), picture, "png"));
    ASSERT_EQ(window().Picture1->size(), QSize(68, 52));

    // A bitmap header claiming 60000 x 60000 pixels: refused before anything is decoded.
    QByteArray huge;
    {
        QBuffer buf(&huge);
        buf.open(QIODevice::WriteOnly);
        ASSERT_TRUE(testPicture(2, 2, qRgb(0, 0, 0)).save(&buf, "bmp"));
        const qint32 side = 60000;
        memcpy(huge.data() + 18, &side, 4);
        memcpy(huge.data() + 22, &side, 4);
    }
    const QString cases[] = {
        kCancel,
        writeBytes(QStringLiteral("notes.txt"), "not a picture at all\n"),
        writeBytes(QStringLiteral("empty.bmp"), QByteArray()),
        writeBytes(QStringLiteral("truncated.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16)),
        writeBytes(QStringLiteral("huge.bmp"), huge),
        dir.filePath(QStringLiteral("missing.bmp")),
        dir.path(), // a folder
    };
    for (const QString& answer : cases) {
        SCOPED_TRACE(answer.isNull() ? std::string("cancel") : answer.toStdString());
        load(answer);
        EXPECT_EQ(window().Picture1->picture().convertToFormat(QImage::Format_RGB32), picture);
        EXPECT_EQ(window().Picture1->size(), QSize(68, 52));
    }
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(PrintWindowTest, TheLargestPictureLoadsAndAShortFileChangesNothing)
{
    // One bit a pixel keeps the file small (32 MiB); the claim checked is 16384 x 16384.
    QImage largest(16384, 16384, QImage::Format_Mono);
    ASSERT_FALSE(largest.isNull());
    largest.fill(0);
    const QString big = write(QStringLiteral("largest.bmp"), largest, "bmp");
    load(big);
    EXPECT_EQ(window().Picture1->picture().size(), QSize(16384, 16384));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // the busy cursor went with the load

    // The same file cut short: its missing rows would show whatever memory held.
    QFile whole(big);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QString cut = writeBytes(QStringLiteral("cut.bmp"), whole.read(whole.size() / 2));
    const QImage small = testPicture(8, 8, qRgb(1, 2, 3));
    load(write(QStringLiteral("small.bmp"), small, "bmp"));
    load(cut);
    EXPECT_EQ(window().Picture1->picture().size(), QSize(8, 8));
}

TEST_F(PrintWindowTest, PrintsThePictureOnePagePerPress)
{
    const QImage picture = testPicture(382, 383, qRgb(200, 30, 40));
    load(write(QStringLiteral("p.bmp"), picture, "bmp"));
    window().Command2_Click();
    window().Command2_Click();
    using Call = test::ScriptedPrinter::Call;
    EXPECT_EQ(printer.calls, (std::vector<Call>{Call::PaintPicture, Call::EndDoc, Call::PaintPicture, Call::EndDoc}));
    EXPECT_EQ(printer.pagesSent, 2);
    ASSERT_EQ(printer.pictures.size(), 2u);
    EXPECT_EQ(printer.pictures[0].convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(PrintWindowTest, PrintFailuresAreSilentAndTheDocumentIsEndedAnyway)
{
    using Call = test::ScriptedPrinter::Call;
    // Right after opening: no picture, nothing is drawn, the document is still ended.
    window().Command2_Click();
    EXPECT_EQ(printer.calls.back(), Call::EndDoc);
    EXPECT_EQ(printer.pagesSent, 0);

    load(write(QStringLiteral("p.png"), testPicture(10, 10, qRgb(5, 5, 5)), "png"));
    printer.refuses = true;
    printer.calls.clear();
    window().Command2_Click();
    EXPECT_EQ(printer.calls, (std::vector<Call>{Call::PaintPicture, Call::EndDoc}));
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(PrintWindowTest, NoPrinterAtAllIsToldInANotice)
{
    printer.present = false;
    load(write(QStringLiteral("p.png"), testPicture(10, 10, qRgb(5, 5, 5)), "png"));
    window().Command2_Click();
    EXPECT_EQ(printer.calls.back(), test::ScriptedPrinter::Call::EndDoc);
    ASSERT_EQ(platform.boxes.shown.size(), 1u);
    EXPECT_EQ(platform.boxes.shown[0].title, QStringLiteral("Zovex提示"));
    EXPECT_EQ(platform.boxes.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(platform.boxes.shown[0].text, kNoPrinterText);
}

TEST_F(PrintWindowTest, ClosingShowsForm1AndTheNextOpeningStartsEmpty)
{
    load(write(QStringLiteral("p.png"), testPicture(100, 90, qRgb(5, 5, 5)), "png"));
    window().CommonDialog1.FileName = QStringLiteral("remembered");
    WindowRegistry& r = registry;
    r.form(WindowKind::zvtdy).Show(&r.form(WindowKind::Form1).widget());
    r.form(WindowKind::Form1).Hide();
    ASSERT_FALSE(r.form(WindowKind::Form1).widget().isVisible());

    window().close();
    EXPECT_TRUE(r.form(WindowKind::Form1).widget().isVisible());
    EXPECT_FALSE(r.isLoaded(WindowKind::zvtdy));

    zvtdy& again = window();
    EXPECT_TRUE(again.Picture1->picture().isNull());
    EXPECT_EQ(again.Picture1->size(), QSize(644, 484));
    EXPECT_TRUE(again.CommonDialog1.FileName.isEmpty()); // the dialog went with the window
}

TEST_F(PrintWindowTest, RealPrinterOnADesktopWithoutAnyPrinter)
{
    // Our CUPS server: a socket that does not exist, so the desktop has no printer at all
    // (whatever the machine running the test has). Set before anything asked CUPS anything.
    const QByteArray old = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", dir.filePath(QStringLiteral("no-cupsd.sock")).toLocal8Bit());
    {
        QtPrinter qt;
        EXPECT_FALSE(qt.hasPrinter());
        EXPECT_FALSE(qt.PaintPicture(testPicture(10, 10, qRgb(1, 1, 1))));
        EXPECT_TRUE(qt.EndDoc()); // nothing to send

        // A print window of a program whose printer is the real one.
        const Services withQt{
            platform.boxes, platform.dialogs, qt, desktop.screen, desktop.clipboard, registry, ticks, gate, random};
        zvtdy real(withQt);
        real.Picture1->setPicture(testPicture(10, 10, qRgb(5, 5, 5)));
        real.Command2_Click();
        ASSERT_EQ(platform.boxes.shown.size(), 1u);
        EXPECT_EQ(platform.boxes.shown[0].text, kNoPrinterText);
    }
    if (old.isNull())
        qunsetenv("CUPS_SERVER");
    else
        qputenv("CUPS_SERVER", old);
}

} // namespace
