// Capturing clicks on the picture in the main window: coordinates, the
// active list, the wait after an opening, the flash and its failures.

#include "AppTestSupport.h"
#include "MetafileBuilders.h"
#include "WindowControls.h"
#include "base/WorkerPool.h"
#include "capture/HoofdUnit.h"
#include "capture/ImagePic.h"
#include "settings/InstellingenUnit.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QEnterEvent>
#include <QFile>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSemaphore>
#include <QTextBlock>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>

namespace {

const QRgb White = qRgb(255, 255, 255);
const QRgb Blue = qRgb(0, 0, 255);

// Where a point of a control lies in its window, as a mouse event says.
QPointF inWindow(QWidget *target, QPoint at)
{
    return QPointF(target->mapTo(target->window(), at));
}

// Sends real mouse events to the picture control, through the event loop's
// notify like the desktop does.
void moveTo(QWidget *target, QPoint at, Qt::MouseButtons held = Qt::NoButton)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(at), inWindow(target, at), target->mapToGlobal(QPointF(at)),
                      Qt::NoButton, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void press(QWidget *target, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(at), inWindow(target, at), target->mapToGlobal(QPointF(at)),
                      button, button, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void release(QWidget *target, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(QEvent::MouseButtonRelease, QPointF(at), inWindow(target, at), target->mapToGlobal(QPointF(at)),
                      button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void click(QWidget *target, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    moveTo(target, at);
    release(target, at, button);
}

QStringList lines(const QPlainTextEdit *memo)
{
    QString text = memo->toPlainText();
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// Calls a function whenever the watched widget paints.
class PaintProbe : public QObject
{
public:
    explicit PaintProbe(std::function<void()> onPaint) : m_onPaint(std::move(onPaint)) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_onPaint();
        return false;
    }

private:
    std::function<void()> m_onPaint;
};

} // namespace

class TestCapture : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void zoomedMappingAndWorkedLine();
    void truncationTowardZero();
    void rowOrColumnZeroAddsLineWithoutFlash_data();
    void rowOrColumnZeroAddsLineWithoutFlash();
    void anyButtonCounts();
    void dragOutsideGivesNegativeCoordinates();
    void onlyLeftPressHoldsPointer_data();
    void onlyLeftPressHoldsPointer();
    void screenShowsPositionPixel_data();
    void screenShowsPositionPixel();
    void pointerNamesScreenPixel_data();
    void pointerNamesScreenPixel();
    void edgeReachingParentStillCounts();
    void madeUpMoveTakesWindowPlaceFromEarlier();
    void viewMovingUnderRestingPointer_data();
    void viewMovingUnderRestingPointer();
    void clicksIgnoredRightAfterOpening();
    void secondOpeningDoesNotRestartTimer();
    void listFollowsFocusAndRadioButtons();
    void clickedRadioButtonTakesFocus();
    void listStaysChosenAfterRoundTrip_data();
    void listStaysChosenAfterRoundTrip();
    void multiLineSelectionUsesItsEnd();
    void emptyListGivesEmptyName();
    void appendingLineBreakRules();
    void longNameIsCut();
    void blankAreaBeforeAnyPicture();
    void zoomWithoutPicture();
    void openingTurnsZoomOff();
    void flashOnIconOrMetafileReports_data();
    void flashOnIconOrMetafileReports();
    void failedOpeningChangesNothing();
    void flashColoursAndRestores();
    void clickDuringFlashFinishesItFirst();
    void clicksWhileOpeningAreIgnored();
    void slowOpeningShowsItsProgress();
    void newerOpeningShowsAlone();
    void pictureDrawnInPartSaysSo();
    void editedTemplateTakesEffect();

private:
    QString writeBitmap(const QString &name, const QImage &image);
    void openReady(const QString &path);
    void openAndWait(const QString &path);
    THoofdForm *w() { return HoofdForm; }
    MainControls ui() { return MainControls(HoofdForm); }
    QWidget *pic() { return ui().ImagePic; }
    std::unique_ptr<TemporaryAppPath> m_appPath;
    QTemporaryDir m_dir;
};

QString TestCapture::writeBitmap(const QString &name, const QImage &image)
{
    const QString path = m_dir.filePath(name);
    QImageWriter writer(path, "bmp");
    writer.write(image);
    return path;
}

void TestCapture::openReady(const QString &path)
{
    openAndWait(path);
    w()->WachtTimerTimer(); // skip the wait after an opening
}

void TestCapture::openAndWait(const QString &path)
{
    w()->openPicture(path);
    QTRY_VERIFY(!w()->isOpening());
}

void TestCapture::init()
{
    m_appPath = std::make_unique<TemporaryAppPath>();
    createApplicationWindows();
    w()->show();
    QVERIFY(QTest::qWaitForWindowExposed(w()));
}

void TestCapture::cleanup()
{
    destroyApplicationWindows();
    m_appPath.reset();
}

void TestCapture::zoomedMappingAndWorkedLine()
{
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(White);
    openReady(writeBitmap(QStringLiteral("a.bmp"), image));
    ui().Memo1->setPlainText(QStringLiteral("S1"));
    ui().Vergroten1->trigger();
    QCOMPARE(pic()->size(), QSize(600, 400));
    moveTo(pic(), QPoint(241, 91));
    QCOMPARE(w()->mouseX(), 120);
    QCOMPARE(w()->mouseY(), 45);
    QCOMPARE(ui().StatusPanel0->text(), QStringLiteral("  X=120 , Y=45"));
    ui().Flitsen1->trigger(); // no flash needed here
    release(pic(), QPoint(241, 91));
    QCOMPARE(ui().Memo3->toPlainText(), QStringLiteral("   X_is[S1]= 120;                 Y_is[S1]= 45;\n"));
}

void TestCapture::truncationTowardZero()
{
    ui().Vergroten1->trigger();
    ui().Vergroten1->trigger();
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(White);
    openReady(writeBitmap(QStringLiteral("t.bmp"), image));
    ui().Vergroten1->trigger();
    press(pic(), QPoint(5, 3));
    moveTo(pic(), QPoint(5, -3), Qt::LeftButton);
    QCOMPARE(w()->mouseX(), 2);
    QCOMPARE(w()->mouseY(), -1);
}

void TestCapture::rowOrColumnZeroAddsLineWithoutFlash_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("zoom");
    QTest::addColumn<bool>("flashes");
    QTest::newRow("inside") << QPoint(5, 5) << false << true;
    QTest::newRow("column 0") << QPoint(0, 5) << false << false;
    QTest::newRow("row 0") << QPoint(5, 0) << false << false;
    QTest::newRow("zoomed, control column 1") << QPoint(1, 10) << true << false;
    QTest::newRow("zoomed, control column 2") << QPoint(2, 10) << true << true;
}

void TestCapture::rowOrColumnZeroAddsLineWithoutFlash()
{
    QFETCH(QPoint, at);
    QFETCH(bool, zoom);
    QFETCH(bool, flashes);
    // A white field crossed by a pure blue line: a flash grows into the line
    // and leaves it white, so a flash shows in the picture afterwards.
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(White);
    for (int x = 0; x < 20; ++x)
        image.setPixel(x, 15, Blue);
    openReady(writeBitmap(QStringLiteral("z.bmp"), image));
    if (zoom)
        ui().Vergroten1->trigger();
    click(pic(), at);
    QCOMPARE(lines(ui().Memo3).size(), 1);
    QTRY_VERIFY(!w()->isFlashing());
    QCOMPARE(ui().ImagePic->picture().image().pixel(10, 15), flashes ? White : Blue);
}

void TestCapture::anyButtonCounts()
{
    ui().Flitsen1->trigger();
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
        click(pic(), QPoint(10, 10), button);
    QCOMPARE(lines(ui().Memo3).size(), 3);
}

void TestCapture::dragOutsideGivesNegativeCoordinates()
{
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(White);
    openReady(writeBitmap(QStringLiteral("d.bmp"), image));
    moveTo(pic(), QPoint(10, 10));
    press(pic(), QPoint(10, 10));
    moveTo(pic(), QPoint(-7, -4), Qt::LeftButton);
    release(pic(), QPoint(-7, -4));
    QCOMPARE(lines(ui().Memo3), QStringList{QStringLiteral("   X_is[]= -7;") + QString(20, QLatin1Char(' ')) +
                                            QStringLiteral("Y_is[]= -4;")});
    QCOMPARE(ui().ImagePic->picture().image(), image.convertToFormat(QImage::Format_RGB32));
}

void TestCapture::onlyLeftPressHoldsPointer_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("releasedAt");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QString>("readOut");
    QTest::newRow("left, released outside") << Qt::LeftButton << QPoint(30, 25) << 1 << "  X=30 , Y=25";
    QTest::newRow("right, released outside") << Qt::RightButton << QPoint(30, 25) << 0 << "  X=10 , Y=10";
    QTest::newRow("middle, released outside") << Qt::MiddleButton << QPoint(-1, 5) << 0 << "  X=10 , Y=10";
    QTest::newRow("right, released inside") << Qt::RightButton << QPoint(19, 19) << 1 << "  X=19 , Y=19";
}

