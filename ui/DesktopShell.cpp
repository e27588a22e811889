#include "ui/DesktopShell.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char **environ;

namespace DesktopShell {
namespace {

OpenHandler &openHandler()
{
    static OpenHandler handler = [](const QUrl &url) {
        return runLauncher(launcherCommand(url.isLocalFile() ? url.toLocalFile() : url.toString()));
    };
    return handler;
}

// Polls for a launcher that outlived the wait, until it has ended.
void reapLater(pid_t pid)
{
    constexpr int ReapIntervalMs = 500;
    auto *timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, pid] {
        if (waitpid(pid, nullptr, WNOHANG) != 0)
            timer->deleteLater();
    });
    timer->start(ReapIntervalMs);
}

StartHandler &startHandler()
{
    static StartHandler handler = [](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    };
    return handler;
}

// Graphical plain-text editors, in order of preference.
const QStringList KnownEditors = {
    QStringLiteral("gnome-text-editor"),
    QStringLiteral("gedit"),
    QStringLiteral("kwrite"),
    QStringLiteral("kate"),
    QStringLiteral("mousepad"),
    QStringLiteral("pluma"),
    QStringLiteral("xed"),
    QStringLiteral("featherpad"),
    QStringLiteral("leafpad"),
    QStringLiteral("geany"),
    QStringLiteral("xedit"),
};

} // namespace

bool Open(const QString &target)
{
    const QUrl url = target.contains(QLatin1String("://")) ? QUrl(target) : QUrl::fromLocalFile(target);
    return openHandler()(url);
}

QStringList launcherCommand(const QString &target)
{
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty())
        return {xdgOpen, target};
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (!gio.isEmpty())
        return {gio, QStringLiteral("open"), target};
    return {};
}

bool runLauncher(const QStringList &command, int waitMs)
{
    if (command.isEmpty())
        return false;
    std::vector<QByteArray> words;
    for (const QString &word : command)
        words.push_back(QFile::encodeName(word));
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv.front(), nullptr, nullptr, argv.data(), environ) != 0)
        return false;

    // The launcher hands the document on and ends; waiting for that keeps
    // the window painted but takes no input meanwhile.
    constexpr int PollMs = 5;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (ended < 0)
            return false;
        if (waited.elapsed() >= waitMs) {
            reapLater(pid);
            return true;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, PollMs);
        QThread::msleep(PollMs);
    }
}

QStringList textEditorCommand(const QString &path)
{
    const QString visual = qEnvironmentVariable("VISUAL").trimmed();
    if (!visual.isEmpty()) {
        // The variable may carry options of its own ("code -w"); the path is
        // still one argument of its own.
        QStringList command = QProcess::splitCommand(visual);
        if (!command.isEmpty()) {
            command.append(path);
            return command;
        }
    }
    for (const QString &editor : KnownEditors) {
        const QString program = QStandardPaths::findExecutable(editor);
        if (!program.isEmpty())
            return {program, path};
    }
    return {};
}

bool startTextEditor(const QString &path)
{
    QStringList command = textEditorCommand(path);
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return startHandler()(program, command);
}

void setOpenHandler(OpenHandler handler)
{
    openHandler() = std::move(handler);
}

void setStartHandler(StartHandler handler)
{
    startHandler() = std::move(handler);
}

} // namespace DesktopShell
