#include "base/WorkerPool.h"

#include <QThread>
#include <QThreadPool>

QThreadPool *workerPool()
{
    static QThreadPool pool;
    static const bool sized = [] {
        pool.setMaxThreadCount(QThread::idealThreadCount());
        // The window's thread always goes first: on a machine with as many
        // workers as cores, drawing ahead never takes its turn.
        pool.setThreadPriority(QThread::IdlePriority);
        pool.setObjectName(QStringLiteral("workers"));
        return true;
    }();
    Q_UNUSED(sized);
    return &pool;
}