void TestCapture::onlyLeftPressHoldsPointer()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, releasedAt);
    QFETCH(int, lineCount);
    QFETCH(QString, readOut);
    ui().Flitsen1->trigger();
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(White);
    openReady(writeBitmap(QStringLiteral("h.bmp"), image));
    moveTo(pic(), QPoint(10, 10));
    press(pic(), QPoint(10, 10), button);
    moveTo(pic(), releasedAt, button);
    release(pic(), releasedAt, button);
    QCOMPARE(lines(ui().Memo3).size(), lineCount);
    QCOMPARE(ui().StatusPanel0->text(), readOut);
    // The hold ends with the left release: movement outside no longer counts.
    moveTo(pic(), QPoint(40, 40));
    QCOMPARE(ui().StatusPanel0->text(), readOut);
}

void TestCapture::screenShowsPositionPixel_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<bool>("zoom");
    for (const qreal ratio : {1.0, 1.25, 1.5, 1.75, 2.0, 3.0}) {
        for (const bool zoom : {false, true})
            QTest::addRow("%g%s", ratio, zoom ? ", doubled" : "") << ratio << zoom;
    }
}

void TestCapture::screenShowsPositionPixel()
{
    QFETCH(qreal, ratio);
    QFETCH(bool, zoom);
    // Every pixel carries its own coordinates.
    const QImage coded = coordinateCoded(37, 23);
    ImagePicWidget pic;
    pic.setPicture(Picture::fromBytes(encoded(coded, "bmp"), QStringLiteral("bmp")));
    pic.setDoubled(zoom);
    const int factor = zoom ? 2 : 1;

    QImage screen(int(std::ceil(pic.width() * ratio)), int(std::ceil(pic.height() * ratio)), QImage::Format_RGB32);
    screen.setDevicePixelRatio(ratio);
    screen.fill(Qt::white);
    QPainter painter(&screen);
    pic.render(&painter);
    painter.end();

    // Each device pixel shows the picture pixel that a pointer on it names.
    for (int d = 0; d < screen.height(); ++d) {
        for (int c = 0; c < screen.width(); ++c) {
            const int x = ImagePicWidget::controlCoordinate(c, 0, ratio);
            const int y = ImagePicWidget::controlCoordinate(d, 0, ratio);
            if (x >= pic.width() || y >= pic.height())
                continue; // a device pixel mostly beyond the control
            const QRgb shown = screen.pixel(c, d);
            if (shown != qRgb(x / factor, y / factor, 128))
                QFAIL(qPrintable(QStringLiteral("device pixel %1,%2 shows %3,%4, the pointer names %5,%6")
                                     .arg(c)
                                     .arg(d)
                                     .arg(qRed(shown))
                                     .arg(qGreen(shown))
                                     .arg(x / factor)
                                     .arg(y / factor)));
        }
    }
}

