// The information window: texts, build message, link and closing keys.

#include "AppTestSupport.h"
#include "WindowControls.h"
#include "capture/HoofdUnit.h"
#include "info/OpstartInfo.h"
#include "ui/DesktopShell.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

class TestInfoWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void layoutAndCreation();
    void textsAfterInfoCommand();
    void buildMessageOnDoubleClick();
    void linkOpensAndWindowStays();
    void keysOnFirstAndLaterShowings_data();
    void keysOnFirstAndLaterShowings();
    void noCloseButtonInTitleBar();
    void windowManagerCloseDoesNothing();
    void doubleClickOnLinkOpensOnce();

private:
    // Opens the window through the Info command; Action runs while it shows.
    void showInfo(const std::function<void(QWidget *)> &action);
    std::unique_ptr<TemporaryAppPath> m_appPath;
    QList<QUrl> m_opened;
};

void TestInfoWindow::init()
{
    m_appPath = std::make_unique<TemporaryAppPath>();
    createApplicationWindows();
    HoofdForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(HoofdForm));
    // The user can open the window only once start-up has run Timer1.
    QTRY_VERIFY(!InfoControls(OpstartInfoForm).Timer1->isActive());
    m_opened.clear();
    DesktopShell::setOpenHandler([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
}

void TestInfoWindow::cleanup()
{
    destroyApplicationWindows();
    m_appPath.reset();
}

void TestInfoWindow::showInfo(const std::function<void(QWidget *)> &action)
{
    whenModal([action](QWidget *window) { action(window); });
    MainControls(HoofdForm).Info1->trigger();
}

void TestInfoWindow::layoutAndCreation()
{
    QCOMPARE(OpstartInfoForm->size(), QSize(494, 284));
    const InfoControls f(OpstartInfoForm);
    QCOMPARE(f.BackPanel->geometry(), QRect(21, 1, 454, 264));
    QCOMPARE(f.WhitePanel->geometry(), QRect(22, 2, 452, 262));
    QCOMPARE(f.HalfCircleImage->geometry(), QRect(426, 185, 26, 56));
    QCOMPARE(f.LogoImage->pixmap().size(), QSize(101, 30));
    QCOMPARE(f.Button1->geometry(), QRect(360, 20, 75, 25));
    QCOMPARE(f.Button1->text(), QStringLiteral("&Sluiten"));
    // Hidden in the design, shown by the one tick of Timer1.
    QTRY_VERIFY(!f.Timer1->isActive());
    QVERIFY(!f.Button1->isHidden());
    // The card's border is a one-pixel dark-blue outline.
    const QImage card = f.BackPanel->grab().toImage();
    QCOMPARE(card.pixel(0, 0), qRgb(0, 0, 189));
    QCOMPARE(card.pixel(453, 263), qRgb(0, 0, 189));
    QCOMPARE(card.pixel(5, 5), qRgb(255, 255, 255));
}

void TestInfoWindow::textsAfterInfoCommand()
{
    QStringList texts;
    QString title = QStringLiteral("unset");
    bool underlined = false;
    showInfo([&](QWidget *window) {
        const InfoControls f(OpstartInfoForm);
        title = window->windowTitle();
        texts << f.ntLabel8->text() << f.ntLabel1->text() << f.ntLabel2->text() << f.ntLabel3->text()
              << f.ntLabel4->text() << f.ntLabel5->text() << f.ntLabel6->text() << f.ntLabel7->text();
        underlined = f.ntLabel3->font().underline();
        f.Button1->click();
    });
    QCOMPARE(title, QString());
    QCOMPARE(texts, (QStringList{QStringLiteral("Vantrix"), QStringLiteral("Versie 1.3.0 build 19"), CopyrightText,
                                 WebAddress, QString(), QString(), QString(), QString()}));
    QVERIFY(underlined);
    QCOMPARE(OpstartInfoForm->linkTarget(), WebAddress);
    QCOMPARE(OpstartInfoForm->messageCaption(), QStringLiteral("Vantrix"));
}

void TestInfoWindow::buildMessageOnDoubleClick()
{
    QString caption, text;
    QStringList buttons;
    bool infoStillOpen = false;
    showInfo([&](QWidget *) {
        whenModal([&](QWidget *box) {
            auto *message = qobject_cast<QMessageBox *>(box);
            caption = message->windowTitle();
            text = message->text();
            for (auto *b : message->buttons())
                buttons << b->text();
            message->buttons().front()->click();
        });
        QTest::mouseDClick(InfoControls(OpstartInfoForm).ntLabel8, Qt::LeftButton);
        infoStillOpen = OpstartInfoForm->isVisible();
        InfoControls(OpstartInfoForm).Button1->click();
    });
    QCOMPARE(caption, QStringLiteral("Vantrix"));
    QCOMPARE(text, QStringLiteral("Build: 11.02.2009"));
    QCOMPARE(buttons, QStringList{QStringLiteral("&OK")});
    QVERIFY(infoStillOpen);
}

void TestInfoWindow::linkOpensAndWindowStays()
{
    bool stillOpen = false;
    showInfo([&](QWidget *) {
        QTest::mouseClick(InfoControls(OpstartInfoForm).ntLabel3, Qt::LeftButton);
        stillOpen = OpstartInfoForm->isVisible();
        InfoControls(OpstartInfoForm).Button1->click();
    });
    QCOMPARE(m_opened, QList<QUrl>{QUrl(WebAddress)});
    QVERIFY(stillOpen);
}

void TestInfoWindow::keysOnFirstAndLaterShowings_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("closesFirst");
    QTest::addColumn<bool>("closesLater");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << true << true;
    QTest::newRow("S") << int(Qt::Key_S) << true << true;
    QTest::newRow("Enter") << int(Qt::Key_Return) << true << false;
    QTest::newRow("Space") << int(Qt::Key_Space) << true << false;
    QTest::newRow("another letter") << int(Qt::Key_A) << false << false;
}

