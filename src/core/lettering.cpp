#include "lettering.h"

#include "font_faces.h"
#include "int_conv.h"
#include "star_ring.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>
#include <optional>

namespace zovex {

RotatedFontRequest rotatedFontRequest(const Canvas& canvas, std::int16_t angle, const QString& face,
                                      float size)
{
    RotatedFontRequest req;
    req.height = toInt32(size * -20.0f / canvas.TwipsPerPixelY());
    const int tenths = static_cast<int>(angle) * 10;
    if (tenths < -32768 || tenths > 32767)
        throw OverflowError("overflow: escapement of " + std::to_string(angle) + " degrees");
    req.escapement = static_cast<std::int16_t>(tenths);
    req.weight = canvas.FontBold() ? 800 : 400;
    // The face field holds 31 bytes and a terminating zero.
    QByteArray bytes = face.toLocal8Bit();
    if (bytes.size() > 31)
        bytes.truncate(31);
    req.face = QString::fromLocal8Bit(bytes);
    return req;
}

QFont fontFor(const RotatedFontRequest& req)
{
    return deviceFont(req.face, std::abs(req.height), req.weight);
}

namespace {

// Measuring happens three times per printed character; keep the metrics of the last font.
const QFontMetrics& metricsFor(const RotatedFontRequest& req)
{
    struct Entry {
        QString face;
        std::int32_t height;
        int weight;
        QFontMetrics metrics;
    };
    thread_local std::optional<Entry> last;
    if (!last || last->height != req.height || last->weight != req.weight || last->face != req.face)
        last.emplace(Entry{req.face, req.height, req.weight, QFontMetrics(fontFor(req))});
    return last->metrics;
}

} // namespace

float TextWidth(const Canvas& canvas, const QString& text)
{
    if (text.isEmpty())
        return 0.0f;
    const RotatedFontRequest req = rotatedFontRequest(canvas, 0, canvas.FontName(), canvas.FontSize());
    return static_cast<float>(metricsFor(req).horizontalAdvance(text)) * canvas.TwipsPerPixelX();
}

void DrawRotatedText(std::int16_t angle, Canvas& canvas, const QString& face, float size,
                     std::int16_t x, std::int16_t y, const QString& text)
{
    const RotatedFontRequest req = rotatedFontRequest(canvas, angle, face, size);
    canvas.setCurrentX(x);
    canvas.setCurrentY(y);
    if (text.isEmpty())
        return;

    const QFont font = fontFor(req);
    const int ascent = metricsFor(req).ascent();
    const Colour c = canvas.ForeColor();
    // Whole turns print exactly like upright text.
    const int tenths = ((req.escapement % 3600) + 3600) % 3600;

    QPainter p(&canvas.image());
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setPen(QColor(redOf(c), greenOf(c), blueOf(c)));
    p.setFont(font);
    p.translate(roundHalfEven(canvas.CurrentX() / canvas.TwipsPerPixelX()),
                roundHalfEven(canvas.CurrentY() / canvas.TwipsPerPixelY()));
    if (tenths != 0)
        p.rotate(-tenths / 10.0); // counter-clockwise on screen
    p.drawText(QPointF(0, ascent), text);
}

std::int32_t arcScale(std::int32_t r)
{
    return toInt32(r * 3.14159 * 2 / 360);
}

double centredStartAngle(float textWidthTwips, std::int32_t d)
{
    if (d == 0)
        throw DivisionByZero("division by zero: circle too small for text");
    return std::floor(360.0 - (static_cast<double>(textWidthTwips) / d) / 2.0);
}

double forEachCirclePlacement(const Canvas& canvas, const QString& text, std::int32_t cx,
                              std::int32_t cy, std::int32_t r, double start,
                              const std::function<void(const CirclePlacement&)>& visit)
{
    const std::int32_t d = arcScale(r);
    if (start == -1)
        start = centredStartAngle(TextWidth(canvas, text), d);
    if (d == 0 && !text.isEmpty())
        throw DivisionByZero("division by zero: circle too small for text");
    QString prefix;
    prefix.reserve(text.size());
    CirclePlacement p;
    for (const QChar ch : text) {
        p.character = QString(ch);
        const float prefixWidth = TextWidth(canvas, prefix);
        p.cellAngle = start + prefixWidth / static_cast<double>(d);
        std::int32_t x = 0, y = 0;
        PolarPoint(cx, cy, p.cellAngle, r, r, x, y);
        p.middleAngle =
            start + (prefixWidth + static_cast<double>(TextWidth(canvas, p.character)) * 0.5) / d;
        p.rotation = toInt16(360.0 - p.middleAngle);
        p.x = toInt16(x);
        p.y = toInt16(y);
        visit(p);
        prefix += ch;
    }
    return start;
}

void DrawTextOnCircle(Canvas& canvas, const QString& text, std::int32_t cx, std::int32_t cy,
                      std::int32_t r, double start)
{
    const QString face = canvas.FontName();
    const float size = canvas.FontSize();
    forEachCirclePlacement(canvas, text, cx, cy, r, start, [&](const CirclePlacement& p) {
        DrawRotatedText(p.rotation, canvas, face, size, p.x, p.y, p.character);
    });
}

} // namespace zovex
