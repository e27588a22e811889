#pragma once
// Composes one line of source code from a pair of templates, a name and the
// picture coordinates of a click. Plain text logic, no windows.

#include <QString>

#include <cstdint>

// Fits S to Width. Mode "L" pads on the right, "R" on the left, "F" repeats
// S Width times; any other mode gives the empty text. An empty Fill is a
// blank. Widths are clamped to 0..65535.
QString PadString(const QString &Mode, const QString &S, const QString &Fill, std::int32_t Width);

// Puts NameText in place of the first "@@1" and the decimal Value in place of
// the first "@@2"; a missing placeholder puts its text in front.
QString FillTemplate(const QString &Template, const QString &NameText, std::int32_t Value);

// The X part, cut or padded to the X template's length plus 16, followed by
// the Y part.
QString ComposeCodeLine(const QString &XTemplate, const QString &YTemplate, const QString &NameText, std::int32_t X,
                        std::int32_t Y);
