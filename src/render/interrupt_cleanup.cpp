#include "interrupt_cleanup.h"

#include "atomic_file.h"

#include <array>
#include <atomic>
#include <csignal>
#include <ctime>

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace zovex {

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What the handler may touch: fixed slots and atomics only, no allocation, no lock.
enum SlotState : int { Free, Claimed, Running, Stopping };
struct WorkerSlot {
    std::atomic<int> state{Free};
    pthread_t thread{};
};
std::array<WorkerSlot, 1100> g_workers; // more than the largest --jobs
std::atomic<bool> g_ending{false};
std::atomic<int> g_stopped{0};
int g_stopSignal = 0;
// The atomic files' handler for each ending signal, called once the workers stand still.
std::array<void (*)(int), 65> g_cleanup{};

// Runs on a worker, directed at it by the ending handler: the worker stays here until the
// process ends.
extern "C" void holdWorker(int)
{
    g_stopped.fetch_add(1);
    for (;;)
        ::pause();
}

// Waits a few seconds at most: a worker stuck in a system call that never returns must not
// keep the process from ending.
void awaitStoppedWorkers(int expected)
{
    for (int waited = 0; g_stopped.load() < expected && waited < 5000; ++waited)
        ::poll(nullptr, 0, 1);
}

extern "C" void stopWorkersThenClean(int sig)
{
    // A second ending signal on another thread waits for the first to end the process.
    if (g_ending.exchange(true)) {
        for (;;)
            ::pause();
    }
    int expected = 0;
    for (WorkerSlot& w : g_workers) {
        int running = Running;
        if (w.state.compare_exchange_strong(running, Stopping) && ::pthread_kill(w.thread, g_stopSignal) == 0)
            ++expected;
    }
    awaitStoppedWorkers(expected);
    g_cleanup[static_cast<std::size_t>(sig)](sig); // removes the names and ends the process
}

void installStopSignal()
{
    g_stopSignal = SIGRTMIN;
    struct sigaction sa {};
    sa.sa_handler = holdWorker;
    sigfillset(&sa.sa_mask);
    ::sigaction(g_stopSignal, &sa, nullptr);
}

sigset_t endingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : kEndingSignals)
        sigaddset(&set, sig);
    return set;
}

} // namespace

void installBatchInterruptCleanup()
{
    installTemporaryFileCleanup();
    installStopSignal();
    for (const int sig : kEndingSignals) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler == SIG_IGN ||
            old.sa_handler == SIG_DFL || old.sa_handler == stopWorkersThenClean)
            continue;
        g_cleanup[static_cast<std::size_t>(sig)] = old.sa_handler;
        struct sigaction sa {};
        sa.sa_handler = stopWorkersThenClean;
        sa.sa_mask = endingSignals();
        ::sigaction(sig, &sa, nullptr);
    }
}

BatchWorkerScope::BatchWorkerScope()
{
    const sigset_t set = endingSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    for (std::size_t i = 0; i < g_workers.size(); ++i) {
        int free = Free;
        if (g_workers[i].state.compare_exchange_strong(free, Claimed)) {
            g_workers[i].thread = ::pthread_self();
            g_workers[i].state.store(Running);
            m_slot = static_cast<int>(i);
            break;
        }
    }
    // The handler may have gone over the slots before this one ran: stop here instead.
    if (g_ending.load())
        holdWorker(0);
}

BatchWorkerScope::~BatchWorkerScope()
{
    if (m_slot < 0)
        return;
    int running = Running;
    // Stopping: the handler has already sent the stop signal, which will hold this thread.
    if (!g_workers[static_cast<std::size_t>(m_slot)].state.compare_exchange_strong(running, Free)) {
        for (;;)
            ::pause();
    }
}

} // namespace zovex
