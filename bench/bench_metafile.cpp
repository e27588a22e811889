// Drawing each metafile sample at 1:1 and doubled, next to Qt's SVG renderer
// drawing the SVG drawing the sample was made from.

#include "BenchSupport.h"
#include "picture/Picture.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir samples(QStringLiteral(VANTRIX_TEST_DATA "/metafiles"));
    double oursTotal = 0;
    double svgTotal = 0;
    for (const QFileInfo &file : samples.entryInfoList({QStringLiteral("*.emf"), QStringLiteral("*.wmf")})) {
        const QString drawing = file.completeBaseName().section(QLatin1Char('-'), 1);
        QSvgRenderer svg(samples.filePath(QStringLiteral("src/") + drawing + QStringLiteral(".svg")));
        const Picture picture = Picture::load(file.filePath());
        for (const int zoom : {1, 2}) {
            QImage target(picture.size() * zoom, QImage::Format_RGB32);
            const double ours = BestMs(20, [&] {
                target.fill(Qt::white);
                QPainter painter(&target);
                picture.draw(painter, target.rect(), target.rect());
            });
            const double reference = BestMs(20, [&] {
                target.fill(Qt::white);
                QPainter painter(&target);
                painter.setRenderHint(QPainter::Antialiasing);
                svg.render(&painter, QRectF(target.rect()));
            });
            oursTotal += ours;
            svgTotal += reference;
            std::printf("%-22s x%d  ours %8.3f ms   svg %8.3f ms   ratio %5.2f\n", qPrintable(file.fileName()), zoom,
                        ours, reference, ours / reference);
        }
    }
    Report("all samples, ours", oursTotal, "ms");
    Report("all samples, Qt SVG renderer", svgTotal, "ms");
    Report("ratio (target at most 2)", oursTotal / svgTotal, "x");
    return 0;
}
