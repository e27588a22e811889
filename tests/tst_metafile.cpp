// Metafiles: natural sizes and renderings of samples made by third-party
// producers, against reference renderings; malformed files.

#include "MetafileBuilders.h"
#include "TestSupport.h"
#include "base/WorkerPool.h"
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
#include <cstring>

namespace {

const QString SampleDir = QStringLiteral(VANTRIX_TEST_DATA "/metafiles");

std::optional<Metafile> load(const QString &path)
{
    return Metafile::fromBytes(readWholeFile(path));
}

// Size in device pixels, at a device pixel ratio.
QImage render(const Metafile &picture, QSize size, qreal ratio = 1)
{
    QImage image(size, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture.draw(painter, QRectF(QPointF(0, 0), image.deviceIndependentSize()));
    painter.end();
    return image;
}

// The dark pixels of a drawing: their bounds and their number.
struct Ink {
    QRect bounds;
    int pixels = 0;
};

Ink inkOf(const QImage &image)
{
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                ink.bounds |= QRect(x, y, 1, 1);
                ++ink.pixels;
            }
    return ink;
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

// [MS-EMF] 2.3.7.8 EMR_EXTCREATEFONTINDIRECTW, selected at once: a font of
// the face, height and escapement in tenths of a degree.
void addFont(EmfBuilder &emf, const QString &face, qint32 escapement = 0)
{
    QByteArray body;
    for (const quint32 v : {1u, quint32(-24), 0u, quint32(escapement), 0u, 400u, 0u, 0u})
        EmfBuilder::put(body, v);
    QByteArray name(64, '\0');
    std::memcpy(name.data(), face.utf16(), std::min<qsizetype>(face.size() * 2, 62));
    emf.record(EmfRecord::ExtCreateFontIndirectW, body + name);
    emf.record(EmfRecord::SelectObject, {1});
}

// [MS-EMF] 2.3.5.8 EMR_EXTTEXTOUTW at At: the code units of Text, with the
// advances Dx when given, in the graphics mode given.
void addText(EmfBuilder &emf, QPoint at, const QString &text, quint32 options = 0, std::vector<qint32> dx = {},
             quint32 graphicsMode = 1)
{
    constexpr quint32 StringAt = 76;
    const quint32 dxAt = StringAt + quint32((text.size() * 2 + 3) & ~3);
    QByteArray body;
    for (const quint32 v : {0u, 0u, 99u, 99u, graphicsMode, 0x3F800000u, 0x3F800000u, quint32(at.x()), quint32(at.y()),
                            quint32(text.size()), StringAt, options, 0u, 0u, 0u, 0u, dx.empty() ? 0u : dxAt})
        EmfBuilder::put(body, v);
    body.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    body.append(QByteArray((4 - body.size() % 4) % 4, '\0'));
    for (const qint32 d : dx)
        EmfBuilder::put(body, quint32(d));
    emf.record(EmfRecord::ExtTextOutW, body);
}

} // namespace

// A packed 32-bit bottom-up DIB with a 40-byte header, pixels as given.
QByteArray dib32(int width, int height, std::initializer_list<quint32> pixels)
{
    QByteArray b;
    for (const quint32 v :
         {40u, quint32(width), quint32(height), 0x00200001u, 0u, quint32(pixels.size() * 4), 0u, 0u, 0u, 0u})
        EmfBuilder::put(b, v);
    for (const quint32 p : pixels)
        EmfBuilder::put(b, p);
    return b;
}

class TestMetafile : public QObject
{
    Q_OBJECT
private slots:
    void samples_data();
    void samples();
    void doubledIsDrawnAsVectors();
    void handMadeRecords();
    void recordsDrawWhatTheySay_data();
    void recordsDrawWhatTheySay();
    void textDrawsAsWritten_data();
    void textDrawsAsWritten();
    void textEndsAlikeAtEveryScale();
    void dingbatFaceDrawsItsPictures();

private:
    void addEmfRows();

private slots:
    void foundByFuzzing_data();
    void foundByFuzzing();
    void malformed_data();
    void malformed();
    // Last: the program's end cannot be taken back.
    void playbackStopsWhenTheProgramEnds();
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
    wmf.record(WmfRecord::SetWindowOrg, {0, 0});
    wmf.record(WmfRecord::SetWindowExt, {100, 100});
    wmf.record(WmfRecord::CreatePalette, {0x0300, 0});                  // CREATEPALETTE, slot 0
    wmf.record(WmfRecord::CreateBrushIndirect, {0, 0x0000, 0x00FF, 0}); // blue brush, slot 1
    wmf.record(WmfRecord::CreateBrushIndirect, {0, 0x00FF, 0x0000, 0}); // red brush, slot 2
    wmf.record(WmfRecord::SelectObject, {1});                           // SELECTOBJECT blue
    wmf.record(WmfRecord::PatBlt, {0x0021, 0x00F0, 50, 50, 0, 0});      // PATBLT PATCOPY 50 x 50 at (0, 0)
    wmf.record(WmfRecord::SelectObject, {2});                           // SELECTOBJECT red
    wmf.record(WmfRecord::SelectObject, {2});
    wmf.record(WmfRecord::Rectangle, {100, 100, 60, 60}); // RECTANGLE (60, 60)-(100, 100)
    wmf.record(WmfRecord::DeleteObject, {1});             // DELETEOBJECT blue
    wmf.record(WmfRecord::SelectObject, {1});             // selecting a deleted object changes nothing
    wmf.record(WmfRecord::Rectangle, {59, 59, 52, 52});   // still red
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

namespace {

// Words of a 32-bit colour reference, low then high.
quint16 lo(quint32 v)
{
    return quint16(v & 0xFFFF);
}
quint16 hi(quint32 v)
{
    return quint16(v >> 16);
}

constexpr quint32 Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000;

// A WMF of 100 x 100 pixels, window 0..100, with a solid brush of Colour
// selected in slot 0 and no outline.
WmfBuilder wmfWithBrush(quint32 colour)
{
    WmfBuilder wmf;
    wmf.record(WmfRecord::SetWindowOrg, {0, 0});
    wmf.record(WmfRecord::SetWindowExt, {100, 100});
    wmf.record(WmfRecord::CreateBrushIndirect, {0, lo(colour), hi(colour), 0}); // CREATEBRUSHINDIRECT, slot 0
    wmf.record(WmfRecord::SelectObject, {0});
    wmf.record(WmfRecord::CreatePenIndirect, {5, 0, 0, 0, 0}); // CREATEPENINDIRECT PS_NULL, slot 1
    wmf.record(WmfRecord::SelectObject, {1});
    return wmf;
}

} // namespace

// Each row: a picture of a few hand-made records, an area of it and the
// colour most of that area must show.
void TestMetafile::recordsDrawWhatTheySay_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRgb>("colour");
    const QRect centre(45, 45, 10, 10);

