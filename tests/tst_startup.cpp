// Start-up and end of the program: windows, identity, title, busy pointer,
// first activation, the failure box and the exit code.

#include "AppTestSupport.h"
#include "WindowControls.h"
#include "base/Failure.h"
#include "capture/HoofdUnit.h"
#include "info/OpstartInfo.h"
#include "info/VersionInfoReader.h"
#include "settings/InstellingenUnit.h"
#include "ui/HandlerGuard.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>

#include <csignal>

namespace {

// An object whose event handler fails.
class FailingObject : public QObject
{
public:
    QString message;
    bool ranAfterFailure = false;
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User) {
            throw VantrixError(message);
            ranAfterFailure = true; // never reached
        }
        return QObject::event(e);
    }
};

} // namespace

class TestStartUp : public QObject
{
    Q_OBJECT
private slots:
    void qtTextsInTheUsersLanguage();
    void init();
    void cleanup();
    void windowsExistWithTheirNames();
    void identityAndTitle();
    void identityTextsAreNotPlainInTheBinary();
    void busyPointerUntilFirstActivation();
    void activationStepsRunOnce();
    void environmentValues();
    void addBackslash_data();
    void addBackslash();
    void failureText_data();
    void failureText();
    void failureInHandlerIsShownAndLoopGoesOn();
    void terminationWritesSettingsAndExitsZero();

private:
    std::unique_ptr<TemporaryAppPath> m_appPath;
};

void TestStartUp::init()
{
    m_appPath = std::make_unique<TemporaryAppPath>();
    createApplicationWindows();
}

void TestStartUp::cleanup()
{
    destroyApplicationWindows();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    m_appPath.reset();
}

void TestStartUp::windowsExistWithTheirNames()
{
    QVERIFY(HoofdForm && InstellingenForm && OpstartInfoForm);
    QCOMPARE(HoofdForm->objectName(), QStringLiteral("HoofdForm"));
    QCOMPARE(InstellingenForm->objectName(), QStringLiteral("InstellingenForm"));
    QCOMPARE(OpstartInfoForm->objectName(), QStringLiteral("OpstartInfoForm"));
    QVERIFY(!InstellingenForm->isVisible());
    QVERIFY(!OpstartInfoForm->isVisible());
    QVERIFY(HoofdForm->versionInfo());
    QCOMPARE(HoofdForm->versionInfo()->parent(), HoofdForm);
}

void TestStartUp::identityAndTitle()
{
    QCOMPARE(ProgramName, QStringLiteral("Vantrix"));
    QCOMPARE(ApplicationTitle, QStringLiteral("Vantrix 1.3.0"));
    QCOMPARE(HoofdForm->windowTitle(), ApplicationTitle);
    QCOMPARE(MainControls(HoofdForm).Weblink1->text(), WebAddress);
    QVERIFY(WebAddress.startsWith(QLatin1String("https://")));
    QVERIFY(!CopyrightText.isEmpty());
    QCOMPARE(IniFileName, QStringLiteral("Vantrix.ini"));
    HoofdForm->show();
    QVERIFY(QTest::qWaitForWindowActive(HoofdForm));
    QCOMPARE(QApplication::focusWidget(), MainControls(HoofdForm).Memo1);
}

void TestStartUp::identityTextsAreNotPlainInTheBinary()
{
    QFile exe(QStringLiteral(VANTRIX_EXECUTABLE));
    QVERIFY(exe.open(QIODevice::ReadOnly));
    const QByteArray image = exe.readAll();
    QVERIFY(!image.contains(WebAddress.toLatin1()));
    QVERIFY(!image.contains(CopyrightText.toLatin1()));
    QVERIFY(!image.contains(CopyrightText.toUtf8()));
}

void TestStartUp::busyPointerUntilFirstActivation()
{
    // Created by the information window, ended by the first activation.
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    HoofdForm->show();
    QVERIFY(QTest::qWaitForWindowActive(HoofdForm));
    QVERIFY(!QApplication::overrideCursor());
}

