#include "settings/SettingsFile.h"

#include "base/Cp1252.h"

namespace {

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

SettingsValues parseSettings(const QByteArray &bytes)
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
                values.InX = fromCp1252(value);
            else if (key == "iny=")
                values.InY = fromCp1252(value);
            else if (key == "outx=")
                values.OutX = fromCp1252(value);
            else if (key == "outy=")
                values.OutY = fromCp1252(value);
        }
        if (lineEnd >= end)
            break;
        start = lineEnd + 1;
    }
    return values;
}

QByteArray formatSettings(const QString &programName, const CodeTemplates &templates)
{
    const QString text = QLatin1Char('[') + programName + QStringLiteral(" settings]\r\n") + QStringLiteral("\r\n") +
                         QStringLiteral("[**General variables**]\r\n") + QStringLiteral("Settingsfileversion=100\r\n") +
                         QStringLiteral("InX=") + templates.InX + QStringLiteral("\r\n") + QStringLiteral("InY=") +
                         templates.InY + QStringLiteral("\r\n") + QStringLiteral("OutX=") + templates.OutX +
                         QStringLiteral("\r\n") + QStringLiteral("OutY=") + templates.OutY + QStringLiteral("\r\n");
    return toCp1252(text);
}
