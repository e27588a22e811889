// The settings dialog and the settings file on disk.

#include "AppTestSupport.h"
#include "WindowControls.h"

#include "capture/HoofdUnit.h"
#include "settings/InstellingenUnit.h"
#include <unistd.h>

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <csignal>
#include <sys/resource.h>

namespace {

// The text of a message box, whichever variant is shown.
QString boxText(QWidget *box)
{
    if (auto *message = qobject_cast<QMessageBox *>(box))
        return message->text();
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("Message")))
        return label->text();
    return QString();
}

// Closes the next message box and hands back its text.
void captureNextBox(QString *text)
{
    whenModal([text](QWidget *box) {
        *text = boxText(box);
        if (auto *message = qobject_cast<QMessageBox *>(box)) {
            message->buttons().front()->click();
        } else {
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
}

} // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defaultsExactly();
    void noFileKeepsDefaultsAndCloseWritesEightLines();
    void loadsFromFile();
    void emptyFileChangesNothing();
    void writtenFileLoadsBack();
    void unwritableFolderWritesUsersCopy();
    void unwritableFolderAndCopyShowBoxAndProgramEnds();
    void failureWhileWritingKeepsOldFile();
    void readOnlyFolderWritableFileIsRewritten();
    void closeBeforeFirstActivationKeepsTheFile();
    void escapeDoesNothingAndTypedTextStays();
    void focusFirstAndLaterShowings();
    void geometry();

private:
    TInstellingenForm *form() { return InstellingenForm; }
    std::unique_ptr<TemporaryAppPath> m_appPath;
};

void TestSettingsDialog::init()
{
    m_appPath = std::make_unique<TemporaryAppPath>();
    createApplicationWindows();
}

void TestSettingsDialog::cleanup()
{
    destroyApplicationWindows();
    m_appPath.reset();
}

void TestSettingsDialog::defaultsExactly()
{
    QCOMPARE(SettingsControls(form()).Edit1->text(), QStringLiteral("   X_is[@@1]= @@2;"));
    QCOMPARE(SettingsControls(form()).Edit2->text(), QStringLiteral("Y_is[@@1]= @@2;"));
    QCOMPARE(SettingsControls(form()).Edit3->text(), QStringLiteral("   X_us[@@1]= @@2;"));
    QCOMPARE(SettingsControls(form()).Edit4->text(), QStringLiteral("Y_us[@@1]= @@2;"));
    QCOMPARE(SettingsControls(form()).Edit1->text().size(), 18);
    QCOMPARE(form()->windowTitle(), QStringLiteral("Instellingen"));
    QCOMPARE(IniFileName, QStringLiteral("Vantrix.ini"));
}

void TestSettingsDialog::noFileKeepsDefaultsAndCloseWritesEightLines()
{
    form()->LeesInstellingen();
    QCOMPARE(SettingsControls(form()).Edit1->text(), QStringLiteral("   X_is[@@1]= @@2;"));
    QVERIFY(form()->SchrijfInstellingen());
    const QByteArray bytes = readWholeFile(m_appPath->file(QStringLiteral("Vantrix.ini")));
    const QList<QByteArray> lines = bytes.split('\n');
    QCOMPARE(lines.size(), 9); // eight lines, each ended by CR LF
    QCOMPARE(lines[0], QByteArray("[Vantrix settings]\r"));
    QCOMPARE(lines[4], QByteArray("InX=   X_is[@@1]= @@2;\r"));
    QVERIFY(bytes.endsWith("OutY=Y_us[@@1]= @@2;\r\n"));
}

void TestSettingsDialog::loadsFromFile()
{
    QVERIFY(writeWholeFile(m_appPath->file(QStringLiteral("Vantrix.ini")), "OUTY=abc\r\nInX=  a=b  \r\n"));
    form()->LeesInstellingen();
    QCOMPARE(SettingsControls(form()).Edit4->text(), QStringLiteral("abc"));
    QCOMPARE(SettingsControls(form()).Edit1->text(), QStringLiteral("  a=b  "));
    QCOMPARE(SettingsControls(form()).Edit2->text(), QStringLiteral("Y_is[@@1]= @@2;"));
    QCOMPARE(SettingsControls(form()).Edit3->text(), QStringLiteral("   X_us[@@1]= @@2;"));
}

void TestSettingsDialog::emptyFileChangesNothing()
{
    QVERIFY(writeWholeFile(m_appPath->file(QStringLiteral("Vantrix.ini")), QByteArray()));
    SettingsControls(form()).Edit2->setText(QStringLiteral("typed"));
    form()->LeesInstellingen();
    QCOMPARE(SettingsControls(form()).Edit2->text(), QStringLiteral("typed"));
}

void TestSettingsDialog::writtenFileLoadsBack()
{
    SettingsControls(form()).Edit1->setText(QString());
    SettingsControls(form()).Edit3->setText(QString::fromUtf8("€ [@@1] @@2 ë"));
    QVERIFY(form()->SchrijfInstellingen());
    QVERIFY(readWholeFile(m_appPath->file(QStringLiteral("Vantrix.ini"))).contains("\r\nInX=\r\n"));
    form()->setTemplates(TInstellingenForm::DefaultTemplates);
    form()->LeesInstellingen();
    QCOMPARE(SettingsControls(form()).Edit1->text(), QString());
    QCOMPARE(SettingsControls(form()).Edit3->text(), QString::fromUtf8("€ [@@1] @@2 ë"));
}

void TestSettingsDialog::unwritableFolderWritesUsersCopy()
{
    // A folder below a plain file can never be created, not even by root.
    const QString blocker = m_appPath->file(QStringLiteral("plain-file"));
    QVERIFY(writeWholeFile(blocker, "x"));
    AppPath = blocker + QStringLiteral("/sub/");
    SettingsControls(form()).Edit2->setText(QStringLiteral("own"));
    QVERIFY(form()->SchrijfInstellingen());
    const QString own = m_appPath->configHome() + QStringLiteral("/vantrix/Vantrix.ini");
    QVERIFY(readWholeFile(own).contains("\r\nInY=own\r\n"));
    form()->setTemplates(TInstellingenForm::DefaultTemplates);
    form()->LeesInstellingen();
    QCOMPARE(SettingsControls(form()).Edit2->text(), QStringLiteral("own"));
}

void TestSettingsDialog::unwritableFolderAndCopyShowBoxAndProgramEnds()
{
    const QString blocker = m_appPath->file(QStringLiteral("plain-file"));
    QVERIFY(writeWholeFile(blocker, "x"));
    AppPath = blocker + QStringLiteral("/sub/");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker + QStringLiteral("/config")));
    HoofdForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(HoofdForm));

    QString text;
    captureNextBox(&text);
    QVERIFY(HoofdForm->close());
    QCOMPARE(text, QStringLiteral("Instellingenbestand \"") + blocker +
                       QStringLiteral("/config/vantrix/Vantrix.ini\" kan niet worden weggeschreven."));
    QVERIFY(!HoofdForm->isVisible());
}

