#include "lettering.h"

#include "font_faces.h"
#include "int_conv.h"
#include "star_ring.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace zovex {

std::int16_t escapementOf(std::int16_t angle)
{
    const int tenths = static_cast<int>(angle) * 10;
    if (tenths < -32768 || tenths > 32767)
        throw OverflowError("overflow: escapement of " + std::to_string(angle) + " degrees");
    return static_cast<std::int16_t>(tenths);
}

RotatedFontRequest rotatedFontRequest(const Canvas& canvas, std::int16_t angle, const QString& face, float size)
{
    RotatedFontRequest req;
    req.height = toInt32(size * -20.0f / canvas.TwipsPerPixelY());
    req.escapement = escapementOf(angle);
    req.weight = canvas.FontBold() ? 800 : 400;
    // The face field holds 31 bytes and a terminating zero.
    QByteArray bytes = face.toLocal8Bit();
    if (bytes.size() > 31)
        bytes.truncate(31);
    req.face = QString::fromLocal8Bit(bytes);
    return req;
}

QFont fontFor(const RotatedFontRequest& req) { return deviceFont(req.face, std::abs(req.height), req.weight); }

namespace {

bool g_glyphCache = true;
bool glyphCacheEnabled() { return g_glyphCache; }

// One character as the painter renders it at one rotation, cut to its ink: the pixels to set,
// relative to the text's origin pixel. Only unsmoothed renderings (every pixel fully inked or
// not at all) are kept, so that setting the pixels gives what drawing would.
struct GlyphMask {
    QImage ink; // ARGB32 premultiplied, alpha 0 or 255
    int dx = 0, dy = 0;
    bool usable = false;
};

// Measuring happens three times per printed character and every character of a text is
// printed in the same font: keep the font objects and their metrics.
struct FontEntry {
    QString face;
    std::int32_t height;
    int weight;
    QFont font;
    QFontMetrics metrics;
    // Measured widths in pixels. The pattern texts are the same tick after tick, so every
    // prefix DrawTextOnCircle measures is measured once; the values are the font's own.
    mutable QHash<QString, int> widths;
    // Rendered characters by (character, rotation): see printCharacterCached.
    mutable QHash<quint64, GlyphMask> glyphs;
};

const FontEntry& fontEntry(const RotatedFontRequest& req)
{
    // A tick uses two fonts (the circle lettering and the label): keep a few.
    thread_local std::vector<std::unique_ptr<FontEntry>> cache;
    for (const auto& e : cache)
        if (e->height == req.height && e->weight == req.weight && e->face == req.face)
            return *e;
    if (cache.size() >= 8)
        cache.clear();
    const QFont f = fontFor(req);
    cache.push_back(
        std::make_unique<FontEntry>(FontEntry{req.face, req.height, req.weight, f, QFontMetrics(f), {}, {}}));
    return *cache.back();
}

// Above 64 pixels Qt draws a turned character from a smoothed bitmap whatever the hints say;
// its outline filled without smoothing is the unsmoothed character. Only print-size canvases
// have such fonts.
constexpr int kLargestCachedGlyphPx = 64;

void drawCharacters(QPainter& p, const FontEntry& fe, int tenths, const QString& text)
{
    if (tenths != 0 && fe.font.pixelSize() > kLargestCachedGlyphPx) {
        QPainterPath path;
        path.addText(QPointF(0, fe.metrics.ascent()), fe.font, text);
        p.fillPath(path, p.pen().color());
    } else {
        p.drawText(QPointF(0, fe.metrics.ascent()), text);
    }
}

void beginText(QPainter& p, Canvas& canvas)
{
    p.begin(&canvas.persistentImage());
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// Steps 3 to 5 of DrawRotatedText on an open painter: the position, then the text in the
// requested (rotated) font and ForeColor.
void printRotated(QPainter& p, Canvas& canvas, const RotatedFontRequest& req, std::int16_t x, std::int16_t y,
                  const QString& text)
{
    canvas.setCurrentX(x);
    canvas.setCurrentY(y);
    if (text.isEmpty())
        return;
    const FontEntry& fe = fontEntry(req);
    const Colour c = canvas.ForeColor();
    // Whole turns print exactly like upright text.
    const int tenths = ((req.escapement % 3600) + 3600) % 3600;
    p.resetTransform();
    p.setPen(QColor(redOf(c), greenOf(c), blueOf(c)));
    p.setFont(fe.font);
    p.translate(roundHalfEven(canvas.CurrentX() / canvas.TwipsPerPixelX()),
                roundHalfEven(canvas.CurrentY() / canvas.TwipsPerPixelY()));
    if (tenths != 0)
        p.rotate(-tenths / 10.0); // counter-clockwise on screen
    drawCharacters(p, fe, tenths, text);
}

const GlyphMask& glyphMask(const FontEntry& fe, QChar ch, int tenths)
{
    const quint64 key = (quint64(ch.unicode()) << 16) | quint64(tenths);
    auto it = fe.glyphs.constFind(key);
    if (it != fe.glyphs.cend())
        return *it;
    if (fe.glyphs.size() > 20000)
        fe.glyphs.clear();
    GlyphMask m;
    const int reach = fe.metrics.height() + fe.metrics.horizontalAdvance(ch) + 4;
    QImage img(2 * reach, 2 * reach, QImage::Format_ARGB32_Premultiplied);
    img.fill(0);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setPen(Qt::white);
        p.setFont(fe.font);
        p.translate(reach, reach);
        if (tenths != 0)
            p.rotate(-tenths / 10.0);
        drawCharacters(p, fe, tenths, QString(ch));
    }
    int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
    bool binary = true;
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int a = qAlpha(row[x]);
            if (a == 0)
                continue;
            binary = binary && a == 255;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
    }
    // Ink touching the border could have been cut off: draw such characters directly.
    const bool inside = x1 < 0 || (x0 > 0 && y0 > 0 && x1 < img.width() - 1 && y1 < img.height() - 1);
    m.usable = binary && inside;
    if (x1 >= 0) {
        m.ink = img.copy(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
        m.dx = x0 - reach;
        m.dy = y0 - reach;
    }
    return *fe.glyphs.insert(key, m);
}

// printRotated for one character, from the rendered-character cache: the same pixels in
// ForeColor, without a painter or a glyph lookup per character. False when the character must
// be drawn directly.
bool printCharacterCached(Canvas& canvas, const RotatedFontRequest& req, std::int16_t x, std::int16_t y, QChar ch)
{
    const FontEntry& fe = fontEntry(req);
    const int tenths = ((req.escapement % 3600) + 3600) % 3600;
    const GlyphMask& m = glyphMask(fe, ch, tenths);
    if (!m.usable)
        return false;
    canvas.setCurrentX(x);
    canvas.setCurrentY(y);
    if (m.ink.isNull())
        return true;
    const int ox = static_cast<int>(roundHalfEven(canvas.CurrentX() / canvas.TwipsPerPixelX())) + m.dx;
    const int oy = static_cast<int>(roundHalfEven(canvas.CurrentY() / canvas.TwipsPerPixelY())) + m.dy;
    QImage& img = canvas.persistentImage();
    const std::uint32_t pen = toPixel(canvas.ForeColor());
    const int W = img.width(), H = img.height();
    for (int j = 0; j < m.ink.height(); ++j) {
        const int cy = oy + j;
        if (cy < 0 || cy >= H)
            continue;
        const auto* src = reinterpret_cast<const QRgb*>(m.ink.constScanLine(j));
        auto* dst = reinterpret_cast<std::uint32_t*>(img.scanLine(cy));
        for (int i = 0; i < m.ink.width(); ++i) {
            const int cx = ox + i;
            if (src[i] != 0 && cx >= 0 && cx < W)
                dst[cx] = pen;
        }
    }
    return true;
}

} // namespace