void TestStartUp::activationStepsRunOnce()
{
    QFile ini(m_appPath->file(QStringLiteral("Vantrix.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("InX=from file\r\n");
    ini.close();

    QCOMPARE(HoofdForm->activationCount(), 0);
    HoofdForm->show();
    QVERIFY(QTest::qWaitForWindowActive(HoofdForm));
    QCOMPARE(HoofdForm->activationCount(), 1);
    QCOMPARE(SettingsControls(InstellingenForm).Edit1->text(), QStringLiteral("from file"));

    // Returning from the modal settings dialog does not load the file again.
    whenModal([](QWidget *dialog) {
        SettingsControls(InstellingenForm).Edit1->setText(QStringLiteral("typed"));
        dialog->close();
    });
    HoofdForm->SpeedButton2Click();
    HoofdForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(HoofdForm));
    QCOMPARE(HoofdForm->activationCount(), 1);
    QCOMPARE(SettingsControls(InstellingenForm).Edit1->text(), QStringLiteral("typed"));

    // Nor does switching to another window and back.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    HoofdForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(HoofdForm));
    QCOMPARE(HoofdForm->activationCount(), 1);
}

void TestStartUp::environmentValues()
{
    const QString saved = AppPath;
    initEnvironment();
    QCOMPARE(ExeFileName, runningExecutablePath());
    QVERIFY(ExeFileName.startsWith(QLatin1Char('/')));
    QVERIFY(AppPath.endsWith(QLatin1Char('/')));
    QCOMPARE(AppPath + ExeFileName.mid(ExeFileName.lastIndexOf(QLatin1Char('/')) + 1), ExeFileName);
    QVERIFY(TaskDialogsPresent);
    AppPath = saved;
}

void TestStartUp::addBackslash_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << ""
                           << "/";
    QTest::newRow("ends in separator") << "/opt/vantrix/"
                                       << "/opt/vantrix/";
    QTest::newRow("without separator") << "/opt/vantrix"
                                       << "/opt/vantrix/";
    QTest::newRow("root") << "/"
                          << "/";
}

void TestStartUp::addBackslash()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(AddBackslash(path), expected);
    // The program in the root folder lives in "/" exactly.
    QCOMPARE(AddBackslash(directoryPart(QStringLiteral("/Vantrix"))), QStringLiteral("/"));
}

void TestStartUp::failureText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Bitmap image is not valid"
                            << "Bitmap image is not valid.";
    QTest::newRow("closing parenthesis") << "Unknown picture file extension (.)"
                                         << "Unknown picture file extension (.)";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("digit sorts after '.'") << "Error 5"
                                           << "Error 5.";
    QTest::newRow("'!' sorts before '.'") << "Stop!"
                                          << "Stop!";
    QTest::newRow("slash sorts after '.'") << "a/"
                                           << "a/.";
}

void TestStartUp::failureText()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(::failureText(message), shown);
}

void TestStartUp::failureInHandlerIsShownAndLoopGoesOn()
{
    HoofdForm->show();
    QVERIFY(QTest::qWaitForWindowActive(HoofdForm));
    FailingObject failing;
    failing.message = QStringLiteral("Cannot open file \"x\". No such file or directory");
    QString caption, text;
    int icon = -1;
    whenModal([&](QWidget *box) {
        auto *message = qobject_cast<QMessageBox *>(box);
        caption = message->windowTitle();
        text = message->text();
        icon = message->icon();
        QCOMPARE(message->buttons().size(), 1);
        message->buttons().front()->click();
    });
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    QTRY_COMPARE(text, QStringLiteral("Cannot open file \"x\". No such file or directory."));
    QCOMPARE(caption, QStringLiteral("Vantrix 1.3.0"));
    QCOMPARE(icon, int(QMessageBox::Critical));
    QVERIFY(!failing.ranAfterFailure);

    // The event loop goes on.
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    QTRY_VERIFY(ran);
}

void TestStartUp::terminationWritesSettingsAndExitsZero()
{
    // A copy of the program in a folder of its own, so its settings file
    // lands there.
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("Vantrix"));
    QVERIFY(QFile::copy(QStringLiteral(VANTRIX_EXECUTABLE), program));
    QFile ini(dir.filePath(QStringLiteral("Vantrix.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("InY=kept across the run\r\n");
    ini.close();

    for (const int signal : {SIGTERM, SIGHUP}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(program, {});
        QVERIFY(process.waitForStarted());
        QTest::qWait(1500);
        QCOMPARE(process.state(), QProcess::Running);
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);

        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray written = ini.readAll();
        ini.close();
        QVERIFY(written.startsWith("[Vantrix settings]\r\n"));
        QVERIFY(written.contains("\r\nInY=kept across the run\r\n"));
        QVERIFY(written.contains("\r\nInX=   X_is[@@1]= @@2;\r\n"));
    }
}

// Qt's own dialogs speak the user's language where Qt's translations are
// installed, and stay English otherwise.
void TestStartUp::qtTextsInTheUsersLanguage()
{
    const auto lookIn = [] { return QCoreApplication::translate("QFileDialog", "Look in:"); };
    if (!installQtTranslations(QLocale(QLocale::Dutch, QLocale::Netherlands)))
        QSKIP("Qt's translations are not installed");
    QCOMPARE(lookIn(), QStringLiteral("Zoeken in:"));
    installQtTranslations(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(lookIn(), QStringLiteral("Look in:"));
}

VANTRIX_TEST_MAIN(TestStartUp)
#include "tst_startup.moc"
