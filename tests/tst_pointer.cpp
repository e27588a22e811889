// The pixel under the pointer, from the window system's exact places and
// the rounded ones Qt hands the picture control at display scales that are
// not whole. ctest runs this at scales 1 to 2 (QT_SCALE_FACTOR).

#include "TestSupport.h"
#include "WindowTestSupport.h"
#include "capture/ImagePic.h"
#include "ui/DevicePointer.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cmath>
#include <cstring>

namespace {

constexpr std::uint8_t InputOpcode = 131;
constexpr QPoint PictureOffset(207, 33); // the picture's place in the main window

// The fewest device pixels that hold a whole number of logical ones.
int gridPeriod(qreal scale)
{
    int period = 1;
    while (period < 64 && std::abs(period / scale - std::round(period / scale)) > 1e-9)
        ++period;
    return period;
}

xcb_input_fp1616_t fixed(qreal value)
{
    return xcb_input_fp1616_t(std::lround(value * 65536));
}

// A pointer event of the X input extension, as the connection hands it on.
void feedInput(std::uint16_t type, std::uint32_t time, std::uint32_t window, QPointF inWindow)
{
    xcb_input_button_press_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_GE_GENERIC;
    event.extension = InputOpcode;
    event.event_type = type;
    event.time = time;
    event.event = window;
    event.event_x = fixed(inWindow.x());
    event.event_y = fixed(inWindow.y());
    DevicePointer::instance().nativeEventFilter("xcb_generic_event_t", &event, nullptr);
}

// What Qt hands the control for a pointer at device pixel InWindow of a
// window whose first device pixel is WindowDevice, at the control's scale.
struct QtPlaces {
    QPointF exactGlobal;   // the root place divided by the scale
    QPointF roundedGlobal; // the same, rounded to whole logical pixels
    QPointF windowLogical; // the window's place as Qt keeps it, rounded
};

QtPlaces placesOf(QWidget *pic, QPoint windowDevice, QPointF inWindow)
{
    const qreal scale = pic->devicePixelRatioF();
    const QPointF exact = (QPointF(windowDevice) + inWindow) / scale;
    return {exact, QPointF(exact.toPoint()), QPointF(pic->window()->mapToGlobal(QPoint(0, 0)))};
}

template <typename Event> void send(QWidget *pic, QEvent::Type type, QPointF global, QPointF window, quint64 time)
{
    const QPointF scene = global - window;
    const QPointF local = scene - QPointF(pic->mapTo(pic->window(), QPoint(0, 0)));
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    Event event(type, local, scene, global, button, held, Qt::NoModifier);
    event.setTimestamp(time);
    QApplication::sendEvent(pic, &event);
}

} // namespace

class TestPointer : public QObject
{
    Q_OBJECT
private slots:
    void trailFindsTheEventsOwnPlace();
    void firstEventAfterEnteringNamesShownPixel_data();
    void firstEventAfterEnteringNamesShownPixel();
};

// Samples of other windows, other times or far places are not the event's.
void TestPointer::trailFindsTheEventsOwnPlace()
{
    PointerTrail trail;
    trail.record({10, 7, QPointF(5, 5)});
    trail.record({11, 7, QPointF(40, 41)});
    trail.record({11, 8, QPointF(40, 41)});
    trail.record({11, 7, QPointF(90, 90)});
    QCOMPARE(trail.match(7, 11, QPointF(41, 40), 2)->inWindow, QPointF(40, 41));
    QVERIFY(!trail.match(7, 12, QPointF(41, 40), 2));
    QVERIFY(!trail.match(9, 11, QPointF(41, 40), 2));
    QVERIFY(!trail.match(7, 11, QPointF(60, 60), 2));
    QCOMPARE(trail.latest(8)->inWindow, QPointF(40, 41));
    QCOMPARE(trail.latest(7)->inWindow, QPointF(90, 90));
    // A full trail keeps the newest.
    for (std::uint32_t t = 100; t < 100 + PointerTrail::Length; ++t)
        trail.record({t, 7, QPointF(t, 0)});
    QVERIFY(!trail.match(7, 10, QPointF(5, 5), 2));
    QVERIFY(trail.match(7, 100, QPointF(100, 0), 2));
}

void TestPointer::firstEventAfterEnteringNamesShownPixel_data()
{
    QTest::addColumn<int>("remainderX");
    QTest::addColumn<int>("remainderY");
    QTest::addColumn<bool>("doubled");
    // Every place of the window's first device pixel relative to the
    // logical grid, which repeats every Period device pixels.
    const int period = gridPeriod(qApp->primaryScreen()->devicePixelRatio());
    for (int rx = 0; rx < period; ++rx)
        for (int ry = 0; ry < period; ++ry)
            for (const bool doubled : {false, true})
                QTest::addRow("window +%d,+%d%s", rx, ry, doubled ? ", doubled" : "") << rx << ry << doubled;
}

