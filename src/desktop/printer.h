// The desktop's default printer behind a small interface, so that the handlers that print run in
// tests against a scripted printer.
//
// Contract: a document is opened by its first drawing and sent by EndDoc as one page. A picture
// is placed with its top-left corner at the origin of the printable area, at its own physical
// size (one picture pixel = 1/96 inch; a picture that records more than 96 dpi, at that density),
// cut off at the edges of the printable area; there is no printer dialog. EndDoc with nothing drawn sends nothing.
// Every call reports failure by its result and never throws.
#pragma once

#include <QImage>

#include <memory>

class QPainter;
class QPrinter;

namespace zovex {

class Printer {
public:
    virtual ~Printer() = default;

    // Whether the desktop has any printer at all.
    virtual bool hasPrinter() = 0;
    // Draws `picture` on the current page, opening the document if need be. False when nothing
    // could be drawn: a null picture, no printer, or the job could not be started.
    virtual bool PaintPicture(const QImage& picture) = 0;
    // Ends the document and sends its page. True when there was nothing to send.
    virtual bool EndDoc() = 0;
};

// Qt's printer on the default CUPS destination, or the first destination when the desktop names
// no default. The document is rendered at the printer's own resolution.
class QtPrinter final : public Printer {
public:
    QtPrinter();
    ~QtPrinter() override;

    bool hasPrinter() override;
    bool PaintPicture(const QImage& picture) override;
    bool EndDoc() override;

private:
    bool beginDocument();

    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;
};

} // namespace zovex
