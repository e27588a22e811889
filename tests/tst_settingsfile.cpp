// Parsing and formatting the settings file, window-free.

#include "WindowTestSupport.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLocation.h"

#include <QDir>

#include <unistd.h>

using Expected = QStringList; // InX, InY, OutX, OutY; "<none>" where the key is absent

namespace {

const QString None = QStringLiteral("<none>");

QStringList found(const SettingsValues &v)
{
    return {v.InX.value_or(None), v.InY.value_or(None), v.OutX.value_or(None), v.OutY.value_or(None)};
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void formatExactBytes();
    void roundTrip_data();
    void roundTrip();
    void cp1252AllBytes();
    void unrepresentableBecomesQuestionMark();
    void veryLongLine();
    void whereTheFileLives_data();
    void whereTheFileLives();
};

void TestSettingsFile::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("written file") << QByteArray("[Vantrix settings]\r\n\r\n[**General variables**]\r\n"
                                                "Settingsfileversion=100\r\nInX=a\r\nInY=b\r\nOutX=c\r\nOutY=d\r\n")
                                  << QStringList{"a", "b", "c", "d"};
    QTest::newRow("capital key") << QByteArray("OUTY=abc") << QStringList{None, None, None, "abc"};
    QTest::newRow("value kept whole") << QByteArray("InX=  a=b  \r\n") << QStringList{"  a=b  ", None, None, None};
    QTest::newRow("empty value") << QByteArray("InX=\r\n") << QStringList{"", None, None, None};
    QTest::newRow("blank before key") << QByteArray(" InX=a\r\n") << QStringList{None, None, None, None};
    QTest::newRow("blank before =") << QByteArray("InX =a\r\n") << QStringList{None, None, None, None};
    QTest::newRow("last occurrence wins") << QByteArray("InY=1\r\nInY=2\r\n") << QStringList{None, "2", None, None};
    QTest::newRow("before the header") << QByteArray("OutX=z\r\n[Vantrix settings]\r\n")
                                       << QStringList{None, None, "z", None};
    QTest::newRow("LF only") << QByteArray("InX=a\nInY=b\nOutX=c\nOutY=d\n") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("no final line break") << QByteArray("InX=a\r\nOutY=d") << QStringList{"a", None, None, "d"};
    QTest::newRow("empty file") << QByteArray() << QStringList{None, None, None, None};
    QTest::newRow("lone CR stays in the value")
        << QByteArray("InX=a\rInY=b\n") << QStringList{"a\rInY=b", None, None, None};
    QTest::newRow("0x1A ends the file") << QByteArray("InX=a\r\n\x1AInY=b\r\n") << QStringList{"a", None, None, None};
    QTest::newRow("0x1A inside a value") << QByteArray("InX=ab\x1A"
                                                       "cd\r\n")
                                         << QStringList{"ab", None, None, None};
    QTest::newRow("UTF-8 byte-order mark hides the first key")
        << QByteArray("\xEF\xBB\xBFInX=a\r\nInY=b\r\n") << QStringList{None, "b", None, None};
    QTest::newRow("byte-order mark before the header is harmless")
        << QByteArray("\xEF\xBB\xBF[Vantrix settings]\r\nInX=a\r\n") << QStringList{"a", None, None, None};
    QTest::newRow("NUL bytes are kept") << QByteArray("InX=a\0b\r\n", 9)
                                        << QStringList{QString::fromLatin1("a\0b", 3), None, None, None};
    QTest::newRow("other keys ignored") << QByteArray("InZ=1\r\nSettingsfileversion=7\r\nInXX=2\r\n")
                                        << QStringList{None, None, None, None};
    QTest::newRow("lower-case only A-Z") << QByteArray("\xC9nX=1\r\n") << QStringList{None, None, None, None};
    QTest::newRow("high bytes decoded as 1252")
        << QByteArray("InX=\x80\xE9\r\n") << QStringList{QString::fromUtf8("€é"), None, None, None};
}

