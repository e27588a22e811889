#pragma once
// Small helpers of the benchmarks: timing the best of several runs, and the
// process's memory figures.

#include "picture/Picture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

// The fastest of Runs timings of Work, in milliseconds.
inline double BestMs(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
    }
    return best;
}

// The median of Values (the upper one of an even count).
inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// A field of /proc/self/status in kiB ("VmRSS", "VmHWM").
inline long StatusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field) && line.size() > qsizetype(qstrlen(field)) && line[qstrlen(field)] == ':')
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').front().toLong();
    }
    return -1;
}

// Starts a new peak: the kernel's high-water mark is reset to the current size.
inline void ResetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

inline void Report(const char *what, double value, const char *unit)
{
    std::printf("%-58s %12.3f %s\n", what, value, unit);
}

// The shared corpus of real pictures: where VANTRIX_CORPUS points, else
// beside the project.
// The picture in the file at Path, or nothing where it is refused.
inline std::optional<Picture> pictureOrNothing(const QString &path)
{
    try {
        return Picture::load(path);
    } catch (...) {
        return std::nullopt;
    }
}

inline QString corpusDir()
{
    const QString fromEnvironment = qEnvironmentVariable("VANTRIX_CORPUS");
    return fromEnvironment.isEmpty() ? QStringLiteral(VANTRIX_SOURCE_DIR "/../shared/corpus") : fromEnvironment;
}

// The heartbeat of the stall watch, in ms.
inline constexpr int WatchMs = 2;

// The longest gap between two ticks of a fast timer, less its interval.
class StallWatch
{
public:
    StallWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(WatchMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, (now - m_last) / 1e6 - WatchMs);
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    double stop()
    {
        m_timer.stop();
        const double longest = std::max(m_longest, m_clock.nsecsElapsed() / 1e6 - m_last / 1e6 - WatchMs);
        return std::max(0.0, longest);
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_longest = 0;
};

// Runs the event loop for Ms, or until Done, sleeping between events as the
// program's own loop does: a loop that spins would take a core from the
// workers.
inline void runFor(int ms, const std::function<bool()> &done = {})
{
    if (done && done())
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done && done())
            loop.quit();
    });
    if (done)
        poll.start();
    loop.exec();
}
