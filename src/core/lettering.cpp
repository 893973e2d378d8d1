#include "lettering.h"

#include "font_faces.h"
#include "int_conv.h"
#include "star_ring.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <deque>
#include <exception>
#include <memory>
#include <unordered_map>
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

std::atomic<LetteringPath> g_path{LetteringPath::Cached};
LetteringPath letteringPath() { return g_path.load(std::memory_order_relaxed); }

// Pixels [x0, x1) of row y.
struct InkRun {
    int y, x0, x1;
    bool operator==(const InkRun&) const = default;
};
using InkRuns = std::vector<InkRun>;

// Sorted by row and column, overlapping and touching runs joined: the set of pixels, once each.
void normalise(InkRuns& runs)
{
    std::sort(runs.begin(), runs.end(),
              [](const InkRun& a, const InkRun& b) { return a.y != b.y ? a.y < b.y : a.x0 < b.x0; });
    std::size_t out = 0;
    for (const InkRun& r : runs) {
        if (out > 0 && runs[out - 1].y == r.y && r.x0 <= runs[out - 1].x1)
            runs[out - 1].x1 = std::max(runs[out - 1].x1, r.x1);
        else
            runs[out++] = r;
    }
    runs.resize(out);
}

// The runs moved by (ox, oy) and cut to a w x h image, appended to `out`.
void appendClipped(InkRuns& out, const InkRuns& runs, int ox, int oy, int w, int h)
{
    for (const InkRun& r : runs) {
        const int y = oy + r.y;
        const int x0 = std::max(0, ox + r.x0), x1 = std::min(w, ox + r.x1);
        if (y >= 0 && y < h && x0 < x1)
            out.push_back({y, x0, x1});
    }
}

// Sets the pixels of runs that lie on the image (rows and columns checked).
void setInk(QImage& img, const InkRuns& runs, int ox, int oy, std::uint32_t pen)
{
    if (runs.empty())
        return;
    const int w = img.width(), h = img.height();
    uchar* bits = img.bits();
    const qsizetype bpl = img.bytesPerLine();
    for (const InkRun& r : runs) {
        const int y = oy + r.y;
        const int x0 = std::max(0, ox + r.x0), x1 = std::min(w, ox + r.x1);
        if (y >= 0 && y < h && x0 < x1)
            std::fill_n(reinterpret_cast<std::uint32_t*>(bits + bpl * y) + x0, x1 - x0, pen);
    }
}

// Sets the pixels of runs already cut to the image.
void setClippedInk(QImage& img, const InkRuns& runs, std::uint32_t pen)
{
    if (runs.empty())
        return;
    uchar* bits = img.bits();
    const qsizetype bpl = img.bytesPerLine();
    for (const InkRun& r : runs)
        std::fill_n(reinterpret_cast<std::uint32_t*>(bits + bpl * r.y) + r.x0, r.x1 - r.x0, pen);
}

// The inked pixels of a rendering on a transparent ARGB image, as runs relative to (ox, oy).
// binary: every inked pixel fully inked (alpha 255), as unsmoothed text on an opaque canvas
// gives the pen's colour exactly. The edges flagged in `open` must stay free of ink: there the
// image may have cut the rendering off.
struct InkScan {
    InkRuns runs;
    bool binary = true, cutOff = false;
};
enum Edge { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8, kAllEdges = 15 };

InkScan scanInk(const QImage& img, int ox, int oy, int open)
{
    InkScan s;
    const int w = img.width(), h = img.height();
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w;) {
            if (qAlpha(row[x]) == 0) {
                ++x;
                continue;
            }
            const int x0 = x;
            for (; x < w && qAlpha(row[x]) != 0; ++x)
                s.binary = s.binary && qAlpha(row[x]) == 255;
            s.runs.push_back({y - oy, x0 - ox, x - ox});
            s.cutOff = s.cutOff || ((open & kLeft) && x0 == 0) || ((open & kRight) && x == w) ||
                       ((open & kTop) && y == 0) || ((open & kBottom) && y == h - 1);
        }
    }
    return s;
}

