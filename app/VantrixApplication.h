#pragma once
// The application object. Failures that escape an event handler end that
// handler and are shown in the failure box; the event loop goes on.
// Session and termination signals end the program through the event loop.

#include <QApplication>

class VantrixApplication : public QApplication
{
    Q_OBJECT
public:
    VantrixApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Ends the program on SIGTERM or SIGHUP through the event loop, so that
    // the settings can still be written.
    void installTerminationHandler();

signals:
    // The session is ending (log-off, shut-down or a termination signal).
    void sessionEnding();

private:
    void onTerminationSignal();
};
