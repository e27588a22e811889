#pragma once
// The settings file: eight CR LF lines in code page 1252 holding the four
// code templates. Parsing and formatting work on bytes, without windows.

#include "base/Cp1252.h"

#include <QByteArray>
#include <QString>

#include <optional>

struct CodeTemplates {
    QString InX;
    QString InY;
    QString OutX;
    QString OutY;
};

// The values a settings file holds; a key that is missing stays empty.
struct SettingsValues {
    std::optional<QString> InX;
    std::optional<QString> InY;
    std::optional<QString> OutX;
    std::optional<QString> OutY;

    // Applies the values present onto a set of templates.
    void applyTo(CodeTemplates &templates) const;
};

// Reads the key lines "InX=", "InY=", "OutX=", "OutY=" (any case of A to Z,
// starting in the first column; the last occurrence wins). Lines end at CR LF
// or LF; a byte 0x1A ends the file.
SettingsValues parseSettings(const QByteArray &bytes);

// The file's eight lines, each followed by CR LF.
QByteArray formatSettings(const QString &programName, const CodeTemplates &templates);
