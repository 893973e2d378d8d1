// Whole ticks with the cached lettering against the reference lettering: every category at the
// designer's densities, texts as typed into the text boxes and combo boxes, several ticks in a
// row on one canvas (the first fills the cache, the later ones change colour and digits only).
#include "generation_tick.h"
#include "lettering.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zovex;

namespace {

struct Tick {
    QImage image;
    QString label;
    float x = 0, y = 0;
};

std::vector<Tick> ticks(LetteringPath path, const Category& cat, const TickInputs& in, double scale,
                        std::uint32_t state, int n)
{
    setLetteringPath(path);
    const int side = devicePixelsFor(kDesignerCanvasPx, scale);
    Canvas canvas(side, side, RGB(0, 0, 64), scale);
    RandomSource rnd;
    rnd.setState(state);
    std::int32_t count = 0;
    std::vector<Tick> out;
    for (int i = 0; i < n; ++i) {
        const TickOutput o = runGenerationTick(canvas, rnd, cat, count, in);
        out.push_back({o.preview, o.labelText, canvas.CurrentX(), canvas.CurrentY()});
    }
    setLetteringPath(LetteringPath::Cached);
    return out;
}

void expectSameTicks(const Category& cat, const TickInputs& in, double scale, std::uint32_t state, const char* what)
{
    const std::vector<Tick> ref = ticks(LetteringPath::Reference, cat, in, scale, state, 3);
    const std::vector<Tick> cached = ticks(LetteringPath::Cached, cat, in, scale, state, 3);
    for (std::size_t i = 0; i < ref.size(); ++i) {
        EXPECT_EQ(cached[i].label, ref[i].label);
        EXPECT_TRUE(cached[i].image == ref[i].image && cached[i].x == ref[i].x && cached[i].y == ref[i].y)
            << what << ": category " << cat.number << ", scale " << scale << ", tick " << i + 1;
    }
}

} // namespace

TEST(TextLayerCache, EveryCategoryAtEveryDensityPrintsTheReferenceLettering)
{
    for (int k = 1; k <= 10; ++k)
        for (const double scale : {1.0, 1.5, 2.0})
            expectSameTicks(category(k), defaultTickInputs(category(k)), scale,
                            static_cast<std::uint32_t>(327680 + 977 * k), "default texts");
}

TEST(TextLayerCache, TypedTextsPrintTheReferenceLettering)
{
    struct Edit {
        const char* what;
        void (*apply)(TickInputs&);
    };
    const Edit edits[] = {
        {"all texts empty",
         [](TickInputs& in) {
             in.text2.clear();
             in.text3.clear();
             in.text4.clear();
         }},
        {"Chinese only", [](TickInputs& in) { in.text2 = QStringLiteral("世界顶级美术图案作品世界顶级美术图案作品"); }},
        {"very long",
         [](TickInputs& in) {
             for (int i = 0; i < 8; ++i)
                 in.text4 += in.text2;
         }},
        {"ligatures and blanks", [](TickInputs& in) { in.text3 = QStringLiteral("  office ffi fl  "); }},
        {"emoji and accents",
         [](TickInputs& in) { in.text4 = QString::fromUtf8("\xF0\x9F\x98\x80 e\xCC\x81t\xC3\xA9"); }},
        {"combo texts typed as letters",
         [](TickInputs& in) {
             in.combo1 = QStringLiteral("abc");
             in.combo2 = QStringLiteral("ffi");
         }},
        {"combo texts typed in Chinese and Hebrew",
         [](TickInputs& in) {
             in.combo1 = QStringLiteral("宽度");
             in.combo2 = QString::fromUtf8("\xD7\x90\xD7\x91");
         }},
        {"combo texts with blanks and signs",
         [](TickInputs& in) {
             in.combo1 = QStringLiteral(" 7 ");
             in.combo2 = QStringLiteral("+13");
         }},
    };
    for (const Edit& e : edits)
        for (const int k : {1, 2})
            for (const double scale : {1.0, 2.0}) {
                TickInputs in = defaultTickInputs(category(k));
                e.apply(in);
                expectSameTicks(category(k), in, scale, 327680u + 4099u * static_cast<std::uint32_t>(k), e.what);
            }
}