void TestCapture::pointerNamesScreenPixel_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<int>("windowX"); // the window's first device pixel on the screen
    for (const qreal ratio : {1.0, 1.25, 1.5, 2.0}) {
        for (const int windowX : {100, 101})
            QTest::addRow("%g at %d", ratio, windowX) << ratio << windowX;
    }
}

// Whatever the scale and the window's place, a pointer on a device pixel
// names the picture pixel shown there, up to the last column and row.
void TestCapture::pointerNamesScreenPixel()
{
    QFETCH(qreal, ratio);
    QFETCH(int, windowX);
    const QPoint offset(207, 33); // the picture's place in the main window
    const QImage coded = coordinateCoded(200, 100);
    ImagePicWidget pic;
    pic.setPicture(Picture::fromBytes(encoded(coded, "bmp"), QStringLiteral("bmp")));
    QImage window(int(std::ceil(450 * ratio)), int(std::ceil(150 * ratio)), QImage::Format_RGB32);
    window.setDevicePixelRatio(ratio);
    window.fill(Qt::white);
    QPainter painter(&window);
    pic.render(&painter, offset);
    painter.end();

    const int windowY = 61;
    const QPointF origin(windowX / ratio, windowY / ratio);
    QPoint last(-1, -1);
    for (int d = 0; d < window.height(); ++d) {
        for (int c = 0; c < window.width(); ++c) {
            const QRgb shown = window.pixel(c, d);
            if (qBlue(shown) != 128)
                continue;
            const QPointF global((windowX + c) / ratio, (windowY + d) / ratio);
            const QPoint named = ImagePicWidget::positionAt(global, origin, offset, ratio);
            QCOMPARE(named, QPoint(qRed(shown), qGreen(shown)));
            last = QPoint(std::max(last.x(), named.x()), std::max(last.y(), named.y()));
        }
    }
    QCOMPARE(last, QPoint(199, 99));
}

// Where Qt hands a pointer on the picture's edge to the picture area
// around it, the click still counts for the pixel under it.
void TestCapture::edgeReachingParentStillCounts()
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(White);
    openReady(writeBitmap(QStringLiteral("edge.bmp"), image));
    ui().Flitsen1->trigger();
    QWidget *area = pic()->parentWidget();
    const QPoint lastColumn = pic()->mapTo(area, QPoint(199, 10));
    click(area, lastColumn);
    QCOMPARE(ui().StatusPanel0->text(), QStringLiteral("  X=199 , Y=10"));
    QCOMPARE(lines(ui().Memo3).size(), 1);
    // Beside the picture the area is no picture: no read-out, no line.
    click(area, pic()->mapTo(area, QPoint(230, 10)));
    QCOMPARE(ui().StatusPanel0->text(), QStringLiteral("  X=199 , Y=10"));
    QCOMPARE(lines(ui().Memo3).size(), 1);
}

