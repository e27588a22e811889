// EMF+ records inside enhanced metafiles: each family drawn from small
// hand-made records, and what a dual file draws of its two copies.

#include "HostileFiles.h"
#include "metafile/Metafile.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <functional>
#include <vector>

namespace {

constexpr quint32 Version = 0xDBC01002u;
constexpr quint32 Red = 0xFFFF0000u, Green = 0xFF00FF00u, Blue = 0xFF0000FFu;
constexpr quint16 ColourFlag = 0x8000;
// GDI colours are 0x00bbggrr.
constexpr quint32 GdiRed = 0x0000FFu, GdiBlue = 0xFF0000u;

enum ObjectType : quint16 { BrushObject = 1, PenObject, PathObject, RegionObject, ImageObject };
// Clip combine modes, in bits 8 to 11.
constexpr quint16 Intersect = 0x100, Exclude = 0x400;

QByteArray floats(std::initializer_list<float> values)
{
    QByteArray b;
    for (const float v : values)
        EmfBuilder::put(b, bitsOf(v));
    return b;
}

// Records between an EMF+ header (dual or not) and the end, in one comment,
// with GDI records after it when given.
QByteArray plusFile(const std::function<void(EmfPlusComment &)> &records, quint16 dual = 0,
                    const std::function<void(EmfBuilder &)> &gdi = {}, bool ended = true)
{
    EmfPlusComment plus;
    plus.record(EmfPlusRecord::Header, dual, {Version, 1, 96, 96});
    records(plus);
    if (ended)
        plus.record(EmfPlusRecord::EndOfFile, 0, QByteArray());
    EmfBuilder emf;
    emf.record(EmfRecord::Comment, plus.body());
    if (gdi)
        gdi(emf);
    return emf.bytes();
}

void fillAll(EmfPlusComment &plus, quint32 colour)
{
    plus.record(EmfPlusRecord::FillRects, ColourFlag, words({colour, 1}) + floats({0, 0, 100, 100}));
}

QByteArray brush(quint32 type, const QByteArray &data)
{
    return words({Version, type}) + data;
}

// An EmfPlusImage of a bitmap: width, height, stride, format, pixels.
QByteArray bitmapImage(int width, int height, int stride, quint32 format, const QByteArray &pixels)
{
    return words({Version, 1, quint32(width), quint32(height), quint32(stride), format, 0}) + pixels;
}

QByteArray pngImage(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return words({Version, 1, 0, 0, 0, 0, 1}) + png;
}

// [MS-EMFPLUS] 2.1.1.21 MetafileDataType: a placeable WMF, an EMF.
constexpr quint32 WmfPlaceableImage = 2, EmfImage = 3;

QByteArray metafileImage(const QByteArray &emf, quint32 type = EmfImage)
{
    return words({Version, 2, type, quint32(emf.size())}) + emf;
}

// A path of four points, a rectangle from (x, y) to (x + w, y + h).
QByteArray rectanglePath(float x, float y, float w, float h)
{
    return words({Version, 4, 0}) + floats({x, y, x + w, y, x + w, y + h, x, y + h}) + QByteArray::fromHex("00010181");
}

// Draws the image in object 1 over the whole picture.
void drawWholeImage(EmfPlusComment &plus, float width, float height)
{
    plus.record(EmfPlusRecord::DrawImage, 1, words({0, 2}) + floats({0, 0, width, height, 0, 0, 100, 100}));
}

// A picture that draws Inner, an EMF, as an image over its whole area.
QByteArray drawingOf(const QByteArray &inner)
{
    return plusFile([&](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, ImageObject << 8 | 1, metafileImage(inner));
        drawWholeImage(p, 100, 100);
    });
}

QImage render(const QByteArray &bytes)
{
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    const std::optional<Metafile> picture = Metafile::fromBytes(bytes);
    if (picture) {
        QPainter painter(&image);
        picture->draw(painter, image.rect());
    }
    return image;
}

// A red line across the picture at y = 50, nine million pixels long, in
// dashes of a fiftieth of its 4-pixel width.
void fineDashedLine(EmfPlusComment &p)
{
    p.record(EmfPlusRecord::Object, PenObject << 8 | 5,
             words({Version, 0, 0x100, 0}) + floats({4}) + words({2}) + floats({0.02f, 0.02f}) +
                 brush(0, words({Red})));
    p.record(EmfPlusRecord::DrawLines, 5, words({2}) + floats({-4.5e6f, 50, 4.5e6f, 50}));
}

// A picture that draws the EMF Inner Count times over its whole area.
QByteArray drawnTimes(const QByteArray &inner, int count)
{
    return plusFile([&](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, ImageObject << 8 | 1, metafileImage(inner));
        for (int i = 0; i < count; ++i)
            drawWholeImage(p, 100, 100);
    });
}

