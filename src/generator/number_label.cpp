#include "number_label.h"

#include "generation_tick.h"
#include "int_conv.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zovex {

namespace {

// Draws from the start of a tick to the label's first draw, u1, included.
int drawsUpToLabelNumber(const Category& cat) { return cat.drawsPerTick() - 3; }

QString colourText(RandomSource& rnd)
{
    const float u2 = rnd.next(), u3 = rnd.next(), u4 = rnd.next();
    return QString::number(RGB(toInt16(230.0 * u2), toInt16(230.0 * u3), toInt16(230.0 * u4)));
}

QString numberText(std::uint32_t stateAfterDraw)
{
    const float u1 = static_cast<float>(stateAfterDraw) / static_cast<float>(RandomSource::kModulus);
    return singleToText(static_cast<float>(99.0 * u1));
}

// The states right after u1 whose 99 × u1 prints exactly as `text`. Neighbouring states are
// 99 / 2^24 apart, finer than seven digits below 10 and coarser above, so one or two at most.
std::vector<std::uint32_t> statesPrinting(const std::string& text)
{
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !(v >= 0.0 && v < 99.0))
        return {};
    const auto centre = static_cast<long long>(std::floor(v / 99.0 * RandomSource::kModulus));
    std::vector<std::uint32_t> states;
    for (long long x = std::max(0LL, centre - 3); x <= centre + 3 && x < RandomSource::kModulus; ++x)
        if (numberText(static_cast<std::uint32_t>(x)).toStdString() == text)
            states.push_back(static_cast<std::uint32_t>(x));
    return states;
}

// The states right after u1 for which `tail` is 99 × u1 followed by the colour value: the
// colour settles where the number ends.
std::vector<std::uint32_t> statesOfTail(const QString& tail)
{
    std::vector<std::uint32_t> found;
    const std::string t = tail.toStdString();
    for (std::size_t split = 1; split < t.size(); ++split) {
        for (const std::uint32_t x : statesPrinting(t.substr(0, split))) {
            RandomSource rnd;
            rnd.setState(x);
            if (colourText(rnd).toStdString() == t.substr(split))
                found.push_back(x);
        }
    }
    return found;
}

bool onlyTailCharacters(const QString& s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || c == u'.' || c == u'E' || c == u'-' || c == u'+';
    });
}

// Every (category, Combo1, Combo2) whose texts run together give `prefix`.
void addPrefixReadings(const QString& prefix, std::uint32_t afterNumber, std::vector<LabelReading>& out)
{
    for (int number = 1; number <= 10; ++number) {
        const QString caption = QString::number(number);
        if (!prefix.startsWith(caption))
            continue;
        const QString combos = prefix.mid(caption.size());
        RandomSource rnd;
        rnd.setState(afterNumber);
        rnd.retreat(static_cast<std::uint64_t>(drawsUpToLabelNumber(category(number))));
        for (qsizetype split = 0; split <= combos.size(); ++split)
            out.push_back({number, combos.left(split), combos.mid(split), rnd.state()});
    }
}

} // namespace

QString numberLabelText(const QString& categoryLabel, const QString& combo1, const QString& combo2, RandomSource& rnd)
{
    rnd.next();
    const QString number = numberText(rnd.state());
    return QLatin1String(kLabelPrefix) + categoryLabel + combo1 + combo2 + QLatin1String(kLabelFixedPart) + number +
           colourText(rnd);
}

QString numberLabelAt(const Category& cat, std::uint32_t tickState, const QString& combo1, const QString& combo2)
{
    RandomSource rnd;
    rnd.setState(tickState);
    rnd.advance(static_cast<std::uint64_t>(drawsUpToLabelNumber(cat) - 1));
    return numberLabelText(QString::number(cat.number), combo1, combo2, rnd);
}

LabelReadings readNumberLabel(const QString& label)
{
    LabelReadings result;
    if (!label.startsWith(QLatin1String(kLabelPrefix))) {
        result.error = "it does not begin with \"NO: WVK\"";
        return result;
    }
    const QString rest = label.mid(qsizetype(sizeof kLabelPrefix) - 1);
    const QLatin1String fixed(kLabelFixedPart);
    QString unfitTail;
    bool anyFixed = false, tailFits = false;
    for (qsizetype at = rest.indexOf(fixed); at >= 0; at = rest.indexOf(fixed, at + 1)) {
        anyFixed = true;
        const QString tail = rest.mid(at + fixed.size());
        const std::vector<std::uint32_t> states = statesOfTail(tail);
        tailFits = tailFits || !states.empty();
        if (states.empty() && unfitTail.isEmpty() && onlyTailCharacters(tail))
            unfitTail = tail;
        for (const std::uint32_t x : states)
            addPrefixReadings(rest.left(at), x, result.readings);
    }
    if (!result.readings.empty())
        return result;
    if (!anyFixed)
        result.error = "the fixed part \"350\" is missing";
    else if (tailFits)
        result.error = "the category (1 to 10) is missing after \"NO: WVK\"";
    else if (!unfitTail.isEmpty())
        result.error = "its random part \"" + unfitTail.toStdString() +
                       "\" (99 × u1, then the colour value) is printed by no state of the random source: "
                       "a digit is wrong, missing or extra";
    else
        result.error = "nothing after \"350\" is 99 × u1 followed by a colour value";
    return result;
}

std::vector<LabelReading> preferListItems(std::vector<LabelReading> readings)
{
    const auto listed = [](const LabelReading& r) {
        return lineWidthItems().contains(r.combo1) && drawModeItems().contains(r.combo2);
    };
    if (std::any_of(readings.begin(), readings.end(), listed))
        std::erase_if(readings, [&](const LabelReading& r) { return !listed(r); });
    return readings;
}

} // namespace zovex
