#pragma once
// Text as metafile records carry it: single- or double-byte text in a
// font's character set, with its advances per byte.

#include <QByteArray>
#include <QString>

#include <vector>

namespace PlayerSupport {

// The code page of a font's character set ([MS-WMF] 2.1.1.5); none for the
// Western and symbol sets.
const char *codePageOf(int charset);

// Text decoded, with the advances of its bytes summed per character.
struct DecodedText {
    QString text;
    std::vector<double> advances;
};

// Bytes in the font's character set; a symbol font's bytes are its codes.
DecodedText decodeText(const QByteArray &bytes, int charset, const std::vector<double> &byteAdvances);

// Text up to its first zero.
QString untilZero(const QString &raw);

} // namespace PlayerSupport
