#include "form30.h"

#include "font_faces.h"
#include "load_picture.h"
#include "message_box.h"
#include "module4.h"
#include "printer.h"
#include "save_canvas_image.h"
#include "tile_canvas.h"
#include "wallpaper_tiles.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace zovex {

namespace {

constexpr Colour kToolbarBack = RGB(215, 21, 123);
constexpr Colour kCommandFace = RGB(192, 192, 255);
constexpr Colour kTileFace = RGB(255, 192, 255);
constexpr Colour kCanvasBack = RGB(192, 192, 192);

// The canvas as "新建" makes it and where it sits when the window is built (twips).
constexpr int kNewLeft = 0, kNewTop = 510, kNewHeight = 11000, kNewWidth = 16000;
constexpr int kDesignedTop = 480, kDesignedWidth = 16000, kDesignedHeight = 12000;

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToCanvasPx(left), twipsToCanvasPx(top), twipsToCanvasPx(width), twipsToCanvasPx(height));
}

// Runs an event handler; nothing may escape into Qt's event dispatch.
template <class F>
void guarded(F&& handler) noexcept
{
    try {
        handler();
    } catch (...) {
    }
}

QPushButton* colourButton(QWidget* parent, const char* name, const QString& caption, QRect geometry, Colour face)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    const QString colour = QColor::fromRgb(toPixel(face)).name();
    b->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: black; border: 2px outset %1; }"
                                    "QPushButton:pressed { border-style: inset; }"
                                    "QPushButton:focus { border: 2px solid black; }")
                         .arg(colour));
    return b;
}

QLineEdit* textBox(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    auto* t = new QLineEdit(text, parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setGeometry(geometry);
    return t;
}

// A picture as the canvas shows it: transparent parts on the canvas's colour.
QImage opaque(const QImage& picture, Colour back)
{
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    QImage shown(picture.size(), QImage::Format_RGB32);
    if (shown.isNull())
        return shown;
    shown.fill(toPixel(back));
    QPainter p(&shown);
    p.drawImage(QPoint(0, 0), picture);
    return shown;
}

} // namespace

Form30::Form30() : QMainWindow(nullptr)
{
    setObjectName(QStringLiteral("Form30"));
    setWindowRole(QStringLiteral("Form30"));
    setWindowTitle(kWallpaperCaption);
    setFont(controlFont(QStringLiteral("宋体"), 9, false));
    // The stored pictures are decoded once, here, and never during a tiling.
    Picture2 = defaultTilePicture();
    for (int k = 1; k <= 12; ++k)
        builtInTiles[static_cast<std::size_t>(k - 1)] = builtInTilePicture(k);
    buildMenu();
    buildControls();
    resize(twipsRect(0, 0, 21420, 12690).size() + QSize(0, menuBar()->sizeHint().height()));
    setWindowState(Qt::WindowMaximized);
}

void Form30::buildMenu()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("文件"));
    mnuFile->setObjectName(QStringLiteral("文件"));
    const auto item = [this](const QString& caption, void (Form30::*handler)()) {
        QAction* a = mnuFile->addAction(caption);
        a->setObjectName(caption);
        connect(a, &QAction::triggered, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
        return a;
    };
    mnuFileNew = item(QStringLiteral("新建"), &Form30::mnuFileNew_Click);
    mnuFileOpen = item(QStringLiteral("打开"), &Form30::mnuFileOpen_Click);
    mnuFileSave = item(QStringLiteral("保存"), &Form30::mnuFileSave_Click);
    mnuFilePrint = item(QStringLiteral("打印"), &Form30::mnuFilePrint_Click);
    mnuFileExit = item(QStringLiteral("退出"), &Form30::mnuFileExit_Click);
}