    WmfBuilder rop2 = wmfWithBrush(Blue);
    rop2.record(WmfRecord::SetRop2, {1}); // SETROP2 R2_BLACK
    rop2.record(WmfRecord::Rectangle, {90, 90, 10, 10});
    QTest::newRow("wmf SETROP2 black") << rop2.bytes(100, 4) << centre << qRgb(0, 0, 0);

    WmfBuilder relAbs = wmfWithBrush(Blue);
    relAbs.record(WmfRecord::SetRelAbs, {1}); // SETRELABS: reserved, changes nothing
    relAbs.record(WmfRecord::Rectangle, {90, 90, 10, 10});
    QTest::newRow("wmf SETRELABS ignored") << relAbs.bytes(100, 4) << centre << qRgb(0, 0, 255);

    // A square traced twice: the overlap is filled only when winding.
    for (const quint16 mode : {1, 2}) {
        WmfBuilder fill = wmfWithBrush(Blue);
        fill.record(WmfRecord::SetPolyFillMode, {mode});
        fill.record(WmfRecord::Polygon, {8, 10, 10, 90, 10, 90, 90, 10, 90, 10, 10, 90, 10, 90, 90, 10, 90});
        QTest::newRow(mode == 1 ? "wmf SETPOLYFILLMODE alternate" : "wmf SETPOLYFILLMODE winding")
            << fill.bytes(100, 4) << centre << (mode == 1 ? qRgb(255, 255, 255) : qRgb(0, 0, 255));
    }

