#include "app/VantrixApplication.h"

#include "ui/HandlerGuard.h"
#include "ui/WindowRules.h"

#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int terminationPipe[2] = {-1, -1};

void terminationSignalHandler(int)
{
    const char byte = 1;
    // Only async-signal-safe work here: wake the event loop.
    [[maybe_unused]] const ssize_t written = ::write(terminationPipe[0], &byte, 1);
}

} // namespace

VantrixApplication::VantrixApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // The session manager ends the program at log-off or shut-down.
    connect(this, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { emit sessionEnding(); });
    installEventFilter(new ModalWindowGuard(this));
    installEventFilter(new AltKeyGuard(this));
}

bool VantrixApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        showFailure(failureMessage(e));
    }
    return true;
}

void VantrixApplication::installTerminationHandler()
{
    if (terminationPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, terminationPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(terminationPipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &VantrixApplication::onTerminationSignal);

    struct sigaction action = {};
    action.sa_handler = terminationSignalHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

void VantrixApplication::onTerminationSignal()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(terminationPipe[1], &byte, 1);
    emit sessionEnding();
    QCoreApplication::exit(0);
}
