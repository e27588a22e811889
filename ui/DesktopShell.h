#pragma once
// The desktop shell: opening a document or web address with the user's
// associated program, and starting a plain-text editor on a file.

#include <QString>
#include <QStringList>

#include <functional>

class QUrl;

namespace DesktopShell {

// Opens a web address, or a local path, without blocking. False on failure.
bool Open(const QString &target);

// Starts a plain-text editor on Path, detached: $VISUAL, else the first
// graphical text editor found on PATH. Path is passed as one argument, never
// through a shell. False when no editor could be started.
bool StartTextEditor(const QString &path);

// The program and arguments StartTextEditor would run, or an empty list.
QStringList TextEditorCommand(const QString &path);

// Replaceable for tests: how a URL is opened and how a program is started.
using OpenHandler = std::function<bool(const QUrl &)>;
using StartHandler = std::function<bool(const QString &program, const QStringList &arguments)>;
void SetOpenHandler(OpenHandler handler);
void SetStartHandler(StartHandler handler);

} // namespace DesktopShell
