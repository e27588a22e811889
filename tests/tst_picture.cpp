// Pictures: kinds by extension, the failure messages, icons, doubled
// drawing and the flood fill.

#include "TestSupport.h"

#include "base/Failure.h"
#include "picture/FloodFill.h"
#include "picture/Picture.h"
#include <QTest>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QtEndian>

#include <deque>

#include <sys/stat.h>

// The program's own icon, a real multi-image icon file.
const QString ProgramIcon = QStringLiteral(VANTRIX_SOURCE_DIR "/resources/icons/vantrix.ico");

namespace {

QImage sampleImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 11 % 256, (x + y) % 256));
    return image;
}

// A BMP header that claims a huge picture but carries no pixels.
QByteArray hugeBitmapHeader()
{
    QByteArray bytes = encoded(sampleImage(4, 4), "bmp");
    const qint32 side = 100000;
    memcpy(bytes.data() + 18, &side, 4);
    memcpy(bytes.data() + 22, &side, 4);
    return bytes;
}

// A 4 x 3 bitmap of 8-bit run-length rows with a two-colour palette,
// holding Stream as its pixels.
QByteArray runLengthBitmap(const QByteArray &stream)
{
    constexpr int FileHeader = 14, InfoHeader = 40, Palette = 2 * 4;
    QByteArray bytes(FileHeader + InfoHeader + Palette, '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, bytes.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, bytes.data() + at); };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, quint32(bytes.size() + stream.size()));
    put32(10, FileHeader + InfoHeader + Palette);
    put32(14, InfoHeader);
    put32(18, 4);
    put32(22, 3);
    put16(26, 1);
    put16(28, 8);
    put32(30, 1); // BI_RLE8
    put32(34, quint32(stream.size()));
    put32(46, 2);
    put32(FileHeader + InfoHeader, 0x000000);     // black
    put32(FileHeader + InfoHeader + 4, 0xFF0000); // red
    return bytes + stream;
}

QString messageOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const VantrixError &e) {
        return e.message();
    }
    return QString();
}

// The plain, obviously right fill: breadth first over 4-neighbours.
void referenceFill(QImage &image, QPoint start, QRgb newColor)
{
    const QRgb old = image.pixel(start);
    if (old == newColor)
        return;
    std::deque<QPoint> queue{start};
    image.setPixel(start, newColor);
    while (!queue.empty()) {
        const QPoint p = queue.front();
        queue.pop_front();
        for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
            const QPoint q = p + d;
            if (image.valid(q) && image.pixel(q) == old) {
                image.setPixel(q, newColor);
                queue.push_back(q);
            }
        }
    }
}

} // namespace

class TestPicture : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void load_data();
    void load();
    void missingFile();
    void failedLoadIsFast();
    void pastTheLimitNamesTheSize_data();
    void pastTheLimitNamesTheSize();
    void iconEntryShorterThanItsHeader();
    void namesThatAreNoOrdinaryFile_data();
    void namesThatAreNoOrdinaryFile();
    void iconPicksClosestDeepestEntry();
    void runLengthGapsShowWhite();
    void damagedBitmapsAnswerAlike_data();
    void damagedBitmapsAnswerAlike();
    void doubledBitmapIsPixelBlocks();
    void sixteenBitChannelsReachFullRange_data();
    void sixteenBitChannelsReachFullRange();
    void shortCorePaletteKeepsPixels();
    void extensionOf_data();
    void extensionOf();
    void fillMatchesReference();
    void fillEdgeCases();
    void nonBitmapRefusesModification();

private:
    QTemporaryDir m_dir;
    QString write(const QString &name, const QByteArray &bytes);
};

QString TestPicture::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    writeWholeFile(path, bytes);
    return path;
}