    for (const quint16 mode : {1, 2}) {
        WmfBuilder bk = wmfWithBrush(Red);
        bk.record(WmfRecord::Rectangle, {100, 100, 0, 0});               // red ground
        bk.record(WmfRecord::CreateBrushIndirect, {2, lo(0), hi(0), 4}); // black cross hatch, slot 2
        bk.record(WmfRecord::SelectObject, {2});
        bk.record(WmfRecord::SetBkColor, {lo(Green), hi(Green)}); // SETBKCOLOR green
        bk.record(WmfRecord::SetBkMode, {mode});
        bk.record(WmfRecord::Rectangle, {90, 90, 10, 10});
        QTest::newRow(mode == 1 ? "wmf SETBKMODE transparent" : "wmf SETBKMODE opaque")
            << bk.bytes(100, 4) << centre << (mode == 1 ? qRgb(255, 0, 0) : qRgb(0, 255, 0));
    }

    WmfBuilder mapMode = wmfWithBrush(Blue);
    mapMode.record(WmfRecord::SetWindowExt, {200, 200}); // half scale...
    mapMode.record(WmfRecord::SetMapMode, {1});          // ...until SETMAPMODE MM_TEXT: one unit, one pixel
    mapMode.record(WmfRecord::Rectangle, {60, 60, 0, 0});
    QTest::newRow("wmf SETMAPMODE text") << mapMode.bytes(100, 4) << QRect(52, 52, 4, 4) << qRgb(0, 0, 255);

    WmfBuilder palette;
    palette.record(WmfRecord::CreatePalette, {0x0300, 2, lo(Red), hi(Red), lo(Green), hi(Green)}); // slot 0
    palette.record(WmfRecord::SelectPalette, {0});
    palette.record(WmfRecord::CreateBrushIndirect, {0, 1, 0x0100, 0}); // brush: palette entry 1
    palette.record(WmfRecord::SelectObject, {1});
    palette.record(WmfRecord::Rectangle, {100, 100, 0, 0});
    QTest::newRow("wmf palette index colour") << palette.bytes(100, 4) << centre << qRgb(0, 255, 0);

    // One scan from y 20 to 60, x 20 to 60.
    const std::initializer_list<quint16> region = {0, 6, 0, 0, 34, 1, 1, 20, 20, 60, 60, 2, 20, 60, 20, 60, 2};
    WmfBuilder fillRegion = wmfWithBrush(Red);
    fillRegion.record(WmfRecord::CreateRegion, region); // CREATEREGION, slot 2
    fillRegion.record(WmfRecord::FillRegion, {2, 0});   // FILLREGION region 2, brush 0
    QTest::newRow("wmf FILLREGION inside") << fillRegion.bytes(100, 4) << QRect(30, 30, 20, 20) << qRgb(255, 0, 0);
    QTest::newRow("wmf FILLREGION outside") << fillRegion.bytes(100, 4) << QRect(65, 65, 20, 20) << qRgb(255, 255, 255);

    WmfBuilder clip = wmfWithBrush(Blue);
    clip.record(WmfRecord::CreateRegion, region);
    clip.record(WmfRecord::SelectClipRegion, {2});
    clip.record(WmfRecord::Rectangle, {100, 100, 0, 0});
    QTest::newRow("wmf SELECTCLIPREGION") << clip.bytes(100, 4) << QRect(65, 65, 20, 20) << qRgb(255, 255, 255);

    WmfBuilder viewport = wmfWithBrush(Blue);
    viewport.record(WmfRecord::SetViewportOrg, {50, 50});
    viewport.record(WmfRecord::Rectangle, {20, 20, 0, 0});
    QTest::newRow("wmf SETVIEWPORTORG") << viewport.bytes(100, 4) << QRect(55, 55, 10, 10) << qRgb(0, 0, 255);

    // An 8 x 8 one-bit device bitmap, all clear: the text colour.
    WmfBuilder blit = wmfWithBrush(Blue);
    blit.record(WmfRecord::SetTextColor, {lo(Red), hi(Red)});
    blit.record(WmfRecord::BitBlt, {0x0020, 0x00CC, 0, 0, 8, 8, 10, 10, 0, 8, 8, 2, 0x0101, 0, 0, 0, 0, 0, 0, 0, 0});
    QTest::newRow("wmf BITBLT device bitmap") << blit.bytes(100, 4) << QRect(12, 12, 4, 4) << qRgb(255, 0, 0);

