#include "number_label.h"

#include "canvas.h"
#include "generation_tick.h"

#include <gtest/gtest.h>

#include <random>

using namespace zovex;

namespace {

bool hasReading(const LabelReadings& read, int cat, const QString& c1, const QString& c2, std::uint32_t state)
{
    return std::any_of(read.readings.begin(), read.readings.end(), [&](const LabelReading& r) {
        return r.category == cat && r.combo1 == c1 && r.combo2 == c2 && r.state == state;
    });
}

// Texts a user might type into a combo box, the label's own parts among them.
QString typedText(std::mt19937& rng)
{
    static const QString pieces[] = {QStringLiteral("350"),  QStringLiteral("3"),   QStringLiteral("0"),
                                     QStringLiteral("wide"), QStringLiteral("7.5"), QStringLiteral(" 12"),
                                     QStringLiteral("宽"),   QStringLiteral("E-"),  QStringLiteral("10"),
                                     QStringLiteral("")};
    QString t;
    for (int n = static_cast<int>(rng() % 3); n >= 0; --n)
        t += pieces[rng() % std::size(pieces)];
    return t;
}

} // namespace

TEST(NumberLabel, TheFirstPatternOfForm1ReadsBackToTheProgramsStartState)
{
    const QString label =
        numberLabelAt(category(1), RandomSource::kStartState, QStringLiteral("90"), QStringLiteral("8"));
    EXPECT_EQ(label, QStringLiteral("NO: WVK190835090.1854614786612"));
    const auto picked = preferListItems(readNumberLabel(label).readings);
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0].category, 1);
    EXPECT_EQ(picked[0].combo1, QStringLiteral("90"));
    EXPECT_EQ(picked[0].combo2, QStringLiteral("8"));
    EXPECT_EQ(picked[0].state, RandomSource::kStartState);
}

TEST(NumberLabel, EveryCombinationOfCategoryAndListItemsReadsBackUniquely)
{
    std::mt19937 rng(24);
    int checked = 0;
    for (const Category& cat : categories())
        for (const QString& c1 : lineWidthItems())
            for (const QString& c2 : drawModeItems())
                for (int n = 0; n < 3; ++n) {
                    const std::uint32_t state = rng() % RandomSource::kModulus;
                    const QString label = numberLabelAt(cat, state, c1, c2);
                    const auto picked = preferListItems(readNumberLabel(label).readings);
                    ASSERT_EQ(picked.size(), 1u) << label.toStdString();
                    EXPECT_EQ(picked[0].category, cat.number) << label.toStdString();
                    EXPECT_EQ(picked[0].combo1, c1) << label.toStdString();
                    EXPECT_EQ(picked[0].combo2, c2) << label.toStdString();
                    EXPECT_EQ(picked[0].state, state) << label.toStdString();
                    ++checked;
                }
    EXPECT_EQ(checked, 10 * 26 * 16 * 3);
}

TEST(NumberLabel, TypedComboTextsAreAmongTheReadingsWithTheirState)
{
    std::mt19937 rng(2411);
    for (int i = 0; i < 20000; ++i) {
        const Category& cat = category(static_cast<int>(rng() % 10) + 1);
        const QString c1 = typedText(rng), c2 = typedText(rng);
        const std::uint32_t state = rng() % RandomSource::kModulus;
        const QString label = numberLabelAt(cat, state, c1, c2);
        const LabelReadings read = readNumberLabel(label);
        ASSERT_TRUE(hasReading(read, cat.number, c1, c2, state)) << label.toStdString();
        // The random part pins the state: readings differ only in how the texts are split.
        for (const LabelReading& r : read.readings)
            EXPECT_EQ(r.category == cat.number, r.state == state) << label.toStdString();
    }
}

TEST(NumberLabel, TheExponentFormOfSmallValuesReadsBackAsPrinted)
{
    // The states right after u1 that give 99 × u1 below 0.0001, and the tick states before them.
    int exponents = 0;
    for (std::uint32_t afterU1 = 0; afterU1 < 40; ++afterU1) {
        RandomSource rnd;
        rnd.setState(afterU1);
        rnd.retreat(static_cast<std::uint64_t>(category(2).drawsPerTick() - 3));
        const QString label = numberLabelAt(category(2), rnd.state(), QStringLiteral("90"), QStringLiteral("5"));
        exponents += label.contains(QLatin1String("E-0"));
        const auto picked = preferListItems(readNumberLabel(label).readings);
        ASSERT_EQ(picked.size(), 1u) << label.toStdString();
        EXPECT_EQ(picked[0].state, rnd.state()) << label.toStdString();
    }
    EXPECT_EQ(exponents, 16); // 99 × 16 / 2^24 is below 0.0001, 99 × 17 / 2^24 is not
}