void TestPicture::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestPicture::load_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message"); // empty: opens
    QTest::addColumn<int>("kind");
    QTest::addColumn<QSize>("size");

    const QByteArray bmp = encoded(sampleImage(30, 20), "bmp");
    const QByteArray jpg = encoded(sampleImage(30, 20), "jpeg");
    const QByteArray png = encoded(sampleImage(30, 20), "png");
    QFile iconFile(ProgramIcon);
    QVERIFY(iconFile.open(QIODevice::ReadOnly));
    const QByteArray ico = iconFile.readAll();
    const int bitmap = int(Picture::Kind::Bitmap);
    const int icon = int(Picture::Kind::Icon);

    QTest::newRow("bitmap") << "a.bmp" << bmp << "" << bitmap << QSize(30, 20);
    QTest::newRow("upper-case extension") << "PHOTO.BMP" << bmp << "" << bitmap << QSize(30, 20);
    QTest::newRow("jpg opens as bitmap") << "photo.jpg" << jpg << "" << bitmap << QSize(30, 20);
    QTest::newRow("JPG opens as bitmap") << "Foto.JPG" << jpg << "" << bitmap << QSize(30, 20);
    QTest::newRow("jpeg opens as bitmap") << "photo.jpeg" << jpg << "" << bitmap << QSize(30, 20);
    QTest::newRow("icon at 32 x 32") << "a.ico" << ico << "" << icon << QSize(32, 32);
    QTest::newRow("no extension") << "photo" << bmp << "Unknown picture file extension (.)" << 0 << QSize();
    QTest::newRow("png refused") << "a.png" << png << "Unknown picture file extension (.png)" << 0 << QSize();
    QTest::newRow("extension as typed") << "a.Gif" << png << "Unknown picture file extension (.Gif)" << 0 << QSize();
    QTest::newRow("last dot counts") << "a.bmp.txt" << bmp << "Unknown picture file extension (.txt)" << 0 << QSize();
    QTest::newRow("empty bitmap") << "e.bmp" << QByteArray() << "Bitmap image is not valid" << 0 << QSize();
    QTest::newRow("truncated bitmap") << "t.bmp" << bmp.left(40) << "Bitmap image is not valid" << 0 << QSize();
    QTest::newRow("bitmap cut in its rows") << "r.bmp" << bmp.left(100) << "Bitmap image is not valid" << 0 << QSize();
    QTest::newRow("huge bitmap") << "h.bmp" << hugeBitmapHeader() << "Bitmap image is not valid" << 0 << QSize();
    QTest::newRow("png content as bitmap") << "p.bmp" << png << "Bitmap image is not valid" << 0 << QSize();
    QTest::newRow("broken jpeg") << "b.jpg" << jpg.left(20) << "Bitmap image is not valid" << 0 << QSize();
    QTest::newRow("bitmap content as icon") << "b.ico" << bmp << "Icon image is not valid" << 0 << QSize();
    QTest::newRow("empty icon") << "e.ico" << QByteArray() << "Icon image is not valid" << 0 << QSize();
    QTest::newRow("truncated icon") << "t.ico" << ico.left(100) << "Icon image is not valid" << 0 << QSize();
    QTest::newRow("empty emf") << "e.emf" << QByteArray() << "Metafile is not valid" << 0 << QSize();
    QTest::newRow("empty wmf") << "e.wmf" << QByteArray() << "Metafile is not valid" << 0 << QSize();
    QTest::newRow("bitmap content as wmf") << "b.wmf" << bmp << "Metafile is not valid" << 0 << QSize();
}

void TestPicture::load()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QFETCH(int, kind);
    QFETCH(QSize, size);
    const QString path = write(name, content);
    Picture picture;
    QCOMPARE(messageOf([&] { picture = Picture::load(path); }), message);
    if (message.isEmpty()) {
        QCOMPARE(int(picture.kind()), kind);
        QCOMPARE(picture.size(), size);
        QCOMPARE(picture.isBitmap(), kind == int(Picture::Kind::Bitmap));
    }
}

void TestPicture::missingFile()
{
    const QString path = m_dir.filePath(QStringLiteral("missing.bmp"));
    QCOMPARE(messageOf([&] { Picture::load(path); }),
             QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(path));
}

void TestPicture::namesThatAreNoOrdinaryFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    const QString pipe = m_dir.filePath(QStringLiteral("picture.bmp"));
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    const QString zero = m_dir.filePath(QStringLiteral("zero.emf"));
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString folder = m_dir.filePath(QStringLiteral("folder.wmf"));
    QVERIFY(QDir().mkpath(folder));
    QTest::newRow("named pipe") << pipe << QStringLiteral("It is a named pipe, not an ordinary file");
    QTest::newRow("link to a device") << zero << QStringLiteral("It is a device, not an ordinary file");
    QTest::newRow("folder") << folder << QStringLiteral("It is a folder, not a file");
}

// Refused at once with the reason: opening a pipe never blocks, and a
// device is not read until memory runs out.
void TestPicture::namesThatAreNoOrdinaryFile()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(messageOf([&] { Picture::load(name); }), QStringLiteral("Cannot open file \"%1\". %2").arg(name, reason));
    QVERIFY(timer.elapsed() < 2000);
}

// An icon whose one entry is five bytes long, found by fuzzing: refused,
// without reading or writing past the entry.
void TestPicture::pastTheLimitNamesTheSize_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("bitmap") << QStringLiteral("bmp");
    QTest::newRow("photo") << QStringLiteral("jpg");
}

