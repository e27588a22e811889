#pragma once
// The application object. Failures that escape an event handler end that
// handler and are shown in the failure box; the event loop goes on.

#include <QApplication>

class VantrixApplication : public QApplication
{
    Q_OBJECT
public:
    VantrixApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // The failure box: the message (with a full stop when its last character
    // sorts after '.'), the application title as caption, the error icon and
    // one OK button, owned by the active window.
    static void ShowFailure(const QString &message);

    // The text the failure box shows for a message.
    static QString FailureText(const QString &message);

    // Runs an event or creation handler; a failure ends the handler and is
    // shown, and the program goes on. Handlers run through here so that no
    // exception has to travel through the toolkit's own frames.
    template <typename Handler> static void RunHandler(Handler &&handler)
    {
        try {
            handler();
        } catch (const std::exception &e) {
            ShowFailure(messageOf(e));
        }
    }

    // A slot that runs Handler through RunHandler.
    template <typename Handler> static auto Guarded(Handler handler)
    {
        return [handler]() { RunHandler(handler); };
    }

    // Ends the program on SIGTERM or SIGHUP through the event loop, so that
    // the settings can still be written.
    void installTerminationHandler();

signals:
    // The session is ending (log-off, shut-down or a termination signal).
    void sessionEnding();

private:
    static QString messageOf(const std::exception &e);
    void onTerminationSignal();
};
