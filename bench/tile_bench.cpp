// Tile/<case>: TileCanvas over a wallpaper canvas. TileQPainter/<case>: what a Qt program would
// write instead (drawTiledPixmap for 1:1 cells, a smooth drawImage per cell for scaled ones).
// TileFloor/<case>: one memcpy of the canvas's bytes into a canvas already in use, the least
// any tiling must cost.
//   default:  Form_Load's canvas (43000 x 33000 twips) with the 382 x 383 default tile
//   builtin7: the same canvas with the 857 x 857 tile 7 shrunk into the default tile's cells
//   16k:      a 16384 x 16384 canvas with the default tile; Tile/16k also reports
//             peak_over_canvas_MB, how far the process's peak memory rose beyond the canvas.
#include "canvas.h"
#include "canvas_size.h"
#include "peak_memory.h"
#include "tile_canvas.h"
#include "twips.h"
#include "wallpaper_tiles.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <cstring>

using namespace zovex;

namespace {

struct TileCase {
    const char* name;
    QSize canvas;
    int tile; // 0: the default tile picture, k: built-in tile k
};

QSize defaultCanvas() { return canvasInterior(twipsSize(43000, 33000)); }

const QImage& tilePicture(int k)
{
    static const QImage pictures[2] = {defaultTilePicture(), builtInTilePicture(7)};
    return pictures[k == 0 ? 0 : 1];
}

const QSize kCell(382, 383);

void BM_Tile(benchmark::State& st, TileCase c)
{
    const QImage& picture = tilePicture(c.tile);
    const bench::PeakProbe probe;
    Canvas canvas(c.canvas.width(), c.canvas.height(), RGB(255, 255, 255));
    for (auto _ : st) {
        TileCanvas(canvas, picture, kCell);
        benchmark::DoNotOptimize(canvas.persistentImage().constBits());
    }
    // Only a canvas far larger than anything allocated before shows in the process's peak.
    const double canvasMiB = double(c.canvas.width()) * c.canvas.height() * 4 / (1 << 20);
    if (canvasMiB >= 512)
        st.counters["peak_over_canvas_MB"] = probe.extraMiB() - canvasMiB;
    st.SetBytesProcessed(st.iterations() * qint64(c.canvas.width()) * c.canvas.height() * 4);
}

void BM_TileQPainter(benchmark::State& st, TileCase c)
{
    const QImage& picture = tilePicture(c.tile);
    const QPixmap pixmap = QPixmap::fromImage(picture);
    QImage canvas(c.canvas, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    for (auto _ : st) {
        QPainter p(&canvas);
        if (picture.size() == kCell) {
            p.drawTiledPixmap(canvas.rect(), pixmap);
        } else {
            for (int y = 0; y < canvas.height(); y += kCell.height())
                for (int x = 0; x < canvas.width(); x += kCell.width())
                    p.drawImage(QRect(QPoint(x, y), kCell), picture);
        }
        p.end();
        benchmark::DoNotOptimize(canvas.constBits());
    }
    st.SetBytesProcessed(st.iterations() * canvas.sizeInBytes());
}

void BM_TileFloor(benchmark::State& st, TileCase c)
{
    QImage from(c.canvas, QImage::Format_RGB32);
    QImage to(c.canvas, QImage::Format_RGB32);
    from.fill(Qt::gray);
    to.fill(Qt::white);
    for (auto _ : st) {
        std::memcpy(to.bits(), from.constBits(), static_cast<std::size_t>(to.sizeInBytes()));
        benchmark::DoNotOptimize(to.constBits());
    }
    st.SetBytesProcessed(st.iterations() * to.sizeInBytes());
}

const bool registered = [] {
    const TileCase cases[] = {
        {"default", defaultCanvas(), 0},
        {"builtin7", defaultCanvas(), 7},
        {"16k", QSize(16384, 16384), 0},
    };
    for (const TileCase& c : cases) {
        const std::string suffix = std::string("/") + c.name;
        benchmark::RegisterBenchmark(("Tile" + suffix).c_str(), BM_Tile, c)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("TileQPainter" + suffix).c_str(), BM_TileQPainter, c)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("TileFloor" + suffix).c_str(), BM_TileFloor, c)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return true;
}();

} // namespace