// A path object of the points given, the first a start and the rest of
// Kind (1 a line, 3 a Bézier point), closed when Closed.
QByteArray pathOf(const std::vector<QPointF> &points, quint8 kind, bool closed)
{
    QByteArray b = words({Version, quint32(points.size()), 0});
    for (const QPointF &point : points)
        b += floats({float(point.x()), float(point.y())});
    QByteArray types(qsizetype(points.size()), char(kind));
    types[0] = 0;
    if (closed)
        types[types.size() - 1] = char(kind | 0x80);
    return b + types + QByteArray((4 - types.size() % 4) % 4, '\0');
}

// A zigzag of Count points across the picture: its teeth run down when
// Across, else to the right, so that two of them cross at every tooth.
std::vector<QPointF> comb(int count, bool across)
{
    std::vector<QPointF> points;
    for (int i = 0; i < count; ++i) {
        const double along = 100.0 * i / count, side = (i % 2) * 100.0;
        points.emplace_back(across ? QPointF(along, side) : QPointF(side, along));
    }
    return points;
}

// An EmfPlusRegion of Leaves rectangles joined by exclusive or, half of
// them thin bars across and half thin bars down.
QByteArray barGridRegion(int leaves)
{
    std::function<QByteArray(int, int)> node = [&](int first, int count) {
        if (count == 1) {
            const float at = 100.0f * float(first / 2) / float(leaves / 2);
            return words({0x10000000u}) + (first % 2 ? floats({at, 0, 0.1f, 100}) : floats({0, at, 100, 0.1f}));
        }
        return words({3}) + node(first, count / 2) + node(first + count / 2, count - count / 2);
    };
    return words({Version, quint32(2 * leaves - 2)}) + node(0, leaves);
}

} // namespace

class TestEmfPlus : public QObject
{
    Q_OBJECT

private slots:
    void recordsDrawWhatTheySay_data();
    void recordsDrawWhatTheySay();
    void nestedPicturesLandOnWholePixels_data();
    void nestedPicturesLandOnWholePixels();
    void hostileFilesAreAnsweredQuickly_data();
    void hostileFilesAreAnsweredQuickly();

private:
    void addFileRows();
    void addBrushRows();
    void addShapeRows();
    void addImageRows();
    void addStateRows();
    void addClipRows();
    void addHeavyRows();
};

void TestEmfPlus::recordsDrawWhatTheySay_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRgb>("colour");
    addFileRows();
    addBrushRows();
    addShapeRows();
    addImageRows();
    addStateRows();
    addClipRows();
}

// Which copy of a file is drawn, and the GDI records an EMF+ GetDC lets through.
void TestEmfPlus::addFileRows()
{
    const QRect centre(45, 45, 10, 10);
    auto green = [](EmfPlusComment &p) { fillAll(p, Green); };
    auto redCopy = [](EmfBuilder &e) { gdiRect(e, GdiRed, {0, 0, 100, 100}); };
    QTest::newRow("only: EMF+ drawn, GDI set aside") << plusFile(green, 0, redCopy) << centre << qRgb(0, 255, 0);
    QTest::newRow("dual: EMF+ drawn, GDI copy set aside") << plusFile(green, 1, redCopy) << centre << qRgb(0, 255, 0);
    // EMF+ coordinates are the reference device's pixels, whatever its
    // resolution: at 72 dpi the picture's 100 pixels are 75 of them.
    EmfPlusComment lowResolution;
    lowResolution.record(EmfPlusRecord::Header, 0, {Version, 1, 96, 96});
    lowResolution.record(EmfPlusRecord::FillRects, ColourFlag, words({Red, 1}) + floats({0, 0, 75, 75}));
    lowResolution.record(EmfPlusRecord::EndOfFile, 0, QByteArray());
    EmfBuilder at72;
    at72.setDevice(1024, 768, 361, 271);
    at72.record(EmfRecord::Comment, lowResolution.body());
    QTest::newRow("device at 72 dpi") << at72.bytes() << QRect(85, 85, 10, 10) << qRgb(255, 0, 0);
    QTest::newRow("dual, EMF+ part damaged: the GDI copy")
        << plusFile(green, 1, redCopy, false) << centre << qRgb(255, 0, 0);
    // GDI records after GetDC are drawn until the next EMF+ record.
    EmfPlusComment getDc, end;
    getDc.record(EmfPlusRecord::Header, 1, {Version, 1, 96, 96});
    fillAll(getDc, Green);
    getDc.record(EmfPlusRecord::GetDc, 0, QByteArray());
    end.record(EmfPlusRecord::EndOfFile, 0, QByteArray());
    EmfBuilder emf;
    emf.record(EmfRecord::Comment, getDc.body());
    gdiRect(emf, GdiRed, {0, 0, 50, 100});
    emf.record(EmfRecord::Comment, end.body());
    gdiRect(emf, GdiBlue, {50, 0, 100, 100});
    QTest::newRow("GetDC: GDI drawn") << emf.bytes() << QRect(10, 40, 20, 20) << qRgb(255, 0, 0);
    QTest::newRow("GetDC: GDI after the next EMF+ record set aside")
        << emf.bytes() << QRect(70, 40, 20, 20) << qRgb(0, 255, 0);
    // A brush continued over two records: the whole size first in each.
    const QByteArray solid = brush(0, words({Red}));
    const QByteArray total = words({quint32(solid.size())});
    QByteArray continued = plusFile([&](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, 0x8000 | BrushObject << 8 | 2, total + solid.left(6));
        p.record(EmfPlusRecord::Object, 0x8000 | BrushObject << 8 | 2, total + solid.mid(6));
        p.record(EmfPlusRecord::FillRects, 0, words({2, 1}) + floats({0, 0, 100, 100}));
    });
    QTest::newRow("object continued over two records") << continued << centre << qRgb(255, 0, 0);
}

