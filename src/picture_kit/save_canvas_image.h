// SaveCanvasImage: keeps the pattern on a window's canvas as a bitmap file, chosen in that
// window's own file dialog. Used by "保存图案" of every designer window and by the wallpaper
// window.
//
// Contract: the dialog opens in the program's folder with the one filter "位图文件 (*.Bmp)",
// offering the name last chosen with this dialog. Cancelling ends the save: nothing is written
// and nothing is asked. An existing ordinary file of the chosen name is replaced only after
// "询问" was answered Yes. The name is used exactly as chosen (no extension added); the file is
// always a standard uncompressed 24-bit BMP of the canvas's persistent image as it is when the
// dialog and the question have closed (ticks go on meanwhile). The write is whole or nothing:
// when it fails, any old file stays as it was, no temporary file is left, and a notice names
// the file and the reason. Nothing is thrown; the canvas and the window are not changed.
#pragma once

#include <QString>

class QWidget;

namespace zovex {

class Canvas;
class CommonDialog;

inline const QString kBitmapFilter = QStringLiteral("位图文件 (*.Bmp)|*.Bmp");
inline const QString kOverwriteQuestion = QStringLiteral("文件已经存在，是否覆盖文件？");

// The notice shown when the file could not be written.
QString patternNotSavedText(const QString& fileName, const QString& reason);

void SaveCanvasImage(CommonDialog& dialog, const Canvas& canvas, QWidget* parent) noexcept;

} // namespace zovex
