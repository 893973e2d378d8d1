#include "int_conv.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zovex;

TEST(IntConv, RoundsHalfToEvenAndChecksRange)
{
    struct Case {
        double in;
        int out;
    };
    const Case cases[] = {{2.5, 2},    {3.5, 4},   {-2.5, -2},       {-3.5, -4},        {0.5, 0},
                          {1.5, 2},    {49.5, 50}, {57.5, 58},       {172.5, 172},      {2.4999, 2},
                          {2.5001, 3}, {-0.4, 0},  {32767.4, 32767}, {-32768.5, -32768}};
    for (const auto& c : cases)
        EXPECT_EQ(toInt16(c.in), c.out) << c.in;

    EXPECT_THROW(toInt16(32767.5), OverflowError); // rounds to 32768
    EXPECT_THROW(toInt16(-32768.6), OverflowError);
    EXPECT_THROW(toInt16(40000), OverflowError);
    EXPECT_THROW(toInt16(std::nan("")), OverflowError);
    EXPECT_EQ(toInt32(2147483647.4), 2147483647);
    EXPECT_THROW(toInt32(2147483647.5), OverflowError);
    EXPECT_EQ(toInt32(-2147483648.5), -2147483648LL);
    EXPECT_THROW(toInt32(1e300), OverflowError);
}

TEST(IntConv, ReadsNumbersFromTextAndRejectsTheRest)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {{"90", true, 90},   {" 8 ", true, 8},  {"-4", true, -4},   {"+3", true, 3},
                          {"7.5", true, 7.5}, {".5", true, 0.5}, {"1e2", true, 100}, {"", false, 0},
                          {"abc", false, 0},  {"5a", false, 0},  {"-", false, 0},    {"1e", false, 0},
                          {"inf", false, 0},  {"nan", false, 0}, {"0x10", false, 0}, {"1,5", false, 0}};
    for (const auto& c : cases) {
        const auto v = parseNumber(c.text);
        EXPECT_EQ(v.has_value(), c.ok) << c.text;
        if (c.ok && v) {
            EXPECT_DOUBLE_EQ(*v, c.value) << c.text;
        }
    }
    EXPECT_EQ(textToInt16("7.5"), 8);
    EXPECT_EQ(textToInt16("6.5"), 6);
    EXPECT_THROW(textToInt16("abc"), TypeMismatch);
    EXPECT_THROW(textToInt16("40000"), OverflowError);
    EXPECT_THROW(textToInt16("1e400"), OverflowError);
}
