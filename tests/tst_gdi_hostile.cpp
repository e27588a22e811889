// Pictures made only of GDI records, each asking for one kind of work far
// beyond any real picture: each is answered quickly and within a bounded
// memory, draws what it drew before its heavy part, shows the same as two
// tiles as whole, and says whether it was drawn in part: not where the
// work is done another way (a full object table takes no more).

#include "HostileFiles.h"
#include "metafile/Metafile.h"

#include <QTest>

#include <functional>

namespace {

constexpr quint32 GdiRed = 0x0000FFu, GdiGreen = 0x00FF00u, GdiBlue = 0xFF0000u;
constexpr QRgb Red = 0xFFFF0000u, Green = 0xFF00FF00u;
// Where each file's heavy part begins, across: the check looks left of it.
constexpr int HeavyFrom = 10;
const QPoint Looked(5, 5);

constexpr quint32 Opaque = 2; // ETO_OPAQUE; OPAQUE background mode
constexpr quint32 SrcCopy = 0x00CC0020u, PatInvert = 0x005A0049u;

// A bitmap of 8192 x 8192 pixels in four bytes: run-length coded, its only
// code the end of the bitmap ([MS-WMF] 2.1.1.7 BI_RLE8), with two colours.
QByteArray runLengthGiant()
{
    constexpr quint32 Side = 8192, Rle8 = 1, Planes1Bits8 = 0x00080001u;
    return words({40, Side, Side, Planes1Bits8, Rle8, 4, 0, 0, 2, 0, 0x000000FFu, 0x00FFFFFFu}) +
           QByteArray::fromHex("00000001");
}
constexpr quint32 GiantInfoSize = 48; // the header and two colours

// An EMF of Size, red all over first, then what Heavy adds.
QByteArray emfFile(QSize size, const std::function<void(EmfBuilder &)> &heavy)
{
    EmfBuilder emf;
    emf.setSize(size);
    gdiRect(emf, GdiRed, {0, 0, quint32(size.width()), quint32(size.height())});
    heavy(emf);
    return emf.bytes();
}

QByteArray emfSquare(int side, const std::function<void(EmfBuilder &)> &heavy)
{
    return emfFile(QSize(side, side), heavy);
}

// A WMF of Side x Side, placeable or not, red all over first (without an
// outline, whose corner Qt draws a pixel apart in a tile), then what Heavy
// adds; the object table holds Objects.
QByteArray wmfFile(int side, bool placeable, const std::function<void(WmfBuilder &)> &heavy, quint16 objects = 4)
{
    constexpr quint16 NullPen = 5;
    WmfBuilder wmf;
    wmf.record(WmfRecord::CreateBrushIndirect, {0, quint16(GdiRed & 0xFFFF), quint16(GdiRed >> 16), 0});
    wmf.record(WmfRecord::SelectObject, {0});
    wmf.record(WmfRecord::CreatePenIndirect, {NullPen, 0, 0, 0, 0});
    wmf.record(WmfRecord::SelectObject, {1});
    wmf.record(WmfRecord::Rectangle, {quint16(side), quint16(side), 0, 0});
    heavy(wmf);
    return wmf.bytes(side, objects, placeable);
}

QByteArray utf16(const QString &text)
{
    QByteArray b(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    return b + QByteArray(b.size() % 4, '\0');
}

// [MS-EMF] 2.3.5.8 EMR_EXTTEXTOUTW at Reference with Options, a box, and
// the text; each character advanced by Advance when given.
QByteArray textRecord(QPoint reference, const QString &text, quint32 options, QRect box, int advance = 0)
{
    constexpr quint32 StringAt = 76;
    const QByteArray string = utf16(text);
    const quint32 dxAt = advance ? StringAt + quint32(string.size()) : 0;
    QByteArray body = words({0, 0, 0, 0, 1, bitsOf(1), bitsOf(1), quint32(reference.x()), quint32(reference.y()),
                             quint32(text.size()), StringAt, options, quint32(box.left()), quint32(box.top()),
                             quint32(box.right() + 1), quint32(box.bottom() + 1), dxAt}) +
                      string;
    for (qsizetype i = 0; advance && i < text.size(); ++i)
        body += words({quint32(advance)});
    return body;
}

// [MS-EMF] 2.3.7.8 EMR_EXTCREATEFONTINDIRECTW: the slot, then a LogFont of
// Height pixels, Weight and Face.
QByteArray fontRecord(quint32 slot, qint32 height, quint32 weight, const QString &face)
{
    QByteArray name = utf16(face.left(31));
    name.resize(64, '\0');
    return words({slot, quint32(height), 0, 0, 0, weight, 0, 0}) + name;
}

// [MS-EMF] 2.3.1.7 EMR_STRETCHDIBITS of Dib over Dest.
QByteArray stretchDiBits(QRect dest, const QByteArray &dib, quint32 infoSize, QSize source)
{
    return withBitmap({0, 0, 0, 0, quint32(dest.x()), quint32(dest.y()), 0, 0, quint32(source.width()),
                       quint32(source.height()), 0, 0, 0, 0, 0, SrcCopy, quint32(dest.width()), quint32(dest.height())},
                      48, dib, infoSize);
}

// [MS-EMF] 2.3.1.2 EMR_BITBLT, 2.3.1.6 EMR_STRETCHBLT, 2.3.1.7
// EMR_TRANSPARENTBLT share a layout: bounds, destination, the operation,
// the source's origin, its transform, colour and bitmap, then (stretched)
// its size.
QByteArray bltFixed(QRect dest, quint32 rop)
{
    return words({0,
                  0,
                  0,
                  0,
                  quint32(dest.x()),
                  quint32(dest.y()),
                  quint32(dest.width()),
                  quint32(dest.height()),
                  rop,
                  0,
                  0,
                  bitsOf(1),
                  0,
                  0,
                  bitsOf(1),
                  0,
                  0,
                  0,
                  0,
                  0,
                  0,
                  0,
                  0});
}

std::vector<QRect> strips(int count, int length, bool across)
{
    std::vector<QRect> rects;
    for (int i = 0; i < count; ++i)
        rects.push_back(across ? QRect(0, 2 * i, length, 1) : QRect(2 * i, 0, 1, length));
    return rects;
}

} // namespace

class TestGdiHostile : public QObject
{
    Q_OBJECT
private slots:
    void answeredQuicklyAndInPart_data();
    void answeredQuicklyAndInPart();

private:
    void addTextRows();
    void addBitmapRows();
    void addAreaRows();
    void addPathAndClipRows();
};

void TestGdiHostile::answeredQuicklyAndInPart_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<bool>("inPart");
    addTextRows();
    addBitmapRows();
    addAreaRows();
    addPathAndClipRows();
}

