#pragma once
// Record fields both players read alike: strings at record offsets,
// palette entries, and the bounds on what one record may ask for.

#include "base/Cp1252.h"
#include "metafile/Limits.h"
#include "metafile/RecordWalk.h"
#include "metafile/TextDecoding.h"

#include <QString>
#include <QVector>

#include <vector>

namespace PlayerSupport {

// Chars UTF-16 code units at offset At of the record; empty when they do not fit.
inline QString utf16At(const RecordView &r, qsizetype at, qsizetype chars)
{
    QString text;
    if (chars <= 0 || chars > Limits::MaxChars || !r.has(at, chars * 2))
        return text;
    text.reserve(chars);
    for (qsizetype i = 0; i < chars; ++i)
        text.append(QChar(char16_t(r.u16(at + 2 * i))));
    return text;
}

// Chars single-byte characters (code page 1252) at offset At of the record.
inline QString bytesAt(const RecordView &r, qsizetype at, qsizetype chars)
{
    if (chars <= 0 || chars > Limits::MaxChars || !r.has(at, chars))
        return QString();
    return fromCp1252(r.bytes().slice(r.start() + at, chars));
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
