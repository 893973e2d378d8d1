#include "zvtdy.h"

#include "font_faces.h"
#include "int_conv.h"
#include "load_picture.h"
#include "message_box.h"
#include "printer.h"

#include <QCloseEvent>
#include <QPushButton>

namespace zovex {

namespace {

constexpr Colour kFormBack = RGB(192, 255, 255);
constexpr Colour kPictureBack = RGB(255, 192, 255);
constexpr Colour kButtonFace = RGB(192, 192, 255);
constexpr int kRightGapTwips = 100;

int twipsToPx(double twips) { return toInt32(twips / 15.0); }
QRect twipsToPixels(int left, int top, int width, int height)
{
    return QRect(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
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

QPushButton* colourButton(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    const QString face = QColor::fromRgb(toPixel(kButtonFace)).name();
    b->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: black; border: 2px outset %1; }"
                                    "QPushButton:pressed { border-style: inset; }"
                                    "QPushButton:focus { border: 2px solid black; }")
                         .arg(face));
    return b;
}

} // namespace

zvtdy::zvtdy() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("zvtdy"));
    setWindowRole(QStringLiteral("zvtdy"));
    setWindowTitle(QStringLiteral("Form1"));
    setFont(controlFont(QStringLiteral("宋体"), 9, false));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(toPixel(kFormBack)));
    setPalette(pal);
    resize(twipsToPixels(0, 0, 12255, 7020).size());
    setWindowState(Qt::WindowMaximized);

    const QRect picture = twipsToPixels(30, 30, 9660, 7260);
    Picture1 = new AutoSizePictureBox(picture.size(), kPictureBack, this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->move(picture.topLeft());

    Command4 = colourButton(this, "Command4", QStringLiteral("取图"), twipsToPixels(10830, 60, 1275, 375));
    Command2 = colourButton(this, "Command2", QStringLiteral("打印"), twipsToPixels(10830, 480, 1275, 375));
    connect(Command4, &QPushButton::clicked, this, [this] { guarded([&] { Command4_Click(); }); });
    connect(Command2, &QPushButton::clicked, this, [this] { guarded([&] { Command2_Click(); }); });
}

void zvtdy::Command4_Click()
{
    guarded([&] {
        CommonDialog1.Filter = kOpenPictureFilter;
        CommonDialog1.CancelError = true;
        if (!CommonDialog1.ShowOpen(this)) // a cancel throws; this is the same end
            return;
        const QImage picture = LoadPicture(CommonDialog1.FileName);
        if (picture.isNull())
            return;
        Picture1->setPicture(picture);
    });
}

void zvtdy::Command2_Click()
{
    guarded([&] {
        Printer& p = printer();
        // Each step on its own: no picture (or a printer that refuses it) still ends the document.
        p.PaintPicture(Picture1->picture());
        p.EndDoc();
        // A print that silently went nowhere would look like one that worked.
        if (!p.hasPrinter())
            messageBoxes().notice(this, kNoPrinterText);
    });
}

void zvtdy::Form_Resize()
{
    // Measured on the client area: the desktop's frame is not the window's to draw on, and the
    // buttons stay wholly visible whatever frame the window manager puts around them.
    const double w = width() * 15.0;
    for (QPushButton* b : {Command2, Command4})
        b->move(twipsToPx(w - b->width() * 15.0 - kRightGapTwips), b->y());
}

void zvtdy::Form_Unload()
{
    guarded([] { WindowRegistry::instance().form(WindowKind::Form1).Show(); });
}

void zvtdy::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    guarded([&] { Form_Resize(); });
}

void zvtdy::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
}

std::unique_ptr<QWidget> ZvtdyForm::createWidget() { return std::make_unique<zvtdy>(); }

void registerPrintWindow()
{
    WindowRegistry& registry = WindowRegistry::instance();
    if (!registry.hasKind(WindowKind::zvtdy))
        registry.registerKind(WindowKind::zvtdy, [] { return std::make_unique<ZvtdyForm>(); });
}

} // namespace zovex
