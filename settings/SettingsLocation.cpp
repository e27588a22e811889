#include "settings/SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool accessible(const QString &path, int mode)
{
    // As the program's effective user, who does the writing.
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
}

} // namespace

QString userSettingsFolder(const QString &configHome, const QString &home)
{
    const QString base = QDir::isAbsolutePath(configHome) ? configHome : home + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/vantrix")) + QLatin1Char('/');
}

bool canWriteFile(const QString &path)
{
    // Asked of the system rather than read off the permission bits, which
    // say nothing of read-only mounts or of what the superuser may do.
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (QFileInfo(folder).isDir() && accessible(folder, W_OK | X_OK))
        return !file.isDir();
    return file.isFile() && accessible(path, W_OK);
}

SettingsPaths settingsPaths(const QString &appFolder, const QString &fileName, const QString &configHome,
                            const QString &home)
{
    const QString beside = appFolder + fileName;
    if (canWriteFile(beside))
        return {beside, beside};
    const QString own = userSettingsFolder(configHome, home) + fileName;
    return {QFileInfo::exists(own) ? own : beside, own};
}

SettingsPaths settingsPaths(const QString &appFolder, const QString &fileName)
{
    return settingsPaths(appFolder, fileName, qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
}
