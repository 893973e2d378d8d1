#include "print_window.h"

#include "button_layout.h"
#include "colour_button.h"
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

} // namespace

zvtdy::zvtdy()
{
    setUpPictureWindow(*this, QStringLiteral("zvtdy"), QStringLiteral("Form1"), kFormBack);
    resize(twipsSize(12255, 7020));
    setWindowState(Qt::WindowMaximized);

    const QRect picture = twipsRect(30, 30, 9660, 7260);
    Picture1 = new PictureBox(picture.size(), kPictureBack, this, AutoSize::On);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->move(picture.topLeft());

    Command4 =
        makeColourButton(this, "Command4", QStringLiteral("取图"), twipsRect(10830, 60, 1275, 375), kButtonFace);
    Command2 =
        makeColourButton(this, "Command2", QStringLiteral("打印"), twipsRect(10830, 480, 1275, 375), kButtonFace);
    connectHandler(Command4, &QPushButton::clicked, this, FailureStyle::WholeOperation, [this] { Command4_Click(); });
    connectHandler(Command2, &QPushButton::clicked, this, FailureStyle::StatementByStatement,
                   [this] { Command2_Click(); });
}

void zvtdy::Command4_Click()
{
    const QImage picture = openPicture(CommonDialog1, this);
    if (!picture.isNull())
        Picture1->setPicture(picture);
}

void zvtdy::Command2_Click() { printPicture(Picture1->picture(), this, NoPrinter::Notice); }

void zvtdy::Form_Resize()
{
    // The buttons stand one above the other, each 100 twips from the right edge.
    alignRight(*this, {Command2}, kRightGap);
    alignRight(*this, {Command4}, kRightGap);
}

void zvtdy::Form_Unload() { WindowRegistry::instance().form(WindowKind::Form1).Show(); }

} // namespace zovex
