// RepaintPacer: the repaints of a window whose pictures change faster than a screen can show
// them. A designer window at "高速" draws a pattern every millisecond or so; a screen shows 60 to
// 144 pictures a second, so painting every pattern would copy to the screen what nobody can see,
// and hold up the ticks and the user's input while doing it. The pacer repaints at once when the
// last repaint is at least one frame of the window's screen ago, and otherwise once at the next
// frame, with whatever picture is the latest then: the screen always shows the newest pattern
// within a frame, and a slow window (a pattern every second) repaints each one at once.
// UI thread only.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

namespace zovex {

class RepaintPacer : public QObject {
public:
    // Milliseconds of a monotonic clock; tests give their own.
    using Clock = std::function<qint64()>;

    // `repaint` asks for the repaint (calls update() on what changed); `window` gives the screen
    // whose refresh rate sets the frame.
    RepaintPacer(QWidget& window, std::function<void()> repaint, Clock clock = {});

    // The pictures changed: repaint now or at the next frame.
    void request();
    // Whether a repaint waits for the next frame.
    bool isPending() const { return m_timer.isActive(); }
    // Makes the waiting repaint now (the frame timer's call; tests call it directly).
    void repaintPending();
    // One frame of the window's screen in milliseconds (60 Hz where the screen does not say).
    qint64 frameMs() const;

private:
    void repaintNow();

    QWidget& m_window;
    std::function<void()> m_repaint;
    Clock m_clock;
    QTimer m_timer;
    qint64 m_last = 0;
    bool m_painted = false;
};

} // namespace zovex
