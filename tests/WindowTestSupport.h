#pragma once
// Helpers of the tests with windows: the test entry with the environment
// values computed as at start-up, and driving modal windows from a timer.

#include "TestSupport.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Runs the test class in a plain application with the environment values
// computed as at start-up: for the layers below the application's own.
#define VANTRIX_WINDOW_TEST_MAIN(TestClass)                                                                            \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        initEnvironment();                                                                                             \
        QApplication app(argc, argv);                                                                                  \
        app.setQuitOnLastWindowClosed(false);                                                                          \
        TestClass test;                                                                                                \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }

// Calls Action with the modal window once one is shown (checked every
// 10 ms for up to Timeout ms). Use before the call that shows it.
inline void whenModal(std::function<void(QWidget *)> action, int timeoutMs = 5000)
{
    auto *timer = new QTimer;
    auto remaining = std::make_shared<int>(timeoutMs / 10);
    QObject::connect(timer, &QTimer::timeout, [timer, remaining, action] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
            return;
        }
        if (--*remaining <= 0) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}
