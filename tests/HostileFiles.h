#pragma once
// Files made to strain the metafile players: how each is answered, and the
// seeds of the fuzz targets written from them.

#include "MetafileBuilders.h"
#include "metafile/Metafile.h"

#include <QFile>
#include <QPainter>
#include <QTest>
#include <QtEndian>
#include <ctime>

// The process's peak memory so far, in MiB.
inline qint64 peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024;
    }
    return 0;
}

// What is wrong with how a file made to strain the player is answered:
// empty when Picture is drawn at natural size within the time and the
// memory allowed, shows Colour at At, and shows the same in each half
// drawn as a tile of its own, playing the whole file: where the work ran
// out does not depend on the part of the picture drawn.
// The processor time this thread has used: unlike the time on the clock,
// the same however busy the machine is with other work.
inline qint64 threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

inline QString hostileFailure(const Metafile &picture, QPoint at, QRgb colour)
{
    const QSize size = picture.naturalSize();
#ifdef NDEBUG
    constexpr qint64 LimitMs = 2000;
#else
    constexpr qint64 LimitMs = 20000; // unoptimized, perhaps under the sanitizers
#endif
    constexpr qint64 LimitMiB = 1024;
    auto drawn = [&](const QRect &part) {
        QImage image(part.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.translate(-part.topLeft());
        picture.draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        return image;
    };
    const qint64 peakBefore = peakMiB();
    const qint64 start = threadCpuMs();
    const QImage whole = drawn(QRect(QPoint(0, 0), size));
    const qint64 spent = threadCpuMs() - start;
    if (spent >= LimitMs)
        return QStringLiteral("%1 ms of processor time").arg(spent);
    if (peakMiB() - peakBefore >= LimitMiB)
        return QStringLiteral("%1 MiB more").arg(peakMiB() - peakBefore);
    if (whole.pixel(at) != colour)
        return QStringLiteral("%1 at %2, %3").arg(whole.pixel(at), 8, 16).arg(at.x()).arg(at.y());
    const int half = size.width() / 2;
    for (const QRect &part : {QRect(0, 0, half, size.height()), QRect(half, 0, size.width() - half, size.height())}) {
        if (drawn(part) != whole.copy(part))
            return QStringLiteral("the tile at %1 differs").arg(part.x());
    }
    return QString();
}

// The records of File that fit in MaxBytes, ended as the format ends a
// file, with the header's size and record count set to match: a seed of the
// same kind of work that a fuzzer can afford to mutate.
inline QByteArray firstRecords(const QByteArray &file, qsizetype maxBytes)
{
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(file.constData() + at); };
    auto put = [](QByteArray &b, qsizetype at, quint32 v) { qToLittleEndian(v, b.data() + at); };
    const bool emf = u32(0) == 1;
    // EMF: the header's size at 4, bytes at 48 and records at 52; WMF: the
    // placeable header of 22 bytes, if any, then 18 bytes with the size in
    // words at 6; records give their size in words.
    const qsizetype wmfAt = u32(0) == 0x9AC6CDD7u ? 22 : 0;
    const qsizetype first = emf ? qsizetype(u32(4)) : wmfAt + 18;
    const QByteArray end =
        emf ? QByteArray::fromHex("0e00000014000000000000001000000014000000") : QByteArray::fromHex("030000000000");
    qsizetype at = first, count = 1;
    while (at + 8 <= file.size()) {
        const qsizetype size = emf ? qsizetype(u32(at + 4)) : qsizetype(u32(at)) * 2;
        if (size <= 0 || at + size + end.size() > maxBytes)
            break;
        at += size;
        ++count;
    }
    QByteArray seed = file.left(at) + end;
    if (emf) {
        put(seed, 48, quint32(seed.size()));
        put(seed, 52, quint32(count + 1));
    } else {
        put(seed, wmfAt + 6, quint32((seed.size() - wmfAt) / 2));
    }
    return seed;
}

// With VANTRIX_WRITE_SEEDS=DIR, the file of the current test row, cut to
// what a fuzzer can work on, is written there to seed a fuzz target.
inline void writeSeed(const QByteArray &file, const QString &extension)
{
    constexpr qsizetype MaxSeedBytes = 64 * 1024;
    const QString seeds = qEnvironmentVariable("VANTRIX_WRITE_SEEDS");
    if (seeds.isEmpty())
        return;
    const QString name = QString::fromLatin1(QTest::currentDataTag())
                             .remove(QLatin1Char(','))
                             .replace(QLatin1Char(' '), QLatin1Char('-'));
    QFile seed(seeds + QStringLiteral("/hostile-") + name + extension);
    const QByteArray bytes = file.size() <= MaxSeedBytes ? file : firstRecords(file, MaxSeedBytes);
    if (!seed.open(QIODevice::WriteOnly) || seed.write(bytes) != bytes.size())
        qWarning("The seed %s was not written", qPrintable(seed.fileName()));
}