// A move Qt makes up on entering carries no place in the window; the pixel
// under the pointer is still the one it names.
void TestCapture::madeUpMoveTakesWindowPlaceFromEarlier()
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(White);
    openReady(writeBitmap(QStringLiteral("enter.bmp"), image));
    moveTo(pic(), QPoint(10, 10));
    const QPoint at(93, 20);
    QMouseEvent madeUp(QEvent::MouseMove, QPointF(at), QPointF(-1, -1), pic()->mapToGlobal(QPointF(at)), Qt::NoButton,
                       Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pic(), &madeUp);
    QCOMPARE(ui().StatusPanel0->text(), QStringLiteral("  X=93 , Y=20"));
}

void TestCapture::viewMovingUnderRestingPointer_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QPoint>("expected"); // the picture pixel under the pointer afterwards
    QTest::newRow("wheel") << QStringLiteral("wheel") << QPoint(100, 180);
    QTest::newRow("scroll bar keys") << QStringLiteral("keys") << QPoint(100, 360);
    QTest::newRow("zoom") << QStringLiteral("zoom") << QPoint(50, 60);
    QTest::newRow("zoom from the menu") << QStringLiteral("menu") << QPoint(50, 60);
    QTest::newRow("zoom, then a picture opened") << QStringLiteral("open") << QPoint(100, 120);
}

// The view moves under a pointer at rest: the read-out follows at once and
// the click names the pixel under the pointer, not the one it rested on.
void TestCapture::viewMovingUnderRestingPointer()
{
    QFETCH(QString, how);
    QFETCH(QPoint, expected);
    QImage image(600, 1000, QImage::Format_RGB32);
    image.fill(White);
    const QString path = writeBitmap(QStringLiteral("tall.bmp"), image);
    openReady(path);
    ui().Flitsen1->trigger();
    const QPoint rest(100, 120);
    moveTo(pic(), rest);
    const QPointF global = pic()->mapToGlobal(QPointF(rest));
    QScrollBar *bar = ui().ScrollBox1->verticalScrollBar();
    if (how == QLatin1String("wheel")) {
        // The picture leaves the wheel to the area around it.
        QWidget *area = ui().ScrollBox1->viewport();
        QWheelEvent wheel(QPointF(pic()->mapTo(area, rest)), global, QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(area, &wheel);
        QCOMPARE(bar->value(), expected.y() - rest.y());
    } else if (how == QLatin1String("keys")) {
        for (int page = 0; page < 2; ++page)
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        bar->setValue(240); // the page step depends on the area's height
    } else if (how == QLatin1String("menu")) {
        // The open menu takes the pointer away and gives it back after.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(pic(), &leave);
        QApplication::sendEvent(ui().ScrollBox1->viewport(), &leave);
        ui().Vergroten1->trigger();
        QCOMPARE(ui().StatusPanel0->text(), QStringLiteral("  X=100 , Y=120"));
        QEnterEvent enter(QPointF(rest), pic()->mapTo(w(), QPointF(rest)), global);
        QApplication::sendEvent(pic(), &enter);
    } else {
        ui().Vergroten1->trigger();
        if (how == QLatin1String("open")) {
            moveTo(pic(), rest);
            QCOMPARE(ui().StatusPanel0->text(), QStringLiteral("  X=50 , Y=60"));
            openReady(path);
        }
    }
    const QString readOut = QStringLiteral("  X=%1 , Y=%2").arg(expected.x()).arg(expected.y());
    QCOMPARE(ui().StatusPanel0->text(), readOut);
    release(pic(), pic()->mapFromGlobal(global).toPoint());
    QVERIFY(lines(ui().Memo3).last().contains(QStringLiteral("X_is[]= %1;").arg(expected.x())));
    QVERIFY(lines(ui().Memo3).last().contains(QStringLiteral("Y_is[]= %1;").arg(expected.y())));
}

void TestCapture::clicksIgnoredRightAfterOpening()
{
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(White);
    openAndWait(writeBitmap(QStringLiteral("w.bmp"), image));
    QVERIFY(ui().WachtTimer->isActive());
    click(pic(), QPoint(12, 13));
    QCOMPARE(ui().StatusPanel0->text(), QStringLiteral("  X=12 , Y=13"));
    QVERIFY(ui().Memo3->toPlainText().isEmpty());
    QCOMPARE(ui().ImagePic->picture().image().pixel(12, 13), White);
    QTRY_VERIFY_WITH_TIMEOUT(!ui().WachtTimer->isActive(), 1500);
    click(pic(), QPoint(12, 13));
    QCOMPARE(lines(ui().Memo3).size(), 1);
}

void TestCapture::secondOpeningDoesNotRestartTimer()
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(White);
    const QString path = writeBitmap(QStringLiteral("s.bmp"), image);
    openAndWait(path);
    QTest::qWait(400);
    openAndWait(path);
    QVERIFY(ui().WachtTimer->isActive());
    QVERIFY(ui().WachtTimer->remainingTime() < 700);
}

