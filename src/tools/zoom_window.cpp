#include "zoom_window.h"

#include "canvas.h"

#include "button_layout.h"
#include "control_table.h"
#include "handler_guard.h"
#include "message_box.h"
#include "open_picture.h"
#include "app_windows.h"

#include <QPushButton>

namespace zovex {

namespace {

constexpr Colour kFormBack = RGB(192, 255, 255);
constexpr Colour kButtonFace = RGB(192, 192, 255);

const WindowControl<Form40> kButtons[] = {
    {{"Command4", ControlKind::ColourButton, {10260, 0, 1005, 285}, "取图", {}, kButtonFace},
     &Form40::Command4,
     &Form40::Command4_Click,
     FailureStyle::WholeOperation},
    {{"Command1", ControlKind::ColourButton, {11280, 0, 1005, 285}, "放大", {}, kButtonFace},
     &Form40::Command1,
     &Form40::Command1_Click},
    {{"Command2", ControlKind::ColourButton, {12300, 0, 1005, 285}, "缩小", {}, kButtonFace},
     &Form40::Command2,
     &Form40::Command2_Click},
    {{"Command3", ControlKind::ColourButton, {13320, 0, 1005, 285}, "剪裁保存", {}, kButtonFace},
     &Form40::Command3,
     &Form40::Command3_Click},
};

} // namespace

Form40::Form40(const Services& services) : PictureWindow<QWidget>(services), CommonDialog1(services.fileDialogs)
{
    setUpPictureWindow(*this, QStringLiteral("Form40"), kZoomCaption, kFormBack);
    resize(twipsSize(kZoomClientTwips.width(), kZoomClientTwips.height()));
    setWindowState(Qt::WindowMaximized);

    Image1 = new ZoomDisplay(kZoomDisplayAtLoad, this);
    // Made after the display, so the buttons stay above it however large it grows.
    buildWindowControls(*this, kButtons);
}

void Form40::Command4_Click()
{
    QImage picture = openPicture(CommonDialog1, this);
    if (picture.isNull())
        return;
    const QSize size = picture.size();
    // The picture's own size: one pixel of it is one pixel of the 96-dots-per-inch screen, or,
    // for a picture that records more, its pixels at that density.
    const double density = recordedScaleOf(picture);
    Image1->setPicture(std::move(picture)); // handed over: held once
    Image1->setZoomSize({static_cast<Twips>(size.width() * double(kTwipsPerPixel) / density),
                         static_cast<Twips>(size.height() * double(kTwipsPerPixel) / density)});
}

void Form40::step(ZoomStep direction) { Image1->setZoomSize(zoomStep(Image1->zoomSize(), direction)); }

void Form40::Command1_Click() { step(ZoomStep::Enlarge); }

void Form40::Command2_Click()
{
    step(ZoomStep::Reduce);
    if (Image1->zoomSize().width < kSmallestZoomWidthTwips)
        boxes().show(this, {kCannotReduceText, kNoticeTitle, MsgIcon::None, MsgButtons::Ok, MsgAnswer::Ok});
}

void Form40::Command3_Click() { showWindow(services().windows, WindowKind::Form20); }

void Form40::Form_Resize() { alignRight(*this, {Command4, Command1, Command2, Command3}, kZoomButtonsRightGapTwips); }

void Form40::Form_Unload() { showWindow(services().windows, WindowKind::Form30); }

} // namespace zovex
