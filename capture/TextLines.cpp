#include "capture/TextLines.h"

#include <QTextBlock>
#include <QTextDocument>

namespace TextLines {

QString caretLine(const QTextDocument &document, int position)
{
    return document.findBlock(position).text().left(MaxNameLength);
}

QTextCursor appendLine(QTextDocument &document, const QString &line)
{
    // The text ends in a line break exactly when its last line is empty.
    const bool endsWithBreak = document.lastBlock().text().isEmpty();
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(endsWithBreak ? line + QLatin1Char('\n') : QLatin1Char('\n') + line);
    return cursor;
}

int halfToEven(int height)
{
    const int half = height / 2;
    if (height % 2 == 0)
        return half;
    return half % 2 == 0 ? half : half + 1;
}

} // namespace TextLines
