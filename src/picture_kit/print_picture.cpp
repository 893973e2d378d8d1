#include "print_picture.h"

#include "attempt.h"
#include "message_box.h"
#include "printer.h"

namespace zovex {

void printPicture(const QImage& picture, QWidget* parent, NoPrinter noPrinter) noexcept
{
    attempt([&] {
        Printer& p = printer();
        attempt([&] { p.PaintPicture(picture); });
        attempt([&] { p.EndDoc(); });
        if (noPrinter == NoPrinter::Notice && !p.hasPrinter())
            messageBoxes().notice(parent, kNoPrinterText);
    });
}

} // namespace zovex
