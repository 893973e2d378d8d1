// EncodePng/ours: the palette encoder that zovex-render and saving use. EncodePng/QImageWriter:
// Qt's default PNG writer, the obvious alternative. Both encode the same twenty patterns (two
// of each category, as zovex-render composes them); `bytes` is the mean file size.
#include "category.h"
#include "generation_tick.h"
#include "png_encoder.h"

#include <QBuffer>
#include <QImageWriter>

#include <benchmark/benchmark.h>

#include <vector>

using namespace zovex;

namespace {

const std::vector<QImage>& patterns()
{
    static const std::vector<QImage> images = [] {
        std::vector<QImage> out;
        RandomSource rnd;
        for (int k = 1; k <= 10; ++k) {
            const Category& cat = category(k);
            Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
            std::int32_t count = 0;
            for (int i = 0; i < 2; ++i)
                out.push_back(runGenerationTick(canvas, rnd, cat, count, defaultTickInputs(cat)).preview);
        }
        return out;
    }();
    return images;
}

template <class Encode>
void encodeAll(benchmark::State& state, Encode encode)
{
    const std::vector<QImage>& images = patterns();
    QByteArray bytes;
    std::size_t i = 0, total = 0, files = 0;
    for (auto _ : state) {
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!encode(images[i], buffer))
            state.SkipWithError("encoding failed");
        total += static_cast<std::size_t>(bytes.size());
        ++files;
        i = (i + 1) % images.size();
    }
    state.counters["bytes"] = files ? static_cast<double>(total) / static_cast<double>(files) : 0.0;
}

void BM_EncodeOurs(benchmark::State& state)
{
    encodeAll(state, [](const QImage& img, QBuffer& buffer) { return encodePng(img, buffer); });
}

void BM_EncodeQImageWriter(benchmark::State& state)
{
    encodeAll(state, [](const QImage& img, QBuffer& buffer) { return QImageWriter(&buffer, "png").write(img); });
}

} // namespace

// Whole rounds of the twenty patterns, so that both sides average over the same pictures.
BENCHMARK(BM_EncodeOurs)->Name("EncodePng/ours")->Iterations(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeQImageWriter)->Name("EncodePng/QImageWriter")->Iterations(60)->Unit(benchmark::kMillisecond);
