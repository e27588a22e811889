// Bitmap, photo and icon files decoded from their bytes, without the picture
// model: which icon image is chosen, what a broken directory gives, and the
// memory limit.

#include "TestSupport.h"
#include "raster/ImageFiles.h"

#include <QTest>
#include <QtEndian>

#include <climits>

namespace {

struct IconImage {
    int side;  // as the directory states it; 256 is written as 0
    int depth; // bits per pixel, as the directory states it
    QRgb colour;
};

// An icon file whose images are PNGs of one colour each.
QByteArray iconFile(const QList<IconImage> &images)
{
    QByteArray directory(6 + 16 * images.size(), '\0');
    QByteArray data;
    qToLittleEndian<quint16>(1, directory.data() + 2);
    qToLittleEndian<quint16>(quint16(images.size()), directory.data() + 4);
    for (int i = 0; i < images.size(); ++i) {
        QImage image(images[i].side, images[i].side, QImage::Format_ARGB32);
        image.fill(images[i].colour);
        const QByteArray png = encoded(image, "png");
        char *entry = directory.data() + 6 + 16 * i;
        entry[0] = entry[1] = char(images[i].side % 256);
        qToLittleEndian<quint16>(1, entry + 4);
        qToLittleEndian<quint16>(quint16(images[i].depth), entry + 6);
        qToLittleEndian<quint32>(quint32(png.size()), entry + 8);
        qToLittleEndian<quint32>(quint32(directory.size() + data.size()), entry + 12);
        data += png;
    }
    return directory + data;
}

constexpr int Limit = 256; // MiB
constexpr QRgb Red = 0xFFFF0000, Green = 0xFF00FF00, Blue = 0xFF0000FF;

} // namespace

class TestRaster : public QObject
{
    Q_OBJECT

private slots:
    void iconImageChosen_data();
    void iconImageChosen();
    void brokenIconDirectoryGivesNothing_data();
    void brokenIconDirectoryGivesNothing();
    void picturesPastTheLimitGiveNothing();
    void bitmapsPastSixtyFourMegapixelsOpen();
    void reducedJpegIsAFractionOfTheSize_data();
    void reducedJpegIsAFractionOfTheSize();
};

void TestRaster::iconImageChosen_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("side");
    QTest::addColumn<QRgb>("colour");
    QTest::newRow("closest side") << iconFile({{16, 32, Red}, {32, 32, Green}, {48, 32, Blue}}) << 32 << Green;
    QTest::newRow("deepest of equally close")
        << iconFile({{32, 4, Red}, {32, 32, Green}, {32, 8, Blue}}) << 32 << Green;
    QTest::newRow("first of equals") << iconFile({{32, 8, Red}, {32, 8, Green}}) << 32 << Red;
    QTest::newRow("0 in the directory is 256") << iconFile({{128, 32, Red}, {256, 32, Blue}}) << 200 << Blue;
    QTest::newRow("closer beats deeper") << iconFile({{32, 4, Red}, {64, 32, Green}}) << 32 << Red;
}

void TestRaster::iconImageChosen()
{
    QFETCH(QByteArray, file);
    QFETCH(int, side);
    QFETCH(QRgb, colour);
    const QImage image = ImageFiles::readIcon(file, Limit, side);
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixel(0, 0), colour);
}

void TestRaster::brokenIconDirectoryGivesNothing_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = iconFile({{16, 32, Red}});
    auto patched = [&](int at, quint16 value) {
        QByteArray bytes = good;
        qToLittleEndian(value, bytes.data() + at);
        return bytes;
    };
    QTest::newRow("reserved word set") << patched(0, 1);
    QTest::newRow("a cursor file") << patched(2, 2);
    QTest::newRow("no images") << patched(4, 0);
    QTest::newRow("more images than the directory holds") << patched(4, 9);
    QTest::newRow("image past the end") << patched(6 + 12, 0x7FFF);
    QTest::newRow("cut inside the directory") << good.left(10);
    QTest::newRow("empty") << QByteArray();
}

