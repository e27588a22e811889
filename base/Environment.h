#pragma once
// Process-wide values: computed once at start-up and only read afterwards.

#include <QByteArray>
#include <QString>

// Full path of the running executable.
extern QString ExeFileName;
// Directory of the executable, always ending in '/'. Files that live beside
// the program are addressed as AppPath + file name.
extern QString AppPath;
// Whether the task-style message box can be shown on this platform.
extern bool TaskDialogsPresent;

// Identity texts, computed at start (initIdentity) before any window.
extern QString ProgramName;
extern QString CopyrightText;
extern QString WebAddress;
// ProgramName + ".ini", a bare file name.
extern QString IniFileName;
// ProgramName, a blank and Major.Minor.Release of the file version.
extern QString ApplicationTitle;

// Appends the directory separator unless the path already ends in one.
QString AddBackslash(const QString &path);

// Everything up to and including the last directory separator.
QString directoryPart(const QString &path);

// The executable's path as the operating system reports it.
QString runningExecutablePath();

// Computes ExeFileName, AppPath and TaskDialogsPresent. Safe to call before
// any Qt object exists.
void initEnvironment();

// The window system the program runs on: always an X server, which under a
// Wayland session is XWayland. Only there does a window open where the
// design places it, does the pointer report the exact device pixel under
// it, and can a modal window be kept from being minimised. Given what the
// user asked for in QT_QPA_PLATFORM (empty: nothing) and whether an X
// display is named (DISPLAY), the platform to ask Qt for; empty: Qt's own
// choice, where no X server is at hand.
QByteArray platformFor(const QByteArray &requested, bool xDisplay);
// Sets QT_QPA_PLATFORM so; before the application object is made.
void chooseWindowSystem();