    addEmfRows();
}

void TestMetafile::addEmfRows()
{
    const QRect centre(45, 45, 10, 10);
    auto solidBrush = [](EmfBuilder &emf, quint32 index, quint32 colour) {
        emf.record(EmfRecord::CreateBrushIndirect, {index, 0, colour, 0});
        emf.record(EmfRecord::SelectObject, {index});
        emf.record(EmfRecord::SelectObject, {0x80000008u}); // NULL_PEN
    };

    // Half-transparent blue, premultiplied, over white.
    EmfBuilder alpha;
    alpha.record(EmfRecord::AlphaBlend,
                 withBitmap({0,           0, 99, 99, 10, 10, 80, 80, 0x01FF0000u, 0, 0, 0x3F800000u, 0, 0,
                             0x3F800000u, 0, 0,  0,  0,  0,  0,  0,  0,           1, 1},
                            84, dib32(1, 1, {0x80000080u})));
    QTest::newRow("emf ALPHABLEND source alpha") << alpha.bytes() << centre << qRgb(127, 127, 255);

    // The same with masks naming the colours only: the fourth byte is
    // still the alpha.
    QByteArray fields = dib32(1, 1, {});
    fields[16] = 3; // BI_BITFIELDS
    for (const quint32 mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0x80000080u})
        EmfBuilder::put(fields, mask);
    EmfBuilder alphaFields;
    alphaFields.record(EmfRecord::AlphaBlend,
                       withBitmap({0,           0, 99, 99, 10, 10, 80, 80, 0x01FF0000u, 0, 0, 0x3F800000u, 0, 0,
                                   0x3F800000u, 0, 0,  0,  0,  0,  0,  0,  0,           1, 1},
                                  84, fields, 52));
    QTest::newRow("emf ALPHABLEND source alpha, bit fields") << alphaFields.bytes() << centre << qRgb(127, 127, 255);

    EmfBuilder constant;
    constant.record(EmfRecord::AlphaBlend,
                    withBitmap({0,           0, 99, 99, 10, 10, 80, 80, 0x00800000u, 0, 0, 0x3F800000u, 0, 0,
                                0x3F800000u, 0, 0,  0,  0,  0,  0,  0,  0,           1, 1},
                               84, dib32(1, 1, {0x00FF0000u})));
    QTest::newRow("emf ALPHABLEND constant alpha") << constant.bytes() << centre << qRgb(255, 127, 127);

    EmfBuilder palette;
    QByteArray logPalette;
    EmfBuilder::put(logPalette, 1);           // ihPal
    EmfBuilder::put(logPalette, 0x00020300u); // version, two entries
    EmfBuilder::put(logPalette, Red);
    EmfBuilder::put(logPalette, Green);
    palette.record(EmfRecord::CreatePalette, logPalette);
    palette.record(EmfRecord::SelectPalette, {1});
    solidBrush(palette, 2, 0x01000001u);
    palette.record(EmfRecord::Rectangle, {0, 0, 100, 100});
    QTest::newRow("emf palette index colour") << palette.bytes() << centre << qRgb(0, 255, 0);

    // Red at the left edge to blue at the right, across.
    EmfBuilder gradient;
    gradient.record(EmfRecord::GradientFill, {0, 0, 99, 99, 2, 1, 0, 0, 0, 0xFF00, 0, 100, 100, 0, 0xFF00, 0, 1});
    QTest::newRow("emf GRADIENTFILL left") << gradient.bytes() << QRect(0, 40, 3, 20) << qRgb(251, 0, 4);
    QTest::newRow("emf GRADIENTFILL right") << gradient.bytes() << QRect(97, 40, 3, 20) << qRgb(4, 0, 251);

    // Red then white, with white transparent, stretched over a green ground.
    EmfBuilder transparent;
    solidBrush(transparent, 1, Green);
    transparent.record(EmfRecord::Rectangle, {0, 0, 100, 100});
    transparent.record(EmfRecord::TransparentBlt,
                       withBitmap({0,           0, 99, 99, 0, 0, 100, 100, 0xFFFFFF, 0, 0, 0x3F800000u, 0, 0,
                                   0x3F800000u, 0, 0,  0,  0, 0, 0,   0,   0,        2, 1},
                                  84, dib32(2, 1, {0x00FF0000u, 0x00FFFFFFu})));
    QTest::newRow("emf TRANSPARENTBLT kept") << transparent.bytes() << QRect(10, 40, 20, 20) << qRgb(255, 0, 0);
    QTest::newRow("emf TRANSPARENTBLT through") << transparent.bytes() << QRect(70, 40, 20, 20) << qRgb(0, 255, 0);