void TestSettingsDialog::readOnlyFolderWritableFileIsRewritten()
{
    if (geteuid() == 0)
        QSKIP("root writes into a read-only folder all the same");
    const QString path = m_appPath->file(QStringLiteral("Vantrix.ini"));
    QVERIFY(writeWholeFile(path, "InX=old\r\n"));
    QFile::setPermissions(m_appPath->path(), QFile::ReadOwner | QFile::ExeOwner);
    SettingsControls(form()).Edit1->setText(QStringLiteral("new"));
    const bool written = form()->SchrijfInstellingen();
    QFile::setPermissions(m_appPath->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(written);
    QVERIFY(readWholeFile(path).contains("InX=new\r\n"));
}

void TestSettingsDialog::failureWhileWritingKeepsOldFile()
{
    const QString path = m_appPath->file(QStringLiteral("Vantrix.ini"));
    const QByteArray old = "[Vantrix settings]\r\n\r\n[**General variables**]\r\nSettingsfileversion=100\r\n"
                           "InX=old\r\nInY=old\r\nOutX=old\r\nOutY=old\r\n";
    QVERIFY(writeWholeFile(path, old));
    SettingsControls(form()).Edit1->setText(QString(400, QLatin1Char('n')));

    // Let the writing fail half-way: no file may grow beyond 64 bytes.
    struct rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);

    QString text;
    captureNextBox(&text);
    const bool written = form()->SchrijfInstellingen();

    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written);
    QVERIFY(text.contains(path));
    QCOMPARE(readWholeFile(path), old);
    QCOMPARE(QDir(m_appPath->path()).entryList(QDir::Files), QStringList{QStringLiteral("Vantrix.ini")});
}