void Form30::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    const QRect canvas = twipsRect(0, kDesignedTop, kDesignedWidth, kDesignedHeight);
    Picture1 = new PictureBox(canvas.size(), kCanvasBack, client);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->move(canvas.topLeft());
    Picture1->setCursor(Qt::SizeAllCursor);
    Picture1->installEventFilter(this);

    // The toolbar stays above the canvas: a canvas dragged up slides under it.
    Picture3 = new QWidget(client);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setGeometry(twipsRect(0, 0, 16575, 495));
    Picture3->setAutoFillBackground(true);
    QPalette pal = Picture3->palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(toPixel(kToolbarBack)));
    Picture3->setPalette(pal);

    const auto command = [this](const char* name, const QString& caption, int left, int width, Colour face,
                                void (Form30::*handler)()) {
        QPushButton* b = colourButton(Picture3, name, caption, twipsRect(left, 30, width, 465), face);
        connect(b, &QPushButton::clicked, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
        return b;
    };
    Command3 = command("Command3", QStringLiteral("新建"), 0, 525, kCommandFace, &Form30::Command3_Click);
    Command4 = command("Command4", QStringLiteral("打开"), 540, 495, kCommandFace, &Form30::Command4_Click);
    Command5 = command("Command5", QStringLiteral("保存"), 1050, 495, kCommandFace, &Form30::Command5_Click);
    Command6 = command("Command6", QStringLiteral("打印"), 1560, 495, kCommandFace, &Form30::Command6_Click);
    Command7 = command("Command7", QStringLiteral("缩放"), 2070, 495, kCommandFace, &Form30::Command7_Click);
    Command8 = command("Command8", QStringLiteral("剪裁"), 2580, 495, kCommandFace, &Form30::Command8_Click);
    Text1 = textBox(Picture3, "Text1", QStringLiteral("33000"), twipsRect(3060, 30, 1125, 465));
    Command1 = command("Command1", QStringLiteral("高度"), 4200, 495, kCommandFace, &Form30::Command1_Click);
    Text2 = textBox(Picture3, "Text2", QStringLiteral("43000"), twipsRect(4710, 30, 1125, 465));
    Command2 = command("Command2", QStringLiteral("宽度"), 5850, 495, kCommandFace, &Form30::Command2_Click);
    static constexpr void (Form30::*tileHandlers[12])() = {
        &Form30::Command9_Click,  &Form30::Command10_Click, &Form30::Command11_Click, &Form30::Command12_Click,
        &Form30::Command13_Click, &Form30::Command14_Click, &Form30::Command15_Click, &Form30::Command16_Click,
        &Form30::Command17_Click, &Form30::Command18_Click, &Form30::Command19_Click, &Form30::Command20_Click};
    for (int k = 1; k <= 12; ++k) {
        const QByteArray name = "Command" + QByteArray::number(8 + k);
        tileButtons[static_cast<std::size_t>(k - 1)] =
            command(name.constData(), QStringLiteral("壁纸%1").arg(k), 6360 + 510 * (k - 1), 495, kTileFace,
                    tileHandlers[k - 1]);
    }
    Label1 = new QLabel(kWallpaperNotice, Picture3);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(13350, 60, 3135, 405));
    Label1->setFont(controlFont(QStringLiteral("宋体"), 9, true));
    Label1->setWordWrap(true);
    Label1->setAttribute(Qt::WA_TranslucentBackground, true);
}

void Form30::Form_Load()
{
    // The window opens maximised: the toolbar runs across the whole window, the notice ends
    // flush with its right end.
    const QScreen* shownOn = screen();
    const int outerPx = shownOn ? shownOn->availableGeometry().width() : width();
    Picture3->resize(twipsToCanvasPx(outerPx * 15.0 - 2), Picture3->height());
    Label1->move(Picture3->width() - Label1->width(), Label1->y());
    // A size refused here leaves that side as designed; the canvas is covered all the same.
    applyCanvasSide(CanvasSide::Height);
    applyCanvasSide(CanvasSide::Width);
    tileWith(Picture2);
}

bool Form30::setCanvasBox(QRect outerPx)
{
    const QSize inner = canvasInterior(outerPx.size());
    if (inner != QSize(Picture1->canvas().widthPx(), Picture1->canvas().heightPx()) &&
        !Picture1->canvas().resize(inner.width(), inner.height())) {
        messageBoxes().notice(this, canvasNotAllocatedNotice(inner));
        return false;
    }
    Picture1->setGeometry(outerPx);
    return true;
}

