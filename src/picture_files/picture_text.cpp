// Header rules of the text-headed formats: PBM, PGM and PPM (plain and raw), XBM and XPM.
#include "picture_rules.h"

#include <QList>

#include <cstring>

namespace zovex::picture {

namespace {

// The header's first bytes, enough for every text header we read.
constexpr qint64 kTextHeader = 4096;

// The decimal number at text[i] (advancing i past it), or -1 when there is none or it has
// ten digits or more.
qint64 readDecimal(QByteArrayView text, qsizetype& i)
{
    qint64 v = 0;
    int digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 10) {
        v = v * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    return digits == 0 || digits == 10 ? -1 : v;
}

// Blanks and comments before a PNM header's next number.
void skipPnmBlanks(QByteArrayView head, qsizetype& i)
{
    for (;;) {
        while (i < head.size() && head[i] != '\0' && std::strchr(" \t\r\n\v\f", head[i]))
            ++i;
        if (i >= head.size() || head[i] != '#')
            return;
        while (i < head.size() && head[i] != '\n' && head[i] != '\r')
            ++i;
    }
}

// The fewest bytes of data that hold a PNM picture of the given kind (1 to 6).
qint64 leastPnmData(int kind, qint64 w, qint64 h, qint64 maxval)
{
    const qint64 sampleBytes = maxval > 255 ? 2 : 1;
    switch (kind) {
    case 1:
        return w * h; // one character a pixel at least
    case 2:
        return 2 * w * h; // a digit and a blank a sample
    case 3:
        return 6 * w * h;
    case 4:
        return (w + 7) / 8 * h;
    case 5:
        return w * h * sampleBytes;
    default:
        return 3 * w * h * sampleBytes;
    }
}

// The number after the first occurrence of `key` in `text`, or -1.
qint64 numberAfter(QByteArrayView text, const char* key)
{
    qsizetype i = text.indexOf(QByteArrayView(key));
    if (i < 0)
        return -1;
    i += qsizetype(std::strlen(key));
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    return readDecimal(text, i);
}

// Whether the file holds at least `needed` hex bytes ("0x" and a digit) of an XBM bitmap.
bool hasXbmBytes(const Bytes& b, qint64 needed)
{
    qint64 found = 0;
    for (qint64 pos = 0; pos < b.size() && found < needed;) {
        const QByteArrayView chunk = b.view(pos, Bytes::kLargestRead);
        if (chunk.size() < 2)
            break;
        for (qsizetype i = chunk.indexOf("0x"); i >= 0 && found < needed; i = chunk.indexOf("0x", i + 2))
            ++found;
        pos += chunk.size() - 1; // a "0x" across the seam is found in the next chunk
        if (chunk.endsWith("0x"))
            --found;
    }
    return found >= needed;
}

// The bytes of an XBM bitmap w x h: rows of whole bytes.
qint64 xbmBytes(qint64 w, qint64 h) { return (w + 7) / 8 * h; }

} // namespace

bool pnmSniff(const Bytes& b)
{
    const uchar* p = b.at(0, 3);
    return p && p[0] == 'P' && p[1] >= '1' && p[1] <= '6';
}

MaybeClaim pnmClaim(const Bytes& b)
{
    const QByteArray head = b.view(0, kTextHeader).toByteArray();
    const int kind = head[1] - '0';
    const int fields = (kind == 1 || kind == 4) ? 2 : 3;
    qint64 value[3] = {0, 0, 1};
    qsizetype i = 2;
    for (int f = 0; f < fields; ++f) {
        skipPnmBlanks(head, i);
        if ((value[f] = readDecimal(head, i)) < 0)
            return std::nullopt;
    }
    const qint64 w = value[0];
    const qint64 h = value[1];
    const qint64 maxval = value[2];
    if (!plausibleSize(w, h) || maxval < 1 || maxval > 65535)
        return std::nullopt;
    if (leastPnmData(kind, w, h, maxval) > b.size() - i)
        return std::nullopt;
    static const char* const formats[] = {"pbm", "pgm", "ppm", "pbm", "pgm", "ppm"};
    return Claim{formats[kind - 1], w, h};
}

bool xbmSniff(const Bytes& b)
{
    // (Editors put a comment before the first #define.)
    const QByteArrayView head = b.view(0, kTextHeader);
    const QByteArrayView start = head.trimmed();
    return (start.startsWith("#define") || start.startsWith("/*")) && head.contains("#define");
}

MaybeClaim xbmClaim(const Bytes& b)
{
    const QByteArray head = b.view(0, kTextHeader).toByteArray();
    const qint64 w = numberAfter(head, "_width");
    const qint64 h = numberAfter(head, "_height");
    if (!plausibleSize(w, h))
        return std::nullopt;
    // Every byte of the bitmap is written as "0x" and at least one hex digit.
    if (xbmBytes(w, h) * 3 > b.size())
        return std::nullopt;
    return Claim{"xbm", w, h};
}

bool xbmCheck(const Bytes& b)
{
    // Qt's reader keeps what it has when the file ends early; a short file is refused here.
    const QByteArray head = b.view(0, kTextHeader).toByteArray();
    return hasXbmBytes(b, xbmBytes(numberAfter(head, "_width"), numberAfter(head, "_height")));
}

bool xpmSniff(const Bytes& b) { return b.view(0, 9) == QByteArrayView("/* XPM */"); }

MaybeClaim xpmClaim(const Bytes& b)
{
    const QByteArray head = b.view(0, kTextHeader).toByteArray();
    const qsizetype brace = head.indexOf('{');
    const qsizetype quote = brace < 0 ? -1 : head.indexOf('"', brace);
    if (quote < 0)
        return std::nullopt;
    const QList<QByteArray> values =
        head.mid(quote + 1, head.indexOf('"', quote + 1) - quote - 1).simplified().split(' ');
    if (values.size() < 4)
        return std::nullopt;
    bool ok[4] = {};
    const qint64 w = values[0].toLongLong(&ok[0]);
    const qint64 h = values[1].toLongLong(&ok[1]);
    const qint64 colours = values[2].toLongLong(&ok[2]);
    const qint64 cpp = values[3].toLongLong(&ok[3]);
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || !plausibleSize(w, h) || colours < 1 || cpp < 1 || cpp > 15)
        return std::nullopt;
    // Each colour needs its characters and a colour; each pixel its characters.
    if (colours > b.size() / (cpp + 4) || w * h > (b.size() - colours * (cpp + 4)) / cpp)
        return std::nullopt;
    return Claim{"xpm", w, h};
}

} // namespace zovex::picture
