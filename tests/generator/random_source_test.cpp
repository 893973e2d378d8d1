#include "random_source.h"

#include <gtest/gtest.h>

using namespace zovex;

TEST(RandomSource, StartsAt327680AndGivesTheKnownFirstDraws)
{
    RandomSource r;
    EXPECT_EQ(r.state(), 327680u);
    EXPECT_NEAR(r.next(), 0.7055475f, 5e-8);
    EXPECT_NEAR(r.next(), 0.533424f, 5e-8);
    EXPECT_NEAR(r.next(), 0.5795186f, 5e-8);
}

TEST(RandomSource, StateCanBeSavedAndRestoredToRepeatTheSequence)
{
    RandomSource r;
    for (int i = 0; i < 17; ++i)
        r.next();
    const auto saved = r.state();
    const float a = r.next(), b = r.next();
    r.setState(saved);
    EXPECT_EQ(r.next(), a);
    EXPECT_EQ(r.next(), b);
    r.setState(saved + (1u << 24)); // taken modulo 2^24
    EXPECT_EQ(r.state(), saved);
}

TEST(RandomSource, DrawsAreExactMultiplesOfTwoToTheMinus24InTheUnitInterval)
{
    RandomSource r;
    for (int i = 0; i < 100000; ++i) {
        const float u = r.next();
        ASSERT_GE(u, 0.0f);
        ASSERT_LT(u, 1.0f);
        ASSERT_EQ(static_cast<double>(u) * 16777216.0, static_cast<double>(r.state()));
    }
}

TEST(RandomSource, AdvanceLandsWhereThatManyDrawsWould)
{
    for (const std::uint32_t start : {RandomSource::kStartState, 0u, 16777215u, 4242u}) {
        RandomSource stepped;
        stepped.setState(start);
        std::uint64_t done = 0;
        for (const std::uint64_t n : {0ull, 1ull, 2ull, 3ull, 38ull, 1000ull, 65537ull, 999999ull}) {
            while (done < n) {
                stepped.next();
                ++done;
            }
            RandomSource jumped;
            jumped.setState(start);
            jumped.advance(n);
            EXPECT_EQ(jumped.state(), stepped.state()) << start << " + " << n;
        }
    }
    // The generator visits every state once per 2^24 draws, so a whole period comes back.
    RandomSource r;
    r.advance(1ull << 24);
    EXPECT_EQ(r.state(), RandomSource::kStartState);
    RandomSource a, b;
    a.advance((5ull << 24) + 77);
    b.advance(77);
    EXPECT_EQ(a.state(), b.state());
}