void TestCapture::listFollowsFocusAndRadioButtons()
{
    ui().Flitsen1->trigger();
    ui().Memo1->setPlainText(QStringLiteral("IN"));
    ui().Memo2->setPlainText(QStringLiteral("OUT"));
    QVERIFY(ui().RadioButton1->isChecked());
    QVERIFY(!ui().RadioButton2->isChecked());

    ui().Memo2->setFocus();
    QTRY_VERIFY(ui().RadioButton2->isChecked());
    QVERIFY(!ui().RadioButton1->isChecked());
    click(pic(), QPoint(3, 4));
    QVERIFY(lines(ui().Memo3).last().startsWith(QLatin1String("   X_us[OUT]= 3;")));

    // Clicking "Ingangen" switches back without moving the focus into Memo1.
    const int cursor = ui().Memo2->textCursor().position();
    QTest::mouseClick(ui().RadioButton1, Qt::LeftButton);
    QVERIFY(ui().RadioButton1->isChecked());
    QVERIFY(!ui().RadioButton2->isChecked());
    QVERIFY(!ui().Memo1->hasFocus());
    QCOMPARE(ui().Memo2->textCursor().position(), cursor);
    click(pic(), QPoint(3, 4));
    QVERIFY(lines(ui().Memo3).last().startsWith(QLatin1String("   X_is[IN]= 3;")));

    // Clicking the selected radio button leaves it selected.
    QTest::mouseClick(ui().RadioButton1, Qt::LeftButton);
    QVERIFY(ui().RadioButton1->isChecked());
}

void TestCapture::clickedRadioButtonTakesFocus()
{
    QVERIFY(QTest::qWaitForWindowActive(w()));
    ui().Memo1->setFocus();
    QTRY_VERIFY(ui().Memo1->hasFocus());
    QTest::mouseClick(ui().RadioButton2, Qt::LeftButton);
    QVERIFY(ui().RadioButton2->isChecked());
    QVERIFY(ui().RadioButton2->hasFocus());
    // So a click back into the list is an entering again.
    QTest::mouseClick(ui().Memo1->viewport(), Qt::LeftButton);
    QTRY_VERIFY(ui().Memo1->hasFocus());
    QVERIFY(ui().RadioButton1->isChecked());
    QVERIFY(!ui().RadioButton2->isChecked());
}

void TestCapture::listStaysChosenAfterRoundTrip_data()
{
    QTest::addColumn<QString>("trip");
    QTest::newRow("settings dialog") << "settings";
    QTest::newRow("message box") << "message";
    QTest::newRow("another window") << "window";
    QTest::newRow("menu") << "menu";
}

void TestCapture::listStaysChosenAfterRoundTrip()
{
    QFETCH(QString, trip);
    QVERIFY(QTest::qWaitForWindowActive(w()));
    ui().Memo1->setFocus();
    QTRY_VERIFY(ui().Memo1->hasFocus());
    // "Uitgangen" chosen while the focus stays in Memo1.
    ui().RadioButton2->click();
    ui().Memo1->setFocus();
    QVERIFY(ui().RadioButton2->isChecked());

    QWidget other;
    if (trip == QLatin1String("settings")) {
        whenModal([](QWidget *dialog) { dialog->close(); });
        w()->SpeedButton2Click();
    } else if (trip == QLatin1String("message")) {
        whenModal([](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); });
        ShowInfoMessage(QStringLiteral("Vantrix"), QString(), QStringLiteral("Tekst"), QStringLiteral("&OK"));
    } else if (trip == QLatin1String("window")) {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    } else {
        QTimer::singleShot(100, ui().Bestand1, &QMenu::close);
        ui().Bestand1->exec(w()->mapToGlobal(QPoint(10, 10)));
    }
    // The desktop hands the window back its activation.
    w()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w()));
    QTRY_VERIFY(ui().Memo1->hasFocus());
    QVERIFY(ui().RadioButton2->isChecked());
    QVERIFY(!ui().RadioButton1->isChecked());
}

