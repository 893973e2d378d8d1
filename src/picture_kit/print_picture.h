// printPicture: "打印" of the picture windows. The picture goes on the program's printer (the
// desktop's default) at the top-left of the printable area at its own size, one page per call,
// without a dialog.
//
// Contract (statement by statement): drawing the picture and ending the document are two steps,
// each skipped alone when it fails, so the document is ended in any case (with no picture,
// nothing is sent). Printing problems are not reported. With NoPrinter::Notice a desktop that has
// no printer at all is told in a notice (kNoPrinterText), since a print that silently went
// nowhere would look like one that worked; with NoPrinter::Silent nothing is ever shown.
#pragma once

#include <QImage>
#include <QString>

class QWidget;

namespace zovex {

enum class NoPrinter { Notice, Silent };

inline const QString kNoPrinterText = QStringLiteral("无法打印：系统中没有安装任何打印机。");

void printPicture(const QImage& picture, QWidget* parent, NoPrinter noPrinter) noexcept;

} // namespace zovex