TEST(NumberLabel, DamagedRandomPartsAreRefusedNeverReadAsAnotherPattern)
{
    std::mt19937 rng(99);
    int damaged = 0;
    for (int i = 0; i < 120; ++i) {
        const Category& cat = category(static_cast<int>(rng() % 10) + 1);
        const QString label =
            numberLabelAt(cat, rng() % RandomSource::kModulus, QStringLiteral("90"), QStringLiteral("5"));
        const qsizetype tail = label.lastIndexOf(QLatin1String("350")) + 3;
        std::vector<QString> variants;
        for (qsizetype at = tail; at < label.size(); ++at) {
            if (label[at].isDigit())
                for (char d = '0'; d <= '9'; ++d)
                    if (label[at] != QLatin1Char(d))
                        variants.push_back(QString(label).replace(at, 1, QLatin1Char(d)));
            variants.push_back(QString(label).insert(at, QLatin1Char(static_cast<char>('0' + rng() % 10))));
        }
        for (qsizetype cut = 1; cut < label.size(); ++cut)
            variants.push_back(label.left(cut));
        variants.push_back(label + QLatin1Char(static_cast<char>('0' + rng() % 10)));
        variants.push_back(label + QLatin1Char('x'));
        for (const QString& v : variants) {
            const LabelReadings read = readNumberLabel(v);
            EXPECT_TRUE(read.readings.empty()) << label.toStdString() << " damaged to " << v.toStdString();
            EXPECT_FALSE(read.error.empty());
            EXPECT_EQ(read.error.find('\n'), std::string::npos);
            ++damaged;
        }
    }
    EXPECT_GT(damaged, 10000);
}

TEST(NumberLabel, ARefusalNamesThePartThatDoesNotFit)
{
    const struct {
        const char* label;
        const char* part;
    } cases[] = {
        {"NO WVK190835090.1854614786612", "NO: WVK"},
        {"NO: WVK19083590.1854614786612", "350"},
        {"NO: WVK190835090.1854614786613", "random part \"90.1854614786613\""},
        {"NO: WVK190835090.18546", "random part"},
        {"NO: WVK0908350"
         "90.1854614786612",
         "category"},
        {"NO: WVK1908350abc", "nothing after \"350\""},
    };
    for (const auto& c : cases) {
        const LabelReadings read = readNumberLabel(QString::fromUtf8(c.label));
        EXPECT_TRUE(read.readings.empty()) << c.label;
        EXPECT_NE(read.error.find(c.part), std::string::npos) << c.label << ": " << read.error;
    }
}

TEST(NumberLabel, WindowsTickingInTurnPrintLabelsThatGiveTheStateOfEachTick)
{
    // Form1 and Form9 draw from the one source in turn; each tick's draws stay together.
    RandomSource shared;
    Canvas one(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64)),
        nine(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    std::int32_t countOne = 0, countNine = 0;
    for (int t = 0; t < 6; ++t) {
        const bool first = t % 3 != 2;
        const Category& cat = category(first ? 1 : 9);
        const std::uint32_t before = shared.state();
        const TickOutput out = runGenerationTick(first ? one : nine, shared, cat, first ? countOne : countNine,
                                                 defaultTickInputs(cat), PreviewSnapshot::Skip);
        const auto picked = preferListItems(readNumberLabel(out.labelText).readings);
        ASSERT_EQ(picked.size(), 1u) << out.labelText.toStdString();
        EXPECT_EQ(picked[0].category, cat.number);
        EXPECT_EQ(picked[0].state, before) << t;
    }
}

TEST(RandomSource, RetreatUndoesAdvance)
{
    std::mt19937 rng(5);
    for (int i = 0; i < 1000; ++i) {
        RandomSource r;
        r.setState(rng());
        const std::uint32_t s = r.state();
        const std::uint64_t n = rng() % 100000;
        r.advance(n);
        r.retreat(n);
        EXPECT_EQ(r.state(), s);
        r.next();
        r.retreat(1);
        EXPECT_EQ(r.state(), s);
    }
}
