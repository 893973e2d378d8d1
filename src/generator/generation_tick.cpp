#include "generation_tick.h"

#include "int_conv.h"
#include "lettering.h"
#include "number_label.h"
#include "star_ring.h"

#include <cstdio>
#include <limits>

namespace zovex {

QString defaultText2() { return QStringLiteral("Zovex软件公元2011年1月出品"); }
QString defaultText3() { return QStringLiteral("世界顶级美术图案作品"); }
QString defaultText4() { return QStringLiteral(" Zovex软件  祝全世界人民  幸福安康"); }

TickInputs defaultTickInputs(const Category& cat)
{
    return {QString::fromLatin1(cat.lineWidthDefault),
            QString::fromLatin1(cat.colourSchemeDefault),
            defaultText2(),
            defaultText3(),
            defaultText4(),
            QString::number(cat.number)};
}

Colour randomColour(RandomSource& rnd)
{
    const int r = toInt16(230.0 * rnd.next());
    const int g = toInt16(230.0 * rnd.next());
    const int b = toInt16(230.0 * rnd.next());
    return RGB(r, g, b);
}

QString singleToText(float v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(v));
    return QString::fromLatin1(buf);
}

bool setsDrawWidth(const QString& combo1)
{
    try {
        return textToInt16(combo1.toStdString()) >= 1; // the canvas takes 1 to 32767
    } catch (const std::exception&) {
        return false;
    }
}

bool setsDrawMode(const QString& combo2)
{
    try {
        const int m = textToInt16(combo2.toStdString());
        return m >= 1 && m <= 16;
    } catch (const std::exception&) {
        return false;
    }
}

std::int64_t drawRings(Canvas& canvas, RandomSource& rnd, const Category& cat, const QString& combo1,
                       const QString& combo2)
{
    std::int64_t combined = 0;
    attempt([&] { canvas.Cls(); });
    attempt([&] { canvas.setBackColor(randomColour(rnd)); });
    attempt([&] { canvas.setDrawWidth(textToInt16(combo1.toStdString())); });
    attempt([&] { canvas.setDrawMode(textToInt16(combo2.toStdString())); });
    for (const std::int32_t S : cat.ringSizes) {
        attempt([&] {
            const float u1 = rnd.next(), u2 = rnd.next(), u3 = rnd.next(), u4 = rnd.next();
            const std::int16_t n = toInt16(99.0 * u1);
            const Colour c = RGB(toInt16(230.0 * u2), toInt16(230.0 * u3), toInt16(230.0 * u4));
            const std::int32_t corner = toInt32(kRingCentre - S / 2.0);
            combined += DrawStarRing(canvas, corner, corner, S, S, n, c);
        });
    }
    return combined;
}

QString drawTextLayer(Canvas& canvas, RandomSource& rnd, const Category& cat, const TickInputs& in)
{
    attempt([&] { canvas.setFontName(QStringLiteral("arial")); });
    attempt([&] { canvas.setFontSize(cat.letteringSize); });
    attempt([&] { canvas.setFontBold(true); });
    attempt([&] { canvas.setForeColor(randomColour(rnd)); });

    const float W = canvas.ScaleWidth(), H = canvas.ScaleHeight();
    attempt([&] { DrawTextOnCircle(canvas, in.text2, toInt32(W / 2), toInt32(H), toInt32(H * 0.4f), -1); });
    attempt([&] { DrawTextOnCircle(canvas, in.text3, toInt32(W / 2), toInt32(H), toInt32(H * 0.2f), -1); });
    attempt([&] { DrawTextOnCircle(canvas, in.text4, toInt32(W / 2), toInt32(H / 2), toInt32(H * 0.2f), -1); });

    QString label;
    attempt([&] {
        label = numberLabelText(in.categoryLabel, in.combo1, in.combo2, rnd);
        DrawRotatedText(360, canvas, QStringLiteral("Arial"), 18.0f, toInt16(W / 20), 0, label);
    });
    return label;
}

TickOutput runGenerationTick(Canvas& canvas, RandomSource& rnd, const Category& cat, std::int32_t& designCount,
                             const TickInputs& in, PreviewSnapshot snapshot)
{
    TickOutput out;
    attempt([&] {
        if (designCount == std::numeric_limits<std::int32_t>::max())
            throw OverflowError("overflow: DesignCount");
        ++designCount;
    });
    out.countCaption = QString::number(designCount);
    drawRings(canvas, rnd, cat, in.combo1, in.combo2);
    out.labelText = drawTextLayer(canvas, rnd, cat, in);
    if (snapshot == PreviewSnapshot::Take)
        attempt([&] { out.preview = canvas.Image(); });
    else if (snapshot == PreviewSnapshot::Share)
        attempt([&] { out.preview = canvas.persistentImage(); });
    return out;
}

} // namespace zovex