void TestEmfPlus::addBrushRows()
{
    auto filledWith = [](const QByteArray &brushData) {
        return plusFile([&](EmfPlusComment &p) {
            p.record(EmfPlusRecord::Object, BrushObject << 8 | 3, brushData);
            p.record(EmfPlusRecord::FillRects, 0, words({3, 1}) + floats({0, 0, 100, 100}));
        });
    };
    // Red at the left edge to blue at the right; clamped.
    const QByteArray linear = filledWith(brush(4, words({0, 4}) + floats({0, 0, 100, 100}) + words({Red, Blue, 0, 0})));
    QTest::newRow("linear gradient, start") << linear << QRect(0, 40, 3, 20) << qRgb(252, 0, 3);
    QTest::newRow("linear gradient, end") << linear << QRect(97, 40, 3, 20) << qRgb(3, 0, 252);
    // Transparent red to blue: halfway, half-transparent blue, as the
    // colours blend premultiplied and a transparent end lends no colour.
    const QByteArray fading =
        filledWith(brush(4, words({0, 4}) + floats({0, 0, 100, 100}) + words({0x00FF0000u, Blue, 0, 0})));
    QTest::newRow("linear gradient, colours with alpha") << fading << QRect(49, 40, 2, 20) << qRgb(128, 128, 255);
    // Blue at the centre, red at the boundary of the square.
    const QByteArray path = filledWith(brush(3, words({0, 0, Blue}) + floats({50, 50}) + words({1, Red, 4}) +
                                                    floats({0, 0, 100, 0, 100, 100, 0, 100})));
    QTest::newRow("path gradient, centre") << path << QRect(48, 48, 4, 4) << qRgb(0, 0, 255);
    QTest::newRow("path gradient, boundary") << path << QRect(1, 1, 2, 2) << qRgb(255, 0, 0);
    // A cross hatch in red on green: mostly the green ground.
    QTest::newRow("hatch") << filledWith(brush(1, words({4, Red, Green}))) << QRect(41, 41, 6, 6) << qRgb(0, 255, 0);
    // A texture of one green pixel, tiled.
    QTest::newRow("texture") << filledWith(brush(2, words({0, 0}) + bitmapImage(1, 1, 4, 0x0026200A, words({Green}))))
                             << QRect(40, 40, 20, 20) << qRgb(0, 255, 0);
}

