// The program's message boxes: the classic dialog with its re-laid-out
// button row, and the task-style dialog.

#include "WindowTestSupport.h"
#include "ui/MessageBoxes.h"

#include <QClipboard>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>

namespace {

QList<QPushButton *> classicButtons(QWidget *dialog)
{
    auto *strip = dialog->findChild<QFrame *>(QStringLiteral("ButtonPanel"));
    if (!strip)
        return {};
    QList<QPushButton *> buttons = strip->findChildren<QPushButton *>(Qt::FindDirectChildrenOnly);
    std::sort(buttons.begin(), buttons.end(), [](auto *a, auto *b) { return a->x() < b->x(); });
    return buttons;
}

// Switches the application to the classic style for one scope.
class ClassicStyle
{
public:
    ClassicStyle() : m_saved(QApplication::style()->name()) { QApplication::setStyle(QStringLiteral("windows")); }
    ~ClassicStyle() { QApplication::setStyle(m_saved); }

private:
    QString m_saved;
};

} // namespace

class TestMessageBoxes : public QObject
{
    Q_OBJECT
private slots:
    void variantFollowsStyle_data();
    void variantFollowsStyle();
    void classicIcons_data();
    void classicIcons();
    void taskIcons_data();
    void taskIcons();
    void okCaption_data();
    void okCaption();
    void titleAndText();
    void wideCaptionWidensEveryButton();
    void captionWidthIsCapped();
    void stripBehindTheButtons();
    void closeResults_data();
    void closeResults();
    void enterPressesFocusedButton_data();
    void enterPressesFocusedButton();
    void copyAsText();
    void emptyCaptionGivesEmptyTitle();
};

void TestMessageBoxes::variantFollowsStyle_data()
{
    QTest::addColumn<bool>("classic");
    QTest::newRow("styled: task dialog") << false;
    QTest::newRow("classic style: classic dialog") << true;
}

void TestMessageBoxes::variantFollowsStyle()
{
    QFETCH(bool, classic);
    std::unique_ptr<ClassicStyle> style(classic ? new ClassicStyle : nullptr);
    QCOMPARE(UseTaskDialogs(), !classic);
    QString shownName;
    whenModal([&](QWidget *box) {
        shownName = box->objectName();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    ShowInfoMessage(QStringLiteral("Vantrix"), QString(), QStringLiteral("Hallo"), QStringLiteral("&OK"));
    QCOMPARE(shownName, classic ? QStringLiteral("CustomMessageDialog") : QStringLiteral("CustomTaskDialog"));
}

void TestMessageBoxes::classicIcons_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("pixmap"); // -1: no icon
    QTest::newRow("warning") << int(MessageType::Warning) << int(QStyle::SP_MessageBoxWarning);
    QTest::newRow("error") << int(MessageType::Error) << int(QStyle::SP_MessageBoxCritical);
    QTest::newRow("information") << int(MessageType::Information) << int(QStyle::SP_MessageBoxInformation);
    QTest::newRow("confirmation") << int(MessageType::Confirmation) << int(QStyle::SP_MessageBoxQuestion);
    QTest::newRow("custom") << int(MessageType::Custom) << -1;
}

void TestMessageBoxes::classicIcons()
{
    QFETCH(int, type);
    QFETCH(int, pixmap);
    bool hasIcon = false;
    QImage shown;
    QRect messageGeometry;
    whenModal([&](QWidget *box) {
        auto *icon = box->findChild<QLabel *>(QStringLiteral("Image"));
        hasIcon = icon != nullptr;
        if (icon) {
            shown = icon->pixmap().toImage();
            QCOMPARE(icon->size(), QSize(32, 32));
        }
        messageGeometry = box->findChild<QLabel *>(QStringLiteral("Message"))->geometry();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    CustomMessageDialog(QStringLiteral("c"), QString(), QStringLiteral("text"), MessageType(type), {DialogButton::OK},
                        DialogButton::OK);
    QCOMPARE(hasIcon, pixmap >= 0);
    if (hasIcon) {
        const QImage expected =
            QApplication::style()->standardIcon(QStyle::StandardPixmap(pixmap)).pixmap(32, 32).toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32), expected.convertToFormat(QImage::Format_ARGB32));
        QVERIFY(messageGeometry.left() > 32);
    }
}

void TestMessageBoxes::taskIcons_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("icon");
    QTest::newRow("warning") << int(MessageType::Warning) << int(QMessageBox::Warning);
    QTest::newRow("error") << int(MessageType::Error) << int(QMessageBox::Critical);
    QTest::newRow("information") << int(MessageType::Information) << int(QMessageBox::Information);
    QTest::newRow("confirmation") << int(MessageType::Confirmation) << int(QMessageBox::Information);
    QTest::newRow("custom") << int(MessageType::Custom) << int(QMessageBox::Information);
}

