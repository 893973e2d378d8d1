// openPicture: "取图" / "打开" of the picture windows (print, wallpaper, zoom). The window's own
// file dialog is set to the four-entry picture filter with CancelError on (InitDir is left as
// it is) and shown; the chosen file is read with LoadPicture.
//
// Contract (whole operation): the picture, or a null image when the user cancelled or the file
// is not a picture, cannot be read or is larger than the program reads. Nothing is thrown and
// nothing is shown. After a choice the dialog's FileName holds the chosen path (also when the
// file was not a picture); after a cancel it holds what it held before.
#pragma once

#include <QImage>
#include <QString>

class QWidget;

namespace zovex {

class CommonDialog;

inline const QString kOpenPictureFilter =
    QStringLiteral("All Files (*.*)|*.*|JPG Files (*.jpg)|*.jpg|GIF Files (*.gif)|*.gif|BMP Files (*.bmp)|*.bmp");

QImage openPicture(CommonDialog& dialog, QWidget* parent) noexcept;

} // namespace zovex
