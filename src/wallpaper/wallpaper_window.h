// Form30, the wallpaper window "Zovex豪华壁纸高速排版器": it repeats a tile picture edge to
// edge over a canvas as large as the user asks, opens a picture as canvas and tile, saves the
// whole canvas as a bitmap, prints the opened picture, lets the canvas be dragged about, and
// hands over to the zoom and capture windows. It is opened from Form1's "高速排版".
//
// Contract: the window is a single instance of the registry (WindowKind::Form30). Its state (the
// canvas, the tile source, the text boxes, the file dialog) lasts while it is loaded: "退出"
// hides it and keeps everything, the close box destroys it and the next opening starts from
// the defaults. Every handler is a public member named after its control and event, run by its
// control through the handler guard in its failure style (sizing and tiling: not at all, so a
// failure reaches the user as a notice; opening: whole operation; saving and printing:
// statement by statement), and runs in tests without a person (dialogs, message boxes and the
// printer are the program's injectable ones). A size that cannot be applied is refused with a
// notice and leaves the canvas as it was. Tiling and the stored pictures never read a file.
#pragma once

#include "canvas_size.h"
#include "common_dialog.h"
#include "picture_box.h"
#include "picture_window.h"
#include "app_windows.h"

#include <QImage>
#include <QMainWindow>

#include <array>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace zovex {

inline const QString kWallpaperCaption = QStringLiteral("Zovex豪华壁纸高速排版器");
inline const QString kWallpaperNotice = QStringLiteral("壁纸最大尺寸根据本机内存大小而定 尽量关闭其他应用程序");

class Form30 final : public PictureWindow<QMainWindow> {
public:
    explicit Form30(const Services& services);

    // The toolbar and its controls.
    QWidget* Picture3 = nullptr;
    QPushButton* Command3 = nullptr;            // 新建
    QPushButton* Command4 = nullptr;            // 打开
    QPushButton* Command5 = nullptr;            // 保存
    QPushButton* Command6 = nullptr;            // 打印
    QPushButton* Command7 = nullptr;            // 缩放
    QPushButton* Command8 = nullptr;            // 剪裁
    QLineEdit* Text1 = nullptr;                 // canvas height, twips
    QPushButton* Command1 = nullptr;            // 高度
    QLineEdit* Text2 = nullptr;                 // canvas width, twips
    QPushButton* Command2 = nullptr;            // 宽度
    std::array<QPushButton*, 12> tileButtons{}; // Command9 (壁纸1) ... Command20 (壁纸12)
    QLabel* Label1 = nullptr;

    // The wallpaper canvas; its picture() is the picture last opened (none at first), its
    // canvas's persistent image everything shown on it.
    PictureBox* Picture1 = nullptr;
    // The hidden tile source: its interior is the cell size of every tiling.
    PictureBox* Picture2 = nullptr;
    // The hidden holders of the built-in tiles, Picture4 ... Picture15 (tile k in k + 3).
    std::array<PictureBox*, 12> builtInHolders{};

    CommonDialog cdlg;

    QMenu* mnuFile = nullptr;        // 文件
    QAction* mnuFileNew = nullptr;   // 新建
    QAction* mnuFileOpen = nullptr;  // 打开
    QAction* mnuFileSave = nullptr;  // 保存
    QAction* mnuFilePrint = nullptr; // 打印
    QAction* mnuFileExit = nullptr;  // 退出

    // The cell size of every tiling: the tile source's interior, in whole pixels.
    QSize cellSize() const;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Command9_Click() { tileWithBuiltIn(1); }
    void Command10_Click() { tileWithBuiltIn(2); }
    void Command11_Click() { tileWithBuiltIn(3); }
    void Command12_Click() { tileWithBuiltIn(4); }
    void Command13_Click() { tileWithBuiltIn(5); }
    void Command14_Click() { tileWithBuiltIn(6); }
    void Command15_Click() { tileWithBuiltIn(7); }
    void Command16_Click() { tileWithBuiltIn(8); }
    void Command17_Click() { tileWithBuiltIn(9); }
    void Command18_Click() { tileWithBuiltIn(10); }
    void Command19_Click() { tileWithBuiltIn(11); }
    void Command20_Click() { tileWithBuiltIn(12); }
    void mnuFileNew_Click() { Command3_Click(); }
    void mnuFileOpen_Click() { Command4_Click(); }
    void mnuFileSave_Click() { Command5_Click(); }
    void mnuFilePrint_Click() { Command6_Click(); }
    void mnuFileExit_Click();
    // A press of any mouse button on the canvas, at `pointer` on the screen.
    void Picture1_MouseDown(QPoint pointer);

    // Built-in tile k (1..12) in the current cells.
    void tileWithBuiltIn(int k);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    // Applies one text box to its side of the canvas; false (after a notice) when refused.
    bool applyCanvasSide(CanvasSide side);
    // Gives the canvas box the outer size `outerPx`; false (after a notice) when the canvas
    // cannot be that large.
    bool setCanvasSize(QSize outerPx);
    void tileWith(const QImage& picture);
};

// Registers the wallpaper window with the window registry; later calls change nothing.
void registerWallpaperWindow(const Services& services);
// The wallpaper window of `registry`, loaded if need be.
Form30& wallpaperWindow(WindowRegistry& registry);

} // namespace zovex
