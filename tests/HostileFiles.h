#pragma once
// Files made to strain the metafile players: how each is answered, and the
// seeds of the fuzz targets written from them.

#include "MetafileBuilders.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTest>

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
// empty when it is drawn at natural size by Draw within the time and the
// memory allowed, shows Colour at At, and shows the same in each half
// drawn as a tile of its own, playing the whole file: where the work ran
// out does not depend on the part of the picture drawn.
template <typename Draw> QString hostileFailure(QSize size, Draw draw, QPoint at, QRgb colour)
{
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
        draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        return image;
    };
    const qint64 peakBefore = peakMiB();
    QElapsedTimer clock;
    clock.start();
    const QImage whole = drawn(QRect(QPoint(0, 0), size));
    if (clock.elapsed() >= LimitMs)
        return QStringLiteral("%1 ms").arg(clock.elapsed());
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

// With VANTRIX_WRITE_SEEDS=DIR, the file of the current test row, when small
// enough for a fuzzer to work on, is written there to seed a fuzz target.
inline void writeSeed(const QByteArray &file, const QString &extension)
{
    constexpr qsizetype MaxSeedBytes = 256 * 1024;
    const QString seeds = qEnvironmentVariable("VANTRIX_WRITE_SEEDS");
    if (seeds.isEmpty() || file.size() > MaxSeedBytes)
        return;
    QFile seed(seeds + QStringLiteral("/hostile-") +
               QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')) + extension);
    if (!seed.open(QIODevice::WriteOnly) || seed.write(file) != file.size())
        qWarning("The seed %s was not written", qPrintable(seed.fileName()));
}