    // Red through a mask white on the left and black on the right, over a
    // green ground.
    EmfBuilder masked;
    solidBrush(masked, 1, Green);
    masked.record(EmfRecord::Rectangle, {0, 0, 100, 100});
    QByteArray maskBlt = withBitmap({0, 0, 99, 99, 0, 0, 100, 100, 0x00CC0020u, 0, 0, 0x3F800000u, 0, 0, 0x3F800000u,
                                     0, 0, 0,  0,  0, 0, 0,   0,   0,           0, 0, 0,           0, 0, 0},
                                    84, dibOf(100, 100, [](int, int) { return 0x00FF0000u; }));
    const QByteArray mask = dibOf(100, 100, [](int x, int) { return x < 50 ? 0x00FFFFFFu : 0u; });
    const auto maskAt = quint32(8 + maskBlt.size());
    for (const auto &[at, value] : {std::pair{112, maskAt}, {116, 40u}, {120, maskAt + 40}, {124, 40000u}})
        qToLittleEndian(quint32(value), maskBlt.data() + at - 8);
    masked.record(EmfRecord::MaskBlt, maskBlt + mask);
    QTest::newRow("emf MASKBLT through") << masked.bytes() << QRect(10, 40, 20, 20) << qRgb(255, 0, 0);
    QTest::newRow("emf MASKBLT held back") << masked.bytes() << QRect(70, 40, 20, 20) << qRgb(0, 255, 0);

    // A two-colour brush: its dark pixels take the text colour, its light
    // ones the background colour, those in force when it is made.
    auto monoBrush = [](quint32 pixel) {
        EmfBuilder mono;
        mono.record(EmfRecord::SetTextColor, {Red});
        mono.record(EmfRecord::SetBkColor, {Blue});
        mono.record(EmfRecord::CreateMonoBrush,
                    withBitmap({1, 0, 0, 0, 0, 0}, 16, dibOf(8, 8, [pixel](int, int) { return pixel; })));
        mono.record(EmfRecord::SelectObject, {1});
        mono.record(EmfRecord::Rectangle, {0, 0, 100, 100});
        return mono.bytes();
    };
    QTest::newRow("emf CREATEMONOBRUSH dark") << monoBrush(0) << QRect(30, 30, 20, 20) << qRgb(255, 0, 0);
    QTest::newRow("emf CREATEMONOBRUSH light") << monoBrush(0xFFFFFF) << QRect(30, 30, 20, 20) << qRgb(0, 0, 255);

    // A region of one rectangle, filled red.
    EmfBuilder fillRgn;
    fillRgn.record(EmfRecord::CreateBrushIndirect, {1, 0, Red, 0});
    fillRgn.record(EmfRecord::FillRgn, {0, 0, 99, 99, 48, 1, 32, 1, 1, 16, 20, 20, 60, 60, 20, 20, 60, 60});
    QTest::newRow("emf FILLRGN") << fillRgn.bytes() << QRect(30, 30, 20, 20) << qRgb(255, 0, 0);

    // A thick line drawn by point types: move to, line to.
    EmfBuilder polyDraw;
    polyDraw.record(EmfRecord::CreatePen, {1, 0, 20, 0, Blue}); // CREATEPEN width 20
    polyDraw.record(EmfRecord::SelectObject, {1});
    polyDraw.record(EmfRecord::PolyDraw, {0, 0, 99, 99, 2, 10, 50, 90, 50, 0x0206});
    QTest::newRow("emf POLYDRAW") << polyDraw.bytes() << centre << qRgb(0, 0, 255);

    // A geometric dashed pen 10 wide with flat ends: dashes of 30, gaps of 10.
    EmfBuilder dashes;
    dashes.record(EmfRecord::ExtCreatePen, {1, 0, 0, 0, 0, 0x10201, 10, 0, Blue, 0, 0});
    dashes.record(EmfRecord::SelectObject, {1});
    dashes.record(EmfRecord::MoveToEx, {0, 50});
    dashes.record(EmfRecord::LineTo, {100, 50});
    QTest::newRow("emf geometric dash") << dashes.bytes() << QRect(22, 47, 6, 6) << qRgb(0, 0, 255);
    QTest::newRow("emf geometric dash gap") << dashes.bytes() << QRect(32, 47, 6, 6) << qRgb(255, 255, 255);
}

