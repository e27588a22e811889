// Metafiles: natural sizes and renderings of samples made by third-party
// producers, against reference renderings; malformed files.

#include "metafile/Metafile.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QtEndian>

#include <cmath>

namespace {

const QString SampleDir = QStringLiteral(VANTRIX_TEST_DATA "/metafiles");

QByteArray ReadWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<Metafile> load(const QString &path)
{
    return Metafile::fromBytes(ReadWholeFile(path));
}

QImage render(const Metafile &picture, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture.draw(painter, QRectF(image.rect()));
    painter.end();
    return image;
}

struct Difference {
    double meanAbsolute = 0; // per channel, 0..255
    double shareOff = 0;     // pixels off by more than 64 in any channel
};

Difference compare(const QImage &a, const QImage &b)
{
    Difference d;
    const int w = std::min(a.width(), b.width());
    const int h = std::min(a.height(), b.height());
    qint64 sum = 0;
    qint64 off = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int dr = std::abs(qRed(p) - qRed(q));
            const int dg = std::abs(qGreen(p) - qGreen(q));
            const int db = std::abs(qBlue(p) - qBlue(q));
            sum += dr + dg + db;
            off += std::max({dr, dg, db}) > 64 ? 1 : 0;
        }
    }
    const double pixels = double(w) * h;
    d.meanAbsolute = pixels > 0 ? double(sum) / (3 * pixels) : 0;
    d.shareOff = pixels > 0 ? double(off) / pixels : 0;
    return d;
}

// A copy of the bytes with little-endian words written over them, each pair
// an offset and a value of the given width.
template <typename Word> QByteArray patched(QByteArray bytes, std::initializer_list<std::pair<qsizetype, Word>> words)
{
    for (const auto &[at, value] : words)
        for (size_t i = 0; i < sizeof(Word); ++i)
            bytes[at + qsizetype(i)] = char((quint64(value) >> (8 * i)) & 0xFF);
    return bytes;
}

QByteArray withU32(const QByteArray &bytes, qsizetype at, quint32 value)
{
    return patched<quint32>(bytes, {{at, value}});
}

QByteArray withU16(const QByteArray &bytes, qsizetype at, quint16 value)
{
    return patched<quint16>(bytes, {{at, value}});
}

} // namespace

// A placeable WMF built record by record: 16-bit words, little-endian.
class WmfBuilder
{
public:
    void record(quint16 function, std::initializer_list<quint16> params)
    {
        const quint32 words = 3 + quint32(params.size());
        m_records.append(char(words & 0xFF)).append(char((words >> 8) & 0xFF)).append(char(words >> 16)).append('\0');
        word(m_records, function);
        for (const quint16 p : params)
            word(m_records, p);
    }
    QByteArray bytes(int side, quint16 objects) const
    {
        QByteArray b;
        word(b, 0xCDD7);
        word(b, 0x9AC6);
        word(b, 0);
        for (const quint16 v : {quint16(0), quint16(0), quint16(side), quint16(side), quint16(96)})
            word(b, v);
        word(b, 0);
        word(b, 0);
        word(b, 0);
        QByteArray records = m_records;
        records.append(QByteArray::fromHex("030000000000")); // EOF
        const quint32 size = quint32(9 + records.size() / 2);
        for (const quint16 v : {quint16(1), quint16(9), quint16(0x0300), quint16(size & 0xFFFF), quint16(size >> 16),
                                objects, quint16(0), quint16(0), quint16(0)})
            word(b, v);
        return b + records;
    }

private:
    static void word(QByteArray &b, quint16 v) { b.append(char(v & 0xFF)).append(char(v >> 8)); }
    QByteArray m_records;
};

class TestMetafile : public QObject
{
    Q_OBJECT
private slots:
    void samples_data();
    void samples();
    void doubledIsDrawnAsVectors();
    void handMadeRecords();
    void malformed_data();
    void malformed();
};

void TestMetafile::samples_data()
{
    QTest::addColumn<QString>("file");
    QDirIterator it(SampleDir, {QStringLiteral("*.emf"), QStringLiteral("*.wmf")}, QDir::Files);
    QStringList files;
    while (it.hasNext())
        files << it.next();
    files.sort();
    QVERIFY(files.size() >= 20);
    for (const QString &file : files)
        QTest::newRow(qPrintable(QFileInfo(file).fileName())) << file;
}

void TestMetafile::samples()
{
    QFETCH(QString, file);
    const QString name = QFileInfo(file).fileName();
    const QImage reference(SampleDir + QStringLiteral("/reference/") + name + QStringLiteral(".png"));
    QVERIFY(!reference.isNull());
    const std::optional<Metafile> loaded = load(file);
    QVERIFY(loaded);
    const Metafile &picture = *loaded;
    const QSize size = picture.naturalSize();
    QVERIFY(std::abs(size.width() - reference.width()) <= 1);
    QVERIFY(std::abs(size.height() - reference.height()) <= 1);

    const QImage ours = render(picture, size);
    const Difference d = compare(ours, reference.convertToFormat(QImage::Format_RGB32));
    qInfo("%s: %dx%d, mean difference %.2f, %.2f%% of pixels off", qPrintable(name), size.width(), size.height(),
          d.meanAbsolute, 100 * d.shareOff);
    const QString out = qEnvironmentVariable("VANTRIX_WRITE_RENDERINGS");
    if (!out.isEmpty()) {
        ours.save(out + QLatin1Char('/') + name + QStringLiteral(".ours.png"));
        render(picture, size * 2).save(out + QLatin1Char('/') + name + QStringLiteral(".doubled.png"));
    }
    QVERIFY2(d.meanAbsolute < 10, "rendering far from the reference");
    QVERIFY2(d.shareOff < 0.08, "too many pixels differ from the reference");
}

