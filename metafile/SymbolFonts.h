#pragma once
// Fonts whose codes stand for symbols rather than letters: Symbol's Greek
// letters and mathematical signs, and the pictures of dingbat faces.

#include <QString>

namespace SymbolFonts {

// [MS-WMF] 2.1.1.5 CharacterSet: SYMBOL_CHARSET.
constexpr int SymbolCharset = 2;

// Whether a font of this face and character set draws symbols for its codes.
bool isSymbolFont(const QString &face, int charset);

// The text as characters any face can draw: Symbol's codes as the Unicode
// characters they stand for; the codes of other symbol fonts moved into the
// private-use block where such faces keep their glyphs, so an installed
// face draws its pictures and a missing one shows that something is there
// rather than Latin letters that were never meant.
QString readable(const QString &face, int charset, const QString &text);

// Whether readable() turns this face's codes into Unicode characters, which
// a text face then draws better than the symbol face itself.
bool mapsToUnicode(const QString &face);

// Whether the installed face of this family keeps symbols, not letters.
bool isSymbolFamily(const QString &family);

// Debian keeps free faces of Wingdings and Webdings (fonts-wine) outside
// the font path: the first time a picture names either, those files are
// made known by name, where they exist. Call before resolving a face;
// every caller waits until that is done, so all draw alike.
void makeKnown(const QString &face);

} // namespace SymbolFonts
