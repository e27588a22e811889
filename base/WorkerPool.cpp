#include "base/WorkerPool.h"

#include <QThread>
#include <QThreadPool>

QThreadPool *workerPool()
{
    static QThreadPool pool;
    static const bool sized = [] {
        pool.setMaxThreadCount(QThread::idealThreadCount());
        pool.setObjectName(QStringLiteral("workers"));
        return true;
    }();
    Q_UNUSED(sized);
    return &pool;
}