void TestMetafile::doubledIsDrawnAsVectors()
{
    // A doubled line stays a sharp edge: drawn at twice the size, not a
    // scaled-up bitmap, so it covers twice the rows, fully dark.
    const std::optional<Metafile> picture = load(SampleDir + QStringLiteral("/lo-shapes.emf"));
    QVERIFY(picture);
    const QImage once = render(*picture, picture->naturalSize());
    const QImage twice = render(*picture, picture->naturalSize() * 2);
    const Difference d = compare(twice.scaled(once.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation), once);
    QVERIFY(d.meanAbsolute < 12);
    // The doubled rendering is more than a pixel-doubled copy of the small one.
    QImage blocky = once.scaled(once.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QVERIFY(compare(twice, blocky).meanAbsolute > 0.1);
}

void TestMetafile::handMadeRecords()
{
    // A palette takes a slot of the object table too, so the brushes land
    // in slots 1 and 2; a pattern blit paints with the selected brush.
    WmfBuilder wmf;
    wmf.record(0x020B, {0, 0});                         // SETWINDOWORG
    wmf.record(0x020C, {100, 100});                     // SETWINDOWEXT
    wmf.record(0x00F7, {0x0300, 0});                    // CREATEPALETTE, slot 0
    wmf.record(0x02FC, {0, 0x0000, 0x00FF, 0});         // blue brush, slot 1
    wmf.record(0x02FC, {0, 0x00FF, 0x0000, 0});         // red brush, slot 2
    wmf.record(0x012D, {1});                            // SELECTOBJECT blue
    wmf.record(0x061D, {0x0021, 0x00F0, 50, 50, 0, 0}); // PATBLT PATCOPY 50 x 50 at (0, 0)
    wmf.record(0x012D, {2});                            // SELECTOBJECT red
    wmf.record(0x012D, {2});
    wmf.record(0x041B, {100, 100, 60, 60}); // RECTANGLE (60, 60)-(100, 100)
    wmf.record(0x01F0, {1});                // DELETEOBJECT blue
    wmf.record(0x012D, {1});                // selecting a deleted object changes nothing
    wmf.record(0x041B, {59, 59, 52, 52});   // still red
    const std::optional<Metafile> picture = Metafile::fromBytes(wmf.bytes(100, 3));
    QVERIFY(picture);
    QCOMPARE(picture->naturalSize(), QSize(100, 100));
    const QImage image = render(*picture, QSize(100, 100));
    QCOMPARE(image.pixel(25, 25), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(80, 80), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(55, 55), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(75, 25), qRgb(255, 255, 255));
    // Doubled, the same picture covers twice the pixels.
    const QImage doubled = render(*picture, QSize(200, 200));
    QCOMPARE(doubled.pixel(50, 50), qRgb(0, 0, 255));
    QCOMPARE(doubled.pixel(160, 160), qRgb(255, 0, 0));
}

void TestMetafile::malformed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray emf = ReadWholeFile(SampleDir + QStringLiteral("/lo-shapes.emf"));
    const QByteArray wmf = ReadWholeFile(SampleDir + QStringLiteral("/lo-shapes.wmf"));
    QVERIFY(!emf.isEmpty() && !wmf.isEmpty());

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("emf truncated") << emf.left(emf.size() / 2);
    QTest::newRow("emf header only") << emf.left(88);
    const quint32 headerSize = quint8(emf[4]) | (quint8(emf[5]) << 8);
    QTest::newRow("emf record size 0") << withU32(emf, headerSize + 4, 0);
    QTest::newRow("emf record size huge") << withU32(emf, headerSize + 4, 0x7FFFFFF0u);
    QTest::newRow("emf record size not a multiple of 4") << withU32(emf, headerSize + 4, 13);
    QTest::newRow("emf huge frame") << withU32(emf, 32, 0x7FFFFFFFu);
    QTest::newRow("emf empty frame") << withU32(emf, 32, quint32(qFromLittleEndian<qint32>(emf.constData() + 24)));
    QTest::newRow("emf 65535 objects") << withU16(emf, 56, 65535);

    QTest::newRow("wmf truncated") << wmf.left(wmf.size() / 2);
    QTest::newRow("wmf inch 0") << withU16(wmf, 14, 0);
    QTest::newRow("wmf record size 0") << withU32(wmf, 22 + 18, 0);
    QTest::newRow("wmf record size huge") << withU32(wmf, 22 + 18, 0x7FFFFFFFu);
    QTest::newRow("wmf header size not 9") << withU16(wmf, 22 + 2, 7);
    QTest::newRow("wmf 65535 objects") << withU16(wmf, 22 + 10, 65535);
    // A plain WMF without a window extent has no size.
    QByteArray plain = QByteArray::fromHex("0100090000031200000000000000") + QByteArray(4, '\0');
    plain += QByteArray::fromHex("030000000000");
    QTest::newRow("wmf without placeable header and window") << plain;
}

void TestMetafile::malformed()
{
    QFETCH(QByteArray, bytes);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!Metafile::fromBytes(bytes));
    QVERIFY(timer.elapsed() < 2000);
}

QTEST_MAIN(TestMetafile)
#include "tst_metafile.moc"
