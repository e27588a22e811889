// The metafile engine's building blocks on their own: the page mapping, the
// clip, the record table, EMF+ data views and the EMF header.

#include "metafile/Clip.h"
#include "metafile/EmfHeader.h"
#include "metafile/EmfPlusObjects.h"
#include "metafile/GdiMapping.h"
#include "metafile/RecordHandling.h"

#include <QTest>
#include <QtEndian>

#include <functional>

namespace {

constexpr double PixelsPerMm = 4;

// An EMF header of Size bytes (at least 88): frame in 0.01 mm, a device of
// 400 x 300 pixels on 100 x 75 mm, Handles objects.
QByteArray emfHeaderBytes(quint32 size, QRect frame, quint16 handles)
{
    QByteArray bytes(int(size), '\0');
    auto put32 = [&](int at, qint32 v) { qToLittleEndian(v, bytes.data() + at); };
    put32(0, 1);
    put32(4, qint32(size));
    put32(24, frame.left());
    put32(28, frame.top());
    put32(32, frame.right());
    put32(36, frame.bottom());
    qToLittleEndian(handles, bytes.data() + 56);
    put32(72, 400);
    put32(76, 300);
    put32(80, 100);
    put32(84, 75);
    return bytes;
}

} // namespace

class TestEngineParts : public QObject
{
    Q_OBJECT

private slots:
    void mapping_data();
    void mapping();
    void clipCombinesAlikeForRegionsAndPaths_data();
    void clipCombinesAlikeForRegionsAndPaths();
    void clipHoldsOneShapeAtATime();
    void recordTableFindsOnlyItsOwnTypes();
    void plusDataStaysInsideItsRecord();
    void emfHeader_data();
    void emfHeader();
};

// Where the logical points (0, 0) and (100, 50) land, after the mapping's
// setters have run.
void TestEngineParts::mapping_data()
{
    using Setup = std::function<void(GdiMapping &)>;
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QPointF>("origin");
    QTest::addColumn<QPointF>("corner");
    auto anisotropic = [](GdiMapping &m) {
        m.setMapMode(MapMode::Anisotropic);
        m.setWindowExt(QSizeF(200, 100));
        m.setViewportExt(QSizeF(100, 200));
    };
    QTest::newRow("text") << Setup([](GdiMapping &) {}) << QPointF(0, 0) << QPointF(100, 50);
    QTest::newRow("low metric, y up") << Setup([](GdiMapping &m) { m.setMapMode(MapMode::LoMetric); }) << QPointF(0, 0)
                                      << QPointF(40, -20);
    QTest::newRow("twips") << Setup([](GdiMapping &m) { m.setMapMode(MapMode::Twips); }) << QPointF(0, 0)
                           << QPointF(100 * 25.4 / 1440 * PixelsPerMm, -50 * 25.4 / 1440 * PixelsPerMm);
    QTest::newRow("anisotropic") << Setup(anisotropic) << QPointF(0, 0) << QPointF(50, 100);
    QTest::newRow("isotropic keeps the smaller scale") << Setup([&](GdiMapping &m) {
        anisotropic(m);
        m.setMapMode(MapMode::Isotropic);
    }) << QPointF(0, 0) << QPointF(50, 25);
    QTest::newRow("origins") << Setup([](GdiMapping &m) {
        m.setWindowOrg(QPointF(10, 10));
        m.setViewportOrg(QPointF(5, 0));
        m.offsetWindowOrg(QPointF(-10, 0));
        m.offsetViewportOrg(QPointF(0, 5));
    }) << QPointF(5, -5) << QPointF(105, 45);
    QTest::newRow("empty extents and zero denominators are ignored") << Setup([&](GdiMapping &m) {
        anisotropic(m);
        m.setWindowExt(QSizeF(0, 10));
        m.setViewportExt(QSizeF(10, 0));
        m.scaleWindowExt(1, 0, 1, 1);
    }) << QPointF(0, 0) << QPointF(50, 100);
    QTest::newRow("scaled extents") << Setup([&](GdiMapping &m) {
        anisotropic(m);
        m.scaleViewportExt(2, 1, 1, 2);
    }) << QPointF(0, 0) << QPointF(100, 50);
    QTest::newRow("unknown map mode keeps the old one") << Setup([](GdiMapping &m) {
        m.setMapMode(MapMode::LoMetric);
        m.setMapMode(MapMode(99));
    }) << QPointF(0, 0) << QPointF(40, -20);
    QTest::newRow("world before page") << Setup([](GdiMapping &m) {
        m.setMapMode(MapMode::LoMetric);
        m.setWorldTransform(QTransform::fromTranslate(10, 0));
    }) << QPointF(4, 0) << QPointF(44, -20);
    QTest::newRow("a world that cannot be undone is refused") << Setup([](GdiMapping &m) {
        m.setWorldTransform(QTransform::fromScale(2, 2));
        m.setWorldTransform(QTransform::fromScale(0, 1));
    }) << QPointF(0, 0) << QPointF(200, 100);
    QTest::newRow("world multiplied on the left, then reset") << Setup([](GdiMapping &m) {
        m.setWorldTransform(QTransform::fromScale(2, 2));
        m.modifyWorldTransform(QTransform::fromTranslate(1, 1), WorldTransformMode::LeftMultiply);
        m.modifyWorldTransform(QTransform(), WorldTransformMode::Identity);
        m.modifyWorldTransform(QTransform::fromTranslate(1, 1), WorldTransformMode::RightMultiply);
    }) << QPointF(1, 1) << QPointF(101, 51);
}

