// Frames whole at fractional display scales: every side of a list's frame
// keeps a line of device pixels, wherever the list lies in its window. Run
// at the display scale that QT_SCALE_FACTOR sets, on the window as shown.

#include "WindowTestSupport.h"
#include "ui/DeviceFrameStyle.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyleFactory>

class TestFrames : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everySideShows_data();
    void everySideShows();
};

void TestFrames::initTestCase()
{
    QApplication::setStyle(new DeviceFrameStyle(QStyleFactory::create(QStringLiteral("Fusion"))));
}

void TestFrames::everySideShows_data()
{
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<bool>("withChildren"); // a list with its scroll bar, or a bare frame
    for (const QPoint offset : {QPoint(0, 0), QPoint(1, 1), QPoint(3, 2), QPoint(206, 57), QPoint(5, 233)}) {
        for (const bool children : {true, false})
            QTest::addRow("at %d,%d%s", offset.x(), offset.y(), children ? ", list" : "") << offset << children;
    }
}

void TestFrames::everySideShows()
{
    QFETCH(QPoint, offset);
    QFETCH(bool, withChildren);
    QWidget window;
    window.resize(420, 400);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    QFrame *frame = nullptr;
    if (withChildren) {
        auto *list = new QPlainTextEdit(&window);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        FrameOverlay::attach(list);
        frame = list;
    } else {
        auto *label = new QLabel(&window);
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        frame = label;
    }
    frame->setGeometry(QRect(offset, QSize(197, 147)));

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage screen = window.screen()->grabWindow(window.winId()).toImage();
    const qreal ratio = window.devicePixelRatioF();

    // The frame's outermost device pixels, where Qt places the control:
    // each edge where it falls, rounded.
    const QRect logical = frame->geometry();
    const QRect device(QPoint(qRound(logical.left() * ratio), qRound(logical.top() * ratio)),
                       QPoint(qRound((logical.right() + 1) * ratio) - 1, qRound((logical.bottom() + 1) * ratio) - 1));
    // A line shows within the outermost logical unit of each side, inside
    // the control.
    const int unit = int(std::ceil(ratio));
    const auto isLine = [&](int x, int y, QPoint inward) {
        for (int i = 0; i < unit; ++i) {
            if (qGray(screen.pixel(x + i * inward.x(), y + i * inward.y())) < 224)
                return true;
        }
        return false;
    };
    for (int y = device.top() + 2 * unit; y < device.bottom() - 2 * unit; y += 7) {
        QVERIFY2(isLine(device.left(), y, {1, 0}), qPrintable(QStringLiteral("left side at %1").arg(y)));
        QVERIFY2(isLine(device.right(), y, {-1, 0}), qPrintable(QStringLiteral("right side at %1").arg(y)));
    }
    for (int x = device.left() + 2 * unit; x < device.right() - 2 * unit; x += 7) {
        QVERIFY2(isLine(x, device.top(), {0, 1}), qPrintable(QStringLiteral("top side at %1").arg(x)));
        QVERIFY2(isLine(x, device.bottom(), {0, -1}), qPrintable(QStringLiteral("bottom side at %1").arg(x)));
    }
}

VANTRIX_WINDOW_TEST_MAIN(TestFrames)
#include "tst_frames.moc"
