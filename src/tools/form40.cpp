#include "form40.h"

#include "font_faces.h"
#include "int_conv.h"
#include "load_picture.h"
#include "message_box.h"
#include "zvtdy.h"

#include <QCloseEvent>
#include <QPushButton>

namespace zovex {

namespace {

constexpr Colour kFormBack = RGB(192, 255, 255);
constexpr Colour kButtonFace = RGB(192, 192, 255);

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

Form40::Form40() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("Form40"));
    setWindowRole(QStringLiteral("Form40"));
    setWindowTitle(kZoomCaption);
    setFont(controlFont(QStringLiteral("宋体"), 9, false));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(toPixel(kFormBack)));
    setPalette(pal);
    resize(twipsToPx(kZoomClientTwips.width()), twipsToPx(kZoomClientTwips.height()));
    setWindowState(Qt::WindowMaximized);

    Image1 = new ZoomDisplay(kZoomDisplayAtLoad, this);
    // Made after the display, so the buttons stay above it however large it grows.
    Command4 = colourButton(this, "Command4", QStringLiteral("取图"), twipsToPixels(10260, 0, 1005, 285));
    Command1 = colourButton(this, "Command1", QStringLiteral("放大"), twipsToPixels(11280, 0, 1005, 285));
    Command2 = colourButton(this, "Command2", QStringLiteral("缩小"), twipsToPixels(12300, 0, 1005, 285));
    Command3 = colourButton(this, "Command3", QStringLiteral("剪裁保存"), twipsToPixels(13320, 0, 1005, 285));
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
}

void Form40::Command4_Click()
{
    guarded([&] {
        CommonDialog1.Filter = kOpenPictureFilter;
        CommonDialog1.CancelError = true;
        if (!CommonDialog1.ShowOpen(this)) // a cancel throws; this is the same end
            return;
        const QImage picture = LoadPicture(CommonDialog1.FileName);
        if (picture.isNull())
            return;
        Image1->setPicture(picture);
        // The picture's own size: one pixel of it is one pixel of the 96-dots-per-inch screen.
        Image1->setZoomWidth(static_cast<float>(picture.width()) * 15.0f);
        Image1->setZoomHeight(static_cast<float>(picture.height()) * 15.0f);
    });
}

void Form40::step(ZoomStep direction)
{
    const ZoomSize next = zoomStep(Image1->zoomSize(), direction);
    Image1->setZoomWidth(next.width);
    Image1->setZoomHeight(next.height);
}

void Form40::Command1_Click()
{
    guarded([&] { step(ZoomStep::Enlarge); });
}

void Form40::Command2_Click()
{
    guarded([&] {
        step(ZoomStep::Reduce);
        if (Image1->zoomSize().width < kSmallestZoomWidthTwips)
            messageBoxes().show(this, {kCannotReduceText, kNoticeTitle, MsgIcon::None, MsgButtons::Ok, MsgAnswer::Ok});
    });
}

void Form40::Command3_Click()
{
    guarded([] { WindowRegistry::instance().form(WindowKind::Form20).Show(); });
}

void Form40::Form_Resize()
{
    const double w = frameGeometry().width() * 15.0;
    double right = w - kZoomButtonsRightGapTwips;
    for (QPushButton* b : {Command3, Command2, Command1, Command4}) {
        right -= b->width() * 15.0;
        b->move(twipsToPx(right), b->y());
    }
}

void Form40::Form_Unload()
{
    guarded([] { WindowRegistry::instance().form(WindowKind::Form30).Show(); });
}

void Form40::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    guarded([&] { Form_Resize(); });
}

void Form40::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
}

std::unique_ptr<QWidget> ZoomForm::createWidget() { return std::make_unique<Form40>(); }

void registerZoomWindow()
{
    WindowRegistry& registry = WindowRegistry::instance();
    if (!registry.hasKind(WindowKind::Form40))
        registry.registerKind(WindowKind::Form40, [] { return std::make_unique<ZoomForm>(); });
}

} // namespace zovex