void TestEmfPlus::addShapeRows()
{
    auto drawn = [](const std::function<void(EmfPlusComment &)> &records) { return plusFile(records); };
    QTest::newRow("FillPolygon") << drawn([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::FillPolygon, ColourFlag, words({Red, 3}) + floats({0, 0, 100, 0, 0, 100}));
    }) << QRect(10, 10, 20, 20) << qRgb(255, 0, 0);
    // Relative points: (0, 0), then 100 across in two bytes, then 100 back
    // and 100 down.
    QTest::newRow("FillPolygon, relative points") << drawn([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::FillPolygon, ColourFlag | 0x0800,
                 words({Red, 3}) + QByteArray::fromHex("0000806400ff9c8064000000"));
    }) << QRect(10, 10, 20, 20) << qRgb(255, 0, 0);
    // A square path of relative points in one byte each, its types run
    // length encoded: start, two lines, a line that closes.
    QTest::newRow("FillPath, relative and run length") << drawn([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, PathObject << 8 | 4,
                 words({Version, 4, 0x1800}) + QByteArray::fromHex("14143c00003c4400") +
                     QByteArray::fromHex("00420181"));
        p.record(EmfPlusRecord::FillPath, ColourFlag | 4, words({Red}));
    }) << QRect(30, 30, 40, 40) << qRgb(255, 0, 0);
    QTest::newRow("FillEllipse") << drawn([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::FillEllipse, ColourFlag, words({Red}) + floats({0, 0, 100, 100}));
    }) << QRect(40, 40, 20, 20) << qRgb(255, 0, 0);
    // A quarter from 0 degrees clockwise, the y-axis pointing down: bottom right.
    QTest::newRow("FillPie") << drawn([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::FillPie, ColourFlag, words({Red}) + floats({0, 90, 0, 0, 100, 100}));
    }) << QRect(60, 60, 10, 10)
                             << qRgb(255, 0, 0);
    QTest::newRow("FillPath") << drawn([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, PathObject << 8 | 4, rectanglePath(20, 20, 60, 60));
        p.record(EmfPlusRecord::FillPath, ColourFlag | 4, words({Red}));
    }) << QRect(30, 30, 40, 40)
                              << qRgb(255, 0, 0);
    QTest::newRow("FillClosedCurve") << drawn([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::FillClosedCurve, ColourFlag,
                 words({Red}) + floats({0.5}) + words({4}) + floats({50, 10, 90, 50, 50, 90, 10, 50}));
    }) << QRect(40, 40, 20, 20) << qRgb(255, 0, 0);
    // A red pen ten units wide, dashed three widths on and one off.
    const QByteArray dashed = drawn([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, PenObject << 8 | 5,
                 words({Version, 0, 0x20, 0}) + floats({10}) + words({1}) + brush(0, words({Red})));
        p.record(EmfPlusRecord::DrawLines, 5, words({2}) + floats({0, 50, 100, 50}));
    });
    QTest::newRow("pen: dash") << dashed << QRect(5, 47, 20, 6) << qRgb(255, 0, 0);
    // Custom dashes of a fiftieth of the pen's width along nine million pixels: past
    // the bound, drawn solid, rather than laid out dash by dash.
    QTest::newRow("pen: dashes past the bound") << drawn(fineDashedLine) << QRect(10, 49, 80, 2) << qRgb(255, 0, 0);
    QTest::newRow("pen: gap") << dashed << QRect(32, 47, 6, 6) << qRgb(255, 255, 255);
    // A pen a hundred thousand units wide, drawn at a ten-thousandth.
    QTest::newRow("pen: wide in world units") << drawn([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::ScaleWorldTransform, 0, floats({0.0001f, 0.0001f}));
        p.record(EmfPlusRecord::Object, PenObject << 8 | 5,
                 words({Version, 0, 0, 0}) + floats({100000}) + brush(0, words({Red})));
        p.record(EmfPlusRecord::DrawLines, 5, words({2}) + floats({0, 500000, 1000000, 500000}));
    }) << QRect(10, 47, 20, 6) << qRgb(255, 0, 0);
    // An arrow five widths long and wide at the end of a line four wide.
    QTest::newRow("pen: custom arrow cap") << drawn([](EmfPlusComment &p) {
        const QByteArray arrow = words({Version, 1}) + floats({5, 5, 0}) + words({1, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        p.record(EmfPlusRecord::Object, PenObject << 8 | 5,
                 words({Version, 0, 0x1000, 0}) + floats({4}) + words({quint32(arrow.size())}) + arrow +
                     brush(0, words({Red})));
        p.record(EmfPlusRecord::DrawLines, 5, words({2}) + floats({10, 50, 60, 50}));
    }) << QRect(42, 42, 4, 4) << qRgb(255, 0, 0);
    // A region: everything but the centre square.
    QTest::newRow("FillRegion") << drawn([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, RegionObject << 8 | 6,
                 words({Version, 2, 4, 0x10000003u, 0x10000000u}) + floats({25, 25, 50, 50}));
        p.record(EmfPlusRecord::FillRegion, ColourFlag | 6, words({Red}));
    }) << QRect(5, 5, 10, 10) << qRgb(255, 0, 0);
}

