// A capture click with 100 000 lines already in the output list, next to a
// capture into an empty output list.

#include "BenchSupport.h"
#include "app/StartUp.h"
#include "app/VantrixApplication.h"
#include "base/Environment.h"
#include "capture/HoofdUnit.h"
#include "tests/WindowControls.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <vector>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    initEnvironment();
    VantrixApplication app(argc, argv);
    QTemporaryDir dir;
    AppPath = AddBackslash(dir.path());
    createApplicationWindows();
    HoofdForm->show();
    MainControls(HoofdForm).Flitsen1->trigger(); // the flash's pauses are not the point here
    MainControls(HoofdForm).Memo1->setPlainText(QStringLiteral("Sensor_1"));

    // Each run starts from its output list: one click brings the end of the
    // list into view (reported apart: a list of that size is met once, after
    // a paste), then the mean of 20 clicks as the user meets them, the view
    // already at the end. Runs on the two lists alternate, so that a change
    // in the machine's speed meets both alike; the medians of 15 runs each.
    struct Figures {
        std::vector<double> first;
        std::vector<double> steady;
    };
    auto captureRun = [&](const QString &start, Figures &figures) {
        MainControls(HoofdForm).Memo3->setPlainText(start);
        app.processEvents();
        figures.first.push_back(BestMs(1, [] { HoofdForm->ImagePicMouseUp(QPoint(120, 45)); }));
        app.processEvents();
        figures.steady.push_back(BestMs(1,
                                        [] {
                                            for (int i = 0; i < 20; ++i)
                                                HoofdForm->ImagePicMouseUp(QPoint(120, 45));
                                        }) /
                                 20);
    };
    QString lines;
    for (int i = 0; i < 100000; ++i)
        lines += QStringLiteral("   X_is[Sensor_%1]= 120;            Y_is[Sensor_%1]= 45;\n").arg(i);
    Figures emptyRuns, fullRuns;
    for (int run = 0; run < 15; ++run) {
        captureRun(QString(), emptyRuns);
        captureRun(lines, fullRuns);
    }
    const double empty = Median(emptyRuns.steady);
    const double full = Median(fullRuns.steady);

    Report("capture into an empty output list", empty, "ms");
    Report("capture with 100 000 lines in the output list", full, "ms");
    Report("ratio (target at most 1.5)", full / empty, "x");
    Report("first click after loading the empty list", Median(emptyRuns.first), "ms");
    Report("first click after loading 100 000 lines", Median(fullRuns.first), "ms");
    destroyApplicationWindows();
    return 0;
}