void TestMessageBoxes::taskIcons()
{
    QFETCH(int, type);
    QFETCH(int, icon);
    int shown = -1;
    whenModal([&](QWidget *box) {
        shown = int(qobject_cast<QMessageBox *>(box)->icon());
        QTest::keyClick(box, Qt::Key_Escape);
    });
    CustomTaskDialog(QStringLiteral("c"), QString(), QStringLiteral("text"), MessageType(type), {DialogButton::OK},
                     DialogButton::OK);
    QCOMPARE(shown, icon);
}

void TestMessageBoxes::okCaption_data()
{
    QTest::addColumn<bool>("classic");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("shown");
    QTest::newRow("classic, given") << true << "&OK"
                                    << "&OK";
    QTest::newRow("classic, empty") << true << ""
                                    << "OK";
    QTest::newRow("task, given") << false << "&Prima"
                                 << "&Prima";
    QTest::newRow("task, empty") << false << ""
                                 << "&OK";
}

void TestMessageBoxes::okCaption()
{
    QFETCH(bool, classic);
    QFETCH(QString, given);
    QFETCH(QString, shown);
    std::unique_ptr<ClassicStyle> style(classic ? new ClassicStyle : nullptr);
    QStringList captions;
    whenModal([&](QWidget *box) {
        for (auto *button : box->findChildren<QPushButton *>())
            captions << button->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    ShowErrorMessage(QStringLiteral("Vantrix"), QString(), QStringLiteral("text"), given);
    QCOMPARE(captions, QStringList{shown});
}

void TestMessageBoxes::titleAndText()
{
    QString classicMessage;
    whenModal([&](QWidget *box) {
        classicMessage = box->findChild<QLabel *>(QStringLiteral("Message"))->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    CustomMessageDialog(QStringLiteral("c"), QStringLiteral("Titel"), QStringLiteral("Tekst"), MessageType::Information,
                        {DialogButton::OK}, DialogButton::OK);
    QCOMPARE(classicMessage, QStringLiteral("Titel\r\n\r\nTekst"));

    QString instruction, content;
    whenModal([&](QWidget *box) {
        auto *message = qobject_cast<QMessageBox *>(box);
        instruction = message->text();
        content = message->informativeText();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    CustomTaskDialog(QStringLiteral("c"), QStringLiteral("Titel"), QStringLiteral("Tekst"), MessageType::Information,
                     {DialogButton::OK}, DialogButton::OK);
    QVERIFY(instruction.contains(QLatin1String("Titel")));
    QCOMPARE(content, QStringLiteral("Tekst"));
}

void TestMessageBoxes::wideCaptionWidensEveryButton()
{
    const QString wide = QStringLiteral("Een heel lange knoptekst");
    QList<QRect> geometry;
    int dialogWidth = 0;
    QFont font;
    whenModal([&](QWidget *box) {
        font = box->font();
        dialogWidth = box->width();
        for (auto *b : classicButtons(box))
            geometry << b->geometry();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    const int result = CustomMessageDialog(QStringLiteral("c"), QString(), QStringLiteral("x"), MessageType::Warning,
                                           {DialogButton::Yes, DialogButton::No, DialogButton::Cancel},
                                           DialogButton::No, QString(), wide);
    QCOMPARE(result, 2); // Escape presses Cancel
    QCOMPARE(geometry.size(), 3);

    const int height = geometry[0].height();
    const int m = height / 3;
    const int w = QFontMetrics(font).horizontalAdvance(wide) + m;
    const int s = m;
    QVERIFY(dialogWidth >= (w + s) * 3 + 2 * m);
    const int p = ((dialogWidth - (3 * w + 2 * s)) / 2) + (m / 2) + 1;
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(geometry[k].width(), w);
        QCOMPARE(geometry[k].x(), p + k * (w + s));
        QCOMPARE(geometry[k].y(), m);
    }
}

void TestMessageBoxes::captionWidthIsCapped()
{
    QList<QRect> geometry;
    int standardWidth = 0;
    // The standard width is that of a box whose captions all fit.
    whenModal([&](QWidget *box) {
        standardWidth = classicButtons(box).front()->width();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    CustomMessageDialog(QStringLiteral("c"), QString(), QStringLiteral("x"), MessageType::Warning,
                        {DialogButton::Yes, DialogButton::No}, DialogButton::Yes);
    whenModal([&](QWidget *box) {
        for (auto *b : classicButtons(box))
            geometry << b->geometry();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    const int result =
        CustomMessageDialog(QStringLiteral("c"), QString(), QStringLiteral("x"), MessageType::Warning,
                            {DialogButton::Yes, DialogButton::No}, DialogButton::Yes, QString(200, QLatin1Char('W')));
    QCOMPARE(result, 7); // Escape presses No when there is no Cancel
    QCOMPARE(geometry.size(), 2);
    QCOMPARE(geometry[0].width(), 3 * standardWidth);
    QCOMPARE(geometry[1].width(), 3 * standardWidth);
}

void TestMessageBoxes::stripBehindTheButtons()
{
    QRect strip;
    QColor stripColour, dialogColour;
    int buttonTop = -1;
    int buttonHeight = 0;
    QSize dialogSize;
    whenModal([&](QWidget *box) {
        auto *panel = box->findChild<QFrame *>(QStringLiteral("ButtonPanel"));
        strip = panel->geometry();
        stripColour = panel->palette().color(QPalette::Window);
        dialogColour = box->palette().color(QPalette::Window);
        QPushButton *button = classicButtons(box).front();
        buttonTop = button->y();
        buttonHeight = button->height();
        dialogSize = box->size();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    CustomMessageDialog(QStringLiteral("c"), QString(), QStringLiteral("x"), MessageType::Error, {DialogButton::OK},
                        DialogButton::OK);
    QCOMPARE(stripColour, QApplication::palette().color(QPalette::Button));
    QCOMPARE(dialogColour, QApplication::palette().color(QPalette::Base));
    const int m = buttonHeight / 3;
    QCOMPARE(strip.left(), -m);
    QCOMPARE(strip.width(), dialogSize.width() + m);
    QVERIFY(strip.bottom() >= dialogSize.height() - 1);
    QCOMPARE(buttonTop, m); // in the strip's own coordinates
}

void TestMessageBoxes::closeResults_data()
{
    QTest::addColumn<bool>("classic");
    QTest::addColumn<bool>("escape");
    QTest::addColumn<int>("expected");
    QTest::newRow("classic, Escape with only OK") << true << true << 1;
    QTest::newRow("classic, close box") << true << false << 2;
    QTest::newRow("task, Escape") << false << true << 2;
    QTest::newRow("task, close box") << false << false << 2;
}

void TestMessageBoxes::enterPressesFocusedButton_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("expected");
    QTest::newRow("default button") << 0 << 6;
    QTest::newRow("Tab to No") << 1 << 7;
    QTest::newRow("Tab to Cancel") << 2 << 2;
    QTest::newRow("round to Yes") << 3 << 6;
}

void TestMessageBoxes::enterPressesFocusedButton()
{
    QFETCH(int, tabs);
    QFETCH(int, expected);
    whenModal([tabs](QWidget *box) {
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(box->focusWidget(), Qt::Key_Tab);
        QTest::keyClick(box->focusWidget(), Qt::Key_Return);
    });
    const int result =
        CustomMessageDialog(QStringLiteral("c"), QString(), QStringLiteral("x"), MessageType::Confirmation,
                            {DialogButton::Yes, DialogButton::No, DialogButton::Cancel}, DialogButton::Yes);
    QCOMPARE(result, expected);
}

void TestMessageBoxes::closeResults()
{
    QFETCH(bool, classic);
    QFETCH(bool, escape);
    QFETCH(int, expected);
    whenModal([escape](QWidget *box) {
        if (escape)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->close();
    });
    const int result = classic ? CustomMessageDialog(QStringLiteral("c"), QString(), QStringLiteral("x"),
                                                     MessageType::Information, {DialogButton::OK}, DialogButton::OK)
                               : CustomTaskDialog(QStringLiteral("c"), QString(), QStringLiteral("x"),
                                                  MessageType::Information, {DialogButton::OK}, DialogButton::OK);
    QCOMPARE(result, expected);

    // A button click gives its own code.
    whenModal([](QWidget *box) {
        for (auto *b : box->findChildren<QPushButton *>()) {
            if (b->text().contains(QLatin1String("No")))
                b->click();
        }
    });
    const int no =
        classic ? CustomMessageDialog(QStringLiteral("c"), QString(), QStringLiteral("x"), MessageType::Confirmation,
                                      {DialogButton::Yes, DialogButton::No}, DialogButton::Yes)
                : CustomTaskDialog(QStringLiteral("c"), QString(), QStringLiteral("x"), MessageType::Confirmation,
                                   {DialogButton::Yes, DialogButton::No}, DialogButton::Yes);
    QCOMPARE(no, 7);
}

void TestMessageBoxes::copyAsText()
{
    whenModal([](QWidget *box) {
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    CustomMessageDialog(QStringLiteral("Vantrix"), QString(), QStringLiteral("Bericht"), MessageType::Information,
                        {DialogButton::OK, DialogButton::Cancel}, DialogButton::OK, QString(), QString(),
                        QStringLiteral("&Goed"));
    const QString dashes(27, QLatin1Char('-'));
    QCOMPARE(QGuiApplication::clipboard()->text(),
             dashes + "\nVantrix\n" + dashes + "\nBericht\n" + dashes + "\nGoed   Cancel   \n" + dashes + "\n");
}

void TestMessageBoxes::emptyCaptionGivesEmptyTitle()
{
    QString title = QStringLiteral("unset");
    whenModal([&](QWidget *box) {
        title = box->windowTitle();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    CustomMessageDialog(QString(), QString(), QStringLiteral("x"), MessageType::Information, {DialogButton::OK},
                        DialogButton::OK);
    QCOMPARE(title, QString());
}

VANTRIX_WINDOW_TEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