void TestEmfPlus::addImageRows()
{
    auto drawnImage = [](const QByteArray &image, float width, float height) {
        return plusFile([&](EmfPlusComment &p) {
            p.record(EmfPlusRecord::Object, ImageObject << 8 | 1, image);
            drawWholeImage(p, width, height);
        });
    };
    // Two pixels, red then blue, stretched over the picture.
    const QByteArray argb = drawnImage(bitmapImage(2, 1, 8, 0x0026200A, words({Red, Blue})), 2, 1);
    QTest::newRow("bitmap 32-bit: left") << argb << QRect(10, 40, 20, 20) << qRgb(255, 0, 0);
    QTest::newRow("bitmap 32-bit: right") << argb << QRect(70, 40, 20, 20) << qRgb(0, 0, 255);
    const QByteArray rgb24 =
        drawnImage(bitmapImage(2, 1, 8, 0x00021808, QByteArray::fromHex("0000ffff00000000")), 2, 1);
    QTest::newRow("bitmap 24-bit") << rgb24 << QRect(70, 40, 20, 20) << qRgb(0, 0, 255);
    // Indexed: a palette of green and red, the pixels 1 and 0.
    const QByteArray indexed =
        drawnImage(bitmapImage(2, 1, 4, 0x00030803, words({0, 2, Green, Red}) + QByteArray::fromHex("01000000")), 2, 1);
    QTest::newRow("bitmap 8-bit indexed") << indexed << QRect(10, 40, 20, 20) << qRgb(255, 0, 0);
    QImage green(4, 4, QImage::Format_RGB32);
    green.fill(Qt::green);
    QTest::newRow("bitmap PNG") << drawnImage(pngImage(green), 4, 4) << QRect(40, 40, 20, 20) << qRgb(0, 255, 0);
    // Mirrored through its three corners: blue at the left.
    const QByteArray mirrored = plusFile([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, ImageObject << 8 | 1, bitmapImage(2, 1, 8, 0x0026200A, words({Red, Blue})));
        p.record(EmfPlusRecord::DrawImagePoints, 1,
                 words({0, 2}) + floats({0, 0, 2, 1}) + words({3}) + floats({100, 0, 0, 0, 100, 100}));
    });
    QTest::newRow("DrawImagePoints mirrored") << mirrored << QRect(10, 40, 20, 20) << qRgb(0, 0, 255);
    // A metafile image, and one nested deeper than pictures are made.
    const QByteArray red = plusFile([](EmfPlusComment &p) { fillAll(p, Red); });
    QTest::newRow("metafile image") << drawingOf(red) << QRect(40, 40, 20, 20) << qRgb(255, 0, 0);
    QByteArray deep = red;
    for (int level = 0; level < 6; ++level)
        deep = drawingOf(deep);
    QTest::newRow("metafile images nested too deep") << deep << QRect(40, 40, 20, 20) << qRgb(255, 255, 255);
}

void TestEmfPlus::addStateRows()
{
    const QRect left(10, 40, 20, 20), right(70, 40, 20, 20);
    auto leftHalf = [](EmfPlusComment &p) {
        p.record(EmfPlusRecord::FillRects, ColourFlag, words({Red, 1}) + floats({0, 0, 50, 100}));
    };
    const QByteArray moved = plusFile([&](EmfPlusComment &p) {
        p.record(EmfPlusRecord::TranslateWorldTransform, 0, floats({50, 0}));
        leftHalf(p);
    });
    QTest::newRow("world transform") << moved << right << qRgb(255, 0, 0);
    const QByteArray restored = plusFile([&](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Save, 0, words({7}));
        p.record(EmfPlusRecord::TranslateWorldTransform, 0, floats({50, 0}));
        p.record(EmfPlusRecord::Restore, 0, words({7}));
        leftHalf(p);
    });
    QTest::newRow("save and restore") << restored << left << qRgb(255, 0, 0);
    // A container showing the picture at half size in its top left quarter.
    const QByteArray container = plusFile([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::BeginContainer, 2 << 8, floats({0, 0, 50, 50, 0, 0, 100, 100}) + words({1}));
        fillAll(p, Red);
        p.record(EmfPlusRecord::EndContainer, 0, words({1}));
    });
    QTest::newRow("container: inside") << container << QRect(10, 10, 20, 20) << qRgb(255, 0, 0);
    QTest::newRow("container: outside") << container << QRect(60, 60, 20, 20) << qRgb(255, 255, 255);
    // Copying a transparent colour leaves the picture's ground.
    const QByteArray copied = plusFile([](EmfPlusComment &p) {
        fillAll(p, Red);
        p.record(EmfPlusRecord::SetCompositingMode, 1, QByteArray());
        fillAll(p, 0x00000000u);
    });
    QTest::newRow("compositing: source copy") << copied << QRect(40, 40, 20, 20) << qRgb(255, 255, 255);
    // A restore brings back the compositing mode saved with the state.
    const QByteArray restoredMode = plusFile([](EmfPlusComment &p) {
        fillAll(p, Red);
        p.record(EmfPlusRecord::Save, 0, words({3}));
        p.record(EmfPlusRecord::SetCompositingMode, 1, QByteArray());
        p.record(EmfPlusRecord::Restore, 0, words({3}));
        fillAll(p, 0x00000000u);
    });
    QTest::newRow("compositing: restored") << restoredMode << QRect(40, 40, 20, 20) << qRgb(255, 0, 0);
}