void TestCapture::multiLineSelectionUsesItsEnd()
{
    ui().Flitsen1->trigger();
    ui().Memo1->setPlainText(QStringLiteral("first\nsecond\nthird"));
    QTextCursor cursor = ui().Memo1->textCursor();
    cursor.setPosition(2);
    cursor.setPosition(ui().Memo1->document()->findBlockByNumber(2).position() + 1, QTextCursor::KeepAnchor);
    ui().Memo1->setTextCursor(cursor);
    QCOMPARE(THoofdForm::caretLine(ui().Memo1), QStringLiteral("third"));
    // A selection made backwards ends at the same place.
    cursor.setPosition(ui().Memo1->document()->findBlockByNumber(2).position() + 1);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    ui().Memo1->setTextCursor(cursor);
    QCOMPARE(THoofdForm::caretLine(ui().Memo1), QStringLiteral("third"));
}

void TestCapture::emptyListGivesEmptyName()
{
    QCOMPARE(THoofdForm::caretLine(ui().Memo1), QString());
    ui().Memo1->setPlainText(QStringLiteral("S1\n"));
    ui().Memo1->moveCursor(QTextCursor::End);
    QCOMPARE(THoofdForm::caretLine(ui().Memo1), QString());
}

void TestCapture::appendingLineBreakRules()
{
    THoofdForm::appendLine(ui().Memo3, QStringLiteral("a"));
    THoofdForm::appendLine(ui().Memo3, QStringLiteral("b"));
    QCOMPARE(ui().Memo3->toPlainText(), QStringLiteral("a\nb\n"));
    // Typed text without a final line break gets one in front of the line.
    ui().Memo3->setPlainText(QStringLiteral("typed"));
    THoofdForm::appendLine(ui().Memo3, QStringLiteral("c"));
    QCOMPARE(ui().Memo3->toPlainText(), QStringLiteral("typed\nc"));
    THoofdForm::appendLine(ui().Memo3, QStringLiteral("d"));
    QCOMPARE(ui().Memo3->toPlainText(), QStringLiteral("typed\nc\nd"));
    QCOMPARE(ui().Memo3->textCursor().position(), ui().Memo3->toPlainText().size());
}

void TestCapture::longNameIsCut()
{
    ui().Memo1->setPlainText(QString(5000, QLatin1Char('n')));
    QCOMPARE(THoofdForm::caretLine(ui().Memo1).size(), 4096);
}

void TestCapture::blankAreaBeforeAnyPicture()
{
    QCOMPARE(pic()->size(), QSize(216, 31));
    QVERIFY(!ui().ImagePic->hasPicture());
    click(pic(), QPoint(100, 20));
    QCOMPARE(ui().StatusPanel0->text(), QStringLiteral("  X=100 , Y=20"));
    QCOMPARE(lines(ui().Memo3).size(), 1);
    QVERIFY(ui().ImagePic->picture().isBitmap());
    QCOMPARE(ui().ImagePic->picture().size(), QSize(216, 31));
    QTRY_VERIFY(!w()->isFlashing());
    QCOMPARE(ui().ImagePic->picture().image().pixel(100, 20), White);
    QCOMPARE(ui().ImagePic->picture().image().pixel(0, 0), White);
}

void TestCapture::zoomWithoutPicture()
{
    ui().Vergroten1->trigger();
    QCOMPARE(pic()->size(), QSize(0, 0));
    ui().Vergroten1->trigger();
    QCOMPARE(pic()->size(), QSize(0, 0));
}

void TestCapture::openingTurnsZoomOff()
{
    ui().Vergroten1->trigger();
    QVERIFY(ui().Vergroten1->isChecked());
    QImage image(30, 10, QImage::Format_RGB32);
    image.fill(White);
    openAndWait(writeBitmap(QStringLiteral("o.bmp"), image));
    QVERIFY(!ui().Vergroten1->isChecked());
    QVERIFY(!ui().SpeedButton5->isChecked());
    QCOMPARE(pic()->size(), QSize(30, 10));
}

void TestCapture::flashOnIconOrMetafileReports_data()
{
    QTest::addColumn<bool>("flash");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("reports");
    QTest::newRow("flash on") << true << QPoint(10, 10) << true;
    QTest::newRow("flash off") << false << QPoint(10, 10) << false;
    QTest::newRow("flash on, column 0") << true << QPoint(0, 10) << false;
}

void TestCapture::flashOnIconOrMetafileReports()
{
    QFETCH(bool, flash);
    QFETCH(QPoint, at);
    QFETCH(bool, reports);
    openReady(QStringLiteral(":/icons/vantrix.ico"));
    if (!flash)
        ui().Flitsen1->trigger();
    QString text;
    int linesWhenShown = -1;
    if (reports) {
        whenModal([&](QWidget *box) {
            text = qobject_cast<QMessageBox *>(box)->text();
            linesWhenShown = int(lines(ui().Memo3).size());
            qobject_cast<QMessageBox *>(box)->buttons().front()->click();
        });
    }
    click(pic(), at);
    if (reports) {
        QTRY_COMPARE(text, QStringLiteral("Can only modify an image if it contains a bitmap."));
        QCOMPARE(linesWhenShown, 1); // the line comes first
    } else {
        QTest::qWait(50);
        QVERIFY(text.isEmpty());
    }
    QCOMPARE(lines(ui().Memo3).size(), 1);
}

