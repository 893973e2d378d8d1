#include "print_window.h"

#include "button_layout.h"
#include "control_table.h"
#include "handler_guard.h"
#include "open_picture.h"
#include "twips.h"
#include "app_windows.h"

#include <QPushButton>

namespace zovex {

namespace {

constexpr Colour kFormBack = RGB(192, 255, 255);
constexpr Colour kPictureBack = RGB(255, 192, 255);
constexpr Colour kButtonFace = RGB(192, 192, 255);
constexpr Twips kRightGap = 100;

const WindowControl<zvtdy> kButtons[] = {
    {{"Command4", ControlKind::ColourButton, {10830, 60, 1275, 375}, "取图", {}, kButtonFace},
     &zvtdy::Command4,
     &zvtdy::Command4_Click,
     FailureStyle::WholeOperation},
    {{"Command2", ControlKind::ColourButton, {10830, 480, 1275, 375}, "打印", {}, kButtonFace},
     &zvtdy::Command2,
     &zvtdy::Command2_Click,
     FailureStyle::StatementByStatement},
};

} // namespace

zvtdy::zvtdy(const Services& services) : PictureWindow<QWidget>(services), CommonDialog1(services.fileDialogs)
{
    setUpPictureWindow(*this, QStringLiteral("zvtdy"), QStringLiteral("Form1"), kFormBack);
    resize(twipsSize(12255, 7020));
    setWindowState(Qt::WindowMaximized);

    const QRect picture = twipsRect(30, 30, 9660, 7260);
    Picture1 = new PictureBox(picture.size(), kPictureBack, this, AutoSize::On);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->move(picture.topLeft());

    buildWindowControls(*this, kButtons);
}

void zvtdy::Command4_Click()
{
    QImage picture = openPicture(CommonDialog1, this);
    if (!picture.isNull())
        Picture1->setPicture(std::move(picture)); // handed over: held once
}

void zvtdy::Command2_Click()
{
    printPicture(services().printer, boxes(), Picture1->picture(), this, NoPrinter::Notice);
}

void zvtdy::Form_Resize()
{
    // The buttons stand one above the other, each 100 twips from the right edge.
    alignRight(*this, {Command2}, kRightGap);
    alignRight(*this, {Command4}, kRightGap);
}

void zvtdy::Form_Unload() { showForm1(services().windows); }

} // namespace zovex
