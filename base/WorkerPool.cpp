#include "base/WorkerPool.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <sys/resource.h>
#include <unistd.h>

namespace {
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
        // runs finishes while Qt is still there to draw with.
        qAddPostRoutine([] {
            pool.clear();
            pool.waitForDone();
        });
        return true;
    }();
    Q_UNUSED(sized);
    return &pool;
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
