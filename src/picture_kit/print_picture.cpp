#include "print_picture.h"

#include "attempt.h"
#include "message_box.h"
#include "printer.h"

namespace zovex {

void printPicture(Printer& printer, MessageBoxes& boxes, const QImage& picture, QWidget* parent,
                  NoPrinter noPrinter) noexcept
{
    attempt([&] {
        attempt([&] { printer.PaintPicture(picture); });
        attempt([&] { printer.EndDoc(); });
        if (noPrinter == NoPrinter::Notice && !printer.hasPrinter())
            boxes.notice(parent, kNoPrinterText);
    });
}

} // namespace zovex
