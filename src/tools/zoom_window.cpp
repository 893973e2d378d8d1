#include "zoom_window.h"

#include "button_layout.h"
#include "colour_button.h"
#include "handler_guard.h"
#include "message_box.h"
#include "open_picture.h"
#include "app_windows.h"

#include <QPushButton>

namespace zovex {

namespace {

constexpr Colour kFormBack = RGB(192, 255, 255);
constexpr Colour kButtonFace = RGB(192, 192, 255);

} // namespace

Form40::Form40()
{
    setUpPictureWindow(*this, QStringLiteral("Form40"), kZoomCaption, kFormBack);
    resize(twipsSize(kZoomClientTwips.width(), kZoomClientTwips.height()));
    setWindowState(Qt::WindowMaximized);

    Image1 = new ZoomDisplay(kZoomDisplayAtLoad, this);
    // Made after the display, so the buttons stay above it however large it grows.
    Command4 = makeColourButton(this, "Command4", QStringLiteral("取图"), twipsRect(10260, 0, 1005, 285), kButtonFace);
    Command1 = makeColourButton(this, "Command1", QStringLiteral("放大"), twipsRect(11280, 0, 1005, 285), kButtonFace);
    Command2 = makeColourButton(this, "Command2", QStringLiteral("缩小"), twipsRect(12300, 0, 1005, 285), kButtonFace);
    Command3 =
        makeColourButton(this, "Command3", QStringLiteral("剪裁保存"), twipsRect(13320, 0, 1005, 285), kButtonFace);
    connectHandler(Command4, &QPushButton::clicked, this, FailureStyle::WholeOperation, [this] { Command4_Click(); });
    connectHandler(Command1, &QPushButton::clicked, this, FailureStyle::NotAtAll, [this] { Command1_Click(); });
    connectHandler(Command2, &QPushButton::clicked, this, FailureStyle::NotAtAll, [this] { Command2_Click(); });
    connectHandler(Command3, &QPushButton::clicked, this, FailureStyle::NotAtAll, [this] { Command3_Click(); });
}

void Form40::Command4_Click()
{
    const QImage picture = openPicture(CommonDialog1, this);
    if (picture.isNull())
        return;
    Image1->setPicture(picture);
    // The picture's own size: one pixel of it is one pixel of the 96-dots-per-inch screen.
    Image1->setZoomSize({pxToTwips(picture.width()), pxToTwips(picture.height())});
}

void Form40::step(ZoomStep direction)
{
    Image1->setZoomSize(zoomStep(Image1->zoomSize(), direction));
}

void Form40::Command1_Click() { step(ZoomStep::Enlarge); }

void Form40::Command2_Click()
{
    step(ZoomStep::Reduce);
    if (Image1->zoomSize().width < kSmallestZoomWidthTwips)
        messageBoxes().show(this, {kCannotReduceText, kNoticeTitle, MsgIcon::None, MsgButtons::Ok, MsgAnswer::Ok});
}

void Form40::Command3_Click() { WindowRegistry::instance().form(WindowKind::Form20).Show(); }

void Form40::Form_Resize()
{
    alignRight(*this, {Command4, Command1, Command2, Command3}, kZoomButtonsRightGapTwips);
}

void Form40::Form_Unload() { WindowRegistry::instance().form(WindowKind::Form30).Show(); }

} // namespace zovex