void TestEngineParts::mapping()
{
    using Setup = std::function<void(GdiMapping &)>;
    QFETCH(Setup, setup);
    QFETCH(QPointF, origin);
    QFETCH(QPointF, corner);
    GdiMapping mapping;
    setup(mapping);
    const QTransform t = mapping.toDevice(PixelsPerMm);
    QCOMPARE(t.map(QPointF(0, 0)), origin);
    QCOMPARE(t.map(QPointF(100, 50)), corner);
}

// Two overlapping squares combined each way: the region and the path give
// the same pixels, and the area each mode leaves.
void TestEngineParts::clipCombinesAlikeForRegionsAndPaths_data()
{
    QTest::addColumn<ClipOp>("op");
    QTest::addColumn<int>("area");
    QTest::newRow("replace") << ClipOp::Replace << 100;
    QTest::newRow("intersect") << ClipOp::Intersect << 25;
    QTest::newRow("unite") << ClipOp::Unite << 175;
    QTest::newRow("xor") << ClipOp::Xor << 150;
    QTest::newRow("subtract") << ClipOp::Subtract << 75;
    QTest::newRow("subtract from") << ClipOp::SubtractFrom << 75;
}

void TestEngineParts::clipCombinesAlikeForRegionsAndPaths()
{
    QFETCH(ClipOp, op);
    QFETCH(int, area);
    const QRect current(0, 0, 10, 10);
    const QRect shape(5, 5, 10, 10);
    const QRegion region = combinedClip(QRegion(current), QRegion(shape), op);
    QPainterPath a, b;
    a.addRect(current);
    b.addRect(shape);
    const QPainterPath path = combinedClip(a, b, op);
    int pixels = 0;
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 15; ++x) {
            const bool inRegion = region.contains(QPoint(x, y));
            QCOMPARE(path.contains(QPointF(x + 0.5, y + 0.5)), inRegion);
            pixels += inRegion;
        }
    }
    QCOMPARE(pixels, area);
}

void TestEngineParts::clipHoldsOneShapeAtATime()
{
    const QPainterPath everywhere = rectPath(QRectF(0, 0, 100, 100));
    Clip clip;
    QVERIFY(clip.isEverywhere());
    QCOMPARE(clip.asPath(everywhere), everywhere);
    clip.translate(QPointF(3, 3)); // nothing to move
    QVERIFY(clip.isEverywhere());

    clip.setPixels(QRegion(10, 10, 5, 5));
    QVERIFY(clip.pixels() && !clip.path());
    clip.translate(QPointF(1.6, -1.4)); // whole pixels, rounded
    QCOMPARE(*clip.pixels(), QRegion(12, 9, 5, 5));
    QCOMPARE(clip.asPath(everywhere).boundingRect(), QRectF(12, 9, 5, 5));

    clip.setPath(rectPath(QRectF(0, 0, 2, 2)));
    QVERIFY(clip.path() && !clip.pixels());
    clip.translate(QPointF(0.5, 0.25)); // paths move exactly
    QCOMPARE(clip.path()->boundingRect(), QRectF(0.5, 0.25, 2, 2));

    clip.setPath(QPainterPath()); // nowhere is not everywhere
    QVERIFY(!clip.isEverywhere());
    QVERIFY(clip.asPath(everywhere).isEmpty());
    clip.reset();
    QVERIFY(clip.isEverywhere());
}

