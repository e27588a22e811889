// Whether the window ever stalls: every metafile of the shared corpus shown
// in a picture area of 1000 x 700, opened and then scrolled by 40 pixels
// every 16 ms, zoom off and on, while a 2-ms timer measures the longest time
// the event loop goes unanswered. Also the time from the last scroll step
// until the view is complete. Display scales 1 and 2, each in a process of
// its own. The corpus lies at ../shared/corpus or where VANTRIX_CORPUS points.

#include "BenchSupport.h"
#include "capture/ImagePic.h"
#include "picture/Picture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <map>

namespace {

const QSize Viewport(1000, 700);
constexpr int ScrollStep = 40;
constexpr int ScrollSteps = 20;
constexpr int FrameMs = 16;
constexpr int OpenWatchMs = 300;
constexpr int CompleteLimitMs = 5000;

bool viewComplete(const ImagePicWidget &pic)
{
    // A control that draws all it shows while it paints is always complete.
    const QVariant complete = pic.property("viewComplete");
    return !complete.isValid() || complete.toBool();
}

struct Figures {
    double openStall = 0;
    double scrollStall = 0;
    double completeMs = 0;
};

Figures measure(const Picture &picture, bool zoom)
{
    QScrollArea area;
    area.resize(Viewport);
    auto *pic = new ImagePicWidget;
    area.setWidget(pic);
    area.show();
    runFor(100);
    StallWatch watch;
    Figures figures;
    watch.start();
    pic->setPicture(picture);
    pic->setDoubled(zoom);
    runFor(OpenWatchMs);
    figures.openStall = watch.stop();

    QScrollBar *bar = area.verticalScrollBar()->maximum() > 0 ? area.verticalScrollBar() : area.horizontalScrollBar();
    watch.start();
    for (int step = 0; step < ScrollSteps; ++step) {
        bar->setValue(bar->value() + ScrollStep);
        runFor(FrameMs);
    }
    figures.scrollStall = watch.stop();
    QElapsedTimer clock;
    clock.start();
    // What the last step uncovered is painted, and asks for its tiles.
    area.viewport()->repaint();
    runFor(CompleteLimitMs, [&] { return viewComplete(*pic); });
    figures.completeMs = clock.nsecsElapsed() / 1e6;
    return figures;
}

struct Series {
    std::vector<double> values;
    QString worstFile;
    double worst = -1;
    int over = 0;
    void add(double value, const QString &file, double limit)
    {
        values.push_back(value);
        over += value > limit ? 1 : 0;
        if (value > worst) {
            worst = value;
            worstFile = file;
        }
    }
};

int runAtThisScale()
{
    const QDir metafiles(corpusDir() + QStringLiteral("/metafiles"));
    if (!metafiles.exists()) {
        std::printf("The picture corpus is absent (%s).\n", qPrintable(metafiles.path()));
        return 0;
    }
    std::map<QString, Series> series;
    for (const QFileInfo &file : metafiles.entryInfoList({QStringLiteral("*.emf"), QStringLiteral("*.wmf")})) {
        const std::optional<Picture> picture = pictureOrNothing(file.filePath());
        if (!picture)
            continue;
        std::printf("%-40s", qPrintable(file.fileName()));
        for (const bool zoom : {false, true}) {
            const Figures f = measure(*picture, zoom);
            const QString where = zoom ? QStringLiteral(", zoom on") : QStringLiteral(", zoom off");
            series["longest stall while opening" + where].add(f.openStall, file.fileName(), FrameMs);
            series["longest stall while scrolling" + where].add(f.scrollStall, file.fileName(), FrameMs);
            series["complete after the last step" + where].add(f.completeMs, file.fileName(), 250);
            std::printf("  | %s open %7.1f scroll %7.1f complete %7.1f", zoom ? "zoom" : "    ", f.openStall,
                        f.scrollStall, f.completeMs);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("\nAll times in ms; 'over' counts files past 16 ms (stalls) or 250 ms (complete).\n");
    for (const auto &[what, s] : series) {
        std::printf("%-50s median %8.1f  worst %8.1f (%s)  over %d of %zu\n", qPrintable(what), Median(s.values),
                    s.worst, qPrintable(s.worstFile), s.over, s.values.size());
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--here") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return runAtThisScale();
    }
    for (const char *scale : {"1", "2"}) {
        std::printf("== display scale %s\n", scale);
        std::fflush(stdout);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(scale));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--here")});
        child.waitForFinished(-1);
    }
    return 0;
}