void setGlyphCacheEnabled(bool enabled) { g_glyphCache = enabled; }

float TextWidth(const Canvas& canvas, const QString& text)
{
    if (text.isEmpty())
        return 0.0f;
    const RotatedFontRequest req = rotatedFontRequest(canvas, 0, canvas.FontName(), canvas.FontSize());
    const FontEntry& fe = fontEntry(req);
    auto it = fe.widths.constFind(text);
    if (it == fe.widths.cend()) {
        if (fe.widths.size() > 4096) // typed texts change: keep the memory bounded
            fe.widths.clear();
        it = fe.widths.insert(text, fe.metrics.horizontalAdvance(text));
    }
    return static_cast<float>(*it) * canvas.TwipsPerPixelX();
}

void DrawRotatedText(std::int16_t angle, Canvas& canvas, const QString& face, float size, std::int16_t x,
                     std::int16_t y, const QString& text)
{
    const RotatedFontRequest req = rotatedFontRequest(canvas, angle, face, size);
    QPainter p;
    if (!text.isEmpty())
        beginText(p, canvas);
    printRotated(p, canvas, req, x, y, text);
}

std::int32_t arcScale(std::int32_t r) { return toInt32(r * 3.14159 * 2 / 360); }

double centredStartAngle(float textWidthTwips, std::int32_t d)
{
    if (d == 0)
        throw DivisionByZero("division by zero: circle too small for text");
    return std::floor(360.0 - (static_cast<double>(textWidthTwips) / d) / 2.0);
}

