#include "wallpaper_window.h"

#include "canvas.h"
#include "load_picture.h"
#include "control_drag.h"
#include "tile_canvas.h"
#include "wallpaper_tiles.h"
#include "window_test.h"
#include "app_windows.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextLayout>

#include <gtest/gtest.h>

using namespace zovex;
using test::kCancel;

namespace {

// The default canvas: 43000 x 33000 twips is 2867 x 2200 pixels, 2863 x 2196 inside the border.
const QSize kDefaultInterior(2863, 2196);
const QSize kDefaultCell(382, 383);

// What the canvas must show when `picture` is tiled in `cell`-sized cells over `size`.
QImage tiled(const QImage& picture, QSize cell, QSize size)
{
    Canvas reference(size.width(), size.height(), RGB(0, 0, 0));
    TileCanvas(reference, picture, cell);
    return reference.persistentImage();
}

class WallpaperWindowTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        test::registerForm1StandIn(registry);
        registerWallpaperWindow(services);
    }

    Form30& window() { return wallpaperWindow(registry); }
    const Canvas& canvas() { return window().Picture1->canvas(); }
    QSize interior() { return QSize(canvas().widthPx(), canvas().heightPx()); }

    QString write(const QString& name, const QImage& img, const char* format)
    {
        const QString p = dir.filePath(name);
        QImageWriter w(p, format);
        EXPECT_TRUE(w.write(img)) << w.errorString().toStdString();
        return p;
    }
    void open(const QString& answer)
    {
        platform.dialogs.answers = {answer};
        window().Command4_Click();
    }

    QTemporaryDir dir;
};

QImage marked(int w, int h, QRgb colour)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    img.setPixel(0, 0, qRgb(255, 255, 0));
    img.setPixel(w - 1, h - 1, qRgb(0, 255, 255));
    return img;
}

TEST_F(WallpaperWindowTest, TheNoticeBreaksAtItsSpaceBetweenItsTwoSentences)
{
    // The lines the label shows: its text's paragraphs, each wrapped at the label's width as a
    // word-wrapping label wraps them.
    const QLabel& label = *window().Label1;
    QStringList lines;
    for (const QString& paragraph : label.text().split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, label.font());
        QTextOption wrap;
        wrap.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(wrap);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(label.contentsRect().width());
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    EXPECT_EQ(lines.join(QLatin1Char('|')).toStdString(), "壁纸最大尺寸根据本机内存大小而定|尽量关闭其他应用程序");
}

TEST_F(WallpaperWindowTest, OpensWithTheDefaultWallpaper)
{
    Form30& w = window();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Zovex豪华壁纸高速排版器"));
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(w.Text1->text(), QStringLiteral("33000"));
    EXPECT_EQ(w.Text2->text(), QStringLiteral("43000"));
    EXPECT_EQ(w.Picture1->geometry(), QRect(QPoint(0, 32), QSize(2867, 2200)));
    EXPECT_EQ(w.cellSize(), kDefaultCell);
    // 382 x 383 copies of the default tile from the top-left corner, cut off at the edges.
    const QImage tile = defaultTilePicture();
    const QImage& img = canvas().persistentImage();
    ASSERT_EQ(img.size(), kDefaultInterior);
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        const auto* tileRow = reinterpret_cast<const QRgb*>(tile.constScanLine(y % 383));
        for (int x = 0; x < img.width(); ++x)
            ASSERT_EQ(row[x], tileRow[x % 382]) << x << ", " << y;
    }
    EXPECT_TRUE(platform.boxes.shown.empty());

    // The toolbar and its notice.
    EXPECT_EQ(w.Label1->text().split(QLatin1Char('\n')).join(QLatin1Char(' ')),
              QStringLiteral("壁纸最大尺寸根据本机内存大小而定 尽量关闭其他应用程序"));
    EXPECT_EQ(w.Label1->geometry().right() + 1, w.Picture3->width());
    EXPECT_EQ(w.Picture3->palette().color(QPalette::Window), QColor(215, 21, 123));
    const QStringList captions = {"新建", "打开", "保存", "打印", "缩放", "剪裁", "高度", "宽度"};
    const std::vector<QPushButton*> commands = {w.Command3, w.Command4, w.Command5, w.Command6,
                                                w.Command7, w.Command8, w.Command1, w.Command2};
    for (std::size_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(commands[i]->text(), captions[static_cast<int>(i)]);
    for (int k = 1; k <= 12; ++k) {
        QPushButton* b = w.tileButtons[static_cast<std::size_t>(k - 1)];
        EXPECT_EQ(b->text(), QStringLiteral("壁纸%1").arg(k));
        EXPECT_EQ(b->objectName(), QStringLiteral("Command%1").arg(8 + k));
        EXPECT_EQ(b->x(), qRound((6360 + 510 * (k - 1)) / 15.0));
    }
    // The menu "文件": five items, no shortcut keys.
    const QList<QAction*> items = w.mnuFile->actions();
    ASSERT_EQ(items.size(), 5);
    const QStringList itemCaptions = {"新建", "打开", "保存", "打印", "退出"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(items[i]->text(), itemCaptions[i]);
        EXPECT_TRUE(items[i]->shortcut().isEmpty());
    }
}

