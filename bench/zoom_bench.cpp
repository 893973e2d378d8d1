// ZoomPaint/k: one repaint of a 1920 × 1080 offscreen window whose zoom display shows a
// 2000 × 2000 picture enlarged k times by 1.25 (k = 0 is the picture's own size, k = 41 a
// display 18.8 million pixels wide). ZoomPaintScaled/k: the same repaint done the usual way, by
// scaling the whole picture to the display's size and painting that (a 2000-pixel picture at
// k = 10 is a 1.4 GB image). ZoomForty: forty 放大 in a zoom window with a repaint after each, reporting how much
// the process's memory grew (rss_growth_mb, peak_growth_mb).
#include "zoom_window.h"
#include "peak_memory.h"
#include "zoom_display.h"

#include <QCoreApplication>
#include <QPainter>
#include <QWidget>
#include <QWindow>

#include <benchmark/benchmark.h>

using namespace zovex;
using zovex::bench::procStatusMiB;

namespace {

constexpr QSize kWindow(1920, 1080);
constexpr int kPicture = 2000;

const QImage& benchPicture()
{
    static const QImage picture = [] {
        QImage img(kPicture, kPicture, QImage::Format_RGB32);
        for (int y = 0; y < kPicture; ++y) {
            auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < kPicture; ++x)
                row[x] = qRgb(x & 0xff, y & 0xff, (x ^ y) & 0xff);
        }
        return img;
    }();
    return picture;
}

ZoomSize enlarged(int k)
{
    ZoomSize s{kPicture * 15.0f, kPicture * 15.0f};
    for (int i = 0; i < k; ++i)
        s = zoomStep(s, ZoomStep::Enlarge);
    return s;
}

// Shows the window and waits until it is exposed: before that a repaint paints nothing.
void showExposed(QWidget& window)
{
    window.show();
    for (int i = 0; i < 1000 && !(window.windowHandle() && window.windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The usual way: the whole picture scaled to the display's size, then painted.
class ScaledWholeDisplay final : public QWidget {
public:
    ScaledWholeDisplay(const QImage& picture, QSize display, QWidget* parent)
        : QWidget(parent), m_picture(picture), m_display(display)
    {
        move(2, 2);
        resize(display.boundedTo(parent->size() - QSize(2, 2)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawImage(0, 0, m_picture.scaled(m_display, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }

private:
    QImage m_picture;
    QSize m_display;
};

void ZoomPaint(benchmark::State& state)
{
    QWidget window;
    window.resize(kWindow);
    ZoomDisplay display(enlarged(static_cast<int>(state.range(0))), &window);
    display.setPicture(benchPicture());
    showExposed(window);
    window.repaint();
    for (auto _ : state)
        window.repaint();
    state.counters["display_px"] = display.extentWidthPx();
}
BENCHMARK(ZoomPaint)->Arg(0)->Arg(10)->Arg(20)->Arg(30)->Arg(41)->Unit(benchmark::kMillisecond);

void ZoomPaintScaled(benchmark::State& state)
{
    const ZoomSize z = enlarged(static_cast<int>(state.range(0)));
    const QSize display(static_cast<int>(displayPixels(z.width)), static_cast<int>(displayPixels(z.height)));
    QWidget window;
    window.resize(kWindow);
    ScaledWholeDisplay shown(benchPicture(), display, &window);
    showExposed(window);
    for (auto _ : state)
        window.repaint();
    state.counters["display_px"] = display.width();
}
BENCHMARK(ZoomPaintScaled)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

void ZoomForty(benchmark::State& state)
{
    for (auto _ : state) {
        Form40 window;
        window.setWindowState(Qt::WindowNoState);
        window.resize(kWindow);
        window.Image1->setPicture(benchPicture());
        window.Image1->setZoomWidth(kPicture * 15.0f);
        window.Image1->setZoomHeight(kPicture * 15.0f);
        showExposed(window);
        window.repaint();
        const double rss = procStatusMiB("VmRSS:");
        const bench::PeakProbe probe;
        for (int i = 0; i < 40; ++i) {
            window.Command1_Click();
            window.repaint();
        }
        state.counters["rss_growth_mb"] = (procStatusMiB("VmRSS:") - rss);
        state.counters["peak_growth_mb"] = probe.extraMiB();
        state.counters["display_px"] = window.Image1->extentWidthPx();
    }
}
BENCHMARK(ZoomForty)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
