// A capture click with 100 000 lines already in the output list, next to a
// capture into an empty output list.

#include "BenchSupport.h"
#include "app/StartUp.h"
#include "app/VantrixApplication.h"
#include "base/Environment.h"
#include "capture/HoofdUnit.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    InitEnvironment();
    VantrixApplication app(argc, argv);
    QTemporaryDir dir;
    AppPath = AddBackslash(dir.path());
    CreateApplicationWindows();
    HoofdForm->show();
    HoofdForm->Flitsen1Click(); // the flash's pauses are not the point here
    HoofdForm->Memo1->setPlainText(QStringLiteral("Sensor_1"));

    // The mean of 20 clicks, starting each run from the same output list.
    auto captureRun = [&](const QString &start) {
        double best = 1e300;
        for (int run = 0; run < 5; ++run) {
            HoofdForm->Memo3->setPlainText(start);
            app.processEvents();
            best = std::min(best, BestMs(1, [&] {
                                      for (int i = 0; i < 20; ++i)
                                          HoofdForm->ImagePicMouseUp();
                                  }) / 20);
        }
        return best;
    };
    const double empty = captureRun(QString());

    QString lines;
    for (int i = 0; i < 100000; ++i)
        lines += QStringLiteral("   X_is[Sensor_%1]= 120;            Y_is[Sensor_%1]= 45;\n").arg(i);
    const double full = captureRun(lines);

    Report("capture into an empty output list", empty, "ms");
    Report("capture with 100 000 lines in the output list", full, "ms");
    Report("ratio (target at most 1.5)", full / empty, "x");
    DestroyApplicationWindows();
    return 0;
}
