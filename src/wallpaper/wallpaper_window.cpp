#include "wallpaper_window.h"

#include "control_table.h"
#include "handler_guard.h"
#include "message_box.h"
#include "control_drag.h"
#include "open_picture.h"
#include "picture_window.h"
#include "print_picture.h"
#include "save_canvas_image.h"
#include "single_window.h"
#include "tile_canvas.h"
#include "twips.h"
#include "wallpaper_tiles.h"
#include "app_windows.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <cmath>

namespace zovex {

namespace {

constexpr Colour kToolbarBack = RGB(215, 21, 123);
constexpr Colour kCommandFace = RGB(192, 192, 255);
constexpr Colour kTileFace = RGB(255, 192, 255);
constexpr Colour kBoxBack = RGB(192, 192, 192);

// The canvas as "新建" makes it (twips); 510 puts it just below the 495-twip toolbar.
constexpr double kNewLeft = 0, kNewTop = 510, kNewHeight = 11000, kNewWidth = 16000;

// A hidden picture box holding a stored picture: the interior is the picture's size.
PictureBox* holder(QWidget* parent, const QString& name, QRect geometry, const QImage& picture)
{
    auto* box = new PictureBox(geometry.size(), kBoxBack, parent, AutoSize::On, ScaleMode::Pixel);
    box->setObjectName(name);
    box->move(geometry.topLeft());
    box->setPicture(picture);
    box->hide();
    return box;
}

using Control = WindowControl<Form30>;
constexpr auto kNotAtAll = FailureStyle::NotAtAll;
constexpr auto kStatements = FailureStyle::StatementByStatement;

// The toolbar left of the tile buttons, on Picture3.
const Control kToolbar[] = {
    {{"Command3", ControlKind::ColourButton, {0, 30, 525, 465}, "新建", {}, kCommandFace},
     &Form30::Command3,
     &Form30::Command3_Click,
     kNotAtAll},
    {{"Command4", ControlKind::ColourButton, {540, 30, 495, 465}, "打开", {}, kCommandFace},
     &Form30::Command4,
     &Form30::Command4_Click,
     FailureStyle::WholeOperation},
    {{"Command5", ControlKind::ColourButton, {1050, 30, 495, 465}, "保存", {}, kCommandFace},
     &Form30::Command5,
     &Form30::Command5_Click,
     kStatements},
    {{"Command6", ControlKind::ColourButton, {1560, 30, 495, 465}, "打印", {}, kCommandFace},
     &Form30::Command6,
     &Form30::Command6_Click,
     kStatements},
    {{"Command7", ControlKind::ColourButton, {2070, 30, 495, 465}, "缩放", {}, kCommandFace},
     &Form30::Command7,
     &Form30::Command7_Click,
     kNotAtAll},
    {{"Command8", ControlKind::ColourButton, {2580, 30, 495, 465}, "剪裁", {}, kCommandFace},
     &Form30::Command8,
     &Form30::Command8_Click,
     kNotAtAll},
    {{"Text1", ControlKind::TextBox, {3060, 30, 1125, 465}, "33000"}, &Form30::Text1},
    {{"Command1", ControlKind::ColourButton, {4200, 30, 495, 465}, "高度", {}, kCommandFace},
     &Form30::Command1,
     &Form30::Command1_Click,
     kNotAtAll},
    {{"Text2", ControlKind::TextBox, {4710, 30, 1125, 465}, "43000"}, &Form30::Text2},
    {{"Command2", ControlKind::ColourButton, {5850, 30, 495, 465}, "宽度", {}, kCommandFace},
     &Form30::Command2,
     &Form30::Command2_Click,
     kNotAtAll},
};

} // namespace

Form30::Form30(const Services& services) : PictureWindow<QMainWindow>(services), cdlg(services.fileDialogs)
{
    setUpPictureWindow(*this, QStringLiteral("Form30"), kWallpaperCaption);
    buildMenu();
    buildControls();
    resize(twipsSize(21420, 12690) + QSize(0, menuBar()->sizeHint().height()));
    setWindowState(Qt::WindowMaximized);
    runHandler(boxes(), FailureStyle::NotAtAll, this, [this] { Form_Load(); });
}

void Form30::buildMenu()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("文件"));
    mnuFile->setObjectName(QStringLiteral("文件"));
    const auto item = [this](const QString& caption, FailureStyle style, void (Form30::*handler)()) {
        QAction* a = mnuFile->addAction(caption);
        a->setObjectName(caption);
        connectHandler(boxes(), a, &QAction::triggered, this, style, [this, handler] { (this->*handler)(); });
        return a;
    };
    mnuFileNew = item(QStringLiteral("新建"), FailureStyle::NotAtAll, &Form30::mnuFileNew_Click);
    mnuFileOpen = item(QStringLiteral("打开"), FailureStyle::WholeOperation, &Form30::mnuFileOpen_Click);
    mnuFileSave = item(QStringLiteral("保存"), FailureStyle::StatementByStatement, &Form30::mnuFileSave_Click);
    mnuFilePrint = item(QStringLiteral("打印"), FailureStyle::StatementByStatement, &Form30::mnuFilePrint_Click);
    mnuFileExit = item(QStringLiteral("退出"), FailureStyle::NotAtAll, &Form30::mnuFileExit_Click);
}

