#pragma once
// Small helpers of the benchmarks: timing the best of several runs, and the
// process's memory figures.

#include <QFile>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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