// A picture whose pixels would pass the memory limit is refused in words
// that say why, not as a damaged file.
void TestPicture::pastTheLimitNamesTheSize()
{
    QFETCH(QString, format);
    QImage image(3000, 2000, QImage::Format_Mono);
    image.fill(1);
    const QByteArray bytes = encoded(image, format == QLatin1String("bmp") ? "bmp" : "jpeg");
    const int saved = Picture::imageLimitMiB();
    const auto restore = qScopeGuard([saved] { Picture::setImageLimitMiB(saved); });
    Picture::setImageLimitMiB(16); // 3000 x 2000 at 32 bits is 23 MiB
    try {
        Picture::fromBytes(bytes, format);
        QFAIL("opened past the limit");
    } catch (const VantrixError &error) {
        QCOMPARE(error.message(), QStringLiteral("Bitmap image of 3000 x 2000 pixels is too large to open"));
    }
    Picture::setImageLimitMiB(32);
    QCOMPARE(Picture::fromBytes(bytes, format).size(), QSize(3000, 2000));
}

void TestPicture::iconEntryShorterThanItsHeader()
{
    const QByteArray bytes = QByteArray::fromHex("0000010001001020000001680800050000001600000028000000100000002000");
    QCOMPARE(messageOf([&] { Picture::fromBytes(bytes, QStringLiteral("ico")); }),
             QStringLiteral("Icon image is not valid"));
}

void TestPicture::failedLoadIsFast()
{
    const QString path = write(QStringLiteral("huge2.bmp"), hugeBitmapHeader());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!messageOf([&] { Picture::load(path); }).isEmpty());
    QVERIFY2(timer.elapsed() < 2000, "a picture claiming huge dimensions must be refused without decoding");
}

// A run-length stream may skip pixels or end early; those show the white
// of the picture area, the same at every opening.
void TestPicture::runLengthGapsShowWhite()
{
    // Bottom row: two red pixels, then the stream ends without its end mark.
    const QString cut = write(QStringLiteral("cut.bmp"), runLengthBitmap(QByteArray("\x02\x01", 2)));
    // Bottom row: a move right by 2 and up by 1, one black pixel, end.
    const QString moved =
        write(QStringLiteral("moved.bmp"), runLengthBitmap(QByteArray("\x00\x02\x02\x01\x01\x00\x00\x01", 8)));
    const QRgb red = qRgb(255, 0, 0), black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    const QImage a = Picture::load(cut).image();
    const QImage b = Picture::load(moved).image();
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            QCOMPARE(a.pixel(x, y), y == 2 && x < 2 ? red : white);
            QCOMPARE(b.pixel(x, y), y == 1 && x == 2 ? black : white);
        }
    }
}

void TestPicture::damagedBitmapsAnswerAlike_data()
{
    QTest::addColumn<QString>("path");
    for (const char *name : {"badrle.bmp", "badrle4.bmp", "badrle4bis.bmp", "badrle4ter.bmp", "badrlebis.bmp",
                             "badrleter.bmp", "shortfile.bmp"})
        QTest::newRow(name) << corpusDir() + QStringLiteral("/bmpsuite/b/") + QLatin1String(name);
}

// Damaged bitmaps from the BMP Suite give the same answer at every opening:
// a message, or a picture that shows nothing the file does not hold.
void TestPicture::damagedBitmapsAnswerAlike()
{
    QFETCH(QString, path);
    if (!QFileInfo::exists(path))
        QSKIP("the picture corpus is absent");
    QImage first, second;
    const QString message = messageOf([&] { first = Picture::load(path).image(); });
    QCOMPARE(messageOf([&] { second = Picture::load(path).image(); }), message);
    // Compared pixel by pixel: under valgrind any pixel the file did not
    // give is reported here.
    QCOMPARE(first, second);
}

void TestPicture::iconPicksClosestDeepestEntry()
{
    // Our own icon carries 32 x 32 in 16 colours, 256 colours and 32 bits;
    // the 32-bit one (entry 6) is shown.
    const Picture picture = Picture::load(ProgramIcon);
    QImageReader reader(ProgramIcon, "ico");
    QVERIFY(reader.jumpToImage(6));
    const QImage expected = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(expected.size(), QSize(32, 32));
    QCOMPARE(picture.image(), expected);
}

