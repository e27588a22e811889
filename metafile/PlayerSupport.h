#pragma once
// Pieces both players share: selecting a table object into the canvas, text
// in the file's encodings, palettes and the bounds on what one record may
// ask for.

#include "base/Cp1252.h"
#include "metafile/GdiCanvas.h"
#include "metafile/RecordWalk.h"
#include "metafile/SymbolFonts.h"

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QVector>

#include <vector>

namespace PlayerSupport {

// Most points, rectangles or characters one record may carry.
constexpr qsizetype MaxItems = 4'000'000;
// Most characters one text record may carry.
constexpr qsizetype MaxChars = 65535;

inline void selectObject(GdiCanvas &canvas, const GdiObject *object)
{
    if (!object)
        return;
    switch (object->kind) {
    case GdiObject::Kind::Pen:
        canvas.selectPen(object->pen);
        break;
    case GdiObject::Kind::Brush:
        canvas.selectBrush(object->brush);
        break;
    case GdiObject::Kind::Font:
        canvas.selectFont(object->font);
        break;
    case GdiObject::Kind::Palette:
        canvas.selectPalette(object->palette);
        break;
    default:
        break;
    }
}

// Chars UTF-16 code units at offset At of the record; empty when they do not fit.
inline QString utf16At(const RecordView &r, qsizetype at, qsizetype chars)
{
    QString text;
    if (chars <= 0 || chars > MaxChars || !r.has(at, chars * 2))
        return text;
    text.reserve(chars);
    for (qsizetype i = 0; i < chars; ++i)
        text.append(QChar(char16_t(r.u16(at + 2 * i))));
    return text;
}

// Chars single-byte characters (code page 1252) at offset At of the record.
inline QString bytesAt(const RecordView &r, qsizetype at, qsizetype chars)
{
    if (chars <= 0 || chars > MaxChars || !r.has(at, chars))
        return QString();
    return fromCp1252(r.bytes().slice(r.start() + at, chars));
}

// The code page of a font's character set ([MS-WMF] 2.1.1.5); none for the
// Western and symbol sets, which stay code page 1252.
inline const char *codePageOf(int charset)
{
    switch (charset) {
    case 128:
        return "Shift_JIS";
    case 129:
        return "windows-949";
    case 130:
        return "windows-1361";
    case 134:
        return "GBK";
    case 136:
        return "Big5";
    case 161:
        return "windows-1253";
    case 162:
        return "windows-1254";
    case 163:
        return "windows-1258";
    case 177:
        return "windows-1255";
    case 178:
        return "windows-1256";
    case 186:
        return "windows-1257";
    case 204:
        return "windows-1251";
    case 222:
        return "windows-874";
    case 238:
        return "windows-1250";
    default:
        return nullptr;
    }
}

// Single-byte or double-byte text in the font's character set, with the
// advances of the bytes summed per character.
struct DecodedText {
    QString text;
    std::vector<double> advances;
};

inline DecodedText decodeText(const QByteArray &bytes, int charset, const std::vector<double> &byteAdvances)
{
    // A symbol font's bytes are its codes, whatever a code page would make of them.
    if (charset == SymbolFonts::SymbolCharset)
        return {QString::fromLatin1(bytes), byteAdvances};
    const char *codePage = codePageOf(charset);
    if (!codePage)
        return {fromCp1252(bytes), byteAdvances};
    QStringDecoder decoder(codePage);
    if (!decoder.isValid())
        return {fromCp1252(bytes), byteAdvances};
    DecodedText decoded{decoder.decode(bytes), {}};
    if (byteAdvances.empty() || decoded.text.size() == bytes.size())
        return {decoded.text, byteAdvances};
    QStringEncoder encoder(codePage);
    std::size_t next = 0;
    for (const QChar c : decoded.text) {
        const qsizetype length = std::max<qsizetype>(1, QByteArray(encoder.encode(QString(c))).size());
        double advance = 0;
        for (qsizetype i = 0; i < length && next < byteAdvances.size(); ++i)
            advance += byteAdvances[next++];
        decoded.advances.push_back(advance);
    }
    return decoded;
}

// Text up to its first zero.
inline QString untilZero(const QString &raw)
{
    const qsizetype zero = raw.indexOf(QChar(0));
    return zero >= 0 ? raw.left(zero) : raw;
}

// [MS-WMF] 2.2.2.13 PaletteEntry: Count entries of red, green, blue and flags.
inline QVector<QRgb> paletteEntries(const RecordView &r, qsizetype at, qsizetype count)
{
    QVector<QRgb> entries;
    constexpr qsizetype EntrySize = 4;
    if (count <= 0 || count > 65536 || !r.has(at, count * EntrySize))
        return entries;
    entries.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype o = at + i * EntrySize;
        entries << qRgb(r.u8(o), r.u8(o + 1), r.u8(o + 2));
    }
    return entries;
}

} // namespace PlayerSupport
