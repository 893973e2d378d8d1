#include "tick_queue.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

namespace zovex {

TickQueue& TickQueue::instance()
{
    static TickQueue queue;
    return queue;
}

void TickQueue::request(QObject* owner, std::function<void()> call)
{
    if (!owner || isWaiting(owner))
        return;
    m_entries.push_back({owner, std::move(call)});
    scheduleRunner();
}

void TickQueue::cancel(const QObject* owner)
{
    std::erase_if(m_entries, [owner](const Entry& e) { return e.owner.data() == owner; });
}

bool TickQueue::isWaiting(const QObject* owner) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [owner](const Entry& e) { return e.owner && e.owner.data() == owner; });
}

bool TickQueue::runOne()
{
    while (!m_entries.empty()) {
        Entry e = std::move(m_entries.front());
        m_entries.pop_front();
        if (!e.owner)
            continue;
        try {
            e.call();
        } catch (...) {
        }
        return true;
    }
    return false;
}

void TickQueue::scheduleRunner()
{
    if (!m_runner) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return; // no event loop: calls wait for runOne()
        // Owned by the application, so it goes with it.
        m_runner = new QTimer(app);
        m_runner->setInterval(0);
        QObject::connect(m_runner.data(), &QTimer::timeout, [this] {
            runOne();
            if (m_entries.empty())
                m_runner->stop();
        });
    }
    if (!m_runner->isActive())
        m_runner->start();
}

} // namespace zovex
