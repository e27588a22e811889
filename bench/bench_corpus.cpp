// Every metafile of the shared picture corpus: the time to open it, to draw
// it whole at natural size, and, as the picture area shows it (a viewport
// of 1000 x 700, tiles drawn on the workers and kept), the first paint and
// the repaint after a scroll step until complete, zoom off and on, at
// display scales 1 and 2; and the work one playback counts against the
// bounds on drawing, clipping and decoding.
// Per file, then median and worst. The corpus lies at ../shared/corpus or
// where VANTRIX_CORPUS points. With --dump DIR, only writes each metafile as
// drawn whole at 1x and 2x into DIR, for comparing two builds pixel for pixel.

#include "BenchSupport.h"
#include "metafile/Metafile.h"
#include "picture/MetafileTiles.h"
#include "picture/Picture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>

#include <map>

namespace {

const QSize Viewport(1000, 700);
constexpr int ScrollStep = 40;
constexpr int CompleteLimitMs = 10000;
// The zooms at which the work of a playback is compared with that at 1x.
constexpr int Zooms[] = {2, 4, 8};

double msOf(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() / 1e6;
}

struct Series {
    std::vector<double> values;
    QString worstFile;
    double worst = -1;
    void add(double value, const QString &file)
    {
        values.push_back(value);
        if (value > worst) {
            worst = value;
            worstFile = file;
        }
    }
};

// The first paint of the viewport and the repaint of the strip a scroll
// step uncovers, with a cache of its own: each until its tiles, drawn on
// the workers, have all arrived.
std::pair<double, double> paintAndScroll(const Picture &picture, int zoom, qreal scale, qint64 *cacheBytes)
{
    const QSize logical = picture.size() * zoom;
    MetafileTiles tiles;
    tiles.setRenderer([picture](QPainter &painter, const QRectF &target) { picture.drawScaled(painter, target); });
    QImage window(Viewport * scale, QImage::Format_RGB32);
    window.setDevicePixelRatio(scale);
    QPainter painter(&window);
    const double first = msOf([&] {
        tiles.paint(painter, QRect(QPoint(0, 0), Viewport), logical);
        tiles.waitUntilComplete(CompleteLimitMs);
    });
    painter.translate(0, -ScrollStep);
    const QRect strip(0, Viewport.height(), Viewport.width(), ScrollStep);
    const double scroll = msOf([&] {
        tiles.paint(painter, strip, logical);
        tiles.waitUntilComplete(CompleteLimitMs);
    });
    *cacheBytes = std::max(*cacheBytes, tiles.bytes());
    return {first, scroll};
}

// The work one playback of the file at Zoom counts against its bounds: the
// same at every zoom, since it is counted in the picture's own pixels.
PlaybackBudget workOf(const QString &path, int zoom = 1)
{
    PlaybackBudget budget;
    QFile file(path);
    const std::optional<Metafile> metafile =
        file.open(QIODevice::ReadOnly) ? Metafile::fromBytes(file.readAll()) : std::nullopt;
    if (metafile) {
        QImage target(QSize(1000, 1000), QImage::Format_RGB32);
        QPainter painter(&target);
        metafile->draw(painter, QRectF(QPointF(0, 0), QSizeF(metafile->naturalSize()) * zoom), budget);
    }
    return budget;
}

// Each metafile drawn whole on white at 1x and 2x, as PNG files in Dir.
int dumpDrawings(const QDir &metafiles, const QString &dir)
{
    QDir().mkpath(dir);
    for (const QFileInfo &file : metafiles.entryInfoList({QStringLiteral("*.emf"), QStringLiteral("*.wmf")})) {
        const std::optional<Picture> picture = pictureOrNothing(file.filePath());
        if (!picture)
            continue;
        for (const int zoom : {1, 2}) {
            QImage target((picture->size() * zoom).boundedTo(QSize(8192, 8192)), QImage::Format_RGB32);
            target.fill(Qt::white);
            QPainter painter(&target);
            picture->drawScaled(painter, QRectF(QPointF(0, 0), QSizeF(picture->size() * zoom)));
            painter.end();
            target.save(QStringLiteral("%1/%2-%3x.png").arg(dir, file.fileName()).arg(zoom));
        }
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // --work: only the work of each playback, not the times of the view.
    const bool workOnly = app.arguments().contains(QStringLiteral("--work"));
    const QDir metafiles(corpusDir() + QStringLiteral("/metafiles"));
    if (!metafiles.exists()) {
        std::printf("The picture corpus is absent (%s).\n", qPrintable(metafiles.path()));
        return 0;
    }
    const qsizetype dump = app.arguments().indexOf(QStringLiteral("--dump"));
    if (dump > 0 && dump + 1 < app.arguments().size())
        return dumpDrawings(metafiles, app.arguments().at(dump + 1));
    std::map<QString, Series> series;
    qint64 cacheBytes = 0;
    Series elements, boolean, decoded;
    int unequal = 0, drawnInPart = 0;
    for (const QFileInfo &file : metafiles.entryInfoList({QStringLiteral("*.emf"), QStringLiteral("*.wmf")})) {
        std::optional<Picture> picture;
        const double open = msOf([&] { picture = pictureOrNothing(file.filePath()); });
        if (!picture) {
            std::printf("%-40s refused\n", qPrintable(file.fileName()));
            continue;
        }
        const QString name = file.fileName();
        series["open"].add(open, name);
        // The whole picture at natural size, as large as it is.
        const double full = msOf([&] {
            QImage target(picture->size().boundedTo(QSize(8192, 8192)), QImage::Format_RGB32);
            target.fill(Qt::white);
            QPainter painter(&target);
            picture->drawScaled(painter, QRectF(QPointF(0, 0), QSizeF(picture->size())));
        });
        series["full draw, natural size"].add(full, name);
        const PlaybackBudget work = workOf(file.filePath());
        bool differs = false;
        for (const int zoom : Zooms) {
            const PlaybackBudget zoomed = workOf(file.filePath(), zoom);
            if (zoomed.drawWork != work.drawWork || zoomed.booleanWork != work.booleanWork)
                std::printf("%-40s work at %dx: %lld %lld, at 1x: %lld %lld\n", qPrintable(name), zoom, zoomed.drawWork,
                            zoomed.booleanWork, work.drawWork, work.booleanWork);
            differs = differs || zoomed.drawWork != work.drawWork || zoomed.booleanWork != work.booleanWork;
        }
        unequal += differs;
        drawnInPart += work.drawnInPart();
        elements.add(double(work.drawWork), name);
        boolean.add(double(work.booleanWork), name);
        decoded.add(double(work.decodedBytes) / (1 << 20), name);
        std::printf("%-40s %6dx%-6d open %7.2f  full %8.2f  work %8lld %8lld %8lld", qPrintable(name),
                    picture->size().width(), picture->size().height(), open, full, work.drawWork, work.booleanWork,
                    work.decodedBytes);
        for (const int zoom : {1, 2}) {
            if (workOnly)
                break;
            for (const qreal scale : {1.0, 2.0}) {
                const auto [first, scroll] = paintAndScroll(*picture, zoom, scale, &cacheBytes);
                const QString where = QStringLiteral("zoom %1, scale %2").arg(zoom).arg(scale);
                series["first paint, " + where].add(first, name);
                series["scroll repaint, " + where].add(scroll, name);
                std::printf("  | %s first %7.2f scroll %6.2f", qPrintable(where), first, scroll);
            }
        }
        std::printf("\n");
    }
    std::printf("\nAll times in ms.\n");
    for (const auto &[what, s] : series) {
        Report(qPrintable(what + QStringLiteral(", median")), Median(s.values), "ms");
        Report(qPrintable(what + QStringLiteral(", worst (") + s.worstFile + QLatin1Char(')')), s.worst, "ms");
    }
    Report("files drawn in part", drawnInPart, "files");
    Report("files whose work differs between zooms 1, 2, 4 and 8", unequal, "files");
    Report("tile cache, largest", double(cacheBytes) / (1 << 20), "MiB");
    Report(qPrintable(QStringLiteral("drawing work, most (%1; bound %2)").arg(elements.worstFile).arg(MaxDrawWork)),
           elements.worst, "units");
    Report(qPrintable(QStringLiteral("boolean work, most (%1; bound %2)").arg(boolean.worstFile).arg(MaxBooleanWork)),
           boolean.worst, "units");
    Report(qPrintable(QStringLiteral("image bytes decoded, most (") + decoded.worstFile + QLatin1Char(')')),
           decoded.worst, "MiB");
    return 0;
}
