// The version reader: our own executable, a PE file made by standard tools,
// and files without or with a damaged record.

#include "WindowTestSupport.h"
#include "info/VersionInfoReader.h"
#include "info/VersionRecord.h"

#include <QFile>

class TestVersionReader : public QObject
{
    Q_OBJECT
private slots:
    void ownExecutable_data();
    void ownExecutable();
    void emptyFileNameReadsRunningExecutable();
    void peFileFromStandardTools();
    void filesWithoutRecord_data();
    void filesWithoutRecord();
    void damagedImagesNeverCrash();
    void missingStringIsEmpty();
    void queryPaths_data();
    void queryPaths();
};

void TestVersionReader::ownExecutable_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("the program") << QStringLiteral(VANTRIX_EXECUTABLE);
    QTest::newRow("this test") << runningExecutablePath();
    QTest::newRow("PE file linked by lld-link") << QStringLiteral(VANTRIX_TEST_DLL);
}

void TestVersionReader::ownExecutable()
{
    QFETCH(QString, path);
    TVersionInfoReader reader(nullptr);
    reader.setFileName(path);
    QVERIFY(reader.infoLoaded());
    const VersionNumber v = reader.GetVersionNumber();
    QCOMPARE(v.Major, 1);
    QCOMPARE(v.Minor, 3);
    QCOMPARE(v.Release, 0);
    QCOMPARE(v.Build, 19);
    QCOMPARE(reader.translationKey(), QStringLiteral("041304E4"));
    QCOMPARE(reader.GetStringByIndex(10), QStringLiteral("11.02.2009"));
    QCOMPARE(reader.GetStringByIndex(3), QStringLiteral("1.3.0.19"));
    QCOMPARE(reader.GetStringByIndex(9), QStringLiteral("Vantrix"));
    QCOMPARE(reader.GetStringByIndex(4), QStringLiteral("Vantrix"));
    // The record spells "OriginalFilename"; keys match without regard to case.
    QCOMPARE(reader.GetStringByIndex(7), QStringLiteral("Vantrix"));
    QCOMPARE(reader.GetStringByIndex(0), QString());
    QCOMPARE(reader.GetStringByIndex(2), QString());
}

void TestVersionReader::emptyFileNameReadsRunningExecutable()
{
    TVersionInfoReader reader(nullptr);
    QCOMPARE(reader.fileName(), runningExecutablePath());
    QCOMPARE(reader.GetVersionNumber().Build, 19);
    reader.setFileName(QStringLiteral("/nonexistent/file"));
    QCOMPARE(reader.GetVersionNumber().Major, 0);
    reader.setFileName(QString());
    QCOMPARE(reader.GetVersionNumber().Major, 1);
}

void TestVersionReader::peFileFromStandardTools()
{
    // The record found in the PE file is byte for byte the one we embed.
    QCOMPARE(VersionRecord::readFromFile(QStringLiteral(VANTRIX_TEST_DLL)),
             VersionRecord::readFromFile(QStringLiteral(VANTRIX_EXECUTABLE)));
}

void TestVersionReader::filesWithoutRecord_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray exe = readWholeFile(QStringLiteral(VANTRIX_EXECUTABLE));
    const QByteArray record = VersionRecord::findInImage(exe);
    QVERIFY(!record.isEmpty());
    const qsizetype at = exe.indexOf(record);
    QVERIFY(at > 0);

    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text") << QByteArray("just some text\n");
    QTest::newRow("ELF without the section") << readWholeFile(QStringLiteral("/bin/true"));
    QTest::newRow("ELF header only") << exe.left(64);
    QTest::newRow("truncated inside the record") << exe.left(at + 10);
    QByteArray zeroLength = exe;
    zeroLength[at] = 0;
    zeroLength[at + 1] = 0;
    QTest::newRow("record length 0") << zeroLength;
    QByteArray tooLong = exe;
    tooLong[at] = char(0xFF);
    tooLong[at + 1] = char(0xFF);
    QTest::newRow("record longer than its section") << tooLong;
    QByteArray sectionsGone = exe;
    // Point the section table past the end of the file.
    sectionsGone[0x28] = char(0xF0);
    sectionsGone[0x2F] = char(0x7F);
    QTest::newRow("section table outside the file") << sectionsGone;
    const QByteArray dll = readWholeFile(QStringLiteral(VANTRIX_TEST_DLL));
    QTest::newRow("PE truncated") << dll.left(dll.size() / 2);
    QByteArray badPe = dll;
    badPe[0x3C] = char(0xF0);
    QTest::newRow("PE header offset outside") << badPe;
}