// One character as the painter renders it at one rotation: the pixels to set, relative to the
// text's origin pixel. Only unsmoothed renderings (every pixel fully inked or not at all) are
// usable, so that setting the pixels gives what drawing would.
struct GlyphMask {
    InkRuns ink;
    bool usable = false;
};

// Tail characters of upright text, printed piece by piece (see printUprightInPieces): the
// characters of numbers as the label writes them.
constexpr char kTailCharacters[] = "0123456789.E+-";
int tailIndex(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    switch (u) {
    case u'.':
        return 10;
    case u'E':
        return 11;
    case u'+':
        return 12;
    case u'-':
        return 13;
    default:
        return -1;
    }
}
constexpr int kTailCount = sizeof kTailCharacters - 1;

// Measuring happens three times per printed character and every character of a text is
// printed in the same font: keep the font objects and their metrics.
struct FontEntry {
    FontEntry(const RotatedFontRequest& req, const QFont& f)
        : face(req.face), height(req.height), weight(req.weight), font(f), metrics(f), exactMetrics(f)
    {
        asciiAdvance.fill(kUnknown);
        for (auto& row : joins)
            row.fill(0);
    }
    QString face;
    std::int32_t height;
    int weight;
    QFont font;
    QFontMetrics metrics;
    QFontMetricsF exactMetrics;
    // Measured widths in pixels. The pattern texts are the same tick after tick, so every
    // prefix DrawTextOnCircle measures is measured once; the values are the font's own.
    mutable QHash<QString, int> widths;
    // Rendered characters by (character, rotation): see glyphMask.
    mutable std::unordered_map<quint64, GlyphMask> glyphs;
    mutable std::size_t glyphRuns = 0;
    // Upright printing in pieces: the advance of each printable ASCII character (kNotWhole
    // when it is not a whole number of pixels), and whether character a followed by tail
    // character b prints as a and b apart (1), or not (-1), or not yet known (0).
    static constexpr int kUnknown = -1, kNotWhole = -2;
    mutable std::array<int, 128> asciiAdvance;
    mutable std::array<std::array<std::int8_t, kTailCount>, 128> joins;
};

std::vector<std::unique_ptr<FontEntry>>& fontEntries()
{
    thread_local std::vector<std::unique_ptr<FontEntry>> cache;
    return cache;
}

const FontEntry& fontEntry(const RotatedFontRequest& req)
{
    // A tick uses two fonts (the circle lettering and the label): keep a few.
    std::vector<std::unique_ptr<FontEntry>>& cache = fontEntries();
    for (const auto& e : cache)
        if (e->height == req.height && e->weight == req.weight && e->face == req.face)
            return *e;
    if (cache.size() >= 8)
        cache.clear();
    cache.push_back(std::make_unique<FontEntry>(req, fontFor(req)));
    return *cache.back();
}

// Whole turns print exactly like upright text.
int turnTenths(const RotatedFontRequest& req) { return ((req.escapement % 3600) + 3600) % 3600; }

