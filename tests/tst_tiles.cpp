// Metafile tiles drawn on worker threads: they show exactly what a direct
// drawing shows, a repaint or scroll step plays nothing again, work for a
// picture, zoom or scale no longer shown never shows, a stand-in fills the
// place of what is still being drawn, and the memory stays in its bound.

#include "TestSupport.h"
#include "base/WorkerPool.h"
#include "picture/MetafileTiles.h"
#include "picture/Picture.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <atomic>

namespace {

constexpr int WaitMs = 20000;

QImage canvas(QSize size, qreal ratio)
{
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    return image;
}

// Paints Exposed of the tiles until every tile has arrived, then once more.
QImage paintedWhole(MetafileTiles &tiles, QSize window, qreal ratio, QSize picture)
{
    QImage image = canvas(window, ratio);
    {
        QPainter painter(&image);
        tiles.paint(painter, QRect(QPoint(0, 0), window), picture);
    }
    if (!tiles.waitUntilComplete(WaitMs))
        return QImage();
    QPainter painter(&image);
    tiles.paint(painter, QRect(QPoint(0, 0), window), picture);
    return image;
}

// Waits until no tile is asked for any more: those ahead have arrived too.
bool settle(MetafileTiles &tiles)
{
    QElapsedTimer clock;
    clock.start();
    while (tiles.pendingTiles() > 0 && clock.elapsed() < WaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return tiles.pendingTiles() == 0;
}

// The largest difference of a colour channel between two images of one
// size. Qt rounds gradients a level or two otherwise at another device
// origin; everything else is the same to the bit.
int largestDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max(
                {largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

MetafileTiles::Renderer filling(QColor colour)
{
    return [colour](QPainter &painter, const QRectF &target) { painter.fillRect(target, colour); };
}

} // namespace

class TestTiles : public QObject
{
    Q_OBJECT
private slots:
    void tilesShowWhatADirectDrawingShows_data();
    void tilesShowWhatADirectDrawingShows();
    void repaintsAndScrollStepsPlayNothingAgain();
    void aReplacedPictureNeverShows();
    void aNewZoomShowsTheOldStretchedUntilItArrives();
    void destroyedWhileTilesAreInFlight();
    void memoryStaysWithinItsBound();
};

void TestTiles::tilesShowWhatADirectDrawingShows_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<int>("tolerance"); // levels of a channel
    const QString data = QStringLiteral(VANTRIX_TEST_DATA "/metafiles/");
    const QString plus = corpusDir() + QStringLiteral("/metafiles/lo_testlineargradient.emf");
    for (const qreal ratio : {1.0, 1.5, 2.0}) {
        QTest::addRow("emf at %g", ratio) << data + QStringLiteral("lo-chart.emf") << ratio << 0;
        QTest::addRow("wmf at %g", ratio) << data + QStringLiteral("lo-shapes.wmf") << ratio << 0;
        QTest::addRow("emf+ gradients at %g", ratio) << plus << ratio << 2;
    }
}

void TestTiles::tilesShowWhatADirectDrawingShows()
{
    QFETCH(QString, path);
    QFETCH(qreal, ratio);
    QFETCH(int, tolerance);
    if (!QFileInfo::exists(path))
        QSKIP("the picture corpus is absent");
    const Picture picture = Picture::load(path);
    const QSize size = picture.size() * 2; // doubled: more tiles
    MetafileTiles tiles;
    tiles.setRenderer([picture](QPainter &painter, const QRectF &target) { picture.drawScaled(painter, target); });
    const QImage tiled = paintedWhole(tiles, size, ratio, size);
    QVERIFY(!tiled.isNull());

    QImage direct(tiled.size(), QImage::Format_RGB32);
    direct.fill(Qt::white);
    {
        QPainter painter(&direct);
        picture.drawScaled(painter, QRectF(QPointF(0, 0), QSizeF(tiled.size())));
    }
    QCOMPARE(tiled.size(), direct.size());
    QVERIFY(largestDifference(tiled, direct) <= tolerance);
}

void TestTiles::repaintsAndScrollStepsPlayNothingAgain()
{
    const QSize picture(3000, 3000);
    MetafileTiles tiles;
    tiles.setRenderer(filling(Qt::blue));
    QImage window = canvas(QSize(400, 300), 1);
    QPainter painter(&window);
    tiles.paint(painter, QRect(0, 0, 400, 300), picture);
    QVERIFY(settle(tiles)); // those shown, then those ahead
    const int played = tiles.playbacks();
    QVERIFY(played > 0);
    tiles.paint(painter, QRect(0, 0, 400, 300), picture);  // uncovered again
    tiles.paint(painter, QRect(0, 300, 400, 40), picture); // a scroll step down
    tiles.paint(painter, QRect(400, 0, 40, 300), picture); // and across
    QCOMPARE(tiles.pendingTiles(), 0);
    QCOMPARE(window.pixel(200, 150), qRgb(0, 0, 255));
    tiles.paint(painter, QRect(2600, 2600, 400, 300), picture); // far away
    QVERIFY(tiles.pendingTiles() > 0);
    QVERIFY(settle(tiles));
    QVERIFY(tiles.playbacks() > played);
}

// Tiles of a picture replaced while they are drawn are thrown away: the
// old work, started first, arrives first, and must not take the places.
void TestTiles::aReplacedPictureNeverShows()
{
    std::atomic<int> oldPlays = 0;
    MetafileTiles tiles;
    tiles.setRenderer([&](QPainter &painter, const QRectF &target) {
        QThread::msleep(100);
        ++oldPlays;
        painter.fillRect(target, Qt::red);
    });
    const QSize picture(900, 600);
    QImage window = canvas(picture, 1);
    {
        QPainter painter(&window);
        tiles.paint(painter, QRect(QPoint(0, 0), picture), picture);
    }
    QThread::msleep(20); // the old work has started
    tiles.setRenderer(filling(Qt::blue));
    const QImage shown = paintedWhole(tiles, picture, 1, picture);
    QVERIFY(!shown.isNull());
    QVERIFY(settle(tiles));
    QVERIFY(workerPool()->waitForDone(WaitMs));
    QCoreApplication::processEvents();
    QVERIFY(oldPlays > 0);
    QImage again = canvas(picture, 1);
    QPainter painter(&again);
    tiles.paint(painter, QRect(QPoint(0, 0), picture), picture);
    for (const QImage &image : {shown, again})
        for (const QPoint at : {QPoint(0, 0), QPoint(450, 300), QPoint(899, 599)})
            QCOMPARE(image.pixel(at), qRgb(0, 0, 255));
}

// A new zoom shows at once what was drawn before, stretched, and never a
// tile of the old zoom in a place of the new.
void TestTiles::aNewZoomShowsTheOldStretchedUntilItArrives()
{
    // Shared with the jobs, which may still run after the test: tiles
    // around those shown are drawn too.
    const auto gate = std::make_shared<QSemaphore>();
    const auto gated = std::make_shared<std::atomic<bool>>(false);
    // However the test ends, no worker stays waiting at the gate.
    const auto open = qScopeGuard([gate, gated] {
        *gated = false;
        gate->release(1000);
    });
    MetafileTiles tiles;
    // Left half red, right half blue, at any size.
    tiles.setRenderer([gate, gated](QPainter &painter, const QRectF &target) {
        if (*gated)
            gate->acquire();
        painter.fillRect(QRectF(target.topLeft(), QSizeF(target.width() / 2, target.height())), Qt::red);
        painter.fillRect(QRectF(target.center().x(), 0, target.width() / 2, target.height()), Qt::blue);
    });
    const QSize natural(600, 400);
    QVERIFY(!paintedWhole(tiles, natural, 1, natural).isNull());
    *gated = true;
    const QSize doubled = natural * 2;
    QImage window = canvas(QSize(1000, 700), 1);
    {
        QPainter painter(&window);
        tiles.paint(painter, QRect(0, 0, 1000, 700), doubled);
    }
    QVERIFY(!tiles.complete());
    QCOMPARE(window.pixel(300, 300), qRgb(255, 0, 0)); // the old picture, stretched
    QCOMPARE(window.pixel(900, 300), qRgb(0, 0, 255));
    gate->release(1000);
    QVERIFY(tiles.waitUntilComplete(WaitMs));
    QPainter painter(&window);
    tiles.paint(painter, QRect(0, 0, 1000, 700), doubled);
    QCOMPARE(window.pixel(599, 300), qRgb(255, 0, 0));
    QCOMPARE(window.pixel(600, 300), qRgb(0, 0, 255));
}

void TestTiles::destroyedWhileTilesAreInFlight()
{
    QSemaphore gate;
    const auto open = qScopeGuard([&] { gate.release(1000); });
    auto tiles = std::make_unique<MetafileTiles>();
    tiles->setRenderer([&](QPainter &painter, const QRectF &target) {
        gate.acquire();
        painter.fillRect(target, Qt::red);
    });
    QImage window = canvas(QSize(800, 600), 1);
    {
        QPainter painter(&window);
        tiles->paint(painter, QRect(0, 0, 800, 600), QSize(4000, 4000));
    }
    tiles.reset();
    gate.release(1000);
    QVERIFY(workerPool()->waitForDone(WaitMs));
    QCoreApplication::processEvents(); // the replies find no one
}

void TestTiles::memoryStaysWithinItsBound()
{
    const qint64 budget = qint64(4) << 20;
    MetafileTiles tiles(budget);
    tiles.setRenderer(filling(Qt::blue));
    QImage window = canvas(QSize(600, 400), 1);
    QPainter painter(&window);
    // A picture of 56 000 x 28 000 pixels, scrolled to here and there.
    for (int step = 0; step < 20; ++step) {
        const QPoint scrolled(step * 2700, step * 1300);
        painter.resetTransform();
        painter.translate(-scrolled);
        tiles.paint(painter, QRect(scrolled, QSize(600, 400)), QSize(56000, 28000));
        QVERIFY(tiles.waitUntilComplete(WaitMs));
        QVERIFY(tiles.bytes() <= budget);
    }
    QVERIFY(settle(tiles));
    QVERIFY(tiles.bytes() <= budget);
    QVERIFY(tiles.tileCount() > 0);
    tiles.paint(painter, QRect(QPoint(19 * 2700, 19 * 1300), QSize(600, 400)), QSize(56000, 28000));
    QCOMPARE(window.pixel(300, 200), qRgb(0, 0, 255));
}

QTEST_MAIN(TestTiles)
#include "tst_tiles.moc"
