#include "settings/SettingsFile.h"

#include <array>

namespace {

// Code points of the bytes 0x80 to 0x9F; the five bytes the code page leaves
// undefined map to the control character of the same value.
constexpr std::array<char16_t, 32> HighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char lowerAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

} // namespace

void SettingsValues::applyTo(CodeTemplates &templates) const
{
    if (InX)
        templates.InX = *InX;
    if (InY)
        templates.InY = *InY;
    if (OutX)
        templates.OutX = *OutX;
    if (OutY)
        templates.OutY = *OutY;
}

QString FromCp1252(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.append(b >= 0x80 && b <= 0x9F ? QChar(HighControlRange[b - 0x80]) : QChar(b));
    }
    return text;
}

QByteArray ToCp1252(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes.append(char(u));
            continue;
        }
        char out = '?';
        for (std::size_t i = 0; i < HighControlRange.size(); ++i) {
            if (HighControlRange[i] == u) {
                out = char(0x80 + i);
                break;
            }
        }
        bytes.append(out);
    }
    return bytes;
}

SettingsValues ParseSettings(const QByteArray &bytes)
{
    SettingsValues values;
    const qsizetype end = [&] {
        const qsizetype eof = bytes.indexOf('\x1A');
        return eof < 0 ? bytes.size() : eof;
    }();

    qsizetype start = 0;
    while (start <= end) {
        qsizetype lineEnd = bytes.indexOf('\n', start);
        if (lineEnd < 0 || lineEnd > end)
            lineEnd = end;
        qsizetype contentEnd = lineEnd;
        if (contentEnd > start && bytes[contentEnd - 1] == '\r' && lineEnd < end)
            --contentEnd;

        const QByteArrayView line(bytes.constData() + start, contentEnd - start);
        const qsizetype eq = line.indexOf('=');
        if (eq >= 0) {
            QByteArray key(line.constData(), eq + 1);
            for (char &c : key)
                c = lowerAsciiLetter(c);
            const QByteArray value(line.constData() + eq + 1, line.size() - eq - 1);
            if (key == "inx=")
                values.InX = FromCp1252(value);
            else if (key == "iny=")
                values.InY = FromCp1252(value);
            else if (key == "outx=")
                values.OutX = FromCp1252(value);
            else if (key == "outy=")
                values.OutY = FromCp1252(value);
        }
        if (lineEnd >= end)
            break;
        start = lineEnd + 1;
    }
    return values;
}

QByteArray FormatSettings(const QString &programName, const CodeTemplates &templates)
{
    const QString text = QLatin1Char('[') + programName + QStringLiteral(" settings]\r\n") +
                         QStringLiteral("\r\n") + QStringLiteral("[**General variables**]\r\n") +
                         QStringLiteral("Settingsfileversion=100\r\n") + QStringLiteral("InX=") + templates.InX +
                         QStringLiteral("\r\n") + QStringLiteral("InY=") + templates.InY + QStringLiteral("\r\n") +
                         QStringLiteral("OutX=") + templates.OutX + QStringLiteral("\r\n") + QStringLiteral("OutY=") +
                         templates.OutY + QStringLiteral("\r\n");
    return ToCp1252(text);
}