// The pixel of a position in twips, as the painter is placed.
int pixelOf(std::int16_t twips, float twipsPerPixel)
{
    return static_cast<int>(roundHalfEven(static_cast<float>(twips) / twipsPerPixel));
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

void beginText(QPainter& p, QImage& image)
{
    p.begin(&image);
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
    const int tenths = turnTenths(req);
    p.resetTransform();
    p.setPen(QColor(redOf(c), greenOf(c), blueOf(c)));
    p.setFont(fe.font);
    p.translate(roundHalfEven(canvas.CurrentX() / canvas.TwipsPerPixelX()),
                roundHalfEven(canvas.CurrentY() / canvas.TwipsPerPixelY()));
    if (tenths != 0)
        p.rotate(-tenths / 10.0); // counter-clockwise on screen
    drawCharacters(p, fe, tenths, text);
}

// `text` rendered by itself with its origin at (0, 0), on a transparent image that reaches
// `reach` pixels from the origin each way.
InkScan renderAtOrigin(const FontEntry& fe, int tenths, const QString& text, int reach)
{
    QImage img(2 * reach, 2 * reach, QImage::Format_ARGB32_Premultiplied);
    img.fill(0);
    {
        QPainter p;
        beginText(p, img);
        p.setPen(Qt::white);
        p.setFont(fe.font);
        p.translate(reach, reach);
        if (tenths != 0)
            p.rotate(-tenths / 10.0);
        drawCharacters(p, fe, tenths, text);
    }
    return scanInk(img, reach, reach, kAllEdges);
}

const GlyphMask& glyphMask(const FontEntry& fe, QChar ch, int tenths)
{
    const quint64 key = (quint64(ch.unicode()) << 16) | quint64(tenths);
    auto it = fe.glyphs.find(key);
    if (it != fe.glyphs.end())
        return it->second;
    // Bounded: a few thousand characters and turns, each a few dozen runs.
    if (fe.glyphs.size() > 20000 || fe.glyphRuns > (std::size_t(1) << 20)) {
        fe.glyphs.clear();
        fe.glyphRuns = 0;
    }
    InkScan s = renderAtOrigin(fe, tenths, QString(ch), fe.metrics.height() + fe.metrics.horizontalAdvance(ch) + 4);
    GlyphMask m;
    // Ink touching the border could have been cut off: such characters are drawn directly.
    m.usable = s.binary && !s.cutOff;
    m.ink = std::move(s.runs);
    fe.glyphRuns += m.ink.size();
    return fe.glyphs.emplace(key, std::move(m)).first->second;
}

// printRotated for one character, from the rendered-character cache: the same pixels in
// ForeColor, without a painter or a glyph lookup per character. False when the character must
// be drawn directly.
bool printCharacterCached(Canvas& canvas, const RotatedFontRequest& req, std::int16_t x, std::int16_t y, QChar ch)
{
    const GlyphMask& m = glyphMask(fontEntry(req), ch, turnTenths(req));
    if (!m.usable)
        return false;
    canvas.setCurrentX(x);
    canvas.setCurrentY(y);
    if (!m.ink.empty())
        setInk(canvas.persistentImage(), m.ink, pixelOf(x, canvas.TwipsPerPixelX()),
               pixelOf(y, canvas.TwipsPerPixelY()), toPixel(canvas.ForeColor()));
    return true;
}

// DrawTextOnCircle character by character: each one from the rendered-character cache when
// `glyphs` allows it and the cache can hold it, else drawn by one painter for the whole string.
void drawTextOnCircleByCharacters(Canvas& canvas, const QString& text, std::int32_t cx, std::int32_t cy, std::int32_t r,
                                  double start, bool glyphs)
{
    const QString face = canvas.FontName();
    const float size = canvas.FontSize();
    QPainter painter;
    forEachCirclePlacement(canvas, text, cx, cy, r, start, [&](const CirclePlacement& p) {
        const RotatedFontRequest req = rotatedFontRequest(canvas, p.rotation, face, size);
        if (glyphs && p.character.size() == 1 && printCharacterCached(canvas, req, p.x, p.y, p.character.front()))
            return;
        if (!painter.isActive())
            beginText(painter, canvas.persistentImage());
        printRotated(painter, canvas, req, p.x, p.y, p.character);
    });
}

// A few entries, bounded in number and in runs held; the oldest go first.
template <class Entry>
class BoundedCache {
public:
    BoundedCache(std::size_t maxEntries, std::size_t maxRuns) : m_maxEntries(maxEntries), m_maxRuns(maxRuns) {}
    template <class Key>
    const Entry* find(const Key& key) const
    {
        for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
            if (it->key == key)
                return &*it;
        return nullptr;
    }
    // An entry holding more than a quarter of the budget keeps its key and outcome only; the
    // caller then draws it directly every time.
    std::size_t size() const { return m_entries.size(); }
    std::size_t runs() const { return m_runs; }
    const Entry& insert(Entry e)
    {
        if (e.ink.size() > m_maxRuns / 4) {
            e.ink = InkRuns();
            e.cacheable = false;
        }
        while (!m_entries.empty() && (m_entries.size() >= m_maxEntries || m_runs + e.ink.size() > m_maxRuns)) {
            m_runs -= m_entries.front().ink.size();
            m_entries.pop_front();
        }
        m_runs += e.ink.size();
        m_entries.push_back(std::move(e));
        return m_entries.back();
    }

private:
    std::deque<Entry> m_entries;
    std::size_t m_runs = 0;
    const std::size_t m_maxEntries, m_maxRuns;
};

// Everything a text on a circle depends on: the text, the canvas font, the canvas's pixel
// size and density, the circle and the start angle. (ForeColor only colours the pixels.)
struct CircleKey {
    QString face;
    float size = 0;
    bool bold = false;
    float twipsX = 0, twipsY = 0;
    int width = 0, height = 0;
    std::int32_t cx = 0, cy = 0, r = 0;
    double start = 0;
    QString text;
    bool operator==(const CircleKey&) const = default;
};

// A text on a circle as DrawTextOnCircle prints it: the pixels it sets (cut to the canvas),
// the current position it leaves, and the error that ends it, if one does.
struct CircleCoverage {
    CircleKey key;
    bool cacheable = true; // false: a character the rendered-character cache cannot hold
    InkRuns ink;
    bool moved = false;
    std::int16_t lastX = 0, lastY = 0;
    std::exception_ptr error;
};

struct NotCacheable {};

CircleCoverage circleCoverage(const Canvas& canvas, CircleKey key, const QString& text, std::int32_t cx,
                              std::int32_t cy, std::int32_t r, double start)
{
    CircleCoverage cov;
    cov.key = std::move(key);
    const QString face = canvas.FontName();
    const float size = canvas.FontSize();
    try {
        forEachCirclePlacement(canvas, text, cx, cy, r, start, [&](const CirclePlacement& p) {
            const RotatedFontRequest req = rotatedFontRequest(canvas, p.rotation, face, size);
            if (p.character.size() != 1)
                throw NotCacheable{};
            const GlyphMask& m = glyphMask(fontEntry(req), p.character.front(), turnTenths(req));
            if (!m.usable)
                throw NotCacheable{};
            appendClipped(cov.ink, m.ink, pixelOf(p.x, canvas.TwipsPerPixelX()), pixelOf(p.y, canvas.TwipsPerPixelY()),
                          canvas.widthPx(), canvas.heightPx());
            cov.moved = true;
            cov.lastX = p.x;
            cov.lastY = p.y;
        });
    } catch (const NotCacheable&) {
        cov.cacheable = false;
        cov.ink = InkRuns();
    } catch (const DrawError&) {
        cov.error = std::current_exception();
    }
    normalise(cov.ink);
    return cov;
}

BoundedCache<CircleCoverage>& circleCoverages()
{
    // Ten designer windows with three texts each, and some texts being typed: each a few
    // thousand runs. At most 12 MB of runs per thread.
    thread_local BoundedCache<CircleCoverage> cache(64, std::size_t(1) << 20);
    return cache;
}

// The advance of a printable ASCII character in pixels, or FontEntry::kNotWhole.
int asciiAdvance(const FontEntry& fe, QChar c)
{
    int& a = fe.asciiAdvance[c.unicode()];
    if (a == FontEntry::kUnknown) {
        a = fe.metrics.horizontalAdvance(c);
        if (fe.exactMetrics.horizontalAdvance(c) != a)
            a = FontEntry::kNotWhole;
    }
    return a;
}

// Whether `a` followed by the tail character `b` prints as a, and b by itself where a's
// advance ends: no ligature, no kerning, whole-pixel advances, unsmoothed. Found out once per
// pair and font by printing the pair.
bool printsApart(const FontEntry& fe, QChar a, QChar b)
{
    std::int8_t& known = fe.joins[a.unicode()][static_cast<std::size_t>(tailIndex(b))];
    if (known == 0) {
        known = -1;
        const int advA = asciiAdvance(fe, a), advB = asciiAdvance(fe, b);
        const GlyphMask& ma = glyphMask(fe, a, 0);
        if (advA >= 0 && advB >= 0 && ma.usable) {
            InkRuns apart = ma.ink;
            const GlyphMask& mb = glyphMask(fe, b, 0);
            if (mb.usable) {
                for (const InkRun& run : mb.ink)
                    apart.push_back({run.y, run.x0 + advA, run.x1 + advA});
                InkScan pair = renderAtOrigin(fe, 0, QString(a) + b, fe.metrics.height() + advA + advB + 4);
                normalise(apart);
                normalise(pair.runs);
                if (pair.binary && !pair.cutOff && pair.runs == apart)
                    known = 1;
            }
        }
    }
    return known == 1;
}

// The head of an upright text, printed whole at one place on one canvas: its pixels (cut to
// the canvas) and its advance.
struct UprightKey {
    QString face;
    std::int32_t height = 0;
    int weight = 0;
    int ox = 0, oy = 0, width = 0, height2 = 0;
    QString text;
    bool operator==(const UprightKey&) const = default;
};

struct UprightHead {
    UprightKey key;
    bool cacheable = true;
    InkRuns ink;
    int advance = 0;
};

UprightHead uprightHead(const FontEntry& fe, UprightKey key)
{
    UprightHead head;
    head.key = std::move(key);
    const UprightKey& k = head.key;
    head.advance = fe.metrics.horizontalAdvance(k.text);
    const int pad = fe.metrics.height() + 4;
    const int bx0 = std::max(0, k.ox - pad), bx1 = std::min(k.width, k.ox + head.advance + pad);
    const int by0 = std::max(0, k.oy - pad), by1 = std::min(k.height2, k.oy + fe.metrics.height() + pad);
    if (fe.exactMetrics.horizontalAdvance(k.text) != head.advance || bx0 >= bx1 || by0 >= by1) {
        head.cacheable = false;
        return head;
    }
    QImage img(bx1 - bx0, by1 - by0, QImage::Format_ARGB32_Premultiplied);
    img.fill(0);
    {
        QPainter p;
        beginText(p, img);
        p.setPen(Qt::white);
        p.setFont(fe.font);
        p.translate(k.ox - bx0, k.oy - by0);
        drawCharacters(p, fe, 0, k.text);
    }
    // Where the image ends at the canvas's edge the canvas cuts the text off too.
    const int open =
        (bx0 > 0 ? kLeft : 0) | (by0 > 0 ? kTop : 0) | (bx1 < k.width ? kRight : 0) | (by1 < k.height2 ? kBottom : 0);
    InkScan s = scanInk(img, -bx0, -by0, open);
    head.cacheable = s.binary && !s.cutOff;
    if (head.cacheable)
        head.ink = std::move(s.runs);
    return head;
}

BoundedCache<UprightHead>& uprightHeads()
{
    thread_local BoundedCache<UprightHead> cache(32, std::size_t(1) << 18);
    return cache;
}

// Upright printable ASCII text, as DrawRotatedText prints it: a head printed whole once and
// kept (the label's fixed part and combo texts), then a tail of number characters (its random
// part) character by character, each where the one before ends. Only where every joint of the
// tail prints apart (printsApart), so that the pixels are those of printing the whole text.
// False, with nothing done, where the text must be printed directly.
bool printUprightInPieces(Canvas& canvas, const RotatedFontRequest& req, std::int16_t x, std::int16_t y,
                          const QString& text)
{
    if (text.isEmpty() || turnTenths(req) != 0)
        return false;
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    qsizetype split = text.size();
    while (split > 0 && tailIndex(text[split - 1]) >= 0)
        --split;
    const FontEntry& fe = fontEntry(req);
    for (qsizetype i = split; i < text.size(); ++i) {
        if (i > 0 && !printsApart(fe, text[i - 1], text[i]))
            return false;
        if (i == 0 && (asciiAdvance(fe, text[i]) < 0 || !glyphMask(fe, text[i], 0).usable))
            return false;
    }
    const int ox = pixelOf(x, canvas.TwipsPerPixelX()), oy = pixelOf(y, canvas.TwipsPerPixelY());
    const UprightHead* head = nullptr;
    if (split > 0) {
        UprightKey key{req.face, req.height, req.weight, ox, oy, canvas.widthPx(), canvas.heightPx(), text.left(split)};
        head = uprightHeads().find(key);
        if (!head)
            head = &uprightHeads().insert(uprightHead(fe, std::move(key)));
        if (!head->cacheable)
            return false;
    }
    canvas.setCurrentX(x);
    canvas.setCurrentY(y);
    QImage& img = canvas.persistentImage();
    const std::uint32_t pen = toPixel(canvas.ForeColor());
    int at = ox;
    if (head) {
        setClippedInk(img, head->ink, pen);
        at += head->advance;
    }
    for (qsizetype i = split; i < text.size(); ++i) {
        setInk(img, glyphMask(fe, text[i], 0).ink, at, oy, pen);
        at += asciiAdvance(fe, text[i]);
    }
    return true;
}

} // namespace

