// The text rules of the lists without a window: the caret's line, appending
// a line, and the halves of the name column.

#include "capture/TextLines.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

class TestTextLines : public QObject
{
    Q_OBJECT
private slots:
    void caretLine_data();
    void caretLine();
    void appendLine_data();
    void appendLine();
    void halfToEven_data();
    void halfToEven();
};

void TestTextLines::caretLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("line");
    QTest::newRow("first line") << QStringLiteral("S1\nS2") << 1 << QStringLiteral("S1");
    QTest::newRow("end of the last") << QStringLiteral("S1\nS2") << 5 << QStringLiteral("S2");
    QTest::newRow("start of a line") << QStringLiteral("first\nsecond\nthird") << 13 << QStringLiteral("third");
    QTest::newRow("after the final break") << QStringLiteral("S1\n") << 3 << QString();
    QTest::newRow("empty text") << QString() << 0 << QString();
    QTest::newRow("long line cut") << QString(5000, QLatin1Char('n')) << 10 << QString(4096, QLatin1Char('n'));
}

void TestTextLines::caretLine()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, line);
    const QTextDocument document(text);
    QCOMPARE(TextLines::caretLine(document, position), line);
}

void TestTextLines::appendLine_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("empty") << QString() << QStringLiteral("L\n");
    QTest::newRow("after a break") << QStringLiteral("a\n") << QStringLiteral("a\nL\n");
    // Typed text without a final line break gets one in front of the line.
    QTest::newRow("typed without a break") << QStringLiteral("typed") << QStringLiteral("typed\nL");
}

void TestTextLines::appendLine()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QTextDocument document(before);
    const QTextCursor cursor = TextLines::appendLine(document, QStringLiteral("L"));
    QCOMPARE(document.toPlainText(), after);
    QCOMPARE(cursor.position(), document.characterCount() - 1);
}

void TestTextLines::halfToEven_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("half");
    QTest::newRow("353") << 353 << 176;
    QTest::newRow("351") << 351 << 176;
    QTest::newRow("355") << 355 << 178;
    QTest::newRow("352") << 352 << 176;
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("3") << 3 << 2;
    QTest::newRow("0") << 0 << 0;
}

void TestTextLines::halfToEven()
{
    QFETCH(int, height);
    QFETCH(int, half);
    QCOMPARE(TextLines::halfToEven(height), half);
}

QTEST_MAIN(TestTextLines)
#include "tst_textlines.moc"
