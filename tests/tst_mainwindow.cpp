// The main window's layout, menu bar, tool buttons and commands.

#include "AppTestSupport.h"
#include "WindowControls.h"
#include "capture/HoofdUnit.h"
#include "capture/ImagePic.h"
#include "capture/PictureDialog.h"
#include "settings/InstellingenUnit.h"
#include "ui/DesktopShell.h"
#include "ui/ToolTipStyle.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStringDecoder>
#include <QToolButton>
#include <QUrl>

namespace {

QRect geometryIn(QWidget *widget, QWidget *ancestor)
{
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

// Drops Data on Target as a file manager would; returns whether it was taken.
bool drop(QWidget *target, const QMimeData &data)
{
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    return enter.isAccepted() && dropped.isAccepted();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void noMinimumSize();
    void geometryAtStoredSize_data();
    void geometryAtStoredSize();
    void resizeRule_data();
    void resizeRule();
    void menuTable_data();
    void menuTable();
    void togglesStayInStep_data();
    void togglesStayInStep();
    void toolButtons_data();
    void toolButtons();
    void onlyToolButtonsHaveTooltips();
    void ctrlOOpensThePictureDialog();
    void pictureDialogFilters();
    void pictureDialogReturnsToTheLastFile();
    void pictureDialogListsByPattern_data();
    void pictureDialogListsByPattern();
    void altF4ClosesOnceWithCloseSteps();
    void focusOrder();
    void copyOutput();
    void altLettersNeverType();
    void readMeOpensThroughTheShell();
    void readMeNamesWhatTheProgramShows();
    void readMeFallbackPassesPathAsOneArgument_data();
    void readMeFallbackPassesPathAsOneArgument();
    void webLink();
    void dropOpensTheFirstLocalFile_data();
    void dropOpensTheFirstLocalFile();
    void textDropOnAListIsText();
    void dropOfABrokenPictureShowsItsMessage();

private:
    THoofdForm *w() { return HoofdForm; }
    MainControls ui() { return MainControls(HoofdForm); }
    QWidget *client() { return w()->centralWidget(); }
    std::unique_ptr<TemporaryAppPath> m_appPath;
    QList<QUrl> m_opened;
    QList<QStringList> m_started;
    bool m_openResult = true;
};

void TestMainWindow::init()
{
    m_appPath = std::make_unique<TemporaryAppPath>();
    m_opened.clear();
    m_started.clear();
    m_openResult = true;
    DesktopShell::setOpenHandler([this](const QUrl &url) {
        m_opened << url;
        return m_openResult;
    });
    DesktopShell::setStartHandler([this](const QString &program, const QStringList &arguments) {
        m_started << (QStringList{program} + arguments);
        return true;
    });
    createApplicationWindows();
    w()->show();
    QVERIFY(QTest::qWaitForWindowActive(w()));
}

void TestMainWindow::cleanup()
{
    destroyApplicationWindows();
    m_appPath.reset();
}

void TestMainWindow::geometryAtStoredSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("expected"); // in the client area
    QTest::newRow("PanelBoven") << "PanelBoven" << QRect(0, 0, 614, 32);
    QTest::newRow("StatusBar1") << "StatusBar1" << QRect(0, 385, 614, 19);
    QTest::newRow("PanelLeft") << "PanelLeft" << QRect(0, 32, 206, 353);
    QTest::newRow("Panel1") << "Panel1" << QRect(206, 32, 408, 353);
    QTest::newRow("Panel10") << "Panel10" << QRect(5, 32, 196, 353);
    QTest::newRow("Panel11") << "Panel11" << QRect(5, 32, 196, 176);
    QTest::newRow("Panel7") << "Panel7" << QRect(5, 208, 196, 177);
    QTest::newRow("Memo1") << "Memo1" << QRect(5, 57, 196, 146);
    QTest::newRow("Memo2") << "Memo2" << QRect(5, 233, 196, 147);
    QTest::newRow("ScrollBox1") << "ScrollBox1" << QRect(206, 32, 408, 232);
    QTest::newRow("Panel2") << "Panel2" << QRect(206, 264, 408, 121);
    QTest::newRow("Memo3") << "Memo3" << QRect(206, 269, 384, 116);
    QTest::newRow("Panel14") << "Panel14" << QRect(590, 269, 24, 116);
    QTest::newRow("SpeedButton4") << "SpeedButton4" << QRect(592, 269, 20, 20);
    QTest::newRow("RadioButton1") << "RadioButton1" << QRect(5, 39, 113, 17);
    QTest::newRow("RadioButton2") << "RadioButton2" << QRect(5, 215, 113, 17);
}

void TestMainWindow::geometryAtStoredSize()
{
    QFETCH(QString, name);
    QFETCH(QRect, expected);
    QCOMPARE(client()->size(), QSize(614, 404));
    QCOMPARE(w()->pos(), QPoint(103, 56));
    auto *widget = w()->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(geometryIn(widget, client()), expected);
}

void TestMainWindow::resizeRule_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("lower");
    QTest::newRow("353") << 353 << 176 << 177;
    QTest::newRow("351") << 351 << 176 << 175;
    QTest::newRow("355") << 355 << 178 << 177;
    QTest::newRow("352") << 352 << 176 << 176;
}

