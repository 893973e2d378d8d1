#include "canvas.h"
#include "canvas_pixels.h"
#include "font_faces.h"
#include "lettering.h"
#include "star_ring.h"

#include <QFontInfo>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <vector>

using namespace zovex;
using test::countPixels;

namespace {

Canvas letteringCanvas()
{
    Canvas c(400, 400, RGB(0, 0, 64));
    c.setFontName(QStringLiteral("arial"));
    c.setFontSize(20);
    c.setFontBold(true);
    c.setForeColor(RGB(190, 136, 227));
    return c;
}

std::vector<CirclePlacement> placements(const Canvas& c, const QString& text, int cx, int cy, int r, double start,
                                        double* startUsed = nullptr)
{
    std::vector<CirclePlacement> out;
    const double s =
        forEachCirclePlacement(c, text, cx, cy, r, start, [&](const CirclePlacement& p) { out.push_back(p); });
    if (startUsed)
        *startUsed = s;
    return out;
}

// Bounding box of pixels that differ from the background.
QRect inkBox(const Canvas& c)
{
    QRect box;
    for (int y = 0; y < c.heightPx(); ++y)
        for (int x = 0; x < c.widthPx(); ++x)
            if (c.pixel(x, y) != c.BackColor())
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

TEST(Lettering, FontRequestFollowsHeightEscapementAndWeightRules)
{
    Canvas c = letteringCanvas();
    struct Case {
        float size;
        int height;
    };
    for (const Case k : {Case{20, -27}, Case{30, -40}, Case{18, -24}, Case{9, -12}})
        EXPECT_EQ(rotatedFontRequest(c, 0, QStringLiteral("arial"), k.size).height, k.height) << k.size;
    EXPECT_EQ(rotatedFontRequest(c, 270, QStringLiteral("arial"), 20).escapement, 2700);
    EXPECT_EQ(rotatedFontRequest(c, -3276, QStringLiteral("arial"), 20).escapement, -32760);
    EXPECT_THROW(rotatedFontRequest(c, 3277, QStringLiteral("arial"), 20), OverflowError);
    EXPECT_EQ(rotatedFontRequest(c, 0, QStringLiteral("arial"), 20).weight, 800);
    c.setFontBold(false);
    EXPECT_EQ(rotatedFontRequest(c, 0, QStringLiteral("arial"), 20).weight, 400);
    const QString longFace(40, QLatin1Char('x'));
    EXPECT_EQ(rotatedFontRequest(c, 0, longFace, 20).face.size(), 31);
}

TEST(Lettering, FacesResolveToMetricTwinsAndCjk)
{
    EXPECT_EQ(QFontInfo(deviceFont(QStringLiteral("arial"), 27, 800)).family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(QFontInfo(deviceFont(QStringLiteral("Arial"), 24, 400)).family(), QStringLiteral("Liberation Sans"));
    EXPECT_TRUE(
        QFontInfo(controlFont(QStringLiteral("宋体"), 9, false)).family().startsWith(QStringLiteral("Noto Serif CJK")));
    // The Chinese characters of the pattern texts have glyphs (a CJK fallback is installed).
    const QFontMetrics fm(deviceFont(QStringLiteral("arial"), 27, 800));
    for (const QChar ch : QStringLiteral("软件公元年月出品世界顶级美术图案作祝全人民幸福安康"))
        EXPECT_GT(fm.horizontalAdvance(ch), 10) << QString(ch).toStdString();
}

TEST(Lettering, TextWidthIsInTwipsOfTheCanvasFontAndAdds)
{
    Canvas c = letteringCanvas();
    EXPECT_EQ(TextWidth(c, QString()), 0.0f);
    const float w = TextWidth(c, QStringLiteral("Zovex"));
    const QFontMetrics fm(fontFor(rotatedFontRequest(c, 0, QStringLiteral("arial"), 20)));
    EXPECT_EQ(w, fm.horizontalAdvance(QStringLiteral("Zovex")) * 15.0f);
    // No kerning: the string's width is the sum of its characters'.
    float sum = 0;
    for (const QChar ch : QStringLiteral("AVAToWa"))
        sum += TextWidth(c, QString(ch));
    EXPECT_EQ(TextWidth(c, QStringLiteral("AVAToWa")), sum);
}

TEST(Lettering, StartAngleCentresTheTextOnTheTopOfTheCircle)
{
    const std::int32_t d = arcScale(2571);
    EXPECT_EQ(d, 45);
    EXPECT_EQ(centredStartAngle(60.0f * d, d), 330.0);
    EXPECT_EQ(330.0 + 60.0, 390.0);
    EXPECT_EQ(centredStartAngle(0, d), 360.0);
    EXPECT_EQ(centredStartAngle(61.0f * d, d), 329.0); // floor of 329.5
    EXPECT_EQ(arcScale(28), 0);
    EXPECT_EQ(arcScale(29), 1);
    EXPECT_THROW(centredStartAngle(100, 0), DivisionByZero);

    Canvas c = letteringCanvas();
    double start = 0;
    const QString text = QStringLiteral("Zovex软件");
    const auto ps = placements(c, text, 3000, 3000, 2571, -1, &start);
    ASSERT_EQ(ps.size(), static_cast<std::size_t>(text.size()));
    const double span = TextWidth(c, text) / static_cast<double>(d);
    EXPECT_EQ(start, std::floor(360.0 - span / 2));
    // Centred on 12 o'clock to within the one degree that the floor takes off.
    EXPECT_LE(ps.front().cellAngle, 360.0 - span / 2);
    EXPECT_GT(ps.front().cellAngle + 1.0, 360.0 - span / 2);
}

TEST(Lettering, EachCharacterStartsOnTheCircleAndTurnsWithItsMiddle)
{
    Canvas c = letteringCanvas();
    const std::int32_t r = 2571, d = arcScale(r);
    const QString text = QStringLiteral(" Zovex");
    const auto ps = placements(c, text, 6428, 6428, r, -1);
    ASSERT_EQ(ps.size(), 6u);
    // The leading blank takes its width before the first visible character.
    EXPECT_NEAR(ps[1].cellAngle - ps[0].cellAngle, TextWidth(c, QStringLiteral(" ")) / static_cast<double>(d), 1e-9);
    EXPECT_GT(TextWidth(c, QStringLiteral(" ")), 0.0f);
    for (const auto& p : ps) {
        std::int32_t x = 0, y = 0;
        PolarPoint(6428, 6428, p.cellAngle, r, r, x, y);
        EXPECT_EQ(p.x, x);
        EXPECT_EQ(p.y, y);
        EXPECT_EQ(p.rotation, toInt16(360.0 - p.middleAngle));
    }
    // A character whose middle is at 3 o'clock is turned by 270 degrees.
    const QString w = QStringLiteral("W");
    const double start = 90.0 - TextWidth(c, w) * 0.5 / d;
    const auto at3 = placements(c, w, 6428, 6428, r, start);
    ASSERT_EQ(at3.size(), 1u);
    EXPECT_EQ(at3[0].rotation, 270);
}

TEST(Lettering, EmptyTextAndTinyCirclesPrintNothing)
{
    Canvas c = letteringCanvas();
    const QImage before = c.Image();
    DrawTextOnCircle(c, QString(), 3000, 3000, 2000, -1);
    EXPECT_EQ(c.persistentImage(), before);
    EXPECT_THROW(DrawTextOnCircle(c, QStringLiteral("abc"), 3000, 3000, 28, -1), DivisionByZero);
    EXPECT_EQ(c.persistentImage(), before);
    EXPECT_NO_THROW(DrawTextOnCircle(c, QStringLiteral("abc"), 3000, 3000, 29, -1));
}

TEST(Lettering, OverflowEndsTheTextButKeepsWhatWasPrinted)
{
    Canvas c = letteringCanvas();
    // The circle's right side lies beyond 32767 twips: the walk stops at the first such character.
    std::vector<CirclePlacement> seen;
    EXPECT_THROW(forEachCirclePlacement(c, QStringLiteral("abcdefghijklmnopqrstuvwxyz"), 31000, 3000, 2600, 0,
                                        [&](const CirclePlacement& p) { seen.push_back(p); }),
                 OverflowError);
    EXPECT_GT(seen.size(), 0u);
    EXPECT_LT(seen.size(), 26u);
    EXPECT_THROW(DrawTextOnCircle(c, QStringLiteral("abcdefghijklmnopqrstuvwxyz"), 31000, 0, 2600, 0), OverflowError);
}

// A rotation past +-3276 degrees overflows the escapement: printing stops there, and so does
// the walk, at the same character.
TEST(Lettering, WalkStopsWhereTheEscapementOverflows)
{
    Canvas c = letteringCanvas();
    const QString text = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    std::vector<CirclePlacement> seen;
    EXPECT_THROW(
        forEachCirclePlacement(c, text, 3000, 3000, 400, 3600, [&](const CirclePlacement& p) { seen.push_back(p); }),
        OverflowError);
    ASSERT_GT(seen.size(), 0u);
    ASSERT_LT(seen.size(), 26u);
    EXPECT_GE(seen.back().rotation, -3276);
    // The next character is the first one turned past the limit.
    const QString next = text.mid(static_cast<qsizetype>(seen.size()), 1);
    const double middle =
        3600 +
        (TextWidth(c, text.left(static_cast<qsizetype>(seen.size()))) + TextWidth(c, next) * 0.5) / arcScale(400);
    EXPECT_LT(toInt16(360.0 - middle), -3276);

    // Drawing prints exactly the characters visited.
    Canvas drawn = letteringCanvas(), visited = letteringCanvas();
    EXPECT_THROW(DrawTextOnCircle(drawn, text, 3000, 3000, 400, 3600), OverflowError);
    for (const auto& p : seen)
        DrawRotatedText(p.rotation, visited, visited.FontName(), visited.FontSize(), p.x, p.y, p.character);
    EXPECT_EQ(drawn.persistentImage(), visited.persistentImage());
}

// Characters are what a reader counts: an emoji (a surrogate pair) is one character, measured
// and printed once, and a combining accent stays with its letter.
TEST(Lettering, TextIsWalkedByCharactersNotCodeUnits)
{
    Canvas c = letteringCanvas();
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // U+1F600, two UTF-16 units
    const QString accented = QString::fromUtf8("e\xCC\x81");     // e + combining acute
    ASSERT_EQ(emoji.size(), 2);
    const std::int32_t r = 2571, d = arcScale(r);
    const auto ps = placements(c, QStringLiteral("A") + emoji + QStringLiteral("B") + accented, 6428, 6428, r, 300);
    ASSERT_EQ(ps.size(), 4u);
    EXPECT_EQ(ps[1].character, emoji);
    EXPECT_EQ(ps[3].character, accented);
    EXPECT_NEAR(ps[1].middleAngle, 300 + (TextWidth(c, QStringLiteral("A")) + TextWidth(c, emoji) * 0.5) / d, 1e-9);
    // The B's cell starts where the whole emoji ends.
    EXPECT_NEAR(ps[2].cellAngle, 300 + TextWidth(c, QStringLiteral("A") + emoji) / static_cast<double>(d), 1e-9);
    EXPECT_EQ(charactersOf(QString()).size(), 0u);

    // Printing the emoji on the circle gives the pixels of printing it once, as one string.
    Canvas onCircle = letteringCanvas(), once = letteringCanvas();
    DrawTextOnCircle(onCircle, emoji, 6428, 6428, r, 300);
    const auto one = placements(once, emoji, 6428, 6428, r, 300);
    ASSERT_EQ(one.size(), 1u);
    DrawRotatedText(one[0].rotation, once, once.FontName(), once.FontSize(), one[0].x, one[0].y, emoji);
    EXPECT_EQ(onCircle.persistentImage(), once.persistentImage());
}

TEST(Lettering, CanvasStateIsUnchangedAndTextIgnoresTheDrawMode)
{
    Canvas c = letteringCanvas();
    c.setDrawMode(6); // R2_NOT would invert; text must come out in ForeColor
    c.setDrawWidth(33);
    DrawTextOnCircle(c, QStringLiteral("Zovex软件"), 3000, 3000, 2000, -1);
    DrawRotatedText(0, c, QStringLiteral("Arial"), 18, 100, 100, QStringLiteral("NO: WVK"));
    EXPECT_EQ(c.FontName(), QStringLiteral("arial"));
    EXPECT_EQ(c.FontSize(), 20.0f);
    EXPECT_TRUE(c.FontBold());
    EXPECT_EQ(c.ForeColor(), RGB(190, 136, 227));
    EXPECT_EQ(c.DrawMode(), 6);
    EXPECT_EQ(c.DrawWidth(), 33);
    EXPECT_EQ(c.CurrentX(), 100.0f);
    // Unsmoothed text: every pixel that changed is exactly the text colour.
    int other = 0;
    for (int y = 0; y < c.heightPx(); ++y)
        for (int x = 0; x < c.widthPx(); ++x) {
            const Colour p = c.pixel(x, y);
            other += p != c.BackColor() && p != RGB(190, 136, 227);
        }
    EXPECT_EQ(other, 0);
    EXPECT_GT(countPixels(c, RGB(190, 136, 227)), 200);
}

TEST(Lettering, RotatedTextTurnsCounterClockwiseAboutTheTopLeftOfItsCell)
{
    const QString text = QStringLiteral("HHHH");
    const int x0 = 200, y0 = 200; // pixels
    Canvas up = letteringCanvas();
    DrawRotatedText(0, up, QStringLiteral("arial"), 20, x0 * 15, y0 * 15, text);
    const QFontMetrics fm(fontFor(rotatedFontRequest(up, 0, QStringLiteral("arial"), 20)));
    const QRect upright = inkBox(up);
    EXPECT_TRUE(QRect(x0, y0, fm.horizontalAdvance(text), fm.height()).contains(upright))
        << upright.x() << "," << upright.y();

    Canvas turned = letteringCanvas();
    DrawRotatedText(90, turned, QStringLiteral("arial"), 20, x0 * 15, y0 * 15, text);
    const QRect t = inkBox(turned);
    // Turned a quarter counter-clockwise: the text runs upwards from (x0, y0), its cell to the right.
    EXPECT_LE(t.bottom(), y0 + 1);
    EXPECT_GE(t.top(), y0 - fm.horizontalAdvance(text) - 1);
    EXPECT_GE(t.left(), x0 - 1);
    EXPECT_LE(t.right(), x0 + fm.height() + 1);
    EXPECT_NEAR(t.height(), upright.width(), 2);

    Canvas full = letteringCanvas();
    DrawRotatedText(360, full, QStringLiteral("arial"), 20, x0 * 15, y0 * 15, text);
    EXPECT_EQ(full.persistentImage(), up.persistentImage());
}

TEST(Lettering, BoldCanvasGivesHeavierRotatedText)
{
    Canvas bold = letteringCanvas();
    Canvas regular = letteringCanvas();
    regular.setFontBold(false);
    for (Canvas* c : {&bold, &regular})
        DrawRotatedText(30, *c, QStringLiteral("arial"), 20, 1500, 3000, QStringLiteral("WVK WVK"));
    EXPECT_GT(countPixels(bold, RGB(190, 136, 227)), countPixels(regular, RGB(190, 136, 227)) * 11 / 10);
}

TEST(Lettering, RenderedCharacterCacheSetsExactlyThePixelsDrawingWould)
{
    const QString text = QStringLiteral(" Zovex软件  祝全世界人民  幸福安康 WVKgjpqy@#");
    struct Case {
        int cx, cy, r;
        double start;
        bool bold;
    };
    // Many rotations and positions, partly off the canvas edges.
    const Case cases[] = {{3000, 3000, 2571, -1, true},
                          {3000, 6000, 5142, -1, true},
                          {100, 100, 2000, 0, false},
                          {5900, 3000, 1700, 37.5, true},
                          {3000, 3000, 900, 200, false}};
    for (const Case& k : cases) {
        Canvas direct = letteringCanvas(), cached = letteringCanvas();
        direct.setFontBold(k.bold);
        cached.setFontBold(k.bold);
        setLetteringPath(LetteringPath::Painter);
        DrawTextOnCircle(direct, text, k.cx, k.cy, k.r, k.start);
        setLetteringPath(LetteringPath::Cached);
        DrawTextOnCircle(cached, text, k.cx, k.cy, k.r, k.start); // fills the cache
        EXPECT_EQ(cached.persistentImage(), direct.persistentImage()) << k.cx << "," << k.cy << " r " << k.r;
        Canvas again = letteringCanvas();
        again.setFontBold(k.bold);
        DrawTextOnCircle(again, text, k.cx, k.cy, k.r, k.start); // from the cache
        EXPECT_EQ(again.persistentImage(), direct.persistentImage()) << k.cx << "," << k.cy << " r " << k.r;
    }
}
