#include "colour.h"
#include "rop2.h"

#include <gtest/gtest.h>

using namespace zovex;

// Keyed by the DrawMode number, not by the enum's name: a name bound to the wrong number
// would pass a table of names.
TEST(Rop2, EveryDrawModeNumberIsItsBitwiseFunctionOver24BitsWithAlphaKept)
{
    const std::uint32_t P = 0x00FF0F33u, D = 0x00F0F0F0u;
    struct Case {
        int mode;
        std::uint32_t expect; // 24-bit
    };
    const Case cases[] = {
        {1, 0},         // R2_BLACK
        {2, ~(P | D)},  // R2_NOTMERGEPEN
        {3, ~P & D},    // R2_MASKNOTPEN
        {4, ~P},        // R2_NOTCOPYPEN
        {5, P & ~D},    // R2_MASKPENNOT
        {6, ~D},        // R2_NOT
        {7, P ^ D},     // R2_XORPEN
        {8, ~(P & D)},  // R2_NOTMASKPEN
        {9, P & D},     // R2_MASKPEN
        {10, ~(P ^ D)}, // R2_NOTXORPEN
        {11, D},        // R2_NOP
        {12, ~P | D},   // R2_MERGENOTPEN
        {13, P},        // R2_COPYPEN
        {14, P | ~D},   // R2_MERGEPENNOT
        {15, P | D},    // R2_MERGEPEN
        {16, 0xFFFFFF}, // R2_WHITE
    };
    for (const auto& c : cases) {
        const std::uint32_t got = rop2Pixel(static_cast<Rop2>(c.mode), 0xFF000000u | P, 0xFF000000u | D);
        EXPECT_EQ(got, 0xFF000000u | (c.expect & 0xFFFFFFu)) << "mode " << c.mode;
    }
}

// Every length from 0 to 70 at every offset within a cache line, for all modes: each pixel of
// the span is combined exactly once (the vector loops overlap their first and last vectors with
// the aligned middle) and no pixel around it is touched.
TEST(Rop2, SpansCombineEachPixelOnceAndNothingOutside)
{
    auto original = [](int i) { return 0xFF000000u | (0x010203u * static_cast<std::uint32_t>(i * 7 + 1)); };
    constexpr int kRow = 96;
    alignas(64) std::uint32_t row[kRow];
    for (int op = 1; op <= 16; ++op) {
        for (int first = 0; first <= 16; ++first) {
            for (int n = 0; n <= 70; ++n) {
                for (int i = 0; i < kRow; ++i)
                    row[i] = original(i);
                const RowSpan spans[] = {{0, first, first + n}, {0, first + n + 2, first + n + 3}};
                rop2Spans(static_cast<Rop2>(op), 0xFF5A3C96u, row, 0, spans, 2);
                for (int i = 0; i < kRow; ++i) {
                    const bool inside = (i >= first && i < first + n) || i == first + n + 2;
                    const std::uint32_t want =
                        inside ? rop2Pixel(static_cast<Rop2>(op), 0xFF5A3C96u, original(i)) : original(i);
                    ASSERT_EQ(row[i], want) << "mode " << op << " span " << first << "+" << n << " pixel " << i;
                }
            }
        }
    }
}

TEST(Colour, PacksRedGreenBlueAndConvertsToPixels)
{
    EXPECT_EQ(RGB(52, 160, 225), 14786612u);
    EXPECT_EQ(toPixel(RGB(1, 2, 3)), 0xFF010203u);
    EXPECT_EQ(fromPixel(0xFF010203u), RGB(1, 2, 3));
}