void TestMainWindow::resizeRule()
{
    QFETCH(int, column);
    QFETCH(int, upper);
    QFETCH(int, lower);
    const int chrome = w()->height() - client()->height();
    w()->resize(614, column + 32 + 19 + chrome);
    QTRY_COMPARE(ui().Panel10->height(), column);
    QTRY_COMPARE(ui().Panel11->height(), upper);
    QTRY_COMPARE(ui().Panel7->height(), lower);
}

void TestMainWindow::menuTable_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("checked");
    QTest::newRow("open") << "Bestand1"
                          << "Figuuropenen1"
                          << "Figuur &openen..." << QKeySequence(Qt::CTRL | Qt::Key_O) << false << false;
    QTest::newRow("zoom") << "Bestand1"
                          << "Vergroten1"
                          << "Vergroten" << QKeySequence() << true << false;
    QTest::newRow("flash") << "Bestand1"
                           << "Flitsen1"
                           << "Flitsen" << QKeySequence() << true << true;
    QTest::newRow("settings") << "Bestand1"
                              << "Programmainstellingen1"
                              << "&Instellingen" << QKeySequence() << false << false;
    QTest::newRow("exit") << "Bestand1"
                          << "Afsluiten1"
                          << "Af&sluiten" << QKeySequence(Qt::ALT | Qt::Key_F4) << false << false;
    QTest::newRow("read-me") << "Help1"
                             << "LeesMijtxt1"
                             << "&LeesMij.txt" << QKeySequence() << false << false;
    QTest::newRow("info") << "Help1"
                          << "Info1"
                          << "&Info" << QKeySequence() << false << false;
}

void TestMainWindow::menuTable()
{
    QFETCH(QString, menu);
    QFETCH(QString, item);
    QFETCH(QString, caption);
    QFETCH(QKeySequence, shortcut);
    QFETCH(bool, checkable);
    QFETCH(bool, checked);
    auto *owner = w()->findChild<QMenu *>(menu);
    QVERIFY(owner);
    auto *action = w()->findChild<QAction *>(item);
    QVERIFY(action);
    QVERIFY(owner->actions().contains(action));
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->shortcut(), shortcut);
    QCOMPARE(action->isCheckable(), checkable);
    QCOMPARE(action->isChecked(), checked);

    // The menus and their order on the bar, Weblink1 directly on it.
    const QList<QAction *> bar = ui().MainMenu1->actions();
    QCOMPARE(bar.size(), 3);
    QCOMPARE(bar[0]->text(), QStringLiteral("&Bestand"));
    QCOMPARE(bar[1]->text(), QStringLiteral("&Help"));
    QCOMPARE(bar[2], ui().Weblink1);
    QCOMPARE(ui().Weblink1->text(), WebAddress);
    QCOMPARE(ui().Bestand1->actions().size(), 7);
    QVERIFY(ui().Bestand1->actions()[3]->isSeparator());
    QVERIFY(ui().Bestand1->actions()[5]->isSeparator());
}

