// Metafile tiles: a repaint copies what was drawn, a scroll step finds its
// tiles drawn ahead, a new scale draws anew, the memory stays in its bound,
// and tiles show exactly what a direct drawing shows.

#include "capture/MetafileTiles.h"

#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

// A picture whose every device pixel has its own colour: any seam, shift
// or stretch between tiles shows.
void drawCoordinates(QPainter &painter, const QRectF &target)
{
    const QRect area = painter.clipBoundingRect().toAlignedRect().isEmpty()
                           ? target.toAlignedRect()
                           : painter.clipBoundingRect().toAlignedRect();
    QImage pattern(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < pattern.height(); ++y)
        for (int x = 0; x < pattern.width(); ++x)
            pattern.setPixel(x, y, qRgb((area.x() + x) % 256, (area.y() + y) % 256, ((area.x() + x) / 256) * 16));
    painter.drawImage(area.topLeft(), pattern);
}

QImage canvas(QSize size, qreal ratio)
{
    QImage image(size * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    return image;
}

} // namespace

class TestTiles : public QObject
{
    Q_OBJECT
private slots:
    void tilesShowWhatADirectDrawingShows_data();
    void tilesShowWhatADirectDrawingShows();
    void repaintsAndScrollStepsPlayNothingAgain();
    void aNewScaleDrawsAnew();
    void memoryStaysWithinItsBound();
};

void TestTiles::tilesShowWhatADirectDrawingShows_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("scale 1") << 1.0;
    QTest::newRow("scale 2") << 2.0;
}

void TestTiles::tilesShowWhatADirectDrawingShows()
{
    QFETCH(qreal, ratio);
    const QSize size(700, 300);
    QImage tiled = canvas(size, ratio);
    MetafileTiles tiles;
    int calls = 0;
    const auto render = [&](QPainter &painter, const QRectF &target) {
        ++calls;
        QCOMPARE(target.size(), QSizeF(size * ratio));
        painter.fillRect(target, Qt::white);
        painter.setClipRect(target);
        drawCoordinates(painter, target);
    };
    {
        QPainter painter(&tiled);
        tiles.paint(painter, QRect(QPoint(0, 0), size), size, render);
    }
    QCOMPARE(calls, 1);
    for (const QPoint at : {QPoint(0, 0), QPoint(255, 10), QPoint(256, 10), QPoint(511, 299), QPoint(699, 299)}) {
        const QPoint device = at * ratio;
        QCOMPARE(tiled.pixel(device), qRgb(device.x() % 256, device.y() % 256, (device.x() / 256) * 16));
    }
}

void TestTiles::repaintsAndScrollStepsPlayNothingAgain()
{
    const QSize picture(3000, 3000);
    QImage window = canvas(QSize(400, 300), 1);
    MetafileTiles tiles;
    const auto render = [](QPainter &painter, const QRectF &target) { painter.fillRect(target, Qt::blue); };
    QPainter painter(&window);
    tiles.paint(painter, QRect(0, 0, 400, 300), picture, render);
    QCOMPARE(tiles.playbacks(), 1);
    QVERIFY(tiles.drawAhead(render));  // while nothing else waits
    QVERIFY(!tiles.drawAhead(render)); // all there already
    QCOMPARE(tiles.playbacks(), 2);
    tiles.paint(painter, QRect(0, 0, 400, 300), picture, render);  // uncovered again
    tiles.paint(painter, QRect(0, 300, 400, 40), picture, render); // a scroll step down
    tiles.paint(painter, QRect(400, 0, 40, 300), picture, render); // and across
    QCOMPARE(tiles.playbacks(), 2);
    tiles.paint(painter, QRect(2600, 2600, 400, 300), picture, render); // far away
    QCOMPARE(tiles.playbacks(), 3);
}

void TestTiles::aNewScaleDrawsAnew()
{
    MetafileTiles tiles;
    QSizeF lastTarget;
    const auto render = [&](QPainter &painter, const QRectF &target) {
        lastTarget = target.size();
        painter.fillRect(target, Qt::blue);
    };
    for (const qreal ratio : {1.0, 2.0, 1.5}) {
        QImage window = canvas(QSize(200, 100), ratio);
        QPainter painter(&window);
        tiles.paint(painter, QRect(0, 0, 200, 100), QSize(200, 100), render);
        QCOMPARE(lastTarget, QSizeF(200 * ratio, 100 * ratio));
        QCOMPARE(window.pixel(window.width() - 1, window.height() - 1), qRgb(0, 0, 255));
    }
    QCOMPARE(tiles.playbacks(), 3);
}

void TestTiles::memoryStaysWithinItsBound()
{
    const qint64 budget = qint64(4) << 20;
    MetafileTiles tiles(budget);
    const auto render = [](QPainter &painter, const QRectF &target) { painter.fillRect(target, Qt::blue); };
    QImage window = canvas(QSize(600, 400), 1);
    QPainter painter(&window);
    // A picture of 56 000 x 28 000 pixels, scrolled to here and there.
    for (int step = 0; step < 20; ++step) {
        const QPoint scrolled(step * 2700, step * 1300);
        painter.resetTransform();
        painter.translate(-scrolled);
        tiles.paint(painter, QRect(scrolled, QSize(600, 400)), QSize(56000, 28000), render);
    }
    QVERIFY(tiles.bytes() <= budget);
    QVERIFY(tiles.tileCount() > 0);
    QCOMPARE(window.pixel(300, 200), qRgb(0, 0, 255));
}

QTEST_MAIN(TestTiles)
#include "tst_tiles.moc"
