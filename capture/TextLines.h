#pragma once
// The text rules of the lists, apart from any window: which line names the
// caret, how a line is appended, and how the two name lists share a height.

#include <QString>
#include <QTextCursor>

class QTextDocument;

namespace TextLines {

// Longest name text a line gives.
constexpr int MaxNameLength = 4096;

// The line holding Position (the end of the selection), without its line
// break, at most MaxNameLength characters.
QString caretLine(const QTextDocument &document, int position);

// Appends Line as the new last line: after the final line break, or with a
// line break in front when the text does not end in one. Returns a cursor
// after the inserted text.
QTextCursor appendLine(QTextDocument &document, const QString &line);

// Half a height, exact halves to the even neighbour.
int halfToEven(int height);

} // namespace TextLines