void TestMainWindow::togglesStayInStep_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("button");
    QTest::newRow("zoom") << "Vergroten1"
                          << "SpeedButton5";
    QTest::newRow("flash") << "Flitsen1"
                           << "SpeedButton6";
}

void TestMainWindow::togglesStayInStep()
{
    QFETCH(QString, item);
    QFETCH(QString, button);
    auto *action = w()->findChild<QAction *>(item);
    auto *tool = w()->findChild<QToolButton *>(button);
    QCOMPARE(tool->isChecked(), action->isChecked());
    const bool start = action->isChecked();
    QTest::mouseClick(tool, Qt::LeftButton);
    QCOMPARE(action->isChecked(), !start);
    QCOMPARE(tool->isChecked(), !start);
    action->trigger();
    QCOMPARE(action->isChecked(), start);
    QCOMPARE(tool->isChecked(), start);
    action->trigger();
    QTest::mouseClick(tool, Qt::LeftButton);
    QCOMPARE(action->isChecked(), start);
    QCOMPARE(tool->isChecked(), start);
    QCOMPARE(w()->zoomOn(), ui().Vergroten1->isChecked());
    QCOMPARE(w()->flashOn(), ui().Flitsen1->isChecked());
}

void TestMainWindow::toolButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QRect>("geometry"); // in its parent
    QTest::newRow("open") << "SpeedButton1"
                          << "Figuur openen" << QRect(5, 3, 25, 25);
    QTest::newRow("zoom") << "SpeedButton5"
                          << "Vergroten" << QRect(30, 3, 25, 25);
    QTest::newRow("flash") << "SpeedButton6"
                           << "Flitsen" << QRect(55, 3, 25, 25);
    QTest::newRow("settings") << "SpeedButton2"
                              << "Instellingen" << QRect(80, 3, 25, 25);
    QTest::newRow("read-me") << "SpeedButton3"
                             << "LeesMij.txt" << QRect(105, 3, 25, 25);
    QTest::newRow("copy") << "SpeedButton4"
                          << "Kopiëren" << QRect(2, 0, 20, 20);
}

void TestMainWindow::toolButtons()
{
    QFETCH(QString, name);
    QFETCH(QString, hint);
    QFETCH(QRect, geometry);
    auto *button = w()->findChild<QToolButton *>(name);
    QVERIFY(button);
    // The button shows its command's action, hint and all.
    QVERIFY(button->defaultAction());
    QCOMPARE(button->defaultAction()->toolTip(), hint);
    QCOMPARE(button->toolTip(), hint);
    QCOMPARE(button->geometry(), geometry);
    QVERIFY(button->autoRaise());
    QCOMPARE(button->iconSize(), QSize(16, 16));
    QVERIFY(!button->icon().isNull());
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
}

void TestMainWindow::onlyToolButtonsHaveTooltips()
{
    for (QWidget *widget : w()->findChildren<QWidget *>()) {
        if (!widget->toolTip().isEmpty())
            QVERIFY2(qobject_cast<QToolButton *>(widget), qPrintable(widget->objectName()));
    }
    ToolTipStyle style;
    QCOMPARE(style.styleHint(QStyle::SH_ToolTip_WakeUpDelay), 500);
}

void TestMainWindow::ctrlOOpensThePictureDialog()
{
    bool shown = false;
    whenModal([&](QWidget *dialog) {
        shown = dialog == w()->pictureDialog();
        qobject_cast<QDialog *>(dialog)->reject();
    });
    QTest::keyClick(ui().Memo1, Qt::Key_O, Qt::ControlModifier);
    QTRY_VERIFY(shown);
    QVERIFY(!ui().ImagePic->hasPicture());
}

