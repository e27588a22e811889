#pragma once
// Where the settings file lives. Beside the program where its folder or the
// file itself can be written, as always. Installed for all users, the
// program's folder takes no file: each user then keeps a copy of their own
// under the desktop's configuration folder, read in preference to the file
// beside the program, which an administrator may have put there as the
// defaults. Window-free.

#include <QString>

struct SettingsPaths {
    QString read;  // may not exist: then nothing is read
    QString write; // its folder may still have to be made
};

// The user's own folder for the program's settings: $XDG_CONFIG_HOME/vantrix/
// when ConfigHome (that variable's value) is an absolute path, else
// Home/.config/vantrix/. Ends in '/'.
QString userSettingsFolder(const QString &configHome, const QString &home);

// The paths for the file named FileName in the program's folder AppFolder
// (ending in '/'), with the user's configuration home and home folder as
// the environment gives them.
SettingsPaths settingsPaths(const QString &appFolder, const QString &fileName, const QString &configHome,
                            const QString &home);

// The same with the environment of this process.
SettingsPaths settingsPaths(const QString &appFolder, const QString &fileName);

// Whether the file at Path can be written: created or replaced in its
// folder, or rewritten where it is.
bool canWriteFile(const QString &path);