void Form30::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    const QRect canvas = twipsRect(0, 480, 16000, 12000);
    Picture1 = new PictureBox(canvas.size(), kBoxBack, client, AutoSize::On, ScaleMode::Pixel);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->move(canvas.topLeft());
    Picture1->setCursor(Qt::SizeAllCursor);
    Picture1->installEventFilter(this);

    // The stored pictures are decoded once, here, and never during a tiling.
    Picture2 = holder(client, QStringLiteral("Picture2"), twipsRect(90, 690, 5790, 5805), defaultTilePicture());
    for (int k = 1; k <= 12; ++k)
        builtInHolders[static_cast<std::size_t>(k - 1)] =
            holder(Picture1, QStringLiteral("Picture%1").arg(k + 3), QRect(0, 0, 8, 8), builtInTilePicture(k));

    // The toolbar stays above the canvas: a canvas dragged up slides under it.
    Picture3 = new QWidget(client);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setGeometry(twipsRect(0, 0, 16575, 495));
    fillBackground(*Picture3, kToolbarBack);

    buildWindowControls(*this, kToolbar, Picture3);
    static constexpr void (Form30::*tileHandlers[12])() = {
        &Form30::Command9_Click,  &Form30::Command10_Click, &Form30::Command11_Click, &Form30::Command12_Click,
        &Form30::Command13_Click, &Form30::Command14_Click, &Form30::Command15_Click, &Form30::Command16_Click,
        &Form30::Command17_Click, &Form30::Command18_Click, &Form30::Command19_Click, &Form30::Command20_Click};
    for (int k = 1; k <= 12; ++k) {
        const QByteArray name = "Command" + QByteArray::number(8 + k);
        const ControlRow row = {name.constData(),
                                ControlKind::ColourButton,
                                {6360.0 + 510 * (k - 1), 30, 495, 465},
                                QStringLiteral("壁纸%1").arg(k),
                                {},
                                kTileFace};
        tileButtons[static_cast<std::size_t>(k - 1)] =
            buildControlAs<QPushButton>(buildWindowControl(*this, {row, {}, tileHandlers[k - 1]}, Picture3));
    }
    // The notice's two sentences, one a line: the label would otherwise break the line
    // wherever the first one and the start of the second fill it, inside a word.
    Label1 = buildControl<QLabel>(*Picture3, {"Label1",
                                              ControlKind::Label,
                                              {13350, 60, 3135, 405},
                                              QString(kWallpaperNotice).replace(QLatin1Char(' '), QLatin1Char('\n')),
                                              {},
                                              {},
                                              kBold9,
                                              Qt::AlignLeft | Qt::AlignVCenter});
    Label1->setWordWrap(true);
    Label1->setAttribute(Qt::WA_TranslucentBackground, true);
}