// Opened again, the dialog stands over the main window with the last file
// chosen selected, shown in its list and previewed.
void TestMainWindow::pictureDialogReturnsToTheLastFile()
{
    QTemporaryDir folder;
    for (int i = 0; i < 80; ++i)
        QVERIFY(writeWholeFile(folder.filePath(QStringLiteral("a%1.bmp").arg(i, 2, 10, QLatin1Char('0'))), "BM"));
    QImage red(30, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString last = folder.filePath(QStringLiteral("zz.bmp"));
    QVERIFY(writeWholeFile(last, encoded(red, "bmp")));
    w()->openChosenPicture(last);
    bool checked = false;
    whenModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<PictureDialog *>(modal);
        const auto closeAtEnd = qScopeGuard([modal] { qobject_cast<QDialog *>(modal)->reject(); });
        QVERIFY(dialog);
        auto *preview = dialog->findChild<QLabel *>(QStringLiteral("Preview"));
        QTRY_VERIFY(!preview->pixmap().isNull());
        QCOMPARE(preview->pixmap().toImage().pixel(5, 5), qRgb(255, 0, 0));
        auto *list = dialog->findChild<QAbstractItemView *>(QStringLiteral("listView"));
        QTRY_COMPARE(list->currentIndex().data().toString(), QStringLiteral("zz.bmp"));
        QVERIFY(list->viewport()->rect().intersects(list->visualRect(list->currentIndex())));
        const QRect area = dialog->screen()->availableGeometry();
        const QPoint centre = w()->frameGeometry().center();
        const QRect placed = dialog->frameGeometry();
        // Centred over the main window as far as the screen lets it be.
        QVERIFY(std::abs(placed.center().x() - centre.x()) <= 1 || placed.left() == area.left() ||
                placed.right() >= area.right() - 1);
        QVERIFY(std::abs(placed.center().y() - centre.y()) <= 1 || placed.top() == area.top() ||
                placed.bottom() >= area.bottom() - 1);
        checked = true;
    });
    w()->SpeedButton1Click();
    QVERIFY(checked);
}

void TestMainWindow::pictureDialogFilters()
{
    QCOMPARE(w()->pictureDialog()->nameFilters(),
             (QStringList{"All (*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)", "JPEG Image File (*.jpg)",
                          "JPEG Image File (*.jpeg)", "Bitmaps (*.bmp)", "Icons (*.ico)", "Enhanced Metafiles (*.emf)",
                          "Metafiles (*.wmf)"}));
    QCOMPARE(w()->pictureDialog()->selectedNameFilter(), w()->pictureDialog()->nameFilters().front());
    QCOMPARE(w()->pictureDialog()->fileMode(), QFileDialog::AnyFile);
}

void TestMainWindow::pictureDialogListsByPattern_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("All") << 0 << QStringList{"a.BMP", "b.ico", "c.emf", "d.wmf", "e.jpg", "f.jpeg"};
    QTest::newRow("jpg") << 1 << QStringList{"e.jpg"};
    QTest::newRow("Bitmaps") << 3 << QStringList{"a.BMP"};
    QTest::newRow("Metafiles") << 6 << QStringList{"d.wmf"};
}

void TestMainWindow::pictureDialogListsByPattern()
{
    QFETCH(int, entry);
    QFETCH(QStringList, shown);
    QTemporaryDir dir;
    for (const char *name : {"a.BMP", "b.ico", "c.emf", "d.wmf", "e.jpg", "f.jpeg", "g.png", "h.txt"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    PictureDialog *dialog = w()->pictureDialog();
    dialog->setDirectory(dir.path());
    dialog->selectEntry(PictureDialog::Filters[entry]);
    auto *model = dialog->findChild<QFileSystemModel *>();
    QVERIFY(model);
    QStringList listed;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            listed.clear();
            const QModelIndex root = model->index(dir.path());
            for (int row = 0; row < model->rowCount(root); ++row) {
                const QModelIndex index = model->index(row, 0, root);
                // Filtered-out files are hidden or, where the model disables
                // them, not enabled.
                if (model->flags(index) & Qt::ItemIsEnabled)
                    listed << model->fileName(index);
            }
            listed.sort(Qt::CaseInsensitive);
            return listed == shown;
        }(),
        3000);
}

