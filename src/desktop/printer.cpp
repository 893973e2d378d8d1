#include "printer.h"

#include "canvas.h"
#include "replaceable.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace zovex {

namespace {

// Picture pixels are screen pixels of a 96-dots-per-inch screen (15 twips each).
constexpr double kPicturePixelsPerInch = 96.0;

QPrinterInfo destination()
{
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    if (!def.isNull())
        return def;
    // CUPS may have queues without naming one the default; printing on the only (or first) one
    // is what the user expects, rather than a job that silently goes nowhere.
    const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
    return all.isEmpty() ? QPrinterInfo() : all.front();
}

} // namespace

QtPrinter::QtPrinter() = default;

QtPrinter::~QtPrinter()
{
    // An unfinished document is abandoned, not sent: the painter must go before its device.
    if (m_painter && m_painter->isActive())
        m_printer->abort();
    m_painter.reset();
    m_printer.reset();
}

bool QtPrinter::hasPrinter() { return !QPrinterInfo::availablePrinterNames().isEmpty(); }

bool QtPrinter::beginDocument()
{
    const QPrinterInfo info = destination();
    if (info.isNull())
        return false;
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    printer->setFullPage(false); // the origin is that of the printable area
    // Qt starts a document with page margins of its own (10 pt), wherever the driver lets it
    // print; the picture belongs at the origin of the printable area the driver reports.
    QPageLayout layout = printer->pageLayout();
    layout.setMargins(layout.minimumMargins());
    printer->setPageLayout(layout);
    printer->setDocName(QStringLiteral("Zovex"));
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(printer.get()))
        return false;
    // A paper printer cannot print in its margins; a PDF queue could. Cut off alike everywhere.
    const QRect printable = printer->pageLayout().paintRectPixels(printer->resolution());
    painter->setClipRect(QRect(QPoint(0, 0), printable.size()));
    m_printer = std::move(printer);
    m_painter = std::move(painter);
    return true;
}

bool QtPrinter::PaintPicture(const QImage& picture)
{
    if (picture.isNull())
        return false;
    if (!m_painter && !beginDocument())
        return false;
    // A picture recorded above 96 dpi (a pattern saved on a HiDPI screen) prints at its own
    // density, so at the physical size of the same pattern saved on an ordinary screen.
    const double scale = m_printer->resolution() / (kPicturePixelsPerInch * recordedScaleOf(picture));
    m_painter->drawImage(QRectF(0, 0, picture.width() * scale, picture.height() * scale), picture,
                         QRectF(picture.rect()));
    return true;
}

bool QtPrinter::EndDoc()
{
    if (!m_painter)
        return true;
    const bool ended = m_painter->end();
    const bool sent = ended && m_printer->printerState() != QPrinter::Error;
    m_painter.reset();
    m_printer.reset();
    return sent;
}

Printer& printer() { return Replaceable<Printer, QtPrinter>::get(); }
void setPrinter(Printer* p) { Replaceable<Printer, QtPrinter>::replace(p); }

} // namespace zovex