QSize Form30::cellSize() const
{
    return QSize(static_cast<int>(std::lround(Picture2->ScaleWidth())),
                 static_cast<int>(std::lround(Picture2->ScaleHeight())));
}

void Form30::Form_Load()
{
    // The window opens maximised: the toolbar runs across the whole window, less 2 twips, and
    // the notice ends flush with its right end.
    const QScreen* shownOn = screen();
    const int outerPx = shownOn ? shownOn->availableGeometry().width() : width();
    Picture3->resize(twipsToPx(pxToTwips(outerPx) - 2.0), Picture3->height());
    Label1->move(Picture3->width() - Label1->width(), Label1->y());
    // A size refused here leaves that side as designed; the canvas is covered all the same.
    applyCanvasSide(CanvasSide::Height);
    applyCanvasSide(CanvasSide::Width);
    tileWith(Picture2->picture());
}

bool Form30::setCanvasSize(QSize outerPx)
{
    if (Picture1->setOuterSize(outerPx))
        return true;
    boxes().notice(this, canvasNotAllocatedNotice(canvasInterior(outerPx)));
    return false;
}

bool Form30::applyCanvasSide(CanvasSide side)
{
    const QString text = side == CanvasSide::Height ? Text1->text() : Text2->text();
    const CanvasSizeCheck check = checkCanvasSide(text, side, Picture1->size());
    if (!check.interior) {
        boxes().notice(this, check.notice);
        return false;
    }
    return setCanvasSize(check.outer);
}

void Form30::tileWith(const QImage& picture)
{
    TileCanvas(Picture1->canvas(), picture, cellSize());
    Picture1->update();
}

void Form30::Command1_Click()
{
    if (applyCanvasSide(CanvasSide::Height))
        tileWith(Picture2->picture());
}

void Form30::Command2_Click()
{
    if (applyCanvasSide(CanvasSide::Width))
        tileWith(Picture2->picture());
}

void Form30::Command3_Click()
{
    const QRect box = twipsRect(kNewLeft, kNewTop, kNewWidth, kNewHeight);
    Picture1->move(box.topLeft());
    if (setCanvasSize(box.size()))
        tileWith(Picture2->picture());
}

void Form30::tileWithBuiltIn(int k) { tileWith(builtInHolders.at(static_cast<std::size_t>(k - 1))->picture()); }

void Form30::Command4_Click()
{
    QImage picture = openPicture(cdlg, this);
    if (picture.isNull())
        return;
    // The canvas and the tile source share one image: a large picture is held once (the
    // decoding is handed over, not copied), and the tile source cannot end up with another
    // picture than the canvas.
    Picture1->setPicture(std::move(picture));
    Picture2->setPicture(Picture1->picture());
}

void Form30::Command5_Click() { SaveCanvasImage(boxes(), cdlg, Picture1->canvas(), this); }

void Form30::Command6_Click()
{
    printPicture(services().printer, boxes(), Picture1->picture(), this, NoPrinter::Silent);
}

void Form30::Command7_Click() { showWindow(services().windows, WindowKind::Form40, this); }

void Form30::Command8_Click() { showOwnedByForm1(services().windows, WindowKind::Form20); }

void Form30::mnuFileExit_Click()
{
    hide();
    showForm1(services().windows);
}

void Form30::Picture1_MouseDown(QPoint pointer) { DragControl(services().screen, *Picture1, pointer); }

bool Form30::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Picture1 && event->type() == QEvent::MouseButtonPress) {
        const QPoint pointer = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        runHandler(boxes(), FailureStyle::NotAtAll, this, [&] { Picture1_MouseDown(pointer); });
        return true;
    }
    return PictureWindow<QMainWindow>::eventFilter(watched, event);
}

void registerWallpaperWindow(const Services& services) { registerSingleWindow<Form30>(services, WindowKind::Form30); }

Form30& wallpaperWindow(WindowRegistry& registry) { return singleWindow<Form30>(registry, WindowKind::Form30); }

} // namespace zovex