bool Form30::applyCanvasSide(CanvasSide side)
{
    const QString text = side == CanvasSide::Height ? Text1->text() : Text2->text();
    const CanvasSizeCheck check = checkCanvasSide(text, side, Picture1->size());
    if (!check.interior) {
        messageBoxes().notice(this, check.notice);
        return false;
    }
    const QSize outer = *check.interior + QSize(2 * kCanvasBorderPx, 2 * kCanvasBorderPx);
    return setCanvasBox(QRect(Picture1->pos(), outer));
}

void Form30::tileWith(const QImage& picture)
{
    TileCanvas(Picture1->canvas(), picture, cellSize());
    Picture1->update();
}

void Form30::Command1_Click()
{
    guarded([&] {
        if (applyCanvasSide(CanvasSide::Height))
            tileWith(Picture2);
    });
}

void Form30::Command2_Click()
{
    guarded([&] {
        if (applyCanvasSide(CanvasSide::Width))
            tileWith(Picture2);
    });
}

void Form30::Command3_Click()
{
    guarded([&] {
        if (setCanvasBox(twipsRect(kNewLeft, kNewTop, kNewWidth, kNewHeight)))
            tileWith(Picture2);
    });
}

void Form30::tileWithBuiltIn(int k)
{
    guarded([&] { tileWith(builtInTiles.at(static_cast<std::size_t>(k - 1))); });
}

void Form30::Command4_Click()
{
    // Whole operation: cancelling, a file that is not a picture or cannot be read end it
    // silently, leaving what was done.
    guarded([&] {
        cdlg.Filter = kWallpaperOpenFilter;
        cdlg.CancelError = true;
        if (!cdlg.ShowOpen(this))
            return;
        const QImage picture = LoadPicture(cdlg.FileName);
        if (picture.isNull())
            return;
        const QImage shown = opaque(picture, Picture1->canvas().BackColor());
        if (shown.isNull())
            return;
        // One decoding serves the canvas and the tile source: the file is the same, and a
        // large picture is held once.
        Picture1Picture = picture;
        Picture1->canvas().imageToOverwrite() = shown;
        Picture1->resize(shown.size() + QSize(2 * PictureBox::kBorderPx, 2 * PictureBox::kBorderPx));
        Picture1->update();
        Picture2 = picture;
    });
}

void Form30::Command5_Click() { SaveCanvasImage(cdlg, Picture1->canvas(), this); }

void Form30::Command6_Click()
{
    guarded([&] {
        Printer& p = printer();
        // Each step on its own: without an opened picture nothing is drawn, the document is
        // ended all the same.
        p.PaintPicture(Picture1Picture);
        p.EndDoc();
    });
}

void Form30::Command7_Click()
{
    guarded([&] {
        WindowRegistry& registry = WindowRegistry::instance();
        if (registry.hasKind(WindowKind::Form40))
            registry.form(WindowKind::Form40).Show(this);
    });
}

void Form30::Command8_Click()
{
    guarded([&] {
        WindowRegistry& registry = WindowRegistry::instance();
        if (registry.hasKind(WindowKind::Form20) && registry.hasKind(WindowKind::Form1))
            registry.form(WindowKind::Form20).Show(&registry.form(WindowKind::Form1).widget());
    });
}

void Form30::mnuFileExit_Click()
{
    guarded([&] {
        WindowRegistry& registry = WindowRegistry::instance();
        registry.form(WindowKind::Form30).Hide();
        if (registry.hasKind(WindowKind::Form1))
            registry.form(WindowKind::Form1).Show();
    });
}

void Form30::Picture1_MouseDown(QPoint pointer)
{
    guarded([&] { DragControl(*Picture1, pointer); });
}

bool Form30::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Picture1 && event->type() == QEvent::MouseButtonPress) {
        Picture1_MouseDown(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

std::unique_ptr<QWidget> WallpaperForm::createWidget()
{
    auto window = std::make_unique<Form30>();
    window->Form_Load();
    return window;
}

void registerWallpaperWindow()
{
    WindowRegistry& registry = WindowRegistry::instance();
    if (!registry.hasKind(WindowKind::Form30))
        registry.registerKind(WindowKind::Form30, [] { return std::make_unique<WallpaperForm>(); });
}

} // namespace zovex
