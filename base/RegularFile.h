#pragma once
// Reading a whole file that the user named, safely: only an ordinary file
// is read, nothing blocks on opening (a named pipe, a device), and no more
// than a limit is ever read, whatever size the file claims.

#include <QByteArray>
#include <QString>

#include <optional>

struct RegularFileRead {
    QByteArray bytes;
    // Why the file could not be opened or read; empty when it was.
    QString failure;
    // Whether it was opened as an ordinary file (a failure then is a read's).
    bool opened = false;
    // The file held more than the limit; Bytes is empty.
    bool tooLarge = false;
};

RegularFileRead readRegularFile(const QString &path, qint64 limit);