void TestMainWindow::altF4ClosesOnceWithCloseSteps()
{
    const QString ini = m_appPath->file(QStringLiteral("Vantrix.ini"));
    SettingsControls(InstellingenForm).Edit4->setText(QStringLiteral("edited"));
    QTest::keyClick(ui().Memo1, Qt::Key_F4, Qt::AltModifier);
    QTRY_VERIFY(!w()->isVisible());
    QVERIFY(QFile::exists(ini));
    QVERIFY(!w()->versionInfo());
    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().endsWith("OutY=edited\r\n"));
    file.close();
    // Closing again runs no close steps a second time.
    QVERIFY(QFile::remove(ini));
    w()->close();
    QVERIFY(!QFile::exists(ini));
}

void TestMainWindow::focusOrder()
{
    // Memo2, Memo1, the selected radio button after Memo1, Memo3.
    ui().Memo2->setFocus();
    QTRY_VERIFY(ui().Memo2->hasFocus());
    QVERIFY(ui().RadioButton2->isChecked());
    // Entering Memo1 selects "Ingangen", which then follows Memo1; the
    // unselected "Uitgangen" is skipped.
    QList<QWidget *> visited;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget();
    }
    QCOMPARE(visited, (QList<QWidget *>{ui().Memo1, ui().RadioButton1, ui().Memo3, ui().Memo2, ui().Memo1,
                                        ui().RadioButton1, ui().Memo3}));
    // With "Uitgangen" selected it stands before Memo2.
    ui().Memo2->setFocus();
    QTRY_VERIFY(ui().RadioButton2->isChecked());
    QTest::keyClick(ui().Memo2, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), ui().RadioButton2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), ui().Memo3);
}

// Alt with a letter that no menu or button takes types nothing, in the
// lists and in the settings dialog's fields alike.
void TestMainWindow::altLettersNeverType()
{
    const QList<QPair<QWidget *, QString>> fields = {
        {ui().Memo1, QStringLiteral("bh")},
        {ui().Memo2, QStringLiteral("bh")},
        {ui().Memo3, QStringLiteral("bh")},
        {SettingsControls(InstellingenForm).Edit1, QStringLiteral("s")},
        {SettingsControls(InstellingenForm).Edit2, QStringLiteral("s")},
        {SettingsControls(InstellingenForm).Edit3, QStringLiteral("s")},
        {SettingsControls(InstellingenForm).Edit4, QStringLiteral("s")},
    };
    for (const auto &[field, taken] : fields) {
        const QString before = field->property(field->inherits("QLineEdit") ? "text" : "plainText").toString();
        for (char letter = 'a'; letter <= 'z'; ++letter) {
            if (!taken.contains(QLatin1Char(letter)))
                QTest::keyClick(field, letter, Qt::AltModifier);
        }
        const QString after = field->property(field->inherits("QLineEdit") ? "text" : "plainText").toString();
        QVERIFY2(after == before, qPrintable(field->objectName() + QStringLiteral(": ") + after));
    }
}

void TestMainWindow::copyOutput()
{
    const QString text = QStringLiteral("   X_is[S1]= 1;                   Y_is[S1]= 2;\nline two\n");
    ui().Memo3->setPlainText(text);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::mouseClick(ui().SpeedButton4, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
    QCOMPARE(ui().Memo3->toPlainText(), text);
    QCOMPARE(ui().Memo3->textCursor().selectedText().size(), text.size());
    QCOMPARE(QApplication::focusWidget(), ui().Memo3);
}

void TestMainWindow::readMeOpensThroughTheShell()
{
    QFile readMe(m_appPath->file(QStringLiteral("LeesMij.txt")));
    QVERIFY(readMe.open(QIODevice::WriteOnly));
    readMe.close();
    ui().SpeedButton3->click();
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(m_appPath->file(QStringLiteral("LeesMij.txt")))});
    QVERIFY(m_started.isEmpty());

    // A shell that fails leads to the editor.
    m_openResult = false;
    qputenv("VISUAL", "my-editor");
    ui().LeesMijtxt1->trigger();
    qunsetenv("VISUAL");
    QCOMPARE(m_started, QList<QStringList>{(
                            QStringList{QStringLiteral("my-editor"), m_appPath->file(QStringLiteral("LeesMij.txt"))})});
}

