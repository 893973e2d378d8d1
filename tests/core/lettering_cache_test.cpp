// The cached lettering against the reference (the text walked and each character set at every
// call): the same pixels, current position and error for texts on circles and upright texts,
// whatever the text, font, density, place and colours, on first use and from the cache.
#include "canvas.h"
#include "lettering.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

using namespace zovex;

namespace {

// Sets the path for one drawing and puts the default back whatever happens.
struct PathFor {
    explicit PathFor(LetteringPath p) { setLetteringPath(p); }
    ~PathFor() { setLetteringPath(LetteringPath::Cached); }
    PathFor(const PathFor&) = delete;
    PathFor& operator=(const PathFor&) = delete;
};

struct Outcome {
    QImage image;
    float x = 0, y = 0;
    std::string error; // type and message, empty when none
};

bool operator==(const Outcome& a, const Outcome& b)
{
    return a.image == b.image && a.x == b.x && a.y == b.y && a.error == b.error;
}

struct Look {
    QString face = QStringLiteral("arial");
    float size = 20;
    bool bold = true;
    double scale = 1;
    int widthPx = 857, heightPx = 857;
    Colour back = RGB(0, 0, 64);
};

Canvas canvasFor(const Look& look, Colour pen)
{
    Canvas c(look.widthPx, look.heightPx, look.back, look.scale);
    c.setFontName(look.face);
    c.setFontSize(look.size);
    c.setFontBold(look.bold);
    c.setForeColor(pen);
    c.setCurrentX(777); // where nothing is printed, the position stays
    c.setCurrentY(888);
    return c;
}

template <class Draw>
Outcome outcomeOf(LetteringPath path, const Look& look, Colour pen, Draw draw)
{
    const PathFor p(path);
    Canvas c = canvasFor(look, pen);
    Outcome o;
    try {
        draw(c);
    } catch (const DrawError& e) {
        o.error = std::string(typeid(e).name()) + ": " + e.what();
    }
    o.image = c.persistentImage().copy();
    o.x = c.CurrentX();
    o.y = c.CurrentY();
    return o;
}

QString repeated(const QString& s, int n)
{
    QString out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

const QString kText2 = QStringLiteral("Zovex软件公元2011年1月出品");
const QString kText3 = QStringLiteral("世界顶级美术图案作品");
const QString kText4 = QStringLiteral(" Zovex软件  祝全世界人民  幸福安康");

} // namespace

TEST(LetteringCache, TextsOnCirclesGiveTheReferencePixelsPositionAndError)
{
    struct Case {
        const char* what;
        Look look;
        QString text;
        std::int32_t cx, cy, r;
        double start;
    };
    const Look designer;
    Look large = designer;
    large.size = 30;
    Look x15 = large, x2 = large, x3 = designer;
    x15.scale = 1.5;
    x15.widthPx = x15.heightPx = 1286;
    x2.scale = 2;
    x2.widthPx = x2.heightPx = 1714;
    x3.scale = 3;
    x3.widthPx = x3.heightPx = 1200;
    Look regular = designer;
    regular.bold = false;
    regular.face = QStringLiteral("MS Sans Serif");
    regular.size = 8.25f;
    Look narrow = designer;
    narrow.widthPx = 300;
    narrow.heightPx = 500;
    const QString emoji = QString::fromUtf8("A\xF0\x9F\x98\x80"
                                            "Be\xCC\x81");
    const Case cases[] = {
        {"Text2", designer, kText2, 6428, 12855, 5142, -1},
        {"Text3", designer, kText3, 6428, 12855, 2571, -1},
        {"Text4", designer, kText4, 6428, 6428, 2571, -1},
        {"category 1 size", large, kText2, 6428, 12855, 5142, -1},
        {"scale 1.5", x15, kText4, 6428, 6428, 2571, -1},
        {"scale 2", x2, kText2, 6428, 12855, 5142, -1},
        {"scale 3, turned glyphs above 64 pixels", x3, kText3, 3000, 6000, 2400, -1},
        {"empty", designer, QString(), 6428, 12855, 5142, -1},
        {"blanks only", designer, QStringLiteral("   "), 6428, 6428, 2571, -1},
        {"edited ASCII", designer, QStringLiteral("ffi fl WAVE office 0123456789"), 6428, 6428, 2571, -1},
        {"very long, round and round", designer, repeated(kText4, 12), 6428, 6428, 2571, -1},
        {"off the canvas edges", designer, kText2, 300, 200, 2571, -1},
        {"narrow canvas cuts it", narrow, kText2, 6428, 12855, 5142, -1},
        {"given start angle", designer, kText3, 5000, 4000, 1700, 37.5},
        {"regular weight, another face", regular, kText2, 6428, 6428, 2571, -1},
        {"position overflows halfway", designer, QStringLiteral("abcdefghijklmnopqrstuvwxyz"), 31000, 3000, 2600, 0},
        {"escapement overflows halfway", designer, QStringLiteral("abcdefghijklmnopqrstuvwxyz"), 3000, 3000, 400, 3600},
        {"circle too small", designer, kText3, 3000, 3000, 28, -1},
        {"emoji and combining accent", designer, emoji, 6428, 6428, 2571, 300},
    };
    const Colour pens[] = {RGB(190, 136, 227), RGB(0, 0, 0), RGB(255, 255, 255), RGB(230, 0, 230), RGB(0, 0, 64)};
    for (const Case& k : cases) {
        // The first pen fills the cache, the others come from it.
        for (const Colour pen : pens) {
            const auto draw = [&](Canvas& c) { DrawTextOnCircle(c, k.text, k.cx, k.cy, k.r, k.start); };
            const Outcome ref = outcomeOf(LetteringPath::Reference, k.look, pen, draw);
            const Outcome cached = outcomeOf(LetteringPath::Cached, k.look, pen, draw);
            EXPECT_TRUE(cached == ref) << k.what << ", pen " << pen << ": position " << cached.x << "," << cached.y
                                       << " / " << ref.x << "," << ref.y << ", error '" << cached.error << "' / '"
                                       << ref.error << "'";
        }
    }
    // The extremes on the opposite background.
    Look white = designer;
    white.back = RGB(255, 255, 255);
    const auto text2 = [&](Canvas& c) { DrawTextOnCircle(c, kText2, 6428, 12855, 5142, -1); };
    EXPECT_TRUE(outcomeOf(LetteringPath::Cached, white, RGB(0, 0, 0), text2) ==
                outcomeOf(LetteringPath::Reference, white, RGB(0, 0, 0), text2));
}

// Texts that differ in one thing only each print their own pixels: the cache tells apart the
// text, face, size, weight, density, canvas size, circle and start.
TEST(LetteringCache, NeighbouringTextsAreKeptApart)
{
    struct Variant {
        Look look;
        QString text;
        std::int32_t cx, cy, r;
        double start;
    };
    const Variant base{Look{}, QStringLiteral("Zovex abc"), 6428, 6428, 2571, -1};
    std::vector<Variant> variants(10, base);
    variants[1].text = QStringLiteral("Zovex abd");
    variants[2].look.face = QStringLiteral("MS Sans Serif");
    variants[3].look.size = 20.5f;
    variants[4].look.bold = false;
    variants[5].look.scale = 2;
    variants[6].look.widthPx = 420; // cuts the text off
    variants[7].cx = 6429;
    variants[8].r = 2572;
    variants[9].start = 300;
    // Twice round, so that each is drawn from the cache after all the others were filled in.
    for (int round = 0; round < 2; ++round)
        for (std::size_t i = 0; i < variants.size(); ++i) {
            const Variant& v = variants[i];
            const auto draw = [&](Canvas& c) { DrawTextOnCircle(c, v.text, v.cx, v.cy, v.r, v.start); };
            EXPECT_TRUE(outcomeOf(LetteringPath::Cached, v.look, RGB(200, 100, 50), draw) ==
                        outcomeOf(LetteringPath::Reference, v.look, RGB(200, 100, 50), draw))
                << "variant " << i << ", round " << round;
        }
}

// The number label and other upright text: a head printed whole, then number characters one
// by one; every label of a long run of random tails, typed combo texts, the extremes of place
// and density, and texts that must be printed directly.
TEST(LetteringCache, UprightTextGivesTheReferencePixels)
{
    std::vector<QString> texts = {
        QStringLiteral("NO: WVK1908350"),
        QStringLiteral("NO: WVK190835090.1854614786612"),
        QStringLiteral("NO: WVK1abcxyz3501.5E-0512"),
        QStringLiteral("NO: WVK2ffi fl3503.25E+0799"),
        QStringLiteral("0123456789.E+-"),
        QStringLiteral("-"),
        QStringLiteral("W"),
        QStringLiteral("   "),
        QStringLiteral("NO: WVK1中文8350"), // not ASCII: printed directly
        QString::fromUtf8("NO: WVK1\xD7\x90\xD7\x91"
                          "350123"), // right to left: printed directly
        QStringLiteral("NO: WVK\t1"),
        QString(),
    };
    // Labels as the ticks print them: the prefix, the combo texts, "350", 99 u and a colour.
    std::uint32_t x = 327680;
    const auto next = [&] {
        x = static_cast<std::uint32_t>((x * 1140671485ull + 12820163ull) % 16777216ull);
        return static_cast<float>(x) / 16777216.0f;
    };
    const QString combos[] = {QStringLiteral("908"), QStringLiteral("17"), QStringLiteral("7 13"),
                              QStringLiteral("400"), QStringLiteral("1")};
    for (int i = 0; i < 600; ++i) {
        const float u = next();
        const int colour = static_cast<int>(next() * 230) + 256 * static_cast<int>(next() * 230) +
                           65536 * static_cast<int>(next() * 230);
        texts.push_back(QStringLiteral("NO: WVK") + QString::number(i % 10 + 1) + combos[i % 5] +
                        QStringLiteral("350") + QString::number(99.0f * u, 'G', 7) + QString::number(colour));
    }
    struct Place {
        std::int16_t angle, x, y;
        double scale;
    };
    const Place places[] = {{360, 643, 0, 1},   {0, 643, 0, 1.5},   {720, 643, 0, 2},    {360, 643, 0, 3},
                            {360, -300, 0, 1},  {360, 12000, 0, 1}, {360, 643, -200, 1}, {360, 32000, 0, 1},
                            {90, 643, 3000, 1}, {360, 643, 800, 1}};
    std::size_t compared = 0;
    for (const Place& at : places) {
        Look look;
        look.scale = at.scale;
        look.widthPx = static_cast<int>(857 * at.scale);
        look.heightPx = static_cast<int>(60 * at.scale);
        // All the texts at the designer's place; a few at the others.
        const std::size_t n = at.x == 643 && at.y == 0 && at.scale == 1 ? texts.size() : 40;
        for (std::size_t i = 0; i < n; ++i) {
            const QString& t = texts[i];
            const Colour pen = i % 3 == 0 ? RGB(255, 255, 255) : i % 3 == 1 ? RGB(0, 0, 0) : RGB(52, 160, 225);
            const auto draw = [&](Canvas& c) {
                DrawRotatedText(at.angle, c, QStringLiteral("Arial"), 18.0f, at.x, at.y, t);
            };
            const Outcome ref = outcomeOf(LetteringPath::Reference, look, pen, draw);
            const Outcome cached = outcomeOf(LetteringPath::Cached, look, pen, draw);
            EXPECT_TRUE(cached == ref) << t.toStdString() << " at " << at.x << "," << at.y << " turned " << at.angle
                                       << ", scale " << at.scale;
            ++compared;
        }
    }
    EXPECT_GT(compared, 900u);
}

TEST(LetteringCache, StaysBoundedWhileTextsAreTyped)
{
    const Look look;
    Canvas c = canvasFor(look, RGB(10, 20, 30));
    QString typed;
    for (int i = 0; i < 300; ++i) {
        typed += QChar(u'a' + i % 26);
        DrawTextOnCircle(c, typed, 6428, 6428, 2571, -1);
        DrawRotatedText(360, c, QStringLiteral("Arial"), 18.0f, 643, 0,
                        typed + QStringLiteral("350") + QString::number(i));
    }
    const LetteringCacheUse use = letteringCacheUse();
    EXPECT_LE(use.circleTexts, 64u);
    EXPECT_LE(use.uprightHeads, 32u);
    EXPECT_LE(use.runs, 3u << 20);
    EXPECT_GT(use.circleTexts, 0u);
}

// zovex-render letters on several threads at once: each has its own cache, with the same
// pixels as the reference drawn here.
TEST(LetteringCache, ThreadsLetterWithTheirOwnCaches)
{
    Look x2;
    x2.scale = 2;
    x2.widthPx = x2.heightPx = 1714;
    const Look looks[] = {Look{}, x2};
    const auto layer = [](Canvas& c) {
        DrawTextOnCircle(c, kText2, 6428, 12855, 5142, -1);
        DrawTextOnCircle(c, kText3, 6428, 12855, 2571, -1);
        DrawTextOnCircle(c, kText4, 6428, 6428, 2571, -1);
        DrawRotatedText(360, c, QStringLiteral("Arial"), 18.0f, 643, 0, QStringLiteral("NO: WVK1908350"));
    };
    std::vector<Outcome> ref;
    for (const Look& l : looks)
        ref.push_back(outcomeOf(LetteringPath::Reference, l, RGB(190, 136, 227), layer));
    bool same[2][3] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 3; ++i) {
                Canvas c = canvasFor(looks[t], RGB(190, 136, 227));
                layer(c);
                same[t][i] = c.persistentImage() == ref[static_cast<std::size_t>(t)].image;
            }
        });
    for (std::thread& th : threads)
        th.join();
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(same[t][i]) << "thread " << t << ", drawing " << i;
}