void TestSettingsDialog::closeBeforeFirstActivationKeepsTheFile()
{
    // Closed before the file was ever loaded, the dialog would hold the
    // defaults; the user's templates must survive that close.
    const QString path = m_appPath->file(QStringLiteral("Vantrix.ini"));
    QVERIFY(writeWholeFile(path, "InX=mine\r\nOutY=also mine\r\n"));
    QCOMPARE(HoofdForm->activationCount(), 0);
    HoofdForm->close();
    const QByteArray written = readWholeFile(path);
    QVERIFY(written.contains("\r\nInX=mine\r\n"));
    QVERIFY(written.contains("\r\nOutY=also mine\r\n"));
    QVERIFY(written.contains("\r\nInY=Y_is[@@1]= @@2;\r\n"));
}

void TestSettingsDialog::escapeDoesNothingAndTypedTextStays()
{
    bool stillOpenAfterEscape = false;
    whenModal([&](QWidget *dialog) {
        QTest::keyClicks(SettingsControls(form()).Edit2, QStringLiteral("X"));
        QTest::keyClick(dialog, Qt::Key_Escape);
        stillOpenAfterEscape = dialog->isVisible();
        dialog->close(); // the title-bar close box
    });
    HoofdForm->SpeedButton2Click();
    QVERIFY(stillOpenAfterEscape);
    QVERIFY(!form()->isVisible());
    QCOMPARE(SettingsControls(form()).Edit2->text(), QStringLiteral("Y_is[@@1]= @@2;X"));
}

void TestSettingsDialog::focusFirstAndLaterShowings()
{
    QWidget *first = nullptr;
    bool closedByEnter = false;
    whenModal([&](QWidget *dialog) {
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        first = dialog->focusWidget();
        SettingsControls(form()).Edit4->setFocus();
        QTRY_VERIFY(SettingsControls(form()).Edit4->hasFocus());
        QTest::keyClick(SettingsControls(form()).Edit4, Qt::Key_Return); // Enter presses the default button
        closedByEnter = !dialog->isVisible();
    });
    form()->exec();
    QCOMPARE(first, SettingsControls(form()).Edit1);
    QVERIFY(closedByEnter);

    QWidget *second = nullptr;
    whenModal([&](QWidget *dialog) {
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        second = dialog->focusWidget();
        SettingsControls(form()).BitBtn1->click();
    });
    form()->exec();
    QCOMPARE(second, SettingsControls(form()).Edit4);
}

void TestSettingsDialog::geometry()
{
    QCOMPARE(form()->size(), QSize(410, 123));
    QCOMPARE(SettingsControls(form()).GroupBox1->geometry(), QRect(5, 5, 400, 71));
    QCOMPARE(SettingsControls(form()).Edit1->geometry(), QRect(70, 15, 156, 21));
    QCOMPARE(SettingsControls(form()).Edit4->geometry(), QRect(235, 40, 156, 21));
    QCOMPARE(SettingsControls(form()).BitBtn1->geometry(), QRect(320, 90, 85, 25));
    QCOMPARE(SettingsControls(form()).BitBtn1->text(), QStringLiteral("&Sluiten"));
    QVERIFY(SettingsControls(form()).BitBtn1->isDefault());
}

VANTRIX_TEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