void setLetteringPath(LetteringPath path) { g_path.store(path, std::memory_order_relaxed); }

LetteringCacheUse letteringCacheUse()
{
    LetteringCacheUse use;
    use.circleTexts = circleCoverages().size();
    use.uprightHeads = uprightHeads().size();
    use.runs = circleCoverages().runs() + uprightHeads().runs();
    for (const auto& fe : fontEntries()) {
        use.characters += fe->glyphs.size();
        use.runs += fe->glyphRuns;
    }
    return use;
}

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
    if (letteringPath() == LetteringPath::Cached && printUprightInPieces(canvas, req, x, y, text))
        return;
    QPainter p;
    if (!text.isEmpty())
        beginText(p, canvas.persistentImage());
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
    if (letteringPath() != LetteringPath::Cached) {
        drawTextOnCircleByCharacters(canvas, text, cx, cy, r, start, letteringPath() == LetteringPath::Reference);
        return;
    }
    // The texts of a pattern are the same tick after tick: their pixels are found once and
    // set in the new ForeColor at every tick.
    CircleKey key{canvas.FontName(),
                  canvas.FontSize(),
                  canvas.FontBold(),
                  canvas.TwipsPerPixelX(),
                  canvas.TwipsPerPixelY(),
                  canvas.widthPx(),
                  canvas.heightPx(),
                  cx,
                  cy,
                  r,
                  start,
                  text};
    BoundedCache<CircleCoverage>& cache = circleCoverages();
    const CircleCoverage* cov = cache.find(key);
    if (!cov)
        cov = &cache.insert(circleCoverage(canvas, std::move(key), text, cx, cy, r, start));
    if (!cov->cacheable) {
        drawTextOnCircleByCharacters(canvas, text, cx, cy, r, start, true);
        return;
    }
    if (!cov->ink.empty())
        setClippedInk(canvas.persistentImage(), cov->ink, toPixel(canvas.ForeColor()));
    if (cov->moved) {
        canvas.setCurrentX(cov->lastX);
        canvas.setCurrentY(cov->lastY);
    }
    if (cov->error)
        std::rethrow_exception(cov->error);
}

} // namespace zovex