void TestEmfPlus::addClipRows()
{
    const QRect left(10, 40, 20, 20), right(70, 40, 20, 20);
    auto clipped = [](const std::function<void(EmfPlusComment &)> &clip) {
        return plusFile([&](EmfPlusComment &p) {
            clip(p);
            fillAll(p, Red);
        });
    };
    auto leftClip = [](EmfPlusComment &p) { p.record(EmfPlusRecord::SetClipRect, Intersect, floats({0, 0, 50, 100})); };
    QTest::newRow("clip rect: inside") << clipped(leftClip) << left << qRgb(255, 0, 0);
    QTest::newRow("clip rect: outside") << clipped(leftClip) << right << qRgb(255, 255, 255);
    QTest::newRow("clip rect excluded") << clipped([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::SetClipRect, Exclude, floats({0, 0, 50, 100}));
    }) << left << qRgb(255, 255, 255);
    QTest::newRow("clip path") << clipped([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, PathObject << 8 | 4, rectanglePath(50, 0, 50, 100));
        p.record(EmfPlusRecord::SetClipPath, 4, QByteArray());
    }) << left << qRgb(255, 255, 255);
    QTest::newRow("clip region") << clipped([](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, RegionObject << 8 | 6,
                 words({Version, 0, 0x10000000u}) + floats({50, 0, 50, 100}));
        p.record(EmfPlusRecord::SetClipRegion, 6, QByteArray());
    }) << left << qRgb(255, 255, 255);
    QTest::newRow("clip moved") << clipped([&](EmfPlusComment &p) {
        leftClip(p);
        p.record(EmfPlusRecord::OffsetClip, 0, floats({50, 0}));
    }) << right << qRgb(255, 0, 0);
    QTest::newRow("clip reset") << clipped([&](EmfPlusComment &p) {
        leftClip(p);
        p.record(EmfPlusRecord::ResetClip, 0, QByteArray());
    }) << right << qRgb(255, 0, 0);
}

void TestEmfPlus::recordsDrawWhatTheySay()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QRect, area);
    QFETCH(QRgb, colour);
    const QImage image = render(bytes);
    constexpr int Tolerance = 8;
    const QString seen = mostlyColoured(image, area, colour, Tolerance);
    QVERIFY2(seen.isEmpty(), qPrintable(seen));
}

// A metafile image lands as Windows plays a metafile into a rectangle: the
// destination of its frame rounded to whole device pixels, the frame's right
// and bottom edges on the last pixels inside. An EMF image is a pixel
// larger than its frame, a WMF image its frame.
void TestEmfPlus::nestedPicturesLandOnWholePixels_data()
{
    QTest::addColumn<QByteArray>("inner");
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QRectF>("destination");
    const QByteArray emf = plusFile([](EmfPlusComment &p) { fillAll(p, Red); });
    WmfBuilder wmf;
    wmf.record(WmfRecord::CreateBrushIndirect, {0, 0x00FF, 0, 0});
    wmf.record(WmfRecord::SelectObject, {0});
    wmf.record(WmfRecord::CreatePenIndirect, {5, 0, 0, 0, 0}); // PS_NULL
    wmf.record(WmfRecord::SelectObject, {1});
    wmf.record(WmfRecord::Rectangle, {41, 41, 0, 0});
    const QByteArray placeable = wmf.bytes(40, 2);
    QTest::newRow("EMF") << emf << EmfImage << QRectF(10.4, 20.4, 50.5, 30.3);
    QTest::newRow("EMF, edges past the half") << emf << EmfImage << QRectF(10.6, 20.7, 60.8, 45.6);
    QTest::newRow("WMF") << placeable << WmfPlaceableImage << QRectF(10.4, 20.4, 50.5, 30.3);
}