TEST_F(WallpaperWindowTest, NewCanvasWhateverTheBoxesHoldAndEachButtonItsOwnBox)
{
    Form30& w = window();
    w.Text1->setText(QStringLiteral("abc"));
    w.Text2->setText(QStringLiteral("-5"));
    w.Picture1->move(300, -400);
    w.Command3_Click();
    // 16000 x 11000 twips at (0, 510).
    EXPECT_EQ(w.Picture1->geometry(), QRect(0, 34, 1067, 733));
    EXPECT_EQ(canvas().persistentImage(), tiled(defaultTilePicture(), kDefaultCell, QSize(1063, 729)));
    EXPECT_TRUE(platform.boxes.shown.empty());
    EXPECT_EQ(w.Text1->text(), QStringLiteral("abc")); // never written by the program

    // 高度 reads Text1 only; the width and the position stay.
    w.Text1->setText(QStringLiteral("15000"));
    w.Text2->setText(QStringLiteral("30000"));
    w.Command1_Click();
    EXPECT_EQ(w.Picture1->geometry(), QRect(0, 34, 1067, 1000));
    EXPECT_EQ(canvas().persistentImage(), tiled(defaultTilePicture(), kDefaultCell, QSize(1063, 996)));
    // 宽度 reads Text2 only.
    w.Text1->setText(QStringLiteral("3000"));
    w.Command2_Click();
    EXPECT_EQ(w.Picture1->geometry(), QRect(0, 34, 2000, 1000));

    // The menu item does what the button does.
    w.mnuFileNew->trigger();
    EXPECT_EQ(w.Picture1->geometry(), QRect(0, 34, 1067, 733));
}

