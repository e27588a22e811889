#pragma once
// Text written as glyph numbers of a named font rather than as characters,
// as printer drivers and browsers write it. The numbers are turned back
// into the characters those glyphs draw, through the cmap of the face that
// stands in for the font here, so the text can be drawn in any face.

#include <QString>

namespace GlyphText {

// Stands for a glyph no face here can name. A reader without the font
// cannot know which letter that glyph drew; a letter of another script in
// its place would tell the reader something the file never said.
constexpr char16_t Unknown = 0xFFFD;

// Glyph numbers below this follow the standard Macintosh glyph order in
// faces built on it (TrueType 'post' table, format 1 names), as the classic
// Windows faces and their metric-compatible stand-ins are.
constexpr quint32 StandardGlyphs = 258;

// The characters drawn by the glyphs numbered by the code units of Glyphs
// in the font called Face: all its numbers when that face is installed,
// those of the standard order when a face built on that order stands in.
QString charactersOf(const QString &face, const QString &glyphs);

} // namespace GlyphText