void TestGdiHostile::addTextRows()
{
    const QRect heavy(HeavyFrom, 0, 1014, 1024);
    QTest::newRow("100 000 empty small texts in opaque boxes") << emfSquare(1024, [&](EmfBuilder &emf) {
        emf.record(EmfRecord::SetBkColor, {GdiRed});
        // [MS-EMF] 2.3.5.37: reference, no characters, the options, the
        // graphics mode and scales, the box.
        const QByteArray text =
            words({20, 20, 0, Opaque, 1, bitsOf(1), bitsOf(1), quint32(heavy.left()), 0, 1024, 1024});
        for (int i = 0; i < 100'000; ++i)
            emf.record(EmfRecord::SmallTextOut, text);
    }) << Looked << Red << true;
    QTest::newRow("200 000 empty texts in opaque boxes, WMF") << wmfFile(1024, true, [&](WmfBuilder &wmf) {
        wmf.record(WmfRecord::SetBkColor, {quint16(GdiRed), 0});
        for (int i = 0; i < 200'000; ++i)
            wmf.record(WmfRecord::ExtTextOut, {20, 20, 0, quint16(Opaque), quint16(heavy.left()), 0, 1024, 1024});
    }) << Looked << Red << true;
    QTest::newRow("89 000 advanced glyphs of 4 000 pixels") << emfSquare(1024, [&](EmfBuilder &emf) {
        emf.record(EmfRecord::SetTextColor, {GdiRed});
        emf.record(EmfRecord::ExtCreateFontIndirectW, fontRecord(1, -4000, 400, QStringLiteral("DejaVu Sans")));
        emf.record(EmfRecord::SelectObject, {1});
        const QString blocks(1000, QChar(0x2588));
        for (int i = 0; i < 89; ++i)
            emf.record(EmfRecord::ExtTextOutW, textRecord(QPoint(heavy.left(), 0), blocks, 0, QRect(), 1));
    }) << Looked << Red << true;
    QTest::newRow("70 000 unknown faces selected") << emfSquare(100, [&](EmfBuilder &emf) {
        for (int i = 0; i < 70'000; ++i) {
            emf.record(EmfRecord::ExtCreateFontIndirectW, fontRecord(1, -12, 400, QStringLiteral("Nofacewx%1").arg(i)));
            emf.record(EmfRecord::SelectObject, {1});
        }
    }) << Looked << Red << true;
    QTest::newRow("30 000 fonts of a character each") << emfSquare(100, [&](EmfBuilder &emf) {
        emf.record(EmfRecord::SetTextColor, {GdiRed});
        for (int i = 0; i < 30'000; ++i) {
            emf.record(
                EmfRecord::ExtCreateFontIndirectW,
                fontRecord(1, -(8 + i % 1000), 100 + 100 * quint32(i / 1000 % 9), QStringLiteral("DejaVu Sans")));
            emf.record(EmfRecord::SelectObject, {1});
            emf.record(EmfRecord::ExtTextOutW,
                       textRecord(QPoint(heavy.left() + 20, 50), QStringLiteral("x"), 0, QRect()));
        }
    }) << Looked << Red << true;
}

void TestGdiHostile::addBitmapRows()
{
    const QRect heavy(HeavyFrom, 0, 1014, 1024);
    const QByteArray red = dibOf(2, 2, [](int, int) { return 0x00FF0000u; });
    QTest::newRow("22 000 small bitmaps stretched over the picture") << emfSquare(1024, [&](EmfBuilder &emf) {
        for (int i = 0; i < 22'000; ++i)
            emf.record(EmfRecord::StretchDiBits, stretchDiBits(heavy, red, 40, QSize(2, 2)));
    }) << Looked << Red << true;
    QTest::newRow("22 000 small bitmaps onto parallelograms") << emfSquare(1024, [&](EmfBuilder &emf) {
        // [MS-EMF] 2.3.1.4: bounds, three corners, the source, its
        // transform and colour, the bitmap, the mask's place and bitmap.
        const QByteArray plg = withBitmap({0,
                                           0,
                                           0,
                                           0,
                                           quint32(heavy.left()),
                                           0,
                                           1024,
                                           0,
                                           quint32(heavy.left()),
                                           1024,
                                           0,
                                           0,
                                           2,
                                           2,
                                           bitsOf(1),
                                           0,
                                           0,
                                           bitsOf(1),
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0},
                                          96, red);
        for (int i = 0; i < 22'000; ++i)
            emf.record(EmfRecord::PlgBlt, plg);
    }) << Looked << Red << true;
    QTest::newRow("22 000 small bitmaps stretched, WMF without a placeable header")
        << wmfFile(1024, false,
                   [&](WmfBuilder &wmf) {
                       // [MS-WMF] 2.3.1.6: the operation, usage, source, destination, bitmap.
                       QByteArray params;
                       for (const quint16 w :
                            {quint16(SrcCopy & 0xFFFF), quint16(SrcCopy >> 16), quint16(0), quint16(2), quint16(2),
                             quint16(0), quint16(0), quint16(1024), quint16(1014), quint16(0), quint16(HeavyFrom)})
                           WmfBuilder::word(params, w);
                       for (int i = 0; i < 22'000; ++i)
                           wmf.record(WmfRecord::StretchDib, params + red);
                   })
        << Looked << Red << true;
    const QByteArray giant = runLengthGiant();
    QTest::newRow("400 run-length bitmaps of 8192 x 8192 in four bytes") << emfSquare(100, [&](EmfBuilder &emf) {
        for (int i = 0; i < 400; ++i)
            emf.record(EmfRecord::StretchDiBits,
                       stretchDiBits(QRect(HeavyFrom, 0, 90, 100), giant, GiantInfoSize, QSize(8192, 8192)));
    }) << Looked << Red << true;
    QTest::newRow("400 run-length bitmaps of 8192 x 8192, WMF") << wmfFile(100, true, [&](WmfBuilder &wmf) {
        // [MS-WMF] 2.3.1.3: the operation, source, destination, bitmap.
        QByteArray params;
        for (const quint16 w : {quint16(SrcCopy & 0xFFFF), quint16(SrcCopy >> 16), quint16(8192), quint16(8192),
                                quint16(0), quint16(0), quint16(100), quint16(90), quint16(0), quint16(HeavyFrom)})
            WmfBuilder::word(params, w);
        for (int i = 0; i < 400; ++i)
            wmf.record(WmfRecord::DibStretchBlt, params + giant);
    }) << Looked << Red << true;
    QTest::newRow("16 pattern brushes of 8192 x 8192") << emfSquare(100, [&](EmfBuilder &emf) {
        for (quint32 slot = 1; slot <= 16; ++slot)
            emf.record(EmfRecord::CreateDibPatternBrushPt, withBitmap({slot, 0, 0, 0, 0, 0}, 16, giant, GiantInfoSize));
        emf.record(EmfRecord::SelectObject, {16});
        emf.record(EmfRecord::Rectangle, {HeavyFrom, 0, 100, 100});
    }) << Looked << Red << true;
    QTest::newRow("40 two-colour brushes of 8192 x 8192") << emfSquare(100, [&](EmfBuilder &emf) {
        for (int i = 0; i < 40; ++i)
            emf.record(EmfRecord::CreateMonoBrush, withBitmap({1, 0, 0, 0, 0, 0}, 16, giant, GiantInfoSize));
    }) << Looked << Red << true;
    QTest::newRow("40 transparent blits of 8192 x 8192") << emfSquare(100, [&](EmfBuilder &emf) {
        const QByteArray fixed = bltFixed(QRect(HeavyFrom, 0, 90, 100), GdiBlue);
        for (int i = 0; i < 40; ++i)
            emf.record(EmfRecord::TransparentBlt, withBitmap(fixed + words({8192, 8192}), 84, giant, GiantInfoSize));
    }) << Looked << Red << true;
    QTest::newRow("40 masked blits of 8192 x 8192") << emfSquare(100, [&](EmfBuilder &emf) {
        // [MS-EMF] 2.3.1.3 EMR_MASKBLT: as EMR_BITBLT, then the mask's
        // origin, usage and place at 112; the mask follows the source.
        QByteArray record = withBitmap(bltFixed(QRect(HeavyFrom, 0, 90, 100), SrcCopy) + words({0, 0, 0, 0, 0, 0, 0}),
                                       84, giant + giant, GiantInfoSize);
        const quint32 maskAt = quint32(8 + record.size() - giant.size());
        for (const auto &[at, value] : {std::pair{112, maskAt},
                                        {116, GiantInfoSize},
                                        {120, maskAt + GiantInfoSize},
                                        {124, quint32(giant.size()) - GiantInfoSize}})
            qToLittleEndian(value, record.data() + at - 8);
        for (int i = 0; i < 40; ++i)
            emf.record(EmfRecord::MaskBlt, record);
    }) << Looked << Red << true;
}

void TestGdiHostile::addAreaRows()
{
    QTest::newRow("20 000 rectangles over a picture 1 048 576 x 8") << emfFile(QSize(1 << 20, 8), [&](EmfBuilder &emf) {
        for (int i = 0; i < 20'000; ++i)
            emf.record(EmfRecord::Rectangle, {HeavyFrom, 0, 1 << 20, 8});
    }) << Looked << Red << true;
    QTest::newRow("100 000 gradient rectangles over 2048 x 2048") << emfSquare(2048, [&](EmfBuilder &emf) {
        // [MS-EMF] 2.3.5.12: bounds, two vertices, one rectangle, across;
        // each vertex a place and 16-bit red, green, blue and alpha.
        const QByteArray gradient = words({0, 0, 0, 0, 2, 1, 0, HeavyFrom, 0, 0xFF00, 0, 2048, 2048, 0xFF00, 0, 0, 1});
        for (int i = 0; i < 100'000; ++i)
            emf.record(EmfRecord::GradientFill, gradient);
    }) << Looked << Red << true;
    QTest::newRow("3 000 opaque hatched fills and 3 000 pattern inversions") << emfSquare(2048, [&](EmfBuilder &emf) {
        constexpr quint32 Hatched = 2, CrossHatch = 4;
        emf.record(EmfRecord::SetBkMode, {Opaque});
        emf.record(EmfRecord::SetBkColor, {GdiRed});
        emf.record(EmfRecord::CreateBrushIndirect, {2, Hatched, GdiRed, CrossHatch});
        emf.record(EmfRecord::SelectObject, {2});
        for (int i = 0; i < 3000; ++i) {
            emf.record(EmfRecord::Rectangle, {HeavyFrom, 0, 2048, 2048});
            emf.record(EmfRecord::BitBlt, bltFixed(QRect(HeavyFrom, 0, 2038, 2048), PatInvert));
        }
    }) << Looked << Red << true;
}

void TestGdiHostile::addPathAndClipRows()
{
    QTest::newRow("a path widened 40 times over") << emfSquare(100, [&](EmfBuilder &emf) {
        emf.record(EmfRecord::CreatePen, {3, 0, 3, 0, GdiRed});
        emf.record(EmfRecord::SelectObject, {3});
        emf.record(EmfRecord::BeginPath, QByteArray());
        emf.record(EmfRecord::MoveToEx, {HeavyFrom, 10});
        emf.record(EmfRecord::PolylineTo16, words({0, 0, 0, 0, 3}) + words({0x0050'0050, 0x000A'0050, 0x0050'000A}));
        emf.record(EmfRecord::EndPath, QByteArray());
        for (int i = 0; i < 40; ++i)
            emf.record(EmfRecord::WidenPath, QByteArray());
        emf.record(EmfRecord::FillPath, {0, 0, 0, 0});
    }) << Looked << Red << true;
    QTest::newRow("a clip of a million rectangles from 2 000 strips") << emfSquare(2000, [&](EmfBuilder &emf) {
        constexpr quint32 Copy = 5, Xor = 3;
        const std::vector<QRect> across = strips(1000, 2000, true), down = strips(500, 2000, false);
        emf.record(EmfRecord::ExtSelectClipRgn, words({quint32(32 + across.size() * 16), Copy}) + gdiRegion(across));
        emf.record(EmfRecord::ExtSelectClipRgn, words({quint32(32 + down.size() * 16), Xor}) + gdiRegion(down));
        gdiRect(emf, GdiRed, {0, 0, 2000, 2000});
    }) << Looked << Red << true;
    QTest::newRow("1.6 million pens into a full object table, WMF")
        << wmfFile(
               100, true,
               [&](WmfBuilder &wmf) {
                   for (int i = 0; i < 1'600'000; ++i)
                       wmf.record(WmfRecord::CreatePenIndirect, {0, 1, 0, quint16(GdiRed), 0});
               },
               16384)
        << Looked << Red << false;
    // Shapes too costly alone are left out; what follows them is drawn.
    auto thenGreen = [](EmfBuilder &emf) {
        constexpr quint32 StockNullPen = 0x80000008u;
        emf.record(EmfRecord::SelectObject, {StockNullPen});
        gdiRect(emf, GdiGreen, {0, 0, 10, 10});
    };
    QTest::newRow("a polygon of a million points, then the rest") << emfSquare(100, [&](EmfBuilder &emf) {
        QByteArray points = words({0, 0, 0, 0, 1'000'000});
        for (quint32 i = 0; i < 1'000'000; ++i)
            points += words({(i * 7919 % 90 + HeavyFrom) | (i * 104729 % 100) << 16});
        emf.record(EmfRecord::Polygon16, points);
        thenGreen(emf);
    }) << Looked << Green << true;
}

void TestGdiHostile::answeredQuicklyAndInPart()
{
    QFETCH(QByteArray, file);
    QFETCH(QPoint, at);
    QFETCH(QRgb, colour);
    QFETCH(bool, inPart);
    writeSeed(file, file.mid(40, 4) == " EMF" ? QStringLiteral(".emf") : QStringLiteral(".wmf"));
    const std::optional<Metafile> metafile = Metafile::fromBytes(file);
    QVERIFY(metafile);
    const QString failure = hostileFailure(*metafile, at, colour);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(metafile->drawnInPart(), inPart);
}

QTEST_MAIN(TestGdiHostile)
#include "tst_gdi_hostile.moc"