void TestCapture::failedOpeningChangesNothing()
{
    QImage image(30, 10, QImage::Format_RGB32);
    image.fill(White);
    openReady(writeBitmap(QStringLiteral("ok.bmp"), image));
    ui().Vergroten1->trigger();
    const QString broken = m_dir.filePath(QStringLiteral("broken.bmp"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("BM not really");
    file.close();
    QString told;
    whenModal([&told](QWidget *box) {
        told = qobject_cast<QMessageBox *>(box)->text();
        qobject_cast<QMessageBox *>(box)->buttons().front()->click();
    });
    openAndWait(broken);
    QTRY_COMPARE(told, QStringLiteral("Bitmap image is not valid."));
    QVERIFY(ui().Vergroten1->isChecked());
    QCOMPARE(pic()->size(), QSize(60, 20));
    QVERIFY(!ui().WachtTimer->isActive());
    ui().Flitsen1->trigger();
    click(pic(), QPoint(7, 9));
    QVERIFY(lines(ui().Memo3).last().contains(QStringLiteral("X_is[]= 3;")));
}

void TestCapture::flashColoursAndRestores()
{
    // The clicked area turns blue, then yellow, then back; pixels of pure
    // blue touching it end in its colour.
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(qRgb(200, 10, 10));
    for (int y = 0; y < 30; ++y)
        image.setPixel(20, y, Blue);
    openReady(writeBitmap(QStringLiteral("f.bmp"), image));
    // What the control shows at each paint.
    QList<QRgb> seen;
    PaintProbe probe([&] {
        const QRgb now = ui().ImagePic->picture().image().pixel(5, 5);
        if (seen.isEmpty() || seen.last() != now)
            seen << now;
    });
    pic()->installEventFilter(&probe);
    seen << ui().ImagePic->picture().image().pixel(5, 5);
    // The window answers between the colours: a timer of its own runs.
    int ticks = 0;
    QTimer heartbeat;
    connect(&heartbeat, &QTimer::timeout, this, [&ticks] { ++ticks; });
    heartbeat.start(10);
    click(pic(), QPoint(5, 5));
    QCOMPARE(ticks, 0);
    QTRY_VERIFY(!w()->isFlashing());
    QVERIFY(ticks >= 10);
    seen << ui().ImagePic->picture().image().pixel(5, 5);
    QCOMPARE(seen.first(), qRgb(200, 10, 10));
    QVERIFY(seen.contains(Blue));
    QVERIFY(seen.contains(qRgb(255, 255, 0)));
    QCOMPARE(seen.last(), qRgb(200, 10, 10));
    QCOMPARE(ui().ImagePic->picture().image().pixel(20, 3), qRgb(200, 10, 10));
}

// A second click during a flash ends the first in its area's own colour,
// then flashes its own area.
void TestCapture::clickDuringFlashFinishesItFirst()
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(qRgb(200, 10, 10));
    for (int y = 0; y < 20; ++y)
        image.setPixel(20, y, qRgb(0, 0, 0)); // two areas, left and right
    openReady(writeBitmap(QStringLiteral("two.bmp"), image));
    const QImage &shown = ui().ImagePic->picture().image();
    click(pic(), QPoint(5, 5));
    QCOMPARE(shown.pixel(5, 5), Blue);
    click(pic(), QPoint(30, 5));
    QCOMPARE(shown.pixel(5, 5), qRgb(200, 10, 10));
    QCOMPARE(shown.pixel(30, 5), Blue);
    QTRY_VERIFY(!w()->isFlashing());
    QCOMPARE(shown.pixel(30, 5), qRgb(200, 10, 10));
    QCOMPARE(lines(ui().Memo3).size(), 2);
}

// From the choice of a file until its picture shows, clicks on the picture
// add nothing; the second after it shows waits as ever.
void TestCapture::clicksWhileOpeningAreIgnored()
{
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(White);
    w()->openPicture(writeBitmap(QStringLiteral("slow.bmp"), image));
    QVERIFY(w()->isOpening());
    QCOMPARE(pic()->cursor().shape(), Qt::BusyCursor);
    QCOMPARE(ui().ScrollBox1->viewport()->cursor().shape(), Qt::BusyCursor);
    click(pic(), QPoint(10, 10));
    QVERIFY(ui().Memo3->toPlainText().isEmpty());
    QTRY_VERIFY(!w()->isOpening());
    QCOMPARE(pic()->cursor().shape(), Qt::WhatsThisCursor);
    QCOMPARE(ui().ScrollBox1->viewport()->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(ui().WachtTimer->isActive());
    w()->WachtTimerTimer();
    click(pic(), QPoint(10, 10));
    QCOMPARE(lines(ui().Memo3).size(), 1);
}

// An opening that takes more than half a second says so over the picture
// area until the picture shows. The workers are kept busy to make it slow.
void TestCapture::slowOpeningShowsItsProgress()
{
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(White);
    const QString path = writeBitmap(QStringLiteral("late.bmp"), image);
    // Shared with the jobs, which may start after this test has ended; they
    // are let go whatever happens here.
    const auto held = std::make_shared<QSemaphore>();
    const int workers = workerPool()->maxThreadCount();
    auto letGo = qScopeGuard([held, workers] { held->release(workers); });
    for (int i = 0; i < workers; ++i)
        workerPool()->start([held] { held->acquire(); });
    w()->openPicture(path);
    auto *progress = w()->findChild<QProgressBar *>(QStringLiteral("OpeningProgress"));
    QVERIFY(progress);
    QTest::qWait(300);
    QVERIFY(!progress->isVisible());
    QTRY_VERIFY(progress->isVisible());
    QVERIFY(w()->isOpening());
    letGo.dismiss();
    held->release(workers);
    QTRY_VERIFY(!w()->isOpening());
    QVERIFY(!progress->isVisible());
    QCOMPARE(pic()->size(), QSize(30, 20));
}

// A picture chosen while another is still opening replaces it: only the
// newer one ever shows, whichever finishes first.
void TestCapture::newerOpeningShowsAlone()
{
    QImage photo(3000, 2000, QImage::Format_RGB32);
    photo.fill(qRgb(10, 200, 10));
    const QString older = m_dir.filePath(QStringLiteral("older.jpg"));
    QVERIFY(writeWholeFile(older, encoded(photo, "jpeg")));
    QImage small(30, 20, QImage::Format_RGB32);
    small.fill(White);
    const QString newer = writeBitmap(QStringLiteral("newer.bmp"), small);
    QList<QSize> sizes;
    PaintProbe probe([&] {
        if (sizes.isEmpty() || sizes.last() != pic()->size())
            sizes << pic()->size();
    });
    pic()->installEventFilter(&probe);
    w()->openPicture(older);
    w()->openPicture(newer);
    QTRY_VERIFY(!w()->isOpening());
    QTest::qWait(400); // whatever the older opening still brings
    QCOMPARE(pic()->size(), QSize(30, 20));
    QVERIFY(!sizes.contains(QSize(3000, 2000)));
    QCOMPARE(ui().ImagePic->picture().image().pixel(5, 5), White);
}

// A picture that needs more work than a picture may take shows in part and
// says so over the picture area, letting clicks through; the next picture
// opened takes the notice away.
void TestCapture::pictureDrawnInPartSaysSo()
{
    // Strips across and down joined by exclusive or: a clip of a million
    // rectangles, which no picture needs.
    std::vector<QRect> across, down;
    for (int i = 0; i < 1000; ++i) {
        across.emplace_back(0, 2 * i, 2000, 1);
        down.emplace_back(2 * i, 0, 1, 2000);
    }
    EmfBuilder emf;
    emf.setSize(QSize(2000, 2000));
    constexpr quint32 Copy = 5, Xor = 3;
    emf.record(EmfRecord::ExtSelectClipRgn, words({quint32(32 + across.size() * 16), Copy}) + gdiRegion(across));
    emf.record(EmfRecord::ExtSelectClipRgn, words({quint32(32 + down.size() * 16), Xor}) + gdiRegion(down));
    const QString path = m_dir.filePath(QStringLiteral("strips.emf"));
    QVERIFY(writeWholeFile(path, emf.bytes()));
    openReady(path);
    auto *notice = w()->findChild<QLabel *>(QStringLiteral("PictureNotice"));
    QVERIFY(notice);
    QTRY_VERIFY(notice->isVisible());
    QCOMPARE(notice->text(), ImagePicWidget::drawnInPartMessage());
    QVERIFY(notice->testAttribute(Qt::WA_TransparentForMouseEvents));
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(White);
    openReady(writeBitmap(QStringLiteral("whole.bmp"), image));
    QVERIFY(!notice->isVisible());
}

void TestCapture::editedTemplateTakesEffect()
{
    ui().Flitsen1->trigger();
    SettingsControls(InstellingenForm).Edit1->setText(QStringLiteral("x(@@1)=@@2"));
    SettingsControls(InstellingenForm).Edit2->setText(QStringLiteral(" y=@@2"));
    ui().Memo1->setPlainText(QStringLiteral("K"));
    click(pic(), QPoint(9, 8));
    QCOMPARE(lines(ui().Memo3),
             QStringList{QStringLiteral("x(K)=9") + QString(20, QLatin1Char(' ')) + QStringLiteral("K y=8")});
}

VANTRIX_TEST_MAIN(TestCapture)
#include "tst_capture.moc"
