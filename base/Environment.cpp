#include "base/Environment.h"

#include <unistd.h>

#include <string>

QString ExeFileName;
QString AppPath;
bool TaskDialogsPresent = false;
QString ProgramName;
QString CopyrightText;
QString WebAddress;
QString IniFileName;
QString ApplicationTitle;

QString AddBackslash(const QString &path)
{
    if (path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

QString directoryPart(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return path.left(slash + 1);
}

QString runningExecutablePath()
{
    // The link can be longer than any fixed buffer: grow until it fits.
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return QString();
        if (std::size_t(n) < buffer.size())
            return QString::fromLocal8Bit(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

void initEnvironment()
{
    ExeFileName = runningExecutablePath();
    AppPath = AddBackslash(directoryPart(ExeFileName));
    // Qt always offers the task-style box (main instruction, content, icon
    // and custom buttons); whether it is used also depends on the style.
    TaskDialogsPresent = true;
}

QByteArray platformFor(const QByteArray &requested, bool xDisplay)
{
    if (!requested.isEmpty())
        return requested; // the user's own choice stands
    return xDisplay ? QByteArrayLiteral("xcb") : QByteArray();
}

void chooseWindowSystem()
{
    const QByteArray platform = platformFor(qgetenv("QT_QPA_PLATFORM"), !qEnvironmentVariableIsEmpty("DISPLAY"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}