void TestEngineParts::recordTableFindsOnlyItsOwnTypes()
{
    using Entry = RecordEntry<std::uint32_t, const char *>;
    static const Entry entries[] = {{3, "THREE", "played"}, {4, "FOUR", nullptr, "set aside"}};
    const RecordTable<Entry, 8> table(entries);
    QCOMPARE(table.find(3)->name, "THREE");
    QCOMPARE(table.find(4)->ignoredBecause, "set aside");
    QVERIFY(!table.find(11)); // the slot of 3, another type
    QVERIFY(!table.find(5));
    QVERIFY(handlingOf(table.find(3)).drawn);
    QVERIFY(!handlingOf(table.find(4)).drawn);
    QVERIFY(!handlingOf(table.find(5)).name);
}

void TestEngineParts::plusDataStaysInsideItsRecord()
{
    const QByteArray bytes = QByteArray::fromHex("0102030405060708090a0b0c");
    const ByteReader reader(bytes);
    const RecordView record(reader, 2, 8);       // 03 .. 0a
    const PlusData data(record, 2, 100, 0x1234); // 05 .. 0a: cut at the record's end
    QCOMPARE(data.size(), 6);
    QCOMPARE(data.u8(0), 0x05);
    QCOMPARE(data.u8(6), 0); // past the record, though the file goes on
    QCOMPARE(data.flags, 0x1234);
    QCOMPARE(data.slice(4, 2), QByteArray::fromHex("090a"));
    QVERIFY(data.slice(4, 3).isEmpty());
    const PlusData tail = data.from(4, 10);
    QCOMPARE(tail.size(), 2);
    QCOMPARE(tail.u16(0), 0x0a09);
    QCOMPARE(data.from(-5).u8(0), 0x05);
    QCOMPARE(data.from(50).size(), 0);
    QCOMPARE(PlusData(record, 20, 4, 0).size(), 0);
}

void TestEngineParts::emfHeader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("read");
    const QRect frame(QPoint(0, 0), QPoint(2500, 1000)); // 25 x 10 mm
    QTest::newRow("whole") << emfHeaderBytes(108, frame, 7) << true;
    QTest::newRow("shorter than the header") << emfHeaderBytes(84 + 4, frame, 7).left(80) << false;
    QTest::newRow("size below the minimum") << emfHeaderBytes(88, frame, 7).replace(4, 4, "\x50\0\0\0", 4) << false;
    QTest::newRow("size not a multiple of four")
        << emfHeaderBytes(88, frame, 7).replace(4, 4, "\x5a\0\0\0", 4) << false;
    QTest::newRow("size past the bytes") << emfHeaderBytes(88, frame, 7).replace(4, 4, "\x00\x01\0\0", 4) << false;
}

void TestEngineParts::emfHeader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, read);
    const std::optional<EmfHeader> header = EmfHeader::read(ByteReader(bytes));
    QCOMPARE(header.has_value(), read);
    if (!header)
        return;
    QCOMPARE(header->frame, QRectF(0, 0, 2500, 1000));
    QCOMPARE(header->pixelsPerMm, 4.0);
    QCOMPARE(header->frameDevice, QRectF(0, 0, 100, 40));
    QCOMPARE(header->handles, 7u);
    QCOMPARE(EmfHeader::read(ByteReader(emfHeaderBytes(88, QRect(), 0)))->handles, 1u); // never none
}

QTEST_MAIN(TestEngineParts)
#include "tst_engineparts.moc"
