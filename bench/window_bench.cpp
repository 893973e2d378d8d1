// Window/<n>: n real designer windows (offscreen) at 高速 under the event loop, Form1 shown and
// the others hidden, as after pressing "1". Reports the patterns per second of all windows
// together and of Form1, and how long a mouse press posted at random moments waits before the
// window gets it (click_wait_ms mean and max), i.e. how long input can be held up by ticks.
// WindowTick/1: one Form1 tick through its handler, and then the repaints that are due (the
// canvas and the five previews stretched at the screen's pace, the count), as the event loop
// makes them, against Tick/1 (the tick alone) for the cost of showing it.
// WindowTickPainted/1/<100 r>: the same with every pattern painted, for the cost of one repaint.
// WindowAtRatio/1/200 and WindowTickAtRatio/1/200: the same with Form1 on a screen of device
// pixel ratio 2 (the canvas 1714 pixels square, the previews reduced smoothly from it), the peer
// of TickAtRatio/1/200. bench_main gives the program a screen of each ratio, both large enough
// for the whole window; under another platform the ratio-2 ones report an error.
#include "designer_window.h"
#include "bench_services.h"
#include "window_registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

using namespace zovex;

namespace {

// Posts mouse presses to a control from another thread, as input arrives from the window
// system at moments of its own, and notes how long each waited before the control got it.
class ClickProbe final : public QObject {
public:
    explicit ClickProbe(QWidget* target) : m_target(target)
    {
        m_clock.start();
        target->installEventFilter(this);
    }
    ~ClickProbe() override
    {
        stop();
        if (m_target)
            m_target->removeEventFilter(this);
    }

    // Presses every `periodMs` until stop().
    void start(int periodMs)
    {
        m_running = true;
        m_thread = std::thread([this, periodMs] {
            while (m_running) {
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_posted.push_back(m_clock.nsecsElapsed());
                }
                QCoreApplication::postEvent(m_target,
                                            new QMouseEvent(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3),
                                                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
                std::this_thread::sleep_for(std::chrono::milliseconds(periodMs));
            }
        });
    }
    void stop()
    {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
    }
    const std::vector<double>& waitsMs() const { return m_waits; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_target && event->type() == QEvent::MouseButtonPress) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_posted.empty()) {
                m_waits.push_back(static_cast<double>(m_clock.nsecsElapsed() - m_posted.front()) / 1e6);
                m_posted.pop_front();
            }
            return true;
        }
        return false;
    }

private:
    QPointer<QWidget> m_target;
    QElapsedTimer m_clock;
    std::mutex m_mutex;
    std::deque<qint64> m_posted;
    std::vector<double> m_waits;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};

// A fresh program: its environment of services, the designer windows registered, the random
// source at its start state.
struct FreshProgram : bench::BenchServices {
    FreshProgram() { registerDesignerWindows(services); }
    DesignerForm& designerForm(int k) { return zovex::designerForm(windows, k); }
};

std::int64_t totalCount(FreshProgram& program, int windows)
{
    std::int64_t n = 0;
    for (int k = 1; k <= windows; ++k)
        n += program.designerForm(k).DesignCount;
    return n;
}

QScreen* screenAtRatio(double ratio)
{
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->devicePixelRatio() == ratio)
            return screen;
    return nullptr;
}

