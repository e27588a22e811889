#include "capture/CodeLine.h"

#include <algorithm>

namespace {

const QString NamePlaceholder = QStringLiteral("@@1");
const QString ValuePlaceholder = QStringLiteral("@@2");

// Inserts Text where the first Placeholder stands (at the start when there
// is none), then removes the first Placeholder of the result.
void substitute(QString &text, const QString &placeholder, const QString &insert)
{
    const qsizetype at = text.indexOf(placeholder);
    text.insert(std::max<qsizetype>(at, 0), insert);
    const qsizetype again = text.indexOf(placeholder);
    if (again >= 0)
        text.remove(again, placeholder.size());
}

} // namespace

QString PadString(const QString &Mode, const QString &S, const QString &Fill, std::int32_t Width)
{
    const qsizetype width = std::clamp<std::int32_t>(Width, 0, 65535);
    const QString fill = Fill.isEmpty() ? QStringLiteral(" ") : Fill;
    const QString s = width < S.size() ? S.left(width) : S;
    const qsizetype n = width - s.size();

    QString result;
    if (Mode == QLatin1String("L"))
        result = s + fill.repeated(n);
    else if (Mode == QLatin1String("R"))
        result = fill.repeated(n) + s;
    else if (Mode == QLatin1String("F"))
        result = s.repeated(width);

    if (width == 1)
        result.truncate(1);
    return result;
}

QString FillTemplate(const QString &Template, const QString &NameText, std::int32_t Value)
{
    QString text = Template;
    substitute(text, NamePlaceholder, NameText);
    substitute(text, ValuePlaceholder, QString::number(Value));
    return text;
}

QString ComposeCodeLine(const QString &XTemplate, const QString &YTemplate, const QString &NameText, std::int32_t X,
                        std::int32_t Y)
{
    const auto width = std::int32_t(std::min<qsizetype>(XTemplate.size() + 16, 65535));
    const QString xPart =
        PadString(QStringLiteral("L"), FillTemplate(XTemplate, NameText, X), QStringLiteral(" "), width);
    return xPart + FillTemplate(YTemplate, NameText, Y);
}
