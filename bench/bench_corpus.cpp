// Every metafile of the shared picture corpus: the time to open it and to
// draw it whole at natural size, per file and as median and worst. The
// corpus lies at ../shared/corpus or where VANTRIX_CORPUS points.

#include "BenchSupport.h"
#include "capture/Picture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>

namespace {

QString corpusDir()
{
    const QString fromEnvironment = qEnvironmentVariable("VANTRIX_CORPUS");
    return fromEnvironment.isEmpty() ? QStringLiteral(VANTRIX_SOURCE_DIR "/../shared/corpus") : fromEnvironment;
}

double msSince(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir metafiles(corpusDir() + QStringLiteral("/metafiles"));
    if (!metafiles.exists()) {
        std::printf("The picture corpus is absent (%s).\n", qPrintable(metafiles.path()));
        return 0;
    }
    std::vector<double> opens;
    std::vector<double> draws;
    QString slowestOpen, slowestDraw;
    for (const QFileInfo &file : metafiles.entryInfoList({QStringLiteral("*.emf"), QStringLiteral("*.wmf")})) {
        QElapsedTimer clock;
        clock.start();
        std::optional<Picture> picture;
        try {
            picture = Picture::load(file.filePath());
        } catch (...) {
            std::printf("%-44s refused\n", qPrintable(file.fileName()));
            continue;
        }
        const double open = msSince(clock);
        // The first draw of the whole picture: what a window shows first.
        const QSize size = picture->size().boundedTo(QSize(4096, 4096));
        QImage target(size, QImage::Format_ARGB32_Premultiplied);
        target.fill(Qt::white);
        clock.restart();
        {
            QPainter painter(&target);
            picture->draw(painter, QRect(QPoint(0, 0), picture->size()), target.rect());
        }
        const double draw = msSince(clock);
        if (opens.empty() || open > *std::max_element(opens.begin(), opens.end()))
            slowestOpen = file.fileName();
        if (draws.empty() || draw > *std::max_element(draws.begin(), draws.end()))
            slowestDraw = file.fileName();
        opens.push_back(open);
        draws.push_back(draw);
        std::printf("%-44s %6dx%-6d open %8.2f ms   first draw %9.2f ms\n", qPrintable(file.fileName()),
                    picture->size().width(), picture->size().height(), open, draw);
    }
    Report("open, median", Median(opens), "ms");
    Report(qPrintable(QStringLiteral("open, worst (%1)").arg(slowestOpen)),
           *std::max_element(opens.begin(), opens.end()), "ms");
    Report("first draw, median", Median(draws), "ms");
    Report(qPrintable(QStringLiteral("first draw, worst (%1)").arg(slowestDraw)),
           *std::max_element(draws.begin(), draws.end()), "ms");
    return 0;
}
