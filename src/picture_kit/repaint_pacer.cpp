#include "repaint_pacer.h"

#include <QElapsedTimer>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace zovex {

namespace {

qint64 monotonicMs()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

} // namespace

RepaintPacer::RepaintPacer(QWidget& window, std::function<void()> repaint, Clock clock)
    : m_window(window), m_repaint(std::move(repaint)), m_clock(clock ? std::move(clock) : Clock(monotonicMs))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { repaintNow(); });
}

qint64 RepaintPacer::frameMs() const
{
    const QScreen* screen = m_window.screen();
    const double hz = screen ? screen->refreshRate() : 0.0;
    // A screen that reports nothing sensible is taken for an ordinary 60 Hz one.
    if (!(hz >= 20.0 && hz <= 500.0))
        return 16;
    return std::max<qint64>(2, static_cast<qint64>(std::floor(1000.0 / hz)));
}

void RepaintPacer::request()
{
    if (m_timer.isActive())
        return; // the repaint at the next frame shows this picture too
    const qint64 now = m_clock();
    const qint64 frame = frameMs();
    if (!m_painted || now - m_last >= frame) {
        repaintNow();
        return;
    }
    m_timer.start(static_cast<int>(std::clamp<qint64>(m_last + frame - now, 0, frame)));
}

void RepaintPacer::repaintPending()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    repaintNow();
}

void RepaintPacer::repaintNow()
{
    m_last = m_clock();
    m_painted = true;
    m_repaint();
}

} // namespace zovex
