#include "metafile/GlyphText.h"

#include <QFont>
#include <QHash>
#include <QMutex>
#include <QRawFont>
#include <QVector>

#include <memory>

namespace {

// The characters of one installed face, by glyph number.
struct Numbering {
    QHash<quint32, char16_t> characters;
    bool standardOrder = false;
};

// The lowest character of each glyph the face's cmap reaches in the basic
// plane, so a glyph shared by a space and a no-break space reads as a space.
std::shared_ptr<const Numbering> readNumbering(const QRawFont &font)
{
    QVector<QChar> all;
    for (char32_t u = 0x20; u <= 0xFFFF; ++u)
        if (!QChar::isSurrogate(u))
            all.append(QChar(char16_t(u)));
    QVector<quint32> glyphs(all.size());
    int count = int(glyphs.size());
    auto numbering = std::make_shared<Numbering>();
    if (!font.glyphIndexesForChars(all.constData(), int(all.size()), glyphs.data(), &count))
        return numbering;
    for (int i = 0; i < count; ++i)
        if (glyphs[i] != 0 && !numbering->characters.contains(glyphs[i]))
            numbering->characters.insert(glyphs[i], all[i].unicode());
    // In the standard order the letters and digits sit 29 below their codes.
    constexpr quint32 StandardOffset = 29;
    numbering->standardOrder = true;
    for (const char *range : {"AZ", "az", "09"})
        for (char c = range[0]; c <= range[1]; ++c)
            if (font.glyphIndexesForString(QString(QChar(c))).value(0) != quint32(c) - StandardOffset)
                numbering->standardOrder = false;
    return numbering;
}

// Faces are read once each; only installed faces are keys, so the cache
// stays as small as the font list.
std::shared_ptr<const Numbering> numberingOf(const QRawFont &font)
{
    static QMutex mutex;
    static QHash<QString, std::shared_ptr<const Numbering>> cache;
    const QString key = font.familyName() + QLatin1Char('/') + font.styleName();
    QMutexLocker lock(&mutex);
    std::shared_ptr<const Numbering> &entry = cache[key];
    if (!entry)
        entry = readNumbering(font);
    return entry;
}

} // namespace

QString GlyphText::charactersOf(const QString &face, const QString &glyphs)
{
    constexpr int ProbePixels = 32;
    QFont wanted(face);
    wanted.setPixelSize(ProbePixels);
    const QRawFont font = QRawFont::fromFont(wanted);
    QString text(glyphs.size(), QChar(Unknown));
    if (!font.isValid())
        return text;
    const bool installed = font.familyName().compare(face, Qt::CaseInsensitive) == 0;
    const std::shared_ptr<const Numbering> numbering = numberingOf(font);
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        const quint32 glyph = glyphs[i].unicode();
        if (installed || (numbering->standardOrder && glyph < StandardGlyphs))
            text[i] = QChar(numbering->characters.value(glyph, Unknown));
    }
    return text;
}
