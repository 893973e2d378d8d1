// Ending a batch by a signal without leaving a temporary file behind.
//
// The atomic files' own cleanup removes the temporary names registered at the moment the
// signal arrives; but a worker that goes on meanwhile registers and creates new ones. Here
// the handler first stops every worker thread where it stands (a thread-directed signal
// whose handler only waits), waits until each one has stopped, and only then removes the
// names and ends the process as the signal would have. A stopped worker cannot create
// anything more, and whatever it created is already registered, because a name is
// registered before its file exists.
#pragma once

namespace zovex {

// Installs the atomic files' cleanup for SIGINT, SIGTERM and SIGHUP (those not ignored) with
// the stop of the workers before it. Safe to call twice.
void installBatchInterruptCleanup();

// Held by each thread that writes files for the batch, for as long as it may write: the
// thread no longer takes the ending signals itself, and the handler can stop it.
class BatchWorkerScope {
public:
    BatchWorkerScope();
    ~BatchWorkerScope();
    BatchWorkerScope(const BatchWorkerScope&) = delete;
    BatchWorkerScope& operator=(const BatchWorkerScope&) = delete;

private:
    int m_slot = -1;
};

} // namespace zovex
