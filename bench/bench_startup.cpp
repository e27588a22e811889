// Start-up to the first paint of the main window, next to a bare Qt window
// of the same size. The caller passes the launch time, so that loading the
// libraries counts too.
//
// "bare-text" is the bare window with one line of text in the window font:
// the price of the font database, which any window with text pays.
//
// usage: bench_startup vantrix|bare|bare-text launch-time-in-ns-since-epoch
#include "app/StartUp.h"
#include "app/VantrixApplication.h"
#include "base/Environment.h"
#include "capture/HoofdUnit.h"
#include "ui/Fonts.h"
#include "ui/ToolTipStyle.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class FirstPaint : public QObject
{
public:
    explicit FirstPaint(long long launch) : m_launch(launch) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Reported once the paint has been handled.
            QTimer::singleShot(0, [this] {
                std::printf("%.1f\n", double(nowNs() - m_launch) / 1e6);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    long long m_launch;
    bool m_seen = false;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const long long launch = std::atoll(argv[2]);
    const bool vantrix = std::strcmp(argv[1], "vantrix") == 0;
    FirstPaint probe(launch);
    if (vantrix) {
        initEnvironment();
        VantrixApplication app(argc, argv);
        QApplication::setStyle(new ToolTipStyle(QApplication::style()->name()));
        createApplicationWindows();
        HoofdForm->installEventFilter(&probe);
        HoofdForm->show();
        app.exec();
        destroyApplicationWindows();
    } else {
        QApplication app(argc, argv);
        QWidget window;
        window.resize(614, 424);
        if (std::strcmp(argv[1], "bare-text") == 0) {
            auto *text = new QLabel(QStringLiteral("Vantrix"), &window);
            text->setFont(windowFont());
            text->move(8, 8);
        }
        window.installEventFilter(&probe);
        window.show();
        app.exec();
    }
    return 0;
}
