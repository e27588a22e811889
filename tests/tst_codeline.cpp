// The code-line composer: padding, template filling and whole lines.

#include "WindowTestSupport.h"
#include "capture/CodeLine.h"

class TestCodeLine : public QObject
{
    Q_OBJECT
private slots:
    void padString_data();
    void padString();
    void fillTemplate_data();
    void fillTemplate();
    void composeCodeLine_data();
    void composeCodeLine();
    void yPartStartsInOneColumn();
};

void TestCodeLine::padString_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("s");
    QTest::addColumn<QString>("fill");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");

    QTest::newRow("left") << "L"
                          << "abc"
                          << " " << 6 << "abc   ";
    QTest::newRow("right") << "R"
                           << "abc"
                           << " " << 6 << "   abc";
    QTest::newRow("right, empty fill") << "R"
                                       << "abc"
                                       << "" << 5 << "  abc";
    QTest::newRow("left cuts") << "L"
                               << "abcdef"
                               << " " << 4 << "abcd";
    QTest::newRow("fill mode") << "F"
                               << "-"
                               << "" << 10 << "----------";
    QTest::newRow("fill repeats whole") << "F"
                                        << "ab"
                                        << " " << 3 << "ababab";
    QTest::newRow("long fill repeated whole") << "L"
                                              << "ab"
                                              << "xy" << 5 << "abxyxyxy";
    QTest::newRow("width 1 cuts result") << "L"
                                         << ""
                                         << "xy" << 1 << "x";
    QTest::newRow("width 0") << "L"
                             << "abc"
                             << " " << 0 << "";
    QTest::newRow("unknown mode") << "X"
                                  << "abc"
                                  << " " << 6 << "";
    QTest::newRow("modes are case-sensitive") << "l"
                                              << "abc"
                                              << " " << 6 << "";
    QTest::newRow("right cuts from the start") << "R"
                                               << "abcdef"
                                               << " " << 3 << "abc";
    QTest::newRow("fill mode cuts first") << "F"
                                          << "abc"
                                          << " " << 2 << "abab";
    QTest::newRow("negative width") << "L"
                                    << "abc"
                                    << " " << -5 << "";
    QTest::newRow("exact width") << "L"
                                 << "abc"
                                 << " " << 3 << "abc";
}

void TestCodeLine::padString()
{
    QFETCH(QString, mode);
    QFETCH(QString, s);
    QFETCH(QString, fill);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(PadString(mode, s, fill, width), expected);
}

void TestCodeLine::fillTemplate_data()
{
    QTest::addColumn<QString>("tpl");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("both placeholders") << "X_is[@@1]= @@2;"
                                       << "S1" << 120 << "X_is[S1]= 120;";
    QTest::newRow("neither: number, name, template") << "X"
                                                     << "S1" << 5 << "5S1X";
    QTest::newRow("only the first is replaced") << "@@1/@@1 @@2"
                                                << "A" << 1 << "A/@@1 1";
    QTest::newRow("name holding a placeholder") << "@@1@@2"
                                                << "k@@2" << 5 << "k5@@2";
    QTest::newRow("negative number") << "@@2"
                                     << "" << -3 << "-3";
    QTest::newRow("zero") << "v=@@2"
                          << "" << 0 << "v=0";
    QTest::newRow("extreme values") << "@@2"
                                    << "" << int(-2147483647 - 1) << "-2147483648";
    QTest::newRow("empty template") << ""
                                    << "S1" << 7 << "7S1";
    QTest::newRow("name with @@1 inside") << "[@@1]"
                                          << "@@1" << 0 << "0[@@1]";
}

void TestCodeLine::fillTemplate()
{
    QFETCH(QString, tpl);
    QFETCH(QString, name);
    QFETCH(int, value);
    QFETCH(QString, expected);
    QCOMPARE(FillTemplate(tpl, name, value), expected);
}

void TestCodeLine::composeCodeLine_data()
{
    QTest::addColumn<QString>("xTemplate");
    QTest::addColumn<QString>("yTemplate");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QString>("expected");

    const QString inX = QStringLiteral("   X_is[@@1]= @@2;");
    const QString inY = QStringLiteral("Y_is[@@1]= @@2;");
    const QString outX = QStringLiteral("   X_us[@@1]= @@2;");
    const QString outY = QStringLiteral("Y_us[@@1]= @@2;");
    const auto spaces = [](int n) { return QString(n, QLatin1Char(' ')); };

    QTest::newRow("worked example, inputs")
        << inX << inY << "S1" << 120 << 45 << "   X_is[S1]= 120;                 Y_is[S1]= 45;";
    QTest::newRow("worked example, outputs")
        << outX << outY << "S1" << 120 << 45 << "   X_us[S1]= 120;                 Y_us[S1]= 45;";
    QTest::newRow("empty name") << inX << inY << "" << 7 << 3 << "   X_is[]= 7;" + spaces(21) + "Y_is[]= 3;";
    QTest::newRow("name with blanks") << inX << inY << "  S 1 " << 0 << 0
                                      << "   X_is[  S 1 ]= 0;" + spaces(15) + "Y_is[  S 1 ]= 0;";
    QTest::newRow("long name cuts the X part")
        << inX << inY << "Sensor_links_achter_12" << 1234 << 5678
        << "   X_is[Sensor_links_achter_12]= 1Y_is[Sensor_links_achter_12]= 5678;";
    QTest::newRow("negative X") << inX << inY << "S1" << -3 << 0 << "   X_is[S1]= -3;" + spaces(18) + "Y_is[S1]= 0;";
    QTest::newRow("no name placeholder") << "X=@@2"
                                         << "Y=@@2"
                                         << "S1" << 5 << 6 << "S1X=5" + spaces(16) + "S1Y=6";
    QTest::newRow("no value placeholder") << "@@1"
                                          << "@@1"
                                          << "S1" << 5 << 6 << "5S1" + spaces(16) + "6S1";
    QTest::newRow("second placeholder stays") << "@@1/@@1 @@2"
                                              << "Y@@2"
                                              << "A" << 1 << 2 << "A/@@1 1" + spaces(20) + "AY2";
    QTest::newRow("name holding a placeholder") << "@@1@@2"
                                                << "@@1 @@2"
                                                << "k@@2" << 5 << 6 << "k5@@2" + spaces(17) + "k6 @@2";
}

void TestCodeLine::composeCodeLine()
{
    QFETCH(QString, xTemplate);
    QFETCH(QString, yTemplate);
    QFETCH(QString, name);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QString, expected);
    QCOMPARE(ComposeCodeLine(xTemplate, yTemplate, name, x, y), expected);
}

void TestCodeLine::yPartStartsInOneColumn()
{
    // For one template pair the Y part always starts in the same column,
    // whatever the name and numbers.
    const QString x = QStringLiteral("   X_is[@@1]= @@2;");
    const QString y = QStringLiteral("Y_is[@@1]= @@2;");
    for (const auto &[name, vx] : {std::pair{"", 0}, std::pair{"A", -99999}, std::pair{"Motor_3", 2147483647}}) {
        const QString line = ComposeCodeLine(x, y, QString::fromLatin1(name), vx, 1);
        QCOMPARE(line.indexOf(QLatin1String("Y_is")), x.size() + 16);
    }
}

VANTRIX_WINDOW_TEST_MAIN(TestCodeLine)
#include "tst_codeline.moc"
