// A canvas S times finer: the ordinary canvas's twips, drawn with S times the pixels.
#include "canvas.h"
#include "lettering.h"
#include "star_ring.h"

#include <QSet>

#include <gtest/gtest.h>

#include <vector>

using namespace zovex;

TEST(CanvasScale, TwipsAreTheOrdinaryOnesAtFifteenOverSTwipsPerPixel)
{
    for (int S = 1; S <= kMaxScale; ++S) {
        const Canvas c(857 * S, 857 * S, RGB(0, 0, 0), S);
        EXPECT_FLOAT_EQ(c.TwipsPerPixelX(), 15.0f / S) << S;
        EXPECT_EQ(c.ScaleWidth(), 12855.0f) << S;
        EXPECT_EQ(c.ScaleHeight(), 12855.0f) << S;
        // 18 points is 24 pixels on an ordinary screen; fonts grow with the pixels.
        EXPECT_EQ(rotatedFontRequest(c, 0, QStringLiteral("Arial"), 18).height, -24 * S) << S;
    }
}

TEST(CanvasScale, RingVerticesUseTheExactRatioNotAWholeNumberOfTwipsPerPixel)
{
    // Two squares of an eight-point ring in the box (1450, 1450, 10000, 10000): at 7.5 twips
    // per pixel a whole-number ratio (8) would put the top vertex at 181, not 193.
    struct Case {
        int scale;
        std::vector<PixelPoint> first;
    };
    const Case cases[] = {
        {1, {{430, 97}, {763, 430}, {430, 763}, {97, 430}}},
        {2, {{860, 193}, {1527, 860}, {860, 1527}, {193, 860}}},
        {4, {{1720, 387}, {3053, 1720}, {1720, 3053}, {387, 1720}}},
    };
    for (const Case& k : cases) {
        const auto figures = starRingFigures(1450, 1450, 10000, 10000, 8, 15.0f / k.scale);
        ASSERT_EQ(figures.size(), 2u);
        EXPECT_EQ(figures[0], k.first) << k.scale;
    }
}

TEST(CanvasScale, ThePenIsSTimesDrawWidthPixelsWide)
{
    for (int S : {1, 3, 8}) {
        Canvas c(200, 200, RGB(0, 0, 0), S);
        c.setDrawWidth(2);
        c.setDrawMode(13);
        c.setForeColor(RGB(255, 255, 255));
        const PixelPoint line[] = {{20, 100}, {180, 100}};
        c.Polygon(line);
        int covered = 0;
        for (int y = 0; y < 200; ++y)
            covered += c.pixel(100, y) == RGB(255, 255, 255);
        EXPECT_EQ(covered, 2 * S) << S;
        EXPECT_EQ(c.DrawWidth(), 2);
    }
}

TEST(CanvasScale, LargeTurnedLettersAreUnsmoothedAndTheCharacterCacheAgrees)
{
    const QString text = QStringLiteral("Zovex软件公元2011年1月出品 WVKgj");
    for (int S : {3, 8}) {
        auto lettered = [&](bool cache) {
            setLetteringPath(cache ? LetteringPath::Cached : LetteringPath::Painter);
            Canvas c(400 * S, 400 * S, RGB(0, 0, 64), S);
            c.setFontName(QStringLiteral("arial"));
            c.setFontSize(30);
            c.setFontBold(true);
            c.setForeColor(RGB(190, 136, 227));
            DrawTextOnCircle(c, text, 3000, 6000, 2400, -1);
            setLetteringPath(LetteringPath::Cached);
            return c.persistentImage().copy();
        };
        const QImage direct = lettered(false);
        QSet<QRgb> colours;
        for (int y = 0; y < direct.height(); ++y)
            for (int x = 0; x < direct.width(); ++x)
                colours.insert(direct.pixel(x, y) & 0xFFFFFFu);
        EXPECT_EQ(colours.size(), 2) << S;
        EXPECT_EQ(lettered(true), direct) << S;
    }
}