void TestPicture::doubledBitmapIsPixelBlocks()
{
    const QImage source = sampleImage(3, 2);
    const Picture picture = Picture::fromBytes(encoded(source, "bmp"), QStringLiteral("bmp"));
    QImage target(6, 4, QImage::Format_RGB32);
    target.fill(Qt::black);
    QPainter painter(&target);
    picture.draw(painter, target.rect(), target.rect());
    painter.end();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            QCOMPARE(target.pixel(x, y), source.pixel(x / 2, y / 2));

    // Only an exposed part drawn: the rest stays untouched.
    QImage part(6, 4, QImage::Format_RGB32);
    part.fill(Qt::black);
    QPainter partPainter(&part);
    picture.draw(partPainter, part.rect(), QRect(2, 2, 2, 2));
    partPainter.end();
    QCOMPARE(part.pixel(2, 2), source.pixel(1, 1));
    QCOMPARE(part.pixel(3, 3), source.pixel(1, 1));
    QCOMPARE(part.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(part.pixel(5, 3), qRgb(0, 0, 0));
}

namespace {

// A 2 x 1 bitmap file of 16 bits a pixel: the given header size and masks
// (none: plain 5-5-5), the two pixel words.
QByteArray sixteenBitBitmap(quint32 headerSize, const std::vector<quint32> &masks, quint16 first, quint16 second)
{
    QByteArray info(int(headerSize), '\0');
    auto put = [](QByteArray &bytes, int at, quint32 value, int size) {
        for (int i = 0; i < size; ++i)
            bytes[at + i] = char((value >> (8 * i)) & 0xFF);
    };
    put(info, 0, headerSize, 4);
    put(info, 4, 2, 4);
    put(info, 8, 1, 4);
    put(info, 12, 1, 2);
    put(info, 14, 16, 2);
    put(info, 16, masks.empty() ? 0 : 3, 4); // BI_RGB or BI_BITFIELDS
    // The masks stand inside a larger header, or after a 40-byte one.
    QByteArray tail(headerSize > 40 ? 0 : int(masks.size()) * 4, '\0');
    for (std::size_t i = 0; i < masks.size(); ++i)
        put(headerSize > 40 ? info : tail, (headerSize > 40 ? 40 : 0) + int(i) * 4, masks[i], 4);
    QByteArray pixels(4, '\0');
    put(pixels, 0, first, 2);
    put(pixels, 2, second, 2);
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    const int offset = 14 + info.size() + tail.size();
    put(file, 2, quint32(offset + pixels.size()), 4);
    put(file, 10, quint32(offset), 4);
    return file + info + tail + pixels;
}

} // namespace

// An OS/2 core header (12 bytes) with a palette two entries short of full,
// the pixels right after it as the file header says: a reader that takes
// the palette as full reads the pixels six bytes late, the last ones from
// past the file.
void TestPicture::shortCorePaletteKeepsPixels()
{
    constexpr int Entries = 254, PixelsAt = 14 + 12 + Entries * 3;
    QByteArray file(PixelsAt, '\0');
    auto put = [&](int at, quint32 value, int size) {
        for (int i = 0; i < size; ++i)
            file[at + i] = char((value >> (8 * i)) & 0xFF);
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, PixelsAt + 8, 4);
    put(10, PixelsAt, 4);
    put(14, 12, 4); // 4 x 2, one plane, 8 bits
    put(18, 4, 2);
    put(20, 2, 2);
    put(22, 1, 2);
    put(24, 8, 2);
    for (int entry = 0; entry < Entries; ++entry)
        put(26 + entry * 3 + 2, quint32(entry), 1); // red = the entry's number
    file += QByteArray::fromHex("05060708"
                                "01020304"); // bottom row first
    const Picture picture = Picture::fromBytes(file, QStringLiteral("bmp"));
    QCOMPARE(picture.size(), QSize(4, 2));
    for (int x = 0; x < 4; ++x) {
        QCOMPARE(picture.image().pixel(x, 0), qRgb(x + 1, 0, 0));
        QCOMPARE(picture.image().pixel(x, 1), qRgb(x + 5, 0, 0));
    }
}

void TestPicture::sixteenBitChannelsReachFullRange_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QRgb>("first");
    QTest::addColumn<QRgb>("second");
    const std::vector<quint32> rgb565{0xF800, 0x07E0, 0x001F};
    const std::vector<quint32> rgb555{0x7C00, 0x03E0, 0x001F};
    QTest::newRow("plain 5-5-5") << sixteenBitBitmap(40, {}, 0x001F, 0x7FFF) << qRgb(0, 0, 255) << qRgb(255, 255, 255);
    QTest::newRow("fields 5-6-5, 40-byte header")
        << sixteenBitBitmap(40, rgb565, 0x001F, 0xFFE0) << qRgb(0, 0, 255) << qRgb(255, 255, 0);
    QTest::newRow("fields 5-5-5, 40-byte header")
        << sixteenBitBitmap(40, rgb555, 0x7C00, 0x0010) << qRgb(255, 0, 0) << qRgb(0, 0, 132);
    // Rounded to the nearest: 13 / 31 of 255 is 106.9.
    QTest::newRow("plain 5-5-5, rounded")
        << sixteenBitBitmap(40, {}, 0x000D, 0x01A0) << qRgb(0, 0, 107) << qRgb(0, 107, 0);
    QTest::newRow("fields 5-6-5, V4 header")
        << sixteenBitBitmap(108, rgb565, 0x07E0, 0x0020) << qRgb(0, 255, 0) << qRgb(0, 4, 0);
    QTest::newRow("fields 5-6-5, V5 header")
        << sixteenBitBitmap(124, rgb565, 0x001F, 0x0000) << qRgb(0, 0, 255) << qRgb(0, 0, 0);
}

