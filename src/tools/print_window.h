// zvtdy, the print window: the user loads a picture file with "取图" and prints it with "打印"
// on the desktop's default printer, one page per press, at the picture's own size at the
// top-left of the printable area. Closing the window shows Form1.
//
// Loading fails silently (cancel, not a picture, unreadable, larger than the program reads):
// the window keeps what it showed. Printing fails silently too, except when the desktop has no
// printer at all, which a notice says. The window's only state is its picture; closing it
// destroys the picture, the next opening starts empty.
#pragma once

#include "common_dialog.h"
#include "picture_box.h"
#include "picture_window.h"
#include "print_picture.h"
#include "single_window.h"
#include "app_windows.h"

#include <QWidget>

class QPushButton;

namespace zovex {

class zvtdy final : public PictureWindow<QWidget> {
public:
    explicit zvtdy(const Services& services);

    PictureBox* Picture1 = nullptr;
    QPushButton* Command4 = nullptr; // 取图
    QPushButton* Command2 = nullptr; // 打印
    // Created with the window and gone with it.
    CommonDialog CommonDialog1;

    void Command4_Click();
    void Command2_Click();
    void Form_Resize() override;
    void Form_Unload() override;
};

using ZvtdyForm = SingleWindow<zvtdy>;

// Registers the print window with the window registry; later calls change nothing.
inline void registerPrintWindow(const Services& services) { registerSingleWindow<zvtdy>(services, WindowKind::zvtdy); }

} // namespace zovex