TEST_F(WallpaperWindowTest, ASizeThatCannotBeAppliedIsRefusedWithANotice)
{
    // The notice quotes what was typed and says whether it is too large, too small or not a
    // number; a size in pixels only where the number gives one (never a negative one).
    enum Kind { NotANumber, TooSmall, TooLarge };
    struct Case {
        QString text;
        Kind kind;
        const char* sizeShown;
    };
    const QString nines(5000, QLatin1Char('9'));
    const Case heights[] = {
        {QString(), NotANumber, nullptr},
        {QStringLiteral("abc"), NotANumber, nullptr},
        {QStringLiteral("12,5"), NotANumber, nullptr},
        {QStringLiteral("0"), TooSmall, nullptr},
        {QStringLiteral("-1"), TooSmall, nullptr},
        {QStringLiteral("  12  "), TooSmall, nullptr},
        {QStringLiteral("-3000"), TooSmall, nullptr},
        {QStringLiteral("45"), TooSmall, nullptr},
        {QStringLiteral("1e-400"), TooSmall, nullptr},
        {QStringLiteral("-1e39"), TooSmall, nullptr},
        {QStringLiteral("600000"), TooLarge, "2863 × 39996 像素"},
        {QStringLiteral("1e30"), TooLarge, nullptr},
        {QStringLiteral("1e39"), TooLarge, nullptr},
        {nines, TooLarge, nullptr},
    };
    Form30& w = window();
    const QImage before = canvas().Image();
    const QRect geometry = w.Picture1->geometry();
    for (const Case& c : heights) {
        SCOPED_TRACE(c.text.left(40).toStdString());
        platform.boxes.shown.clear();
        w.Text1->setText(c.text);
        w.Command1_Click();
        ASSERT_EQ(platform.boxes.shown.size(), 1u);
        const MessageRequest& notice = platform.boxes.shown[0];
        EXPECT_EQ(notice.title, QStringLiteral("Zovex提示"));
        EXPECT_TRUE(notice.text.contains(QStringLiteral("32767"))) << notice.text.toStdString();
        EXPECT_TRUE(notice.text.contains(QStringLiteral("268435456"))) << notice.text.toStdString();
        const QString quoted = QStringLiteral("“") + c.text.left(40);
        EXPECT_TRUE(notice.text.contains(quoted)) << notice.text.toStdString();
        const QString verdict = c.kind == NotANumber ? QStringLiteral("不是壁纸的高度")
                                : c.kind == TooSmall ? QStringLiteral("太小")
                                                     : QStringLiteral("太大");
        EXPECT_TRUE(notice.text.contains(verdict)) << notice.text.toStdString();
        EXPECT_FALSE(notice.text.contains(QStringLiteral("× -"))) << notice.text.toStdString();
        if (c.sizeShown) {
            EXPECT_TRUE(notice.text.contains(QString::fromUtf8(c.sizeShown))) << notice.text.toStdString();
        }
        EXPECT_EQ(w.Picture1->geometry(), geometry);
    }
    EXPECT_EQ(canvas().persistentImage(), before);
}