void TestSettingsFile::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(found(parseSettings(bytes)), expected);
}

void TestSettingsFile::formatExactBytes()
{
    const CodeTemplates t{QStringLiteral("   X_is[@@1]= @@2;"), QStringLiteral("Y_is[@@1]= @@2;"),
                          QStringLiteral("   X_us[@@1]= @@2;"), QString()};
    QCOMPARE(formatSettings(QStringLiteral("Vantrix"), t), QByteArray("[Vantrix settings]\r\n"
                                                                      "\r\n"
                                                                      "[**General variables**]\r\n"
                                                                      "Settingsfileversion=100\r\n"
                                                                      "InX=   X_is[@@1]= @@2;\r\n"
                                                                      "InY=Y_is[@@1]= @@2;\r\n"
                                                                      "OutX=   X_us[@@1]= @@2;\r\n"
                                                                      "OutY=\r\n"));
}

void TestSettingsFile::roundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("leading blanks") << "   X_is[@@1]= @@2;";
    QTest::newRow("empty") << "";
    QTest::newRow("equals signs") << "a=b=c";
    QTest::newRow("trailing blanks") << "x  ";
    QTest::newRow("1252 letters") << QString::fromUtf8("Kopiëren € “quoted” — ÿ");
    QTest::newRow("brackets and semicolons") << "[**x**];#";
}

void TestSettingsFile::roundTrip()
{
    QFETCH(QString, value);
    const CodeTemplates t{value, value + QLatin1Char('1'), value + QLatin1Char('2'), value + QLatin1Char('3')};
    CodeTemplates back;
    parseSettings(formatSettings(QStringLiteral("Vantrix"), t)).applyTo(back);
    QCOMPARE(back.InX, t.InX);
    QCOMPARE(back.InY, t.InY);
    QCOMPARE(back.OutX, t.OutX);
    QCOMPARE(back.OutY, t.OutY);
}

void TestSettingsFile::cp1252AllBytes()
{
    // Every byte 0x20..0xFF decodes to one character and encodes back to itself.
    QByteArray all;
    for (int b = 0x20; b <= 0xFF; ++b)
        all.append(char(b));
    const QString text = fromCp1252(all);
    QCOMPARE(text.size(), all.size());
    QCOMPARE(toCp1252(text), all);
    QCOMPARE(text.at(0x80 - 0x20), QChar(0x20AC));
    QCOMPARE(text.at(0x9F - 0x20), QChar(0x0178));
}

void TestSettingsFile::unrepresentableBecomesQuestionMark()
{
    QCOMPARE(toCp1252(QString::fromUtf8("a→b漢")), QByteArray("a?b?"));
}

void TestSettingsFile::veryLongLine()
{
    const QByteArray value(5'000'000, 'x');
    const SettingsValues v = parseSettings("InX=" + value + "\r\nOutY=end\r\n");
    QCOMPARE(v.InX->size(), value.size());
    QCOMPARE(*v.OutY, QStringLiteral("end"));
}

namespace {

// What the user can do with the program's folder, its settings file and
// their own copy.
enum class Folder { Writable, ReadOnly };
enum class File { None, Writable, ReadOnly };

// The superuser may write anywhere: the question is asked as an ordinary
// user while the object lives.
class AsOrdinaryUser
{
public:
    static constexpr uid_t Nobody = 65534;
    AsOrdinaryUser()
    {
        if (geteuid() == 0) {
            m_was = 0;
            QVERIFY(setegid(Nobody) == 0 && seteuid(Nobody) == 0);
        }
    }
    ~AsOrdinaryUser()
    {
        if (m_was == 0) {
            QVERIFY(seteuid(0) == 0 && setegid(0) == 0);
        }
    }

private:
    int m_was = -1;
};

void makeFile(const QString &path, File kind)
{
    if (kind == File::None)
        return;
    QVERIFY(writeWholeFile(path, "InX=a\r\n"));
    QVERIFY(
        QFile::setPermissions(path, kind == File::Writable ? QFile::Permissions(0x6666) : QFile::Permissions(0x4444)));
}

} // namespace