void TestMetafile::recordsDrawWhatTheySay()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QRect, area);
    QFETCH(QRgb, colour);
    const std::optional<Metafile> picture = Metafile::fromBytes(bytes);
    QVERIFY(picture);
    QCOMPARE(picture->naturalSize(), QSize(100, 100));
    const QImage image = render(*picture, QSize(100, 100));
    constexpr int Tolerance = 3;
    const QString seen = mostlyColoured(image, area, colour, Tolerance);
    QVERIFY2(seen.isEmpty(), qPrintable(seen));
}

// Each row: text written one way, and the same text written plainly; both
// must draw the same pixels.
void TestMetafile::textDrawsAsWritten_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArray>("plain");
    constexpr quint32 GlyphIndex = 0x10, Pdy = 0x2000, GmAdvanced = 2;
    const QPoint at(10, 40);

    // Glyph numbers of the standard order, and past it, where no face here
    // can tell the letter.
    EmfBuilder glyphs, letters, unknown, replaced;
    for (EmfBuilder *emf : {&glyphs, &letters, &unknown, &replaced})
        addFont(*emf, QStringLiteral("Courier New"));
    addText(glyphs, at, QString::fromUtf16(u"\u002C\u0050\u0053\u0052\u0055\u0057\u0056"), GlyphIndex);
    addText(letters, at, QStringLiteral("Imports"));
    QTest::newRow("glyph numbers") << glyphs.bytes() << letters.bytes();
    addText(unknown, at, QString::fromUtf16(u"\u02A0\u02A1"), GlyphIndex, {12, 12});
    addText(replaced, at, QString::fromUtf16(u"\uFFFD\uFFFD"), 0, {12, 12});
    QTest::newRow("glyph numbers unknown here") << unknown.bytes() << replaced.bytes();

    // Symbol's codes are Greek letters, drawn in a text face.
    EmfBuilder symbol, greek;
    addFont(symbol, QStringLiteral("Symbol"));
    addText(symbol, at, QStringLiteral("abg"));
    addFont(greek, QStringLiteral("serif"));
    addText(greek, at, QString::fromUtf16(u"\u03B1\u03B2\u03B3"));
    QTest::newRow("Symbol") << symbol.bytes() << greek.bytes();

    // Each character steps 20 across and 10 up.
    EmfBuilder stepped, placed;
    addFont(stepped, QStringLiteral("Arial"));
    addText(stepped, at, QStringLiteral("hi"), Pdy, {20, 10, 20, 10});
    addFont(placed, QStringLiteral("Arial"));
    addText(placed, at, QStringLiteral("h"), 0, {20});
    addText(placed, at + QPoint(20, -10), QStringLiteral("i"), 0, {20});
    QTest::newRow("ETO_PDY") << stepped.bytes() << placed.bytes();

    // A world turned a quarter counter-clockwise, as an escapement of 90°.
    EmfBuilder turned, escaped;
    turned.record(EmfRecord::SetWorldTransform,
                  {0, 0xBF800000u, 0x3F800000u, 0, 0x42480000u, 0x42480000u}); // SETWORLDTRANSFORM
    addFont(turned, QStringLiteral("Arial"));
    addText(turned, QPoint(0, 0), QStringLiteral("up"), 0, {}, GmAdvanced);
    addFont(escaped, QStringLiteral("Arial"), 900);
    addText(escaped, QPoint(50, 50), QStringLiteral("up"));
    QTest::newRow("GM_ADVANCED turn") << turned.bytes() << escaped.bytes();
}

void TestMetafile::textDrawsAsWritten()
{
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, plain);
    const std::optional<Metafile> a = Metafile::fromBytes(written);
    const std::optional<Metafile> b = Metafile::fromBytes(plain);
    QVERIFY(a && b);
    const QImage drawn = render(*a, QSize(100, 100));
    QImage blank(drawn.size(), drawn.format());
    blank.fill(Qt::white);
    QVERIFY2(drawn != blank, "nothing drawn");
    // The same glyphs, a fraction of a pixel apart at most: a picture's
    // frame is seldom exactly as tall in pixels as it is wide.
    const Difference difference = compare(drawn, render(*b, QSize(100, 100)));
    QVERIFY2(difference.meanAbsolute < 0.25, qPrintable(QString::number(difference.meanAbsolute)));
}