// The read-me is UTF-8 text, as the desktop's text files are, and names
// the buttons as their hints do and where the templates are kept.
void TestMainWindow::readMeNamesWhatTheProgramShows()
{
    const QByteArray bytes = readWholeFile(QStringLiteral(VANTRIX_SOURCE_DIR "/resources/LeesMij.txt"));
    QVERIFY(!bytes.isEmpty());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    QVERIFY(!utf8.hasError());
    for (const QToolButton *button :
         {ui().SpeedButton1, ui().SpeedButton5, ui().SpeedButton6, ui().SpeedButton2, ui().SpeedButton4})
        QVERIFY2(text.contains(QLatin1Char('"') + button->toolTip() + QLatin1Char('"')), qPrintable(button->toolTip()));
    QVERIFY(text.contains(QStringLiteral("~/.config/vantrix/Vantrix.ini")));
}

void TestMainWindow::readMeFallbackPassesPathAsOneArgument_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("blanks") << "Mijn programma's";
    QTest::newRow("quotes") << "a \"b\" 'c'";
    QTest::newRow("command substitution") << "$(touch injected) `touch injected2`; touch injected3";
}

void TestMainWindow::readMeFallbackPassesPathAsOneArgument()
{
    QFETCH(QString, folder);
    qputenv("VISUAL", "my-editor --new-window");
    QDir root(m_appPath->path());
    QVERIFY(root.mkpath(folder));
    const QString saved = AppPath;
    AppPath = AddBackslash(root.filePath(folder));
    w()->LeesMijtxt1Click(); // no LeesMij.txt there: the shell cannot show it
    AppPath = saved;
    qunsetenv("VISUAL");
    QCOMPARE(m_started.size(), 1);
    QCOMPARE(m_started.front(), (QStringList{QStringLiteral("my-editor"), QStringLiteral("--new-window"),
                                             root.filePath(folder) + QStringLiteral("/LeesMij.txt")}));

    // Through the real process starter nothing is run by a shell either.
    DesktopShell::setStartHandler([](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    });
    qputenv("VISUAL", "/bin/true");
    AppPath = AddBackslash(root.filePath(folder));
    w()->LeesMijtxt1Click();
    AppPath = saved;
    qunsetenv("VISUAL");
    QTest::qWait(200);
    QVERIFY(root.entryList({QStringLiteral("injected*")}).isEmpty());
    QVERIFY(QDir().entryList({QStringLiteral("injected*")}).isEmpty());
}

void TestMainWindow::webLink()
{
    ui().Weblink1->trigger();
    QCOMPARE(m_opened, QList<QUrl>{QUrl(WebAddress)});
}

void TestMainWindow::noMinimumSize()
{
    // Shrinking and growing again, twice: the window takes every size asked.
    for (int round = 0; round < 2; ++round) {
        for (const QSize size : {QSize(120, 90), QSize(614, 423), QSize(40, 30)}) {
            w()->resize(size);
            QTRY_COMPARE(w()->size(), size);
        }
    }
    QCOMPARE(w()->minimumSize(), QSize(1, 1));
}