void TestInfoWindow::keysOnFirstAndLaterShowings()
{
    QFETCH(int, key);
    QFETCH(bool, closesFirst);
    QFETCH(bool, closesLater);
    for (const bool first : {true, false}) {
        bool closed = false;
        QWidget *focus = nullptr;
        showInfo([&](QWidget *window) {
            focus = window->focusWidget();
            QWidget *target = focus ? focus : window;
            QTest::keyClick(target, Qt::Key(key));
            if (key == Qt::Key_Space)
                QTest::keyRelease(target, Qt::Key_Space);
            closed = !window->isVisible();
            if (!closed)
                QTest::keyClick(window, Qt::Key_Escape);
        });
        QCOMPARE(focus, first ? static_cast<QWidget *>(InfoControls(OpstartInfoForm).Button1)
                              : InfoControls(OpstartInfoForm).WhitePanel);
        QCOMPARE(closed, first ? closesFirst : closesLater);
    }
}

void TestInfoWindow::noCloseButtonInTitleBar()
{
    const Qt::WindowFlags flags = OpstartInfoForm->windowFlags();
    QVERIFY(!(flags & Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & Qt::WindowSystemMenuHint));
    QVERIFY(flags & Qt::WindowTitleHint);
}

void TestInfoWindow::windowManagerCloseDoesNothing()
{
    bool openAfterClose = false;
    showInfo([&](QWidget *window) {
        // As the window manager asks (Alt+F4, its own close button).
        QCloseEvent close;
        QSpontaneKeyEvent::setSpontaneous(&close);
        QApplication::sendEvent(window->windowHandle(), &close);
        openAfterClose = window->isVisible();
        QTest::keyClick(window, Qt::Key_Escape);
    });
    QVERIFY(openAfterClose);
    QVERIFY(!OpstartInfoForm->isVisible());
}

void TestInfoWindow::doubleClickOnLinkOpensOnce()
{
    // What the desktop delivers for a double-click, then one more click.
    const QList<QEvent::Type> events{QEvent::MouseButtonPress,    QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
                                     QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
                                     QEvent::MouseButtonRelease};
    QList<qsizetype> opened;
    showInfo([&](QWidget *) {
        QLabel *link = InfoControls(OpstartInfoForm).ntLabel3;
        for (const QEvent::Type type : events) {
            const QPointF at(3, 3);
            const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QMouseEvent event(type, at, link->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
            QApplication::sendEvent(link, &event);
            opened << m_opened.size();
        }
        InfoControls(OpstartInfoForm).Button1->click();
    });
    QCOMPARE(opened, (QList<qsizetype>{0, 1, 1, 1, 1, 1, 2}));
}

VANTRIX_TEST_MAIN(TestInfoWindow)
#include "tst_infowindow.moc"