void TestRaster::brokenIconDirectoryGivesNothing()
{
    QFETCH(QByteArray, file);
    QVERIFY(ImageFiles::readIcon(file, Limit, 32).isNull());
}

void TestRaster::picturesPastTheLimitGiveNothing()
{
    QImage image(1024, 1024, QImage::Format_RGB32); // 4 MiB decoded
    image.fill(Qt::gray);
    const QByteArray bmp = encoded(image, "bmp");
    const QByteArray jpeg = encoded(image, "jpeg");
    QCOMPARE(ImageFiles::readBitmap(bmp, 8).size(), image.size());
    QCOMPARE(ImageFiles::readJpeg(jpeg, 8).size(), image.size());
    QVERIFY(ImageFiles::readBitmap(bmp, 2).isNull());
    QVERIFY(ImageFiles::readJpeg(jpeg, 2).isNull());
    // Cut short in its rows, a bitmap is damaged whatever the limit.
    QVERIFY(ImageFiles::readBitmap(bmp.left(bmp.size() - 4096), Limit).isNull());
}

// A valid bitmap of more pixels than a metafile's bitmaps may have still
// opens when it fits the memory limit: one bit a pixel keeps the file small.
void TestRaster::bitmapsPastSixtyFourMegapixelsOpen()
{
    const int side = 8200;
    const qint64 stride = ((side + 31) / 32) * 4;
    QByteArray bmp(54 + 8 + stride * side, '\0');
    auto put = [&bmp](int at, quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            bmp[at + i] = char((value >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(2, quint32(bmp.size()), 4);
    put(10, 54 + 8, 4); // the pixels after the header and two colours
    put(14, 40, 4);     // BITMAPINFOHEADER
    put(18, side, 4);
    put(22, side, 4);
    put(26, 1, 2);
    put(28, 1, 2);            // one bit a pixel
    put(54 + 4, 0xFFFFFF, 4); // colour 1 white, colour 0 black
    QCOMPARE(ImageFiles::claimedBitmapSize(bmp), QSize(side, side));
    QCOMPARE(ImageFiles::readBitmap(bmp, 1024).size(), QSize(side, side));
    QVERIFY(ImageFiles::readBitmap(bmp, 64).isNull());
    QVERIFY(!ImageFiles::passesLimit(QSize(side, side), 64));
    // The widest sides a header can claim are answered, not overflowed.
    QVERIFY(!ImageFiles::passesLimit(QSize(INT_MAX, INT_MAX), 1024));
    QVERIFY(ImageFiles::passesLimit(QSize(8192, 8192), 256));
}

void TestRaster::reducedJpegIsAFractionOfTheSize_data()
{
    QTest::addColumn<QSize>("full");
    QTest::addColumn<int>("longest");
    QTest::addColumn<QSize>("reduced");
    QTest::newRow("an eighth") << QSize(1600, 1200) << 200 << QSize(200, 150);
    QTest::newRow("a quarter") << QSize(1600, 1200) << 400 << QSize(400, 300);
    QTest::newRow("no more than an eighth") << QSize(1600, 1200) << 50 << QSize(200, 150);
    QTest::newRow("small stays whole") << QSize(300, 200) << 400 << QSize(300, 200);
    QTest::newRow("odd sides round up") << QSize(1001, 601) << 300 << QSize(251, 151);
}

void TestRaster::reducedJpegIsAFractionOfTheSize()
{
    QFETCH(QSize, full);
    QFETCH(int, longest);
    QFETCH(QSize, reduced);
    QImage image(full, QImage::Format_RGB32);
    image.fill(qRgb(200, 40, 40));
    const QByteArray jpeg = encoded(image, "jpeg");
    QCOMPARE(ImageFiles::claimedJpegSize(jpeg), full);
    const QImage first = ImageFiles::readJpegReduced(jpeg, longest);
    QCOMPARE(first.size(), reduced);
    QVERIFY(qAbs(qRed(first.pixel(first.width() / 2, first.height() / 2)) - 200) < 8);
}

QTEST_MAIN(TestRaster)
#include "tst_raster.moc"