void TestEmfPlus::nestedPicturesLandOnWholePixels()
{
    QFETCH(QByteArray, inner);
    QFETCH(quint32, type);
    QFETCH(QRectF, destination);
    const std::optional<Metafile> nested = Metafile::fromBytes(inner);
    QVERIFY(nested);
    const QSizeF frame = nested->imageFrame();
    const QSizeF image = type == EmfImage ? frame + QSizeF(1, 1) : frame;
    const QByteArray outer = plusFile([&](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, ImageObject << 8 | 1, metafileImage(inner, type));
        p.record(EmfPlusRecord::DrawImage, 1,
                 words({0, 2}) +
                     floats({0, 0, float(image.width()), float(image.height()), float(destination.x()),
                             float(destination.y()), float(destination.width()), float(destination.height())}));
    });
    const int left = qRound(destination.left()), top = qRound(destination.top());
    const int right = qRound(destination.left() + destination.width() * frame.width() / image.width()) - 1;
    const int bottom = qRound(destination.top() + destination.height() * frame.height() / image.height()) - 1;
    const QImage drawn = render(outer);
    auto isRed = [&](int x, int y) { return drawn.pixel(x, y) == qRgb(255, 0, 0); };
    auto isWhite = [&](int x, int y) { return drawn.pixel(x, y) == qRgb(255, 255, 255); };
    const int midX = (left + right) / 2, midY = (top + bottom) / 2;
    // The EMF+ picture's pixels are offset by half its own pixel: its left and
    // top pixels are red in part.
    QVERIFY(isRed(left + 1, midY) && isRed(right - 1, midY) && isRed(midX, top + 1) && isRed(midX, bottom - 1));
    QVERIFY(isWhite(left - 1, midY) && isWhite(right, midY) && isWhite(midX, top - 1) && isWhite(midX, bottom));
}

QTEST_MAIN(TestEmfPlus)
// Files made to strain the player: each is answered quickly, within a
// bounded memory, and draws what it can.
void TestEmfPlus::hostileFilesAreAnsweredQuickly_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QRgb>("colour");

    QTest::newRow("dashes of a fiftieth of a pixel along nine million")
        << plusFile(fineDashedLine) << QPoint(50, 50) << qRgb(255, 0, 0);
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'>"
                           "<rect width='100' height='100' fill='red'/></svg>";
    QTest::newRow("an image whose bytes are SVG") << plusFile([&](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, ImageObject << 8 | 1, words({Version, 1, 0, 0, 0, 0, 1}) + svg);
        drawWholeImage(p, 100, 100);
    }) << QPoint(50, 50) << qRgb(255, 255, 255);
    // 32 images of 64 MiB decoded each, in as many object slots.
    QImage large(4096, 4096, QImage::Format_RGB32);
    large.fill(Qt::blue);
    const QByteArray largePng = pngImage(large);
    QTest::newRow("32 large images in the object table") << plusFile([&](EmfPlusComment &p) {
        for (quint16 slot = 1; slot <= 32; ++slot)
            p.record(EmfPlusRecord::Object, quint16(ImageObject << 8 | slot), largePng);
        drawWholeImage(p, 4096, 4096);
    }) << QPoint(50, 50) << qRgb(0, 0, 255);
    // A metafile image drawn 50 times at each of four levels.
    QByteArray nested = plusFile([](EmfPlusComment &p) { fillAll(p, Red); });
    for (int level = 0; level < 4; ++level)
        nested = drawnTimes(nested, 50);
    QTest::newRow("metafile images 50 times at four levels") << nested << QPoint(50, 50) << qRgb(255, 0, 0);
    // A metafile image holding a large PNG, drawn 256 times: decoded at
    // every play.
    const QByteArray holdsPng = plusFile([&](EmfPlusComment &p) {
        p.record(EmfPlusRecord::Object, ImageObject << 8 | 1, largePng);
        drawWholeImage(p, 4096, 4096);
    });
    QTest::newRow("a large image in a metafile image drawn 256 times")
        << drawnTimes(holdsPng, 256) << QPoint(50, 50) << qRgb(0, 0, 255);
    addHeavyRows();
}