void TestSettingsFile::whereTheFileLives_data()
{
    QTest::addColumn<int>("folder");
    QTest::addColumn<int>("beside");
    QTest::addColumn<QString>("configHome"); // "<abs>" for a folder of the test's own
    QTest::addColumn<bool>("ownCopy");
    QTest::addColumn<QString>("read");  // beside, own, or none
    QTest::addColumn<QString>("write"); // beside, own or a path below the home folder

    const int writable = int(Folder::Writable), readOnly = int(Folder::ReadOnly);
    const int none = int(File::None), fileWritable = int(File::Writable), fileReadOnly = int(File::ReadOnly);
    const QString abs = QStringLiteral("<abs>");
    QTest::newRow("writable folder never touches the own copy") << writable << none << abs << true << "beside"
                                                                << "beside";
    QTest::newRow("writable folder, read-only file") << writable << fileReadOnly << abs << false << "beside"
                                                     << "beside";
    QTest::newRow("read-only folder, writable file") << readOnly << fileWritable << abs << true << "beside"
                                                     << "beside";
    QTest::newRow("installed: no file anywhere") << readOnly << none << abs << false << "beside"
                                                 << "own";
    QTest::newRow("installed: administrator's defaults") << readOnly << fileReadOnly << abs << false << "beside"
                                                         << "own";
    QTest::newRow("installed: the own copy first") << readOnly << fileReadOnly << abs << true << "own"
                                                   << "own";
    QTest::newRow("config home unset") << readOnly << none << "" << false << "beside"
                                       << "home";
    QTest::newRow("config home relative") << readOnly << none << "config" << false << "beside"
                                          << "home";
    QTest::newRow("config home is a file") << readOnly << none << "<file>" << false << "beside"
                                           << "file";
}

void TestSettingsFile::whereTheFileLives()
{
    QFETCH(int, folder);
    QFETCH(int, beside);
    QFETCH(QString, configHome);
    QFETCH(bool, ownCopy);
    QFETCH(QString, read);
    QFETCH(QString, write);

    QTemporaryDir root;
    QVERIFY(QFile::setPermissions(root.path(), QFile::Permissions(0x7755)));
    const QString program = root.filePath(QStringLiteral("program/"));
    const QString config = root.filePath(QStringLiteral("config"));
    const QString home = root.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(program) && QDir().mkpath(config + QStringLiteral("/vantrix")));
    const QString name = QStringLiteral("Vantrix.ini");
    makeFile(program + name, File(beside));
    if (ownCopy)
        makeFile(config + QStringLiteral("/vantrix/") + name, File::Writable);
    if (configHome == QLatin1String("<abs>"))
        configHome = config;
    if (configHome == QLatin1String("<file>")) {
        configHome = root.filePath(QStringLiteral("plain-file"));
        makeFile(configHome, File::Writable);
    }
    const QFile::Permissions folderMode =
        Folder(folder) == Folder::Writable ? QFile::Permissions(0x7777) : QFile::Permissions(0x5555);
    QVERIFY(QFile::setPermissions(program, folderMode));
    QVERIFY(QFile::setPermissions(config, QFile::Permissions(0x7777)));

    SettingsPaths paths;
    {
        AsOrdinaryUser ordinary;
        paths = settingsPaths(program, name, configHome, home);
    }
    const QHash<QString, QString> places = {
        {QStringLiteral("beside"), program + name},
        {QStringLiteral("own"), config + QStringLiteral("/vantrix/") + name},
        {QStringLiteral("home"), home + QStringLiteral("/.config/vantrix/") + name},
        {QStringLiteral("file"), configHome + QStringLiteral("/vantrix/") + name},
    };
    QCOMPARE(paths.read, places.value(read));
    QCOMPARE(paths.write, places.value(write));
    QVERIFY(QFile::setPermissions(program, QFile::Permissions(0x7777)));
}

VANTRIX_WINDOW_TEST_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
