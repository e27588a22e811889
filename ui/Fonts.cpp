#include "ui/Fonts.h"

#include <QStringList>

namespace {

QFont makeFont(const QStringList &families, int pixelHeight, QFont::StyleHint hint)
{
    QFont font(families.front());
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPixelSize(pixelHeight);
    return font;
}

} // namespace

QFont windowFont()
{
    return makeFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")}, 11,
                    QFont::SansSerif);
}

QFont listFont()
{
    return makeFont({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")}, 11, QFont::TypeWriter);
}

QFont arialFont(int pixelHeight, bool bold)
{
    QFont font = makeFont({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}, pixelHeight, QFont::SansSerif);
    font.setBold(bold);
    return font;
}
