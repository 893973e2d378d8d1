#include "generation_tick.h"
#include "int_conv.h"
#include "star_ring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <QRect>

using namespace zovex;

namespace {

// The state after which the next draw yields u (u a multiple of 2^-24): the inverse step.
std::uint32_t stateBefore(double u)
{
    const std::uint64_t target = static_cast<std::uint64_t>(u * 16777216.0);
    // x' = (a x + c) mod 2^24 with a odd: x = a^-1 (x' - c) mod 2^24.
    const std::uint32_t a = 1140671485u, c = 12820163u % 16777216u;
    std::uint32_t inv = a; // Newton's iteration for the inverse of an odd number mod 2^32
    for (int i = 0; i < 5; ++i)
        inv *= 2u - a * inv;
    const std::uint64_t x =
        (static_cast<std::uint64_t>(inv % 16777216u) * ((target + 16777216u - c) % 16777216u)) % 16777216u;
    return static_cast<std::uint32_t>(x);
}

// The state from which the `draw`-th draw (1 for the next) yields u.
std::uint32_t stateDrawsBefore(double u, int draw)
{
    std::uint32_t x = stateBefore(u);
    for (int k = 1; k < draw; ++k)
        x = stateBefore(x / 16777216.0);
    return x;
}

struct RingDraw {
    int points;
    Colour colour;
};

} // namespace

TEST(GenerationTick, FirstTickOfCategoryOneMatchesTheKnownPattern)
{
    RandomSource rnd;
    Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    std::int32_t count = 0;

    // Replay the draws on a copy of the source to check the background and ring choices.
    RandomSource replay = rnd;
    EXPECT_EQ(randomColour(replay), RGB(162, 123, 133));
    const RingDraw expected[] = {{29, RGB(69, 178, 3)},   {75, RGB(187, 163, 10)}, {41, RGB(198, 182, 86)},
                                 {95, RGB(200, 13, 218)}, {36, RGB(121, 176, 12)}, {59, RGB(108, 69, 143)},
                                 {64, RGB(61, 64, 191)}};
    for (const auto& ring : expected) {
        EXPECT_EQ(toInt16(99.0 * replay.next()), ring.points);
        EXPECT_EQ(randomColour(replay), ring.colour);
    }
    EXPECT_EQ(randomColour(replay), RGB(190, 136, 227)); // text colour

    const TickOutput out = runGenerationTick(canvas, rnd, category(1), count, defaultTickInputs(category(1)));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(out.countCaption, QStringLiteral("1"));
    EXPECT_EQ(out.labelText, QStringLiteral("NO: WVK190835090.1854614786612"));
    EXPECT_EQ(canvas.pixel(0, kDesignerCanvasPx - 1), RGB(162, 123, 133));
    EXPECT_EQ(out.preview, canvas.persistentImage());
    EXPECT_EQ(canvas.DrawWidth(), 90);
    EXPECT_EQ(canvas.DrawMode(), 8);
    EXPECT_EQ(canvas.ForeColor(), RGB(190, 136, 227));
}

TEST(GenerationTick, EveryCategoryMakesTenPlusFourDrawsPerRing)
{
    for (const Category& cat : categories()) {
        RandomSource rnd, counter;
        Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
        std::int32_t count = 0;
        runGenerationTick(canvas, rnd, cat, count, defaultTickInputs(cat));
        int draws = 0;
        while (counter.state() != rnd.state()) {
            counter.next();
            ++draws;
        }
        EXPECT_EQ(draws, cat.drawsPerTick()) << "category " << cat.number;
    }
    EXPECT_EQ(category(1).drawsPerTick(), 38);
    EXPECT_EQ(category(2).drawsPerTick(), 26);
    EXPECT_EQ(category(9).drawsPerTick(), 22);
    EXPECT_EQ(category(10).drawsPerTick(), 22);
    EXPECT_EQ(category(9).ringSizes.front(), 2000);
    EXPECT_EQ(category(1).letteringSize, 30.0f);
    for (const Category& cat : categories())
        EXPECT_EQ(cat.ringSizes.back(), 500);
}

TEST(GenerationTick, TiesAtHalfAndQuartersRoundToEven)
{
    // The first ring's colour draws are the 5th to 7th of the tick (after three for the
    // background and one for the points). Each case starts the tick where one of them is a tie:
    // 230 * 0.25 = 57.5 gives 58 (truncation: 57), 230 * 0.75 = 172.5 gives 172 (away from
    // zero: 173). The ring is drawn copy-pen and wide, with no texts, so its top vertex shows
    // its colour, and no later ring or text comes near it.
    struct Case {
        int draw; // 5 red, 6 green, 7 blue
        double u;
        int component; // what that colour component must be
    };
    const Case cases[] = {{5, 0.25, 58}, {5, 0.75, 172}, {6, 0.75, 172}, {7, 0.25, 58}, {6, 0.5, 115}};
    const Category& cat = category(2); // outer ring 10000 twips, the next 8000
    TickInputs in = defaultTickInputs(cat);
    in.combo1 = QStringLiteral("20");
    in.combo2 = QStringLiteral("13");
    in.text2 = in.text3 = in.text4 = QString();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "draw " << c.draw << " u " << c.u);
        RandomSource rnd;
        rnd.setState(stateDrawsBefore(c.u, c.draw));
        Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
        std::int32_t count = 0;
        runGenerationTick(canvas, rnd, cat, count, in);
        // The top vertex: (6450, 6450 - 5000) twips is (430, 97) pixels; just inside the stroke.
        const Colour ring = canvas.pixel(430, 99);
        const int component = c.draw == 5 ? redOf(ring) : c.draw == 6 ? greenOf(ring) : blueOf(ring);
        EXPECT_EQ(component, c.component);
    }
}

