#include "base/WorkerPool.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <atomic>

#include <sys/resource.h>
#include <unistd.h>

namespace {
std::atomic<bool> abandoned{false};
// A niceness of ten: about a tenth of the processor against the window's
// thread where both want it all.
constexpr int WorkerNiceness = 10;
} // namespace

QThreadPool *workerPool()
{
    static QThreadPool pool;
    static const bool sized = [] {
        pool.setMaxThreadCount(QThread::idealThreadCount());
        pool.setObjectName(QStringLiteral("workers"));
        // Work still waiting when the application ends is dropped, and what
        // runs stops at its next step, while Qt is still there to draw with.
        qAddPostRoutine([] {
            abandonWork();
            pool.clear();
            pool.waitForDone();
        });
        return true;
    }();
    Q_UNUSED(sized);
    return &pool;
}

void abandonWork()
{
    abandoned.store(true, std::memory_order_relaxed);
}

bool workAbandoned()
{
    return abandoned.load(std::memory_order_relaxed);
}

void yieldToTheWindow()
{
    thread_local bool lowered = false;
    if (lowered)
        return;
    lowered = true;
    // On Linux a thread has a niceness of its own, set through its id.
    setpriority(PRIO_PROCESS, id_t(gettid()), WorkerNiceness);
}
