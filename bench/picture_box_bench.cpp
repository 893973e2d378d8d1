// PictureBoxPaint/<side>: one repaint of a 400 x 300 exposed part of a picture box whose canvas
// is side x side pixels, as when a window uncovers part of a large wallpaper. The cost should not
// grow with the box: compare /4000 with /400 in the same run.
// PictureBoxAutoSize/<side>: assigning a side x side picture to a box with automatic sizing, which
// shares the picture's pixels instead of copying them; compare with CopyPicture/<side>, one copy.
#include "picture_box.h"

#include <QImage>
#include <QPainter>
#include <QRegion>

#include <benchmark/benchmark.h>

using namespace zovex;

namespace {

void PictureBoxPaint(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    PictureBox box(QSize(side + 4, side + 4), RGB(10, 20, 30), nullptr, AutoSize::Off, ScaleMode::Pixel);
    QImage target(400, 300, QImage::Format_RGB32);
    const QRegion exposed(QRect(side / 3, side / 3, 400, 300));
    for (auto _ : state) {
        box.render(&target, QPoint(), exposed, QWidget::DrawChildren);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(PictureBoxPaint)->Arg(400)->Arg(4000)->Unit(benchmark::kMicrosecond);

QImage picture(int side)
{
    QImage img(side, side, QImage::Format_RGB32);
    img.fill(qRgb(1, 2, 3));
    return img;
}

void PictureBoxAutoSize(benchmark::State& state)
{
    const QImage img = picture(static_cast<int>(state.range(0)));
    PictureBox box(QSize(20, 20), RGB(0, 0, 0), nullptr, AutoSize::On, ScaleMode::Pixel);
    for (auto _ : state) {
        box.setPicture(img);
        box.setPicture(QImage());
    }
}
BENCHMARK(PictureBoxAutoSize)->Arg(2000)->Unit(benchmark::kMicrosecond);

void CopyPicture(benchmark::State& state)
{
    const QImage img = picture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QImage copy = img.copy();
        benchmark::DoNotOptimize(copy.constBits());
    }
}
BENCHMARK(CopyPicture)->Arg(2000)->Unit(benchmark::kMicrosecond);

} // namespace
