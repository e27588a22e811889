#pragma once
// The desktop shell: opening a document or web address with the user's
// associated program, and starting a plain-text editor on a file.

#include <QString>
#include <QStringList>

#include <functional>

class QUrl;

namespace DesktopShell {

// Opens a web address, or a local path, with the user's associated program.
// False on failure, also when the desktop's launcher runs but fails (no
// program for the kind of document, for instance).
bool Open(const QString &target);

// How long Open waits for the launcher's answer; a launcher still running
// then counts as a success.
inline constexpr int LauncherAnswerMs = 1500;

// The desktop's launcher for Target, as a program and its arguments: the
// first of xdg-open and gio found on PATH. Empty when there is none.
QStringList launcherCommand(const QString &target);

// Starts Command (program and arguments, no shell) and waits up to WaitMs
// for it to end, handling the window's paint and timer events meanwhile but
// no input. True when it ended with exit code 0 or is still running then;
// false when it could not start or failed. A launcher left running is
// reaped when it ends.
bool runLauncher(const QStringList &command, int waitMs = LauncherAnswerMs);

// Starts a plain-text editor on Path, detached: $VISUAL, else the first
// graphical text editor found on PATH. Path is passed as one argument, never
// through a shell. False when no editor could be started.
bool startTextEditor(const QString &path);

// The program and arguments startTextEditor would run, or an empty list.
QStringList textEditorCommand(const QString &path);

// Replaceable for tests: how a URL is opened and how a program is started.
using OpenHandler = std::function<bool(const QUrl &)>;
using StartHandler = std::function<bool(const QString &program, const QStringList &arguments)>;
void setOpenHandler(OpenHandler handler);
void setStartHandler(StartHandler handler);

} // namespace DesktopShell