// Text of a fractional pixel size ends at the same place drawn at a zoom on
// plain pixels, as tiles are, and at half that zoom on a display of scale 2.
void TestMetafile::textEndsAlikeAtEveryScale()
{
    EmfBuilder emf;
    addFont(emf, QStringLiteral("Times New Roman"));
    addText(emf, QPoint(2, 40), QStringLiteral("minimum"));
    const std::optional<Metafile> picture = Metafile::fromBytes(emf.bytes());
    QVERIFY(picture);
    const int tiles = inkOf(render(*picture, QSize(230, 230))).bounds.right();
    const int display = inkOf(render(*picture, QSize(230, 230), 2)).bounds.right();
    QVERIFY(tiles > 100);
    QVERIFY2(std::abs(tiles - display) <= 1, qPrintable(QStringLiteral("%1 and %2").arg(tiles).arg(display)));
}

// Wingdings' code for a black circle draws a round blot where its face is
// installed, not the letter l.
void TestMetafile::dingbatFaceDrawsItsPictures()
{
    if (!QFile::exists(QStringLiteral("/usr/share/wine/fonts/wingding.ttf")))
        QSKIP("no packaged Wingdings face");
    EmfBuilder emf;
    addFont(emf, QStringLiteral("Wingdings"));
    addText(emf, QPoint(20, 20), QStringLiteral("l"));
    const std::optional<Metafile> picture = Metafile::fromBytes(emf.bytes());
    QVERIFY(picture);
    const QImage image = render(*picture, QSize(100, 100));
    const Ink ink = inkOf(image);
    const QRect blot = ink.bounds;
    QVERIFY2(blot.width() > 4 && std::abs(blot.width() - blot.height()) <= 2,
             qPrintable(QStringLiteral("%1 x %2").arg(blot.width()).arg(blot.height())));
    QVERIFY(ink.pixels > 0.6 * blot.width() * blot.height());
}

// Files the fuzzers found faults with: each opens and draws, at natural
// size and doubled, without a fault (the sanitizer build watches).
void TestMetafile::foundByFuzzing_data()
{
    QTest::addColumn<QString>("file");
    // Text squeezed 1500 times more across than down: the glyph cache
    // failed on it.
    QTest::newRow("squeezed EMF+ text") << QStringLiteral("squeezed-text.emf");
}

void TestMetafile::foundByFuzzing()
{
    QFETCH(QString, file);
    const std::optional<Metafile> picture =
        Metafile::fromBytes(readWholeFile(QStringLiteral(VANTRIX_TEST_DATA "/regressions/") + file));
    QVERIFY(picture);
    for (const int factor : {1, 2})
        QVERIFY(!render(*picture, picture->naturalSize() * factor).isNull());
}

void TestMetafile::malformed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray emf = readWholeFile(SampleDir + QStringLiteral("/lo-shapes.emf"));
    const QByteArray wmf = readWholeFile(SampleDir + QStringLiteral("/lo-shapes.wmf"));
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

// Drawing in flight when the program ends stops at its next record instead
// of holding the end up: nobody will see it.
void TestMetafile::playbackStopsWhenTheProgramEnds()
{
    WmfBuilder wmf;
    wmf.record(WmfRecord::SetWindowOrg, {0, 0});
    wmf.record(WmfRecord::SetWindowExt, {100, 100});
    wmf.record(WmfRecord::CreateBrushIndirect, {0, 0x00FF, 0x0000, 0}); // red brush, slot 0
    wmf.record(WmfRecord::SelectObject, {0});
    wmf.record(WmfRecord::Rectangle, {100, 100, 0, 0}); // RECTANGLE over the whole picture
    const std::optional<Metafile> picture = Metafile::fromBytes(wmf.bytes(100, 1));
    QVERIFY(picture);
    QCOMPARE(render(*picture, QSize(100, 100)).pixel(50, 50), qRgb(255, 0, 0));
    abandonWork();
    QCOMPARE(render(*picture, QSize(100, 100)).pixel(50, 50), qRgb(255, 255, 255));
}

QTEST_MAIN(TestMetafile)
#include "tst_metafile.moc"
