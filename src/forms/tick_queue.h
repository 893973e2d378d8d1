// TickQueue: the program's timer calls that are due, served one per pass of the event loop.
//
// A window's timer does not run its handler when it fires; it asks the queue, and the queue
// runs the oldest waiting call, one at a time, from a zero-interval timer of its own. Between
// any two calls the event loop goes round, and Qt serves the input that is waiting (mouse,
// keyboard, window system) before it serves timers again, so even ten windows ticking back to
// back hold a click up for one tick at most. A call already waiting for the same owner is not
// added twice (timer calls never queue up); a stopped, restarted or closed timer's waiting
// call is dropped with cancel(). A call that throws is abandoned alone. UI thread only.
#pragma once

#include <QPointer>

#include <deque>
#include <functional>

class QObject;
class QTimer;

namespace zovex {

class TickQueue {
public:
    static TickQueue& instance();

    // Asks for `call` on behalf of `owner`; nothing is added if `owner` already has a call
    // waiting. A call whose owner is destroyed before its turn is dropped.
    void request(QObject* owner, std::function<void()> call);
    // Drops the waiting call of `owner`, if any.
    void cancel(const QObject* owner);
    bool isWaiting(const QObject* owner) const;
    std::size_t waiting() const { return m_entries.size(); }

    // Runs the oldest waiting call; false if none was waiting. The queue's own timer calls this
    // once per pass of the event loop; tests call it directly.
    bool runOne();

private:
    struct Entry {
        QPointer<QObject> owner;
        std::function<void()> call;
    };
    void scheduleRunner();

    std::deque<Entry> m_entries;
    QPointer<QTimer> m_runner;
};

} // namespace zovex
