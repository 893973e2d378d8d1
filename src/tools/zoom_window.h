// Form40, the zoom-and-crop window ("Zovex图像缩放剪裁"), and its registry entry.
//
// "取图" loads a picture file and shows it at its own size at (30, 30) twips; "放大" and "缩小"
// multiply the display's width, then its height, by 1.25 and 0.75; "剪裁保存" shows the capture
// window Form20 (without an owner) so that the user can cut the part wanted out of the screen.
// The display's size in single-precision twips is the whole zoom state, kept as computed; a step
// that single precision cannot hold is not taken (see zoomStep). Every 缩小 that leaves the
// width below 50 twips says "不能再缩小了" after reducing.
//
// Loading fails silently (cancel, not a picture, unreadable, larger than the program reads):
// the display keeps what it showed. The window is a single instance; its close box destroys it
// and shows the wallpaper window Form30; the next opening starts empty at 9195 × 8505 twips.
// Every handler is a public member named after its control and event; none lets an exception
// out. Message boxes and the file dialog are the program's at each use.
#pragma once

#include "common_dialog.h"
#include "picture_window.h"
#include "single_window.h"
#include "twips.h"
#include "zoom_display.h"
#include "app_windows.h"

#include <QWidget>

class QPushButton;

namespace zovex {

inline const QString kZoomCaption = QStringLiteral("Zovex图像缩放剪裁");
inline const QString kCannotReduceText = QStringLiteral("不能再缩小了");
// Below this width (twips) 缩小 says it cannot reduce further, after reducing.
inline constexpr Twips kSmallestZoomWidthTwips = 50;
// The display before any picture, and the designed client area, in twips.
inline constexpr ZoomSize kZoomDisplayAtLoad{9195, 8505};
inline constexpr QSize kZoomClientTwips(14580, 8475);
// The buttons end this far (twips) before the window's width.
inline constexpr Twips kZoomButtonsRightGapTwips = 200;

class Form40 final : public PictureWindow<QWidget> {
public:
    explicit Form40(const Services& services);

    ZoomDisplay* Image1 = nullptr;
    QPushButton* Command4 = nullptr; // 取图
    QPushButton* Command1 = nullptr; // 放大
    QPushButton* Command2 = nullptr; // 缩小
    QPushButton* Command3 = nullptr; // 剪裁保存
    // Created with the window and gone with it.
    CommonDialog CommonDialog1;

    void Command4_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Form_Resize() override;
    void Form_Unload() override;

private:
    void step(ZoomStep direction);
};

using ZoomForm = SingleWindow<Form40>;

// Registers the zoom window with the window registry; later calls change nothing.
inline void registerZoomWindow(const Services& services) { registerSingleWindow<Form40>(services, WindowKind::Form40); }

} // namespace zovex