TEST(CanvasSideCheck, TheLimitsAreEachSideAndThePictureLoadersPixels)
{
    struct Case {
        const char* text;
        CanvasSide side;
        QSize outer;
        std::optional<QSize> interior;
    };
    const Case cases[] = {
        // The smallest: one pixel inside the border (5 pixels, 75 twips).
        {"75", CanvasSide::Height, {100, 100}, QSize(96, 1)},
        {"74", CanvasSide::Height, {100, 100}, QSize(96, 1)}, // 4.93 pixels rounds to 5
        {"67", CanvasSide::Width, {100, 100}, std::nullopt},
        // Blanks around and a fraction are fine; the number is single precision.
        {" 33000.4 ", CanvasSide::Height, {100, 100}, QSize(96, 2196)},
        // The largest side.
        {"491565", CanvasSide::Width, {100, 100}, QSize(32767, 96)},
        {"491580", CanvasSide::Width, {100, 100}, std::nullopt},
        // 16384 x 16384 is the most pixels a saved wallpaper may have to be read back.
        {"245820", CanvasSide::Width, {16388, 16388}, QSize(16384, 16384)},
        {"245835", CanvasSide::Width, {16388, 16388}, std::nullopt},
        {"491565", CanvasSide::Width, {100, 8196}, QSize(32767, 8192)},
        {"491565", CanvasSide::Width, {100, 8197}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const CanvasSizeCheck check = checkCanvasSide(QString::fromLatin1(c.text), c.side, c.outer);
        EXPECT_EQ(check.interior, c.interior);
        EXPECT_EQ(check.notice.isEmpty(), c.interior.has_value());
    }
}

TEST_F(WallpaperWindowTest, BuiltInTilesFillTheCurrentCells)
{
    Form30& w = window();
    w.Command3_Click();
    w.Command15_Click(); // 壁纸7: 857 x 857 shrunk into 382 x 383 cells
    EXPECT_EQ(canvas().persistentImage(), tiled(builtInTilePicture(7), kDefaultCell, QSize(1063, 729)));
    EXPECT_EQ(w.cellSize(), kDefaultCell);
    EXPECT_EQ(w.Picture1->geometry(), QRect(0, 34, 1067, 733));

    // After a 100 x 50 picture was opened, 壁纸1 is squeezed into 100 x 50 cells.
    open(write(QStringLiteral("small.png"), marked(100, 50, qRgb(10, 20, 30)), "png"));
    w.Command9_Click();
    EXPECT_EQ(w.cellSize(), QSize(100, 50));
    EXPECT_EQ(canvas().persistentImage(), tiled(builtInTilePicture(1), QSize(100, 50), QSize(100, 50)));
}

TEST_F(WallpaperWindowTest, OpenMakesThePictureCanvasAndTileThenNewTilesIt)
{
    Form30& w = window();
    w.Picture1->move(40, 60);
    const QImage picture = marked(640, 480, qRgb(200, 100, 50));
    const QString path = write(QStringLiteral("photo.jpg.bmp"), picture, "bmp");
    open(path);
    ASSERT_EQ(platform.dialogs.requests.size(), 1u);
    EXPECT_EQ(platform.dialogs.requests[0].mode, DialogMode::Open);
    EXPECT_EQ(platform.dialogs.requests[0].filters.size(), 4);
    EXPECT_TRUE(w.cdlg.CancelError);
    // The canvas is the picture, once, where it was.
    EXPECT_EQ(w.Picture1->geometry(), QRect(40, 60, 644, 484));
    EXPECT_EQ(canvas().persistentImage(), picture);
    EXPECT_EQ(w.cellSize(), QSize(640, 480));
    EXPECT_EQ(w.Text1->text(), QStringLiteral("33000"));

    w.Command3_Click();
    EXPECT_EQ(canvas().persistentImage(), tiled(picture, QSize(640, 480), QSize(1063, 729)));
    EXPECT_EQ(canvas().pixel(640, 480), RGB(255, 255, 0)); // the second row's second copy

    // Cancel, or a file that is not a picture: nothing changes, nothing is said.
    const QImage before = canvas().Image();
    open(kCancel);
    QFile text(dir.filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture\n");
    text.close();
    open(text.fileName());
    EXPECT_EQ(canvas().persistentImage(), before);
    EXPECT_EQ(w.cellSize(), QSize(640, 480));
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(WallpaperWindowTest, APictureRecordedAtTwiceNinetySixDpiIsShownTiledAndSavedAtItsDensity)
{
    // A pattern saved on a screen of ratio 2: 1280 x 960 pixels at 192 dpi.
    Form30& w = window();
    QImage picture = marked(1280, 960, qRgb(200, 100, 50));
    picture.setDotsPerMeterX(7559);
    picture.setDotsPerMeterY(7559);
    open(write(QStringLiteral("hidpi.bmp"), picture, "bmp"));
    // Shown at its density: half as many logical pixels, every picture pixel on the canvas.
    EXPECT_EQ(w.Picture1->interior().size(), QSize(640, 480));
    EXPECT_EQ(canvas().scale(), 2.0);
    EXPECT_EQ(canvas().persistentImage(), picture);
    EXPECT_EQ(w.cellSize(), QSize(1280, 960)); // cells are picture pixels

    // "新建": 16000 x 11000 twips as ever, tiled with the picture's own pixels.
    w.Command3_Click();
    EXPECT_EQ(w.Picture1->size(), QSize(1067, 733));
    EXPECT_EQ(interior(), QSize(2126, 1458));
    EXPECT_EQ(canvas().persistentImage(), tiled(picture, QSize(1280, 960), QSize(2126, 1458)));

    // Saved with the resolution it is shown at.
    const QString out = dir.filePath(QStringLiteral("wall.bmp"));
    platform.dialogs.answers = {out};
    w.Command5_Click();
    const QImage saved(out, "BMP");
    EXPECT_EQ(saved.size(), QSize(2126, 1458));
    EXPECT_EQ(qRound(saved.dotsPerMeterX() * 0.0254), 192);
}

TEST_F(WallpaperWindowTest, PrintsTheOpenedPictureNotTheWallpaperAndEndsTheDocumentAlways)
{
    Form30& w = window();
    w.Command6_Click(); // nothing opened yet: nothing to draw, the document is ended anyway
    using Call = test::ScriptedPrinter::Call;
    EXPECT_EQ(printer.calls, (std::vector<Call>{Call::PaintPicture, Call::EndDoc}));
    EXPECT_TRUE(printer.pictures[0].isNull());
    EXPECT_EQ(printer.pagesSent, 0);

    const QImage picture = marked(30, 20, qRgb(1, 2, 3));
    open(write(QStringLiteral("p.png"), picture, "png"));
    w.Command3_Click();
    w.mnuFilePrint->trigger();
    ASSERT_EQ(printer.pictures.size(), 2u);
    EXPECT_EQ(printer.pictures[1].convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_EQ(printer.pagesSent, 1);

    printer.refuses = true;
    w.Command6_Click();
    EXPECT_EQ(printer.calls.back(), Call::EndDoc);
    EXPECT_TRUE(platform.boxes.shown.empty());
}

TEST_F(WallpaperWindowTest, SavesTheWholeCanvasAndOffersTheOpenedPicturesName)
{
    Form30& w = window();
    w.show();
    const QString out = dir.filePath(QStringLiteral("wall"));
    platform.dialogs.answers = {out};
    w.Command5_Click();
    // The whole canvas, far larger than anything on screen.
    const QImage saved = LoadPicture(out);
    EXPECT_EQ(saved.size(), kDefaultInterior);
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), canvas().persistentImage());

    // After an open the save dialog offers that picture; Yes replaces it with the wallpaper.
    const QString photo = write(QStringLiteral("photo.png"), marked(50, 40, qRgb(9, 9, 9)), "png");
    open(photo);
    w.Command3_Click();
    platform.dialogs.answers = {photo};
    platform.boxes.answers = {MsgAnswer::Yes};
    w.mnuFileSave->trigger();
    EXPECT_EQ(platform.dialogs.requests.back().fileName, photo);
    EXPECT_EQ(platform.dialogs.requests.back().mode, DialogMode::Save);
    ASSERT_EQ(platform.boxes.shown.size(), 1u);
    EXPECT_EQ(platform.boxes.shown[0].title, QStringLiteral("询问"));
    QFile replaced(photo);
    ASSERT_TRUE(replaced.open(QIODevice::ReadOnly));
    EXPECT_TRUE(replaced.read(2) == "BM");
    EXPECT_EQ(LoadPicture(photo).size(), QSize(1063, 729));

    // Cancelling writes nothing, whatever name the dialog still holds.
    ASSERT_TRUE(QFile::remove(photo));
    platform.dialogs.answers = {kCancel};
    w.Command5_Click();
    EXPECT_FALSE(QFile::exists(photo));
}

TEST_F(WallpaperWindowTest, ExitHidesAndKeepsTheCloseBoxStartsAgain)
{
    WindowRegistry& r = registry;
    Form30* w = &window();
    w->show();
    w->Text2->setText(QStringLiteral("20000"));
    w->Command2_Click();
    open(write(QStringLiteral("t.png"), marked(10, 10, qRgb(5, 5, 5)), "png"));

    w->mnuFileExit->trigger();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(r.form(WindowKind::Form1).widget().isVisible());
    r.form(WindowKind::Form30).Show(&r.form(WindowKind::Form1).widget());
    EXPECT_EQ(&window(), w); // the same window, not built again
    EXPECT_EQ(w->Text2->text(), QStringLiteral("20000"));
    EXPECT_EQ(w->cellSize(), QSize(10, 10));

    // The close box destroys it; the next opening starts from the defaults.
    w->close();
    flushDeletes();
    Form30& again = window();
    EXPECT_EQ(again.Text2->text(), QStringLiteral("43000"));
    EXPECT_EQ(again.cellSize(), kDefaultCell);
    EXPECT_EQ(interior(), kDefaultInterior);
}

TEST_F(WallpaperWindowTest, HandsOverToZoomAndCapture)
{
    WindowRegistry& r = registry;
    Form30& w = window();
    w.Command7_Click(); // no zoom window in this program yet: nothing happens
    EXPECT_FALSE(r.hasForm(WindowKind::Form40));
    w.Command8_Click();
    EXPECT_FALSE(r.hasForm(WindowKind::Form20));

    test::registerPlainStandIn(registry, WindowKind::Form40);
    test::registerPlainStandIn(registry, WindowKind::Form20);
    w.show();
    w.Command7_Click();
    QWidget& zoom = r.form(WindowKind::Form40).widget();
    EXPECT_TRUE(zoom.isVisible());
    EXPECT_EQ(r.form(WindowKind::Form40).owner(), &w); // owned by the wallpaper window
    w.Command8_Click();
    QWidget& capture = r.form(WindowKind::Form20).widget();
    EXPECT_TRUE(capture.isVisible());
    EXPECT_EQ(r.form(WindowKind::Form20).owner(), &r.form(WindowKind::Form1).widget()); // owned by Form1
}

TEST_F(WallpaperWindowTest, DraggingTheCanvasKeepsTheGrabbedPointUnderThePointer)
{
    Form30& w = window();
    w.show();
    PictureBox* box = w.Picture1;
    const QPoint start = box->pos();
    const auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons held) {
        const QPoint local = box->mapFromGlobal(global);
        QMouseEvent e(type, QPointF(local), QPointF(global), button, held, Qt::NoModifier);
        QApplication::sendEvent(box, &e);
    };
    const QPoint grab = box->mapToGlobal(QPoint(200, 150));
    // Any button starts the drag.
    send(QEvent::MouseButtonPress, grab, Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseMove, grab + QPoint(-120, 45), Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(box->pos(), start + QPoint(-120, 45));
    send(QEvent::MouseMove, grab + QPoint(-900, -700), Qt::NoButton, Qt::RightButton); // no limit
    EXPECT_EQ(box->pos(), start + QPoint(-900, -700));
    send(QEvent::MouseButtonRelease, grab + QPoint(-300, -20), Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(box->pos(), start + QPoint(-300, -20));
    // Dropped: later moves leave it where it is.
    send(QEvent::MouseMove, grab + QPoint(10, 10), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(box->pos(), start + QPoint(-300, -20));
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);

    // 新建 brings it back to (0, 510).
    w.Command3_Click();
    EXPECT_EQ(box->pos(), QPoint(0, 34));
}

TEST(DragControl, FollowsThePointerFromWhereItWasGrabbed)
{
    EXPECT_EQ(dragPosition(QPoint(10, 20), QPoint(100, 100), QPoint(100, 100)), QPoint(10, 20));
    EXPECT_EQ(dragPosition(QPoint(10, 20), QPoint(100, 100), QPoint(50, 170)), QPoint(-40, 90));
}

} // namespace

// A large picture is held once: the canvas, the box's picture and the tile source are one
// image, whether the picture is opaque or has transparent parts (which the canvas shows on its
// background, as before).
TEST_F(WallpaperWindowTest, AnOpenedPictureIsOneImageForTheCanvasAndTheTileSource)
{
    Form30& w = window();
    QImage clear(300, 200, QImage::Format_ARGB32);
    clear.fill(qRgba(200, 100, 50, 0));
    clear.setPixel(5, 5, qRgba(200, 100, 50, 255));
    const QImage opaque = marked(300, 200, qRgb(1, 2, 3));
    struct Case {
        const char* name;
        QImage picture;
        Colour at55;
    };
    for (const Case& c : {Case{"clear.png", clear, RGB(200, 100, 50)}, Case{"opaque.png", opaque, RGB(1, 2, 3)}}) {
        const char* name = c.name;
        const QImage& picture = c.picture;
        SCOPED_TRACE(name);
        open(write(QLatin1String(name), picture, "png"));
        const uchar* pixels = canvas().persistentImage().constBits();
        EXPECT_EQ(w.Picture1->picture().constBits(), pixels);
        EXPECT_EQ(w.Picture2->picture().constBits(), pixels);
        EXPECT_EQ(canvas().pixel(5, 5), c.at55);
    }
    EXPECT_EQ(canvas().pixel(0, 0), RGB(255, 255, 0));
    QImage again(300, 200, QImage::Format_ARGB32);
    again.fill(qRgba(0, 0, 0, 0));
    open(write(QStringLiteral("clear2.png"), again, "png"));
    EXPECT_EQ(canvas().pixel(7, 7), w.Picture1->BackColor()) << "transparent parts show the background";
}