void TestVersionReader::filesWithoutRecord()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("file.bin"));
    QVERIFY(writeWholeFile(path, content));
    TVersionInfoReader reader(nullptr);
    reader.setFileName(path);
    QVERIFY(!reader.infoLoaded());
    const VersionNumber v = reader.GetVersionNumber();
    QCOMPARE(v.Major + v.Minor + v.Release + v.Build, 0);
    for (int i = 0; i < 12; ++i)
        QCOMPARE(reader.GetStringByIndex(i), QString());
    QCOMPARE(reader.translationKey(), QString());
}

void TestVersionReader::damagedImagesNeverCrash()
{
    // Every truncation of the PE file, and every single-byte change of the
    // record area, answers with bytes of its own input or nothing: never
    // bytes from outside, and a damaged record whose lookups still succeed
    // gives values that stand in it.
    const QByteArray dll = readWholeFile(QStringLiteral(VANTRIX_TEST_DLL));
    QVERIFY(!dll.isEmpty());
    const QByteArray record = VersionRecord::findInImage(dll);
    QVERIFY(!record.isEmpty());
    for (qsizetype cut = 0; cut < dll.size(); cut += 7) {
        const QByteArray found = VersionRecord::findInImage(dll.left(cut));
        QVERIFY(found.isEmpty() || (found.size() <= cut && dll.left(cut).contains(found)));
    }
    const QStringList paths = {QStringLiteral("\\StringFileInfo\\041304E4\\ProductVersion"),
                               QStringLiteral("\\VarFileInfo\\Translation"), QStringLiteral("\\")};
    for (qsizetype i = 0; i < record.size(); ++i) {
        for (const char value : {char(0), char(0xFF), char(0x7F)}) {
            QByteArray damaged = record;
            damaged[i] = value;
            for (const QString &path : paths) {
                QByteArray out;
                if (VersionRecord::Query(damaged, path, &out))
                    QVERIFY2(damaged.contains(out), qPrintable(QStringLiteral("%1 at %2").arg(path).arg(i)));
            }
        }
    }
}

void TestVersionReader::missingStringIsEmpty()
{
    TVersionInfoReader reader(nullptr);
    QCOMPARE(reader.GetStringByIndex(8), QString()); // PrivateBuild is not in the record
    QCOMPARE(reader.GetStringByIndex(11), QString());
    QCOMPARE(reader.GetStringByIndex(12), QString());
    QCOMPARE(reader.GetStringByIndex(-1), QString());
}

void TestVersionReader::queryPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("size");
    QTest::newRow("fixed part") << "\\" << true << 52;
    QTest::newRow("translation") << "\\VarFileInfo\\Translation" << true << 4;
    QTest::newRow("case-insensitive") << "\\varfileinfo\\TRANSLATION" << true << 4;
    QTest::newRow("string") << "\\StringFileInfo\\041304E4\\ProductVersion" << true << 22;
    QTest::newRow("wrong translation") << "\\StringFileInfo\\040904B0\\ProductVersion" << false << 0;
    QTest::newRow("unknown block") << "\\Nothing" << false << 0;
}

void TestVersionReader::queryPaths()
{
    QFETCH(QString, path);
    QFETCH(bool, found);
    QFETCH(int, size);
    const QByteArray record = VersionRecord::readFromFile(QStringLiteral(VANTRIX_EXECUTABLE));
    QByteArray value;
    QCOMPARE(VersionRecord::Query(record, path, &value), found);
    if (found)
        QCOMPARE(value.size(), size);
}

VANTRIX_WINDOW_TEST_MAIN(TestVersionReader)
#include "tst_versionreader.moc"
