#pragma once
// Windows code page 1252, the single-byte text of settings files and of old
// picture files.

#include <QByteArray>
#include <QString>

// Every byte maps to one character; the five bytes the code page leaves
// undefined map to the control character of the same value.
QString fromCp1252(const QByteArray &bytes);

// A character that code page cannot hold becomes '?'.
QByteArray toCp1252(const QString &text);