std::vector<QString> charactersOf(const QString& text)
{
    std::vector<QString> out;
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype to = clusters.toNextBoundary();
        out.push_back(text.mid(from, to - from));
        from = to;
    }
    return out;
}

double forEachCirclePlacement(const Canvas& canvas, const QString& text, std::int32_t cx, std::int32_t cy,
                              std::int32_t r, double start, const std::function<void(const CirclePlacement&)>& visit)
{
    const std::int32_t d = arcScale(r);
    if (start == -1)
        start = centredStartAngle(TextWidth(canvas, text), d);
    if (d == 0 && !text.isEmpty())
        throw DivisionByZero("division by zero: circle too small for text");
    QString prefix;
    prefix.reserve(text.size());
    CirclePlacement p;
    for (const QString& c : charactersOf(text)) {
        p.character = c;
        const float prefixWidth = TextWidth(canvas, prefix);
        p.cellAngle = start + prefixWidth / static_cast<double>(d);
        std::int32_t x = 0, y = 0;
        PolarPoint(cx, cy, p.cellAngle, r, r, x, y);
        p.middleAngle = start + (prefixWidth + static_cast<double>(TextWidth(canvas, p.character)) * 0.5) / d;
        p.rotation = toInt16(360.0 - p.middleAngle);
        p.x = toInt16(x);
        p.y = toInt16(y);
        escapementOf(p.rotation); // where printing would stop, the walk stops
        visit(p);
        prefix += c;
    }
    return start;
}

void DrawTextOnCircle(Canvas& canvas, const QString& text, std::int32_t cx, std::int32_t cy, std::int32_t r,
                      double start)
{
    const QString face = canvas.FontName();
    const float size = canvas.FontSize();
    // Each character is printed as DrawRotatedText would: from the rendered-character cache,
    // or with one painter for the whole string for characters the cache cannot hold.
    QPainter painter;
    forEachCirclePlacement(canvas, text, cx, cy, r, start, [&](const CirclePlacement& p) {
        const RotatedFontRequest req = rotatedFontRequest(canvas, p.rotation, face, size);
        if (glyphCacheEnabled() && p.character.size() == 1 &&
            printCharacterCached(canvas, req, p.x, p.y, p.character.front()))
            return;
        if (!painter.isActive())
            beginText(painter, canvas);
        printRotated(painter, canvas, req, p.x, p.y, p.character);
    });
}

} // namespace zovex
