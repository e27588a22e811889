#include "ui/DesktopShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace DesktopShell {
namespace {

OpenHandler &openHandler()
{
    static OpenHandler handler = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    return handler;
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

QStringList TextEditorCommand(const QString &path)
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

bool StartTextEditor(const QString &path)
{
    QStringList command = TextEditorCommand(path);
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return startHandler()(program, command);
}

void SetOpenHandler(OpenHandler handler)
{
    openHandler() = std::move(handler);
}

void SetStartHandler(StartHandler handler)
{
    startHandler() = std::move(handler);
}

} // namespace DesktopShell
