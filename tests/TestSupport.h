#pragma once
// Shared helpers of the tests: the test entry with our application object,
// and driving modal windows from a timer.

#include "app/StartUp.h"
#include "app/VantrixApplication.h"
#include "base/Environment.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs the test class with our application object and the environment
// values computed as at start-up.
#define VANTRIX_TEST_MAIN(TestClass)                                                                                   \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        initEnvironment();                                                                                             \
        VantrixApplication app(argc, argv);                                                                            \
        initResources();                                                                                               \
        app.setQuitOnLastWindowClosed(false);                                                                          \
        TestClass test;                                                                                                \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }

// Calls Action with the modal window once one is shown (checked every
// 10 ms for up to Timeout ms). Use before the call that shows it.
inline void WhenModal(std::function<void(QWidget *)> action, int timeoutMs = 5000)
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

// The whole content of a file; empty when it cannot be read.
inline QByteArray ReadWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes a file anew; false when it cannot be written.
inline bool WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A picture in a file format, as the bytes of a file.
inline QByteArray Encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

// Points AppPath at a fresh temporary folder for the life of the object.
class TemporaryAppPath
{
public:
    TemporaryAppPath() : m_saved(AppPath) { AppPath = AddBackslash(m_dir.path()); }
    ~TemporaryAppPath() { AppPath = m_saved; }
    QString path() const { return AppPath; }
    QString file(const QString &name) const { return AppPath + name; }

private:
    QTemporaryDir m_dir;
    QString m_saved;
};