void TestPicture::sixteenBitChannelsReachFullRange()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QRgb, first);
    QFETCH(QRgb, second);
    const Picture picture = Picture::fromBytes(bytes, QStringLiteral("bmp"));
    QCOMPARE(picture.size(), QSize(2, 1));
    QCOMPARE(picture.image().pixel(0, 0), first);
    QCOMPARE(picture.image().pixel(1, 0), second);
    // Cut short, it is not a valid bitmap.
    QCOMPARE(messageOf([&] { Picture::fromBytes(bytes.left(bytes.size() - 2), QStringLiteral("bmp")); }),
             QStringLiteral("Bitmap image is not valid"));
}

void TestPicture::extensionOf_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::newRow("plain") << "/a/b/c.bmp"
                           << "bmp";
    QTest::newRow("none") << "/a/b/c"
                          << "";
    QTest::newRow("dot in folder only") << "/a.d/c"
                                        << "";
    QTest::newRow("trailing dot") << "c."
                                  << "";
    QTest::newRow("hidden file") << "/x/.bmp"
                                 << "bmp";
}

void TestPicture::extensionOf()
{
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QCOMPARE(Picture::extensionOf(name), extension);
}

void TestPicture::fillMatchesReference()
{
    QRandomGenerator random(20261207);
    const QRgb palette[] = {qRgb(255, 255, 255), qRgb(0, 0, 255), qRgb(0, 0, 0)};
    for (int round = 0; round < 300; ++round) {
        const int w = 1 + int(random.bounded(40));
        const int h = 1 + int(random.bounded(30));
        const int colours = 2 + int(random.bounded(2));
        QImage image(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, palette[random.bounded(colours)]);
        const QPoint start(int(random.bounded(w)), int(random.bounded(h)));
        const QRgb newColor = qRgb(255, 255, 0);
        QImage expected = image.copy();
        referenceFill(expected, start, newColor);
        const qint64 changed = floodFill(image, start, newColor);
        QCOMPARE(image, expected);
        qint64 differing = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                differing += expected.pixel(x, y) == newColor ? 1 : 0;
        QCOMPARE(changed, differing);
    }
}

void TestPicture::fillEdgeCases()
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QImage original = image.copy();
    QCOMPARE(floodFill(image, QPoint(-1, 5), qRgb(0, 0, 255)), 0);
    QCOMPARE(floodFill(image, QPoint(10, 0), qRgb(0, 0, 255)), 0);
    QCOMPARE(floodFill(image, QPoint(3, 3), qRgb(255, 255, 255)), 0);
    // The stated colour must be the start pixel's.
    QCOMPARE(floodFill(image, QPoint(3, 3), qRgb(0, 0, 255), qRgb(255, 255, 0)), 0);
    QCOMPARE(image, original);
    // Diagonal neighbours do not connect.
    image.setPixel(1, 0, qRgb(0, 0, 0));
    image.setPixel(0, 1, qRgb(0, 0, 0));
    QCOMPARE(floodFill(image, QPoint(0, 0), qRgb(0, 0, 255)), 1);
    // A large single-colour area fills without recursion.
    QImage big(2000, 2000, QImage::Format_RGB32);
    big.fill(Qt::white);
    QCOMPARE(floodFill(big, QPoint(1000, 1000), qRgb(0, 0, 255)), qint64(2000) * 2000);
}

void TestPicture::nonBitmapRefusesModification()
{
    Picture icon = Picture::load(ProgramIcon);
    QCOMPARE(messageOf([&] { icon.bitmap(); }), QStringLiteral("Can only modify an image if it contains a bitmap"));
    Picture blank = Picture::blankBitmap(QSize(216, 31));
    QCOMPARE(blank.bitmap().size(), QSize(216, 31));
    QCOMPARE(blank.bitmap().pixel(100, 20), qRgb(255, 255, 255));
}

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
