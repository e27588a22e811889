// The rules the application keeps for every window: a modal window is not
// left minimised, and Alt with a key never types into a text control.

#include "WindowTestSupport.h"
#include "ui/WindowRules.h"

#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>

class TestWindowRules : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void minimisedModalWindowComesBack_data();
    void minimisedModalWindowComesBack();
    void altNeverTypes_data();
    void altNeverTypes();
    void openMenuKeepsItsLetters();
};

void TestWindowRules::initTestCase()
{
    qApp->installEventFilter(new ModalWindowGuard(qApp));
    qApp->installEventFilter(new AltKeyGuard(qApp));
}

void TestWindowRules::minimisedModalWindowComesBack_data()
{
    QTest::addColumn<bool>("modal");
    QTest::addColumn<bool>("ownerToo");
    QTest::newRow("modal window") << true << false;
    QTest::newRow("modal window with its owner") << true << true;
    QTest::newRow("other window stays minimised") << false << false;
}

void TestWindowRules::minimisedModalWindowComesBack()
{
    QFETCH(bool, modal);
    QFETCH(bool, ownerToo);
    QMainWindow owner;
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    auto *dialog = new QDialog(&owner);
    dialog->setModal(modal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    if (ownerToo)
        owner.setWindowState(Qt::WindowMinimized);
    dialog->setWindowState(Qt::WindowMinimized);
    QTest::qWait(50);
    QCOMPARE(dialog->isMinimized(), !modal);
    QVERIFY(!owner.isMinimized());
    QVERIFY(dialog->isVisible());
}

void TestWindowRules::altNeverTypes_data()
{
    QTest::addColumn<bool>("plainText");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("line, Alt") << false << Qt::KeyboardModifiers(Qt::AltModifier);
    QTest::newRow("line, Alt+Shift") << false << (Qt::AltModifier | Qt::ShiftModifier);
    QTest::newRow("list, Alt") << true << Qt::KeyboardModifiers(Qt::AltModifier);
    QTest::newRow("list, Alt+Shift") << true << (Qt::AltModifier | Qt::ShiftModifier);
}

// Every letter, digit and sign under Alt leaves the text as it was; the
// same keys without Alt still type.
void TestWindowRules::altNeverTypes()
{
    QFETCH(bool, plainText);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QLineEdit line;
    QPlainTextEdit list;
    QWidget *target = plainText ? static_cast<QWidget *>(&list) : &line;
    auto text = [&] { return plainText ? list.toPlainText() : line.text(); };
    target->show();
    QVERIFY(QTest::qWaitForWindowExposed(target));
    const QString keys = QStringLiteral("abcxyzq0189-=[];',./");
    for (const QChar key : keys)
        QTest::keyClick(target, key.toLatin1(), modifiers);
    QCOMPARE(text(), QString());
    QTest::keyClicks(target, QStringLiteral("xq"));
    QCOMPARE(text(), QStringLiteral("xq"));
}

// An open menu takes its items' letters with Alt held as without.
void TestWindowRules::openMenuKeepsItsLetters()
{
    QMenu menu;
    QAction *item = menu.addAction(QStringLiteral("&Xander"));
    bool triggered = false;
    connect(item, &QAction::triggered, this, [&triggered] { triggered = true; });
    menu.popup(QPoint(10, 10));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(&menu, 'x', Qt::AltModifier);
    QVERIFY(triggered);
}

VANTRIX_WINDOW_TEST_MAIN(TestWindowRules)
#include "tst_windowrules.moc"
