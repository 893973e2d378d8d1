// Rings/<k>: background and rings of one tick on our Canvas, from a fixed sequence of states.
// RingsQPainter/<k>: the same outlines through Qt's raster engine (the obvious alternative).
// Floor/<k>: as many pixels as Rings/<k> combines, XORed in whole cache-resident rows by the same
// vectorised span loop: the cost of combining them without finding them.
// Tick/<k>: a whole tick. Lettering/1: the text layer of category 1 alone, as the ticks print it
// (the texts' pixels kept from the first tick); LetteringReference/1: the same with the texts
// walked and printed character by character at every tick, as the reference does.
#include "category.h"
#include "generation_tick.h"
#include "int_conv.h"
#include "lettering.h"
#include "star_ring.h"

#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

using namespace zovex;

namespace {

constexpr int kStates = 32;

// A fixed sequence of start states: the states at the start of successive category-1 ticks.
const std::vector<std::uint32_t>& benchStates()
{
    static const std::vector<std::uint32_t> states = [] {
        std::vector<std::uint32_t> s;
        RandomSource r;
        for (int i = 0; i < kStates; ++i) {
            s.push_back(r.state());
            for (int d = 0; d < 38; ++d)
                r.next();
        }
        return s;
    }();
    return states;
}

QPainter::CompositionMode compositionFor(int rop)
{
    switch (static_cast<Rop2>(rop)) {
    case Rop2::Black:
        return QPainter::RasterOp_ClearDestination;
    case Rop2::NotMergePen:
        return QPainter::RasterOp_NotSourceAndNotDestination;
    case Rop2::MaskNotPen:
        return QPainter::RasterOp_NotSourceAndDestination;
    case Rop2::NotCopyPen:
        return QPainter::RasterOp_NotSource;
    case Rop2::MaskPenNot:
        return QPainter::RasterOp_SourceAndNotDestination;
    case Rop2::Not:
        return QPainter::RasterOp_NotDestination;
    case Rop2::XorPen:
        return QPainter::RasterOp_SourceXorDestination;
    case Rop2::NotMaskPen:
        return QPainter::RasterOp_NotSourceOrNotDestination;
    case Rop2::MaskPen:
        return QPainter::RasterOp_SourceAndDestination;
    case Rop2::NotXorPen:
        return QPainter::RasterOp_NotSourceXorDestination;
    case Rop2::Nop:
        return QPainter::CompositionMode_Destination;
    case Rop2::MergeNotPen:
        return QPainter::RasterOp_NotSourceOrDestination;
    case Rop2::CopyPen:
        return QPainter::CompositionMode_Source;
    case Rop2::MergePenNot:
        return QPainter::RasterOp_SourceOrNotDestination;
    case Rop2::MergePen:
        return QPainter::RasterOp_SourceOrDestination;
    case Rop2::White:
        return QPainter::RasterOp_SetDestination;
    }
    return QPainter::CompositionMode_Source;
}

std::int64_t ringsOnce(Canvas& canvas, const Category& cat, std::uint32_t state)
{
    RandomSource rnd;
    rnd.setState(state);
    return drawRings(canvas, rnd, cat, QString::fromLatin1(cat.lineWidthDefault),
                     QString::fromLatin1(cat.colourSchemeDefault));
}

void BM_Rings(benchmark::State& st)
{
    const Category& cat = category(static_cast<int>(st.range(0)));
    Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    const auto& states = benchStates();
    std::size_t i = 0;
    std::int64_t pixels = 0;
    for (auto _ : st) {
        pixels += ringsOnce(canvas, cat, states[i++ % states.size()]);
        benchmark::DoNotOptimize(canvas.persistentImage().constBits());
    }
    st.counters["pixels"] = benchmark::Counter(static_cast<double>(pixels) / static_cast<double>(st.iterations()));
}

void BM_RingsQPainter(benchmark::State& st)
{
    const Category& cat = category(static_cast<int>(st.range(0)));
    QImage img(kDesignerCanvasPx, kDesignerCanvasPx, QImage::Format_RGB32);
    const int width = textToInt16(cat.lineWidthDefault);
    const int rop = textToInt16(cat.colourSchemeDefault);
    const auto& states = benchStates();
    std::size_t i = 0;
    std::vector<QPoint> poly;
    for (auto _ : st) {
        RandomSource rnd;
        rnd.setState(states[i++ % states.size()]);
        img.fill(0xFF000040u);
        img.fill(QColor::fromRgb(toPixel(randomColour(rnd))));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setCompositionMode(compositionFor(rop));
        p.setBrush(Qt::NoBrush);
        for (const std::int32_t S : cat.ringSizes) {
            const std::int16_t n = toInt16(99.0 * rnd.next());
            const Colour c = randomColour(rnd);
            p.setPen(QPen(QColor::fromRgb(toPixel(c)), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            const std::int32_t corner = toInt32(kRingCentre - S / 2.0);
            forEachStarFigure(corner, corner, S, S, n, 15.0f, 15.0f, [&](std::span<const PixelPoint> f) {
                if (f.size() < 2)
                    return;
                poly.clear();
                for (const auto& v : f)
                    poly.emplace_back(v.x, v.y);
                p.drawPolygon(poly.data(), static_cast<int>(poly.size()));
            });
        }
        p.end();
        benchmark::DoNotOptimize(img.constBits());
    }
}

// The same number of pixels as Rings/<k> combines for each state, XORed by the rasterizer's own
// span loop (vectorised, built per instruction set) in whole rows of a band as high as the
// canvas's band, which stays in the cache as the canvas's does: the least that combining those
// pixels can cost, without finding them.
void BM_Floor(benchmark::State& st)
{
    const Category& cat = category(static_cast<int>(st.range(0)));
    constexpr int kBandRows = 16;
    Canvas probe(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    std::vector<std::vector<RowSpan>> spansOf; // per state
    for (std::uint32_t s : benchStates()) {
        std::int64_t left = ringsOnce(probe, cat, s);
        std::vector<RowSpan> spans;
        for (int row = 0; left > 0; row = (row + 1) % kBandRows) {
            const int n = static_cast<int>(std::min<std::int64_t>(left, kDesignerCanvasPx));
            spans.push_back({row, 0, n});
            left -= n;
        }
        spansOf.push_back(std::move(spans));
    }
    QImage band(kDesignerCanvasPx, kBandRows, QImage::Format_RGB32);
    band.fill(0xFF102030u);
    auto* px = reinterpret_cast<std::uint32_t*>(band.bits());
    const std::ptrdiff_t stride = band.bytesPerLine() / 4;
    std::size_t i = 0;
    std::int64_t pixels = 0;
    for (auto _ : st) {
        const std::vector<RowSpan>& spans = spansOf[i++ % spansOf.size()];
        rop2Spans(Rop2::XorPen, 0xFFA5A5A5u, px, stride, spans.data(), spans.size());
        for (const RowSpan& sp : spans)
            pixels += sp.end - sp.first;
        benchmark::DoNotOptimize(band.constBits());
    }
    st.counters["pixels"] = benchmark::Counter(static_cast<double>(pixels) / static_cast<double>(st.iterations()));
}

// Ticks of category `cat` on `canvas`, each from the next of the bench's states.
void runTicks(benchmark::State& st, const Category& cat, Canvas& canvas)
{
    const TickInputs in = defaultTickInputs(cat);
    const auto& states = benchStates();
    std::size_t i = 0;
    std::int32_t count = 0;
    for (auto _ : st) {
        RandomSource rnd;
        rnd.setState(states[i++ % states.size()]);
        TickOutput out = runGenerationTick(canvas, rnd, cat, count, in);
        benchmark::DoNotOptimize(out.preview.constBits());
    }
}

void BM_Tick(benchmark::State& st)
{
    Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    runTicks(st, category(static_cast<int>(st.range(0))), canvas);
}

// TickAtRatio/<k>/<100 r>: the same tick on the canvas of a screen of device pixel ratio r, as
// the designer draws it there (857 r pixels square, 15 / r twips per pixel, pens r times as
// wide); TickAtRatio/1/100 is Tick/1, the peer of the others in the same run.
void BM_TickAtRatio(benchmark::State& st)
{
    const Category& cat = category(static_cast<int>(st.range(0)));
    const double r = static_cast<double>(st.range(1)) / 100.0;
    const int side = devicePixelsFor(kDesignerCanvasPx, r);
    Canvas canvas(side, side, RGB(0, 0, 64), r);
    runTicks(st, cat, canvas);
    st.counters["pixels"] = static_cast<double>(side) * side;
}

void BM_Lettering(benchmark::State& st, LetteringPath path)
{
    setLetteringPath(path);
    const Category& cat = category(static_cast<int>(st.range(0)));
    Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    const TickInputs in = defaultTickInputs(cat);
    const auto& states = benchStates();
    std::size_t i = 0;
    for (auto _ : st) {
        RandomSource rnd;
        rnd.setState(states[i++ % states.size()]);
        benchmark::DoNotOptimize(drawTextLayer(canvas, rnd, cat, in));
    }
    setLetteringPath(LetteringPath::Cached);
}

} // namespace

BENCHMARK(BM_Rings)->Name("Rings")->DenseRange(1, 10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RingsQPainter)->Name("RingsQPainter")->DenseRange(1, 10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor)->Name("Floor")->DenseRange(1, 10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Tick)->Name("Tick")->DenseRange(1, 10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickAtRatio)
    ->Name("TickAtRatio")
    ->Args({1, 100})
    ->Args({1, 150})
    ->Args({1, 200})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Lettering, cached, LetteringPath::Cached)
    ->Name("Lettering")
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Lettering, reference, LetteringPath::Reference)
    ->Name("LetteringReference")
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);