void TestMainWindow::dropOpensTheFirstLocalFile_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("opened"); // index of the file opened, -1 for none
    QTest::addColumn<QString>("on"); // the window, or the list it is dropped on

    const QString window;
    QTest::newRow("one file") << QStringList{"file:a.bmp"} << QString() << 0 << window;
    QTest::newRow("several files: the first") << QStringList{"file:a.bmp", "file:b.bmp"} << QString() << 0 << window;
    QTest::newRow("a web address before a file")
        << QStringList{"https://example.org/a.bmp", "file:b.bmp"} << QString() << 1 << window;
    QTest::newRow("only a web address") << QStringList{"https://example.org/a.bmp"} << QString() << -1 << window;
    QTest::newRow("text, no file") << QStringList() << "a.bmp" << -1 << window;
    // A file manager offers the address as text too; the lists would take it.
    for (const char *memo : {"Memo1", "Memo2", "Memo3"})
        QTest::addRow("file on %s", memo) << QStringList{"file:b.bmp"} << "file:///b.bmp" << 1 << memo;
}

void TestMainWindow::dropOpensTheFirstLocalFile()
{
    QFETCH(QStringList, urls);
    QFETCH(QString, text);
    QFETCH(int, opened);
    QFETCH(QString, on);

    QTemporaryDir folder;
    QImage red(8, 6, QImage::Format_RGB32);
    red.fill(Qt::red);
    QImage blue(5, 4, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    const QString files[] = {folder.filePath("a.bmp"), folder.filePath("b.bmp")};
    QVERIFY(red.save(files[0], "BMP") && blue.save(files[1], "BMP"));
    const QSize sizes[] = {red.size(), blue.size()};

    QMimeData data;
    QList<QUrl> dropped;
    for (const QString &url : urls)
        dropped << (url.startsWith("file:") ? QUrl::fromLocalFile(folder.filePath(url.mid(5))) : QUrl(url));
    if (!dropped.isEmpty())
        data.setUrls(dropped);
    if (!text.isEmpty())
        data.setText(text);

    ui().Vergroten1->trigger(); // a drop turns the zoom off, as opening does
    QVERIFY(w()->zoomOn());
    auto *memo = on.isEmpty() ? nullptr : w()->findChild<QPlainTextEdit *>(on);
    if (memo)
        memo->setPlainText(QStringLiteral("S3"));
    QCOMPARE(drop(memo ? memo->viewport() : static_cast<QWidget *>(w()), data), opened >= 0);
    QCoreApplication::processEvents();
    if (memo)
        QCOMPARE(memo->toPlainText(), QStringLiteral("S3"));
    if (opened < 0) {
        QVERIFY(!ui().ImagePic->hasPicture());
        QVERIFY(w()->zoomOn());
        QVERIFY(!ui().WachtTimer->isActive());
        return;
    }
    QTRY_VERIFY(ui().ImagePic->hasPicture());
    QCOMPARE(ui().ImagePic->size(), sizes[opened]);
    QVERIFY(!w()->zoomOn());
    QVERIFY(ui().WachtTimer->isActive()); // clicks in the first second are ignored
    // The picture dialog starts from the dropped file next time.
    QCOMPARE(w()->pictureDialog()->selectedFiles().value(0), files[opened]);
}

// Text dragged onto a list stays text for the list.
void TestMainWindow::textDropOnAListIsText()
{
    QMimeData data;
    data.setText(QStringLiteral("S7"));
    QVERIFY(drop(ui().Memo2->viewport(), data));
    QCOMPARE(ui().Memo2->toPlainText(), QStringLiteral("S7"));
    QVERIFY(!ui().ImagePic->hasPicture());
}

void TestMainWindow::dropOfABrokenPictureShowsItsMessage()
{
    QTemporaryDir folder;
    const QString broken = folder.filePath("kapot.bmp");
    QVERIFY(writeWholeFile(broken, QByteArray("BM") + QByteArray(40, '\0')));
    bool boxShown = false;
    whenModal([&](QWidget *box) {
        boxShown = box != w()->pictureDialog();
        box->close();
    });
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(broken)});
    QVERIFY(drop(ui().ScrollBox1, data));
    QTRY_VERIFY(boxShown);
    QVERIFY(!ui().ImagePic->hasPicture());
    QCOMPARE(w()->pictureDialog()->selectedFiles().value(0), broken);
}

VANTRIX_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