// The pointer comes onto the picture from each side and clicks at once:
// the one move Qt makes up on entering, then press and release, each with
// the places Qt rounds. The click names the pixel the screen shows there.
void TestPointer::firstEventAfterEnteringNamesShownPixel()
{
    QFETCH(int, remainderX);
    QFETCH(int, remainderY);
    QFETCH(bool, doubled);
    const QImage coded = coordinateCoded(60, 40);
    // The window's first device pixel, and the logical place Qt rounds it to.
    const qreal scale = qApp->primaryScreen()->devicePixelRatio();
    const int period = gridPeriod(scale);
    const QPoint windowDevice(100 * period + remainderX, 60 * period + remainderY);
    QWidget host;
    host.setWindowFlag(Qt::FramelessWindowHint);
    host.resize(PictureOffset.x() + 140, PictureOffset.y() + 100);
    host.move((QPointF(windowDevice) / scale).toPoint());
    auto *pic = new ImagePicWidget(&host);
    pic->move(PictureOffset);
    pic->setPicture(Picture::fromBytes(encoded(coded, "bmp"), QStringLiteral("bmp")));
    pic->setDoubled(doubled);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QImage screen = host.grab().toImage();
    QCOMPARE(pic->devicePixelRatioF(), scale);
    DevicePointer::instance().setInputOpcode(InputOpcode);
    const auto window = std::uint32_t(host.winId());

    QPoint named(-1000, -1000);
    connect(pic, &ImagePicWidget::mouseMoved, this, [&named](QPoint position) { named = position; });
    std::uint32_t time = 1000;
    int clicks = 0;
    for (int d = 0; d < screen.height(); ++d) {
        for (int c = 0; c < screen.width(); ++c) {
            const QRgb shown = screen.pixel(c, d);
            const bool nearEdge = qRed(shown) < 2 || qGreen(shown) < 2 || qRed(shown) >= coded.width() - 2 ||
                                  qGreen(shown) >= coded.height() - 2;
            if (qBlue(shown) != 128 || !(nearEdge || (c + d) % 13 == 0))
                continue;
            // From outside the picture on the nearest side, straight on.
            const QPointF at(c, d);
            const QPointF outside = at + (qRed(shown) < 2                    ? QPointF(-30, 0)
                                          : qGreen(shown) < 2                ? QPointF(0, -30)
                                          : qRed(shown) >= coded.width() - 2 ? QPointF(30, 0)
                                                                             : QPointF(0, 30));
            feedInput(XCB_INPUT_MOTION, ++time, window, outside);
            feedInput(XCB_INPUT_MOTION, ++time, window, at);
            const QtPlaces places = placesOf(pic, windowDevice, at);
            QEnterEvent enter(places.exactGlobal - places.windowLogical - QPointF(PictureOffset),
                              places.exactGlobal - places.windowLogical, places.exactGlobal);
            QApplication::sendEvent(pic, &enter);
            // The move Qt makes up carries no place in the window.
            QMouseEvent madeUp(QEvent::MouseMove,
                               (places.roundedGlobal - places.windowLogical - QPointF(PictureOffset)), QPointF(-1, -1),
                               places.exactGlobal, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            madeUp.setTimestamp(time);
            QApplication::sendEvent(pic, &madeUp);
            feedInput(XCB_INPUT_BUTTON_PRESS, ++time, window, at);
            send<QMouseEvent>(pic, QEvent::MouseButtonPress, places.roundedGlobal, places.windowLogical, time);
            feedInput(XCB_INPUT_BUTTON_RELEASE, ++time, window, at);
            send<QMouseEvent>(pic, QEvent::MouseButtonRelease, places.roundedGlobal, places.windowLogical, time);
            const QPoint expected(qRed(shown), qGreen(shown));
            if (named != expected)
                QFAIL(qPrintable(QStringLiteral("device pixel %1,%2 shows %3,%4, the click names %5,%6")
                                     .arg(c)
                                     .arg(d)
                                     .arg(expected.x())
                                     .arg(expected.y())
                                     .arg(named.x())
                                     .arg(named.y())));
            ++clicks;
        }
    }
    QVERIFY(clicks > 200);
}

VANTRIX_WINDOW_TEST_MAIN(TestPointer)
#include "tst_pointer.moc"