// Clips, regions and geometry far beyond any drawing: red everywhere first,
// then the heavy part, in red too.
void TestEmfPlus::addHeavyRows()
{
    auto heavy = [](const std::function<void(EmfPlusComment &)> &records) {
        return plusFile([&](EmfPlusComment &p) {
            fillAll(p, Red);
            records(p);
        });
    };
    auto row = [](const char *name, const QByteArray &file) {
        QTest::newRow(name) << file << QPoint(50, 50) << qRgb(255, 0, 0);
    };
    row("two clips of 10 000 points that cross 25 million times", heavy([](EmfPlusComment &p) {
            p.record(EmfPlusRecord::Object, PathObject << 8 | 1, pathOf(comb(9998, true), 1, true));
            p.record(EmfPlusRecord::Object, PathObject << 8 | 2, pathOf(comb(9998, false), 1, true));
            p.record(EmfPlusRecord::SetClipPath, 1, QByteArray());
            p.record(EmfPlusRecord::SetClipPath, Intersect | 2, QByteArray());
            fillAll(p, Red);
        }));
    row("a clip of 5 000 points moved and restored 20 000 times", heavy([](EmfPlusComment &p) {
            p.record(EmfPlusRecord::Object, PathObject << 8 | 1, pathOf(comb(5000, true), 1, true));
            p.record(EmfPlusRecord::SetClipPath, 1, QByteArray());
            for (int i = 0; i < 10000; ++i) {
                p.record(EmfPlusRecord::Save, 0, words({1}));
                p.record(EmfPlusRecord::OffsetClip, 0, floats({0.001f, 0}));
                fillAll(p, Red);
                p.record(EmfPlusRecord::Restore, 0, words({1}));
                fillAll(p, Red);
            }
        }));
    row("a region of 512 crossing bars joined by exclusive or", heavy([](EmfPlusComment &p) {
            p.record(EmfPlusRecord::Object, RegionObject << 8 | 6, barGridRegion(512));
            p.record(EmfPlusRecord::SetClipRegion, 6, QByteArray());
            fillAll(p, Red);
        }));
    row("a path of a million Bezier points filled", heavy([](EmfPlusComment &p) {
            std::vector<QPointF> scribble;
            for (qint64 i = 0; i < 999'997; ++i)
                scribble.emplace_back(double(i * 7919 % 1000) / 10, double(i * 104729 % 997) / 9.97);
            p.record(EmfPlusRecord::Object, PathObject << 8 | 1, pathOf(scribble, 3, true));
            p.record(EmfPlusRecord::FillPath, ColourFlag | 1, words({Red}));
        }));
    row("caps of 300 000 points on 1 000 lines", heavy([](EmfPlusComment &p) {
            const QByteArray capPath = pathOf(comb(300'000, true), 1, true);
            const QByteArray cap = words({Version, 0, 1, 0, 0, 0, 0, 0}) + floats({10, 1, 0, 0, 0, 0}) +
                                   words({quint32(capPath.size())}) + capPath;
            p.record(EmfPlusRecord::Object, PenObject << 8 | 5,
                     words({Version, 0, 0x0800, 0}) + floats({0.01f}) + words({quint32(cap.size())}) + cap +
                         brush(0, words({Red})));
            for (int i = 0; i < 1000; ++i)
                p.record(EmfPlusRecord::DrawLines, 5, words({2}) + floats({0, float(i) / 10, 100, 50}));
        }));
    row("500 000 rectangles in one record", heavy([](EmfPlusComment &p) {
            QByteArray rects = words({Red, 500'000});
            for (int i = 0; i < 500'000; ++i)
                rects += floats({float(i % 1000) / 10, float(i / 1000) / 5, 0.05f, 0.1f});
            p.record(EmfPlusRecord::FillRects, ColourFlag, rects);
        }));
    std::vector<QRect> strips;
    for (int i = 0; i < 300; ++i)
        strips.insert(strips.end(), {QRect(0, i / 3, 100, 1), QRect(i / 3, 0, 1, 100)});
    auto gdiFile = [](const std::function<void(EmfBuilder &)> &records) {
        EmfBuilder emf;
        gdiRect(emf, GdiRed, {0, 0, 100, 100});
        records(emf);
        return emf.bytes();
    };
    row("a GDI region of 600 crossing strips filled", gdiFile([&](EmfBuilder &emf) {
            emf.record(EmfRecord::FillRgn,
                       words({0, 0, 100, 100, quint32(32 + strips.size() * 16), 1}) + gdiRegion(strips)); // FILLRGN
        }));
    std::vector<QRect> dots;
    for (qint64 i = 0; i < 100'000; ++i) {
        const qint64 at = i * 7919 % 100'000; // in no order
        dots.emplace_back(int(at % 500 * 2), int(at / 500 * 2), 1, 1);
    }
    row("a GDI clip of 100 000 rectangles in no order", gdiFile([&](EmfBuilder &emf) {
            emf.record(EmfRecord::ExtSelectClipRgn,
                       words({quint32(32 + dots.size() * 16), 5}) + gdiRegion(dots)); // EXTSELECTCLIPRGN
            gdiRect(emf, GdiRed, {0, 0, 100, 100});
        }));
}

void TestEmfPlus::hostileFilesAreAnsweredQuickly()
{
    QFETCH(QByteArray, file);
    QFETCH(QPoint, at);
    QFETCH(QRgb, colour);
    // The files seed the EMF+ fuzz target: VANTRIX_WRITE_SEEDS=DIR keeps
    // those small enough for a fuzzer to work on.
    writeSeed(file, QStringLiteral(".emf"));
    const std::optional<Metafile> metafile = Metafile::fromBytes(file);
    QVERIFY(metafile);
    const QString failure = hostileFailure(*metafile, at, colour);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

#include "tst_emfplus.moc"