TEST(GenerationTick, LettersInTheWidthComboKeepThePreviousWidthAndEnterTheLabel)
{
    RandomSource rnd;
    Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    std::int32_t count = 0;
    TickInputs in = defaultTickInputs(category(2));
    runGenerationTick(canvas, rnd, category(2), count, in);
    EXPECT_EQ(canvas.DrawWidth(), 90);
    in.combo1 = QStringLiteral("abc");
    in.combo2 = QStringLiteral("0");
    const TickOutput out = runGenerationTick(canvas, rnd, category(2), count, in);
    EXPECT_EQ(canvas.DrawWidth(), 90);
    EXPECT_EQ(canvas.DrawMode(), 5);
    EXPECT_TRUE(out.labelText.startsWith(QStringLiteral("NO: WVK2abc0350"))) << out.labelText.toStdString();
    EXPECT_EQ(out.countCaption, QStringLiteral("2"));
    in.combo1 = QStringLiteral("-3");
    in.combo2 = QStringLiteral("7");
    runGenerationTick(canvas, rnd, category(2), count, in);
    EXPECT_EQ(canvas.DrawWidth(), 90);
    EXPECT_EQ(canvas.DrawMode(), 7);
}

TEST(GenerationTick, CountStopsAtTheLargestValueAndTheTickGoesOn)
{
    RandomSource rnd;
    Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    std::int32_t count = 2147483647;
    const auto out = runGenerationTick(canvas, rnd, category(9), count, defaultTickInputs(category(9)));
    EXPECT_EQ(count, 2147483647);
    EXPECT_EQ(out.countCaption, QStringLiteral("2147483647"));
    EXPECT_FALSE(out.labelText.isEmpty());
}

TEST(GenerationTick, SameStartGivesTheSamePatterns)
{
    auto render = [](std::uint32_t state) {
        RandomSource rnd;
        rnd.setState(state);
        Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
        std::int32_t count = 0;
        runGenerationTick(canvas, rnd, category(3), count, defaultTickInputs(category(3)));
        return canvas.Image();
    };
    EXPECT_EQ(render(12345), render(12345));
    EXPECT_NE(render(12345), render(54321));
}

TEST(GenerationTick, SingleTextHasSevenSignificantDigits)
{
    EXPECT_EQ(singleToText(90.1854629516602f), QStringLiteral("90.18546"));
    EXPECT_EQ(singleToText(49.5f), QStringLiteral("49.5"));
    EXPECT_EQ(singleToText(3.0f), QStringLiteral("3"));
    EXPECT_EQ(singleToText(0.0f), QStringLiteral("0"));
    EXPECT_EQ(singleToText(98.99999f), QStringLiteral("98.99999"));
}

TEST(GenerationTick, FirstTickLettersTheLabelAndTheCirclesInTheTextColour)
{
    RandomSource rnd;
    Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    std::int32_t count = 0;
    runGenerationTick(canvas, rnd, category(1), count, defaultTickInputs(category(1)));
    const Colour text = RGB(190, 136, 227);
    auto countIn = [&](QRect r, int* topRow = nullptr) {
        int n = 0, top = 1 << 30;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (canvas.pixel(x, y) == text) {
                    ++n;
                    top = std::min(top, y);
                }
        if (topRow)
            *topRow = top;
        return n;
    };
    // The label starts at (643, 0) twips: pixel column 43, top row.
    EXPECT_GT(countIn(QRect(43, 0, 120, 30)), 100);
    EXPECT_EQ(countIn(QRect(0, 0, 40, 30)), 0);
    // Text4's circle has its top at y = 3857 twips (pixel 257): the letters hang from it.
    int top = 0;
    EXPECT_GT(countIn(QRect(378, 240, 100, 60), &top), 50);
    EXPECT_GE(top, 3857 / 15 - 2);
    EXPECT_LE(top, 3857 / 15 + 8);
    // Text2's circle top at y = 7713 twips (pixel 514).
    EXPECT_GT(countIn(QRect(378, 505, 100, 60), &top), 50);
    EXPECT_GE(top, 7713 / 15 - 2);
}