// Shows Form1 on the screen of `ratio` and lets the window system expose it, so that what the
// ticks ask to be repainted is painted. False when there is no such screen.
bool showForm1(FreshProgram& program, double ratio)
{
    QScreen* screen = screenAtRatio(ratio);
    if (!screen)
        return false;
    DesignerWindow& form1 = program.designerForm(1).window();
    form1.setScreen(screen);
    form1.move(screen->availableGeometry().topLeft());
    program.designerForm(1).Show();
    QElapsedTimer t;
    t.start();
    while (!(form1.windowHandle() && form1.windowHandle()->isExposed()) && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
    return form1.devicePixelRatioF() == ratio;
}

void runWindows(benchmark::State& state, int windows, double ratio)
{
    FreshProgram program;
    if (!showForm1(program, ratio)) {
        state.SkipWithError("no screen of that device pixel ratio (run under bench_main's screens)");
        return;
    }
    DesignerWindow& form1 = program.designerForm(1).window();
    if (windows > 1)
        form1.Command8_Click(); // "1": every other window is created, hidden
    for (int k = 1; k <= windows; ++k)
        program.designerForm(k).window().Command6_Click(); // 高速
    QCoreApplication::processEvents();

    ClickProbe probe(form1.Label11);

    const std::int64_t startAll = totalCount(program, windows);
    const std::int64_t startForm1 = program.designerForm(1).DesignCount;
    double seconds = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QTimer::singleShot(500, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        probe.start(7); // presses every 7 ms, out of step with the ticks
        loop.exec();
        probe.stop();
        const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
        seconds += s;
        state.SetIterationTime(s);
    }
    QCoreApplication::sendPostedEvents(); // deliver the last presses, so every one is counted

    const std::vector<double>& waits = probe.waitsMs();
    double sum = 0, worst = 0;
    for (double w : waits) {
        sum += w;
        worst = std::max(worst, w);
    }
    state.counters["ticks_per_s"] = static_cast<double>(totalCount(program, windows) - startAll) / seconds;
    state.counters["form1_ticks_per_s"] =
        static_cast<double>(program.designerForm(1).DesignCount - startForm1) / seconds;
    state.counters["click_wait_ms_mean"] = waits.empty() ? 0.0 : sum / static_cast<double>(waits.size());
    state.counters["click_wait_ms_max"] = worst;
    state.counters["clicks"] = static_cast<double>(waits.size());
    state.counters["ratio"] = form1.devicePixelRatioF();
    for (int k = 1; k <= windows; ++k)
        program.designerForm(k).window().Check2->click(); // paused: nothing ticks after the measurement
}

void BM_Window(benchmark::State& state) { runWindows(state, static_cast<int>(state.range(0)), 1.0); }

void BM_WindowAtRatio(benchmark::State& state)
{
    runWindows(state, static_cast<int>(state.range(0)), static_cast<double>(state.range(1)) / 100.0);
}

enum class EveryPattern { AtTheScreensPace, Painted };

void runWindowTicks(benchmark::State& state, double ratio, EveryPattern paint)
{
    FreshProgram program;
    if (!showForm1(program, ratio)) {
        state.SkipWithError("no screen of that device pixel ratio (run under bench_main's screens)");
        return;
    }
    DesignerWindow& form1 = program.designerForm(1).window();
    form1.Check2->click(); // paused: only the ticks below run
    QCoreApplication::processEvents();
    for (auto _ : state) {
        form1.Timer1_Timer();
        if (paint == EveryPattern::Painted)
            form1.patternRepaints().repaintPending();
        // The repaints that are due, as the event loop makes them.
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["ratio"] = form1.devicePixelRatioF();
}

void BM_WindowTick(benchmark::State& state) { runWindowTicks(state, 1.0, EveryPattern::AtTheScreensPace); }

void BM_WindowTickAtRatio(benchmark::State& state)
{
    runWindowTicks(state, static_cast<double>(state.range(1)) / 100.0, EveryPattern::AtTheScreensPace);
}

void BM_WindowTickPainted(benchmark::State& state)
{
    runWindowTicks(state, static_cast<double>(state.range(1)) / 100.0, EveryPattern::Painted);
}

} // namespace

BENCHMARK(BM_Window)->Name("Window")->Arg(1)->Arg(10)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowAtRatio)
    ->Name("WindowAtRatio")
    ->Args({1, 200})
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowTick)->Name("WindowTick")->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowTickAtRatio)->Name("WindowTickAtRatio")->Args({1, 200})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowTickPainted)
    ->Name("WindowTickPainted")
    ->Args({1, 100})
    ->Args({1, 200})
    ->Unit(benchmark::kMicrosecond);
