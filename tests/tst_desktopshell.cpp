// The desktop shell: which launcher opens a document, and how its answer is
// taken, with real processes.

#include "WindowTestSupport.h"
#include "ui/DesktopShell.h"

#include <QElapsedTimer>
#include <QFile>

class TestDesktopShell : public QObject
{
    Q_OBJECT
private slots:
    void launcherAnswer_data();
    void launcherAnswer();
    void launcherStillRunningCountsAsOpened();
    void launcherFromPath_data();
    void launcherFromPath();
};

void TestDesktopShell::launcherAnswer_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<bool>("opened");
    QTest::newRow("ends well") << QStringList{QStringLiteral("true")} << true;
    QTest::newRow("fails") << QStringList{QStringLiteral("false")} << false;
    QTest::newRow("fails with its own code")
        << QStringList{QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("exit 3")} << false;
    QTest::newRow("killed") << QStringList{QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("kill $$")}
                            << false;
    QTest::newRow("not there") << QStringList{QStringLiteral("no-such-launcher-here")} << false;
    QTest::newRow("no command") << QStringList{} << false;
}

void TestDesktopShell::launcherAnswer()
{
    QFETCH(QStringList, command);
    QFETCH(bool, opened);
    QCOMPARE(DesktopShell::runLauncher(command), opened);
}

void TestDesktopShell::launcherStillRunningCountsAsOpened()
{
    QElapsedTimer clock;
    clock.start();
    QVERIFY(DesktopShell::runLauncher({QStringLiteral("sleep"), QStringLiteral("1")}, 100));
    QVERIFY(clock.elapsed() < 900);
}

void TestDesktopShell::launcherFromPath_data()
{
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<QStringList>("expected");
    const QString target = QStringLiteral("/map met spaties/Lees $(Mij).txt");
    QTest::newRow("xdg-open first") << QStringList{QStringLiteral("xdg-open"), QStringLiteral("gio")}
                                    << QStringList{QStringLiteral("xdg-open"), target};
    QTest::newRow("gio alone") << QStringList{QStringLiteral("gio")}
                               << QStringList{QStringLiteral("gio"), QStringLiteral("open"), target};
    QTest::newRow("none") << QStringList{} << QStringList{};
}

void TestDesktopShell::launcherFromPath()
{
    QFETCH(QStringList, programs);
    QFETCH(QStringList, expected);
    QTemporaryDir bin;
    for (const QString &program : programs) {
        const QString path = bin.filePath(program);
        QVERIFY(writeWholeFile(path, "#!/bin/sh\nexit 0\n"));
        QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    QStringList command = DesktopShell::launcherCommand(QStringLiteral("/map met spaties/Lees $(Mij).txt"));
    qputenv("PATH", savedPath);
    if (!command.isEmpty())
        command.front() = command.front().mid(bin.path().size() + 1);
    QCOMPARE(command, expected);
}

VANTRIX_WINDOW_TEST_MAIN(TestDesktopShell)
#include "tst_desktopshell.moc"
