#include "metafile/TextDecoding.h"

#include "base/Cp1252.h"
#include "metafile/SymbolFonts.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

const char *PlayerSupport::codePageOf(int charset)
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

PlayerSupport::DecodedText PlayerSupport::decodeText(const QByteArray &bytes, int charset,
                                                     const std::vector<double> &byteAdvances)
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

QString PlayerSupport::untilZero(const QString &raw)
{
    const qsizetype zero = raw.indexOf(QChar(0));
    return zero >= 0 ? raw.left(zero) : raw;
}
