#include "metafile/EmfPlusObjects.h"

#include "metafile/DashBound.h"

#include "metafile/PlayerSupport.h"
#include "metafile/SymbolFonts.h"
#include "raster/Dib.h"

#include <QBuffer>
#include <QCache>
#include <QCryptographicHash>
#include <QImageReader>
#include <QLinearGradient>
#include <QMutex>
#include <QRadialGradient>

#include <cmath>
#include <cstring>

namespace {

using PlusObjects::argb;
using PlusObjects::matrixAt;
using PlusObjects::rectPath;

// [MS-EMFPLUS] 2.1.1.22 ObjectType.
enum ObjectType {
    BrushObject = 1,
    PenObject,
    PathObject,
    RegionObject,
    ImageObject,
    FontObject,
    StringFormatObject,
    ImageAttributesObject
};

// [MS-EMFPLUS] 2.1.1.3 BrushType.
enum BrushType : std::uint32_t { SolidBrush, HatchBrush, TextureBrush, PathGradientBrush, LinearGradientBrush };

// [MS-EMFPLUS] 2.1.2.1 BrushData flags.
constexpr std::uint32_t BrushDataPath = 0x01;
constexpr std::uint32_t BrushDataTransform = 0x02;
constexpr std::uint32_t BrushDataPresetColors = 0x04;
constexpr std::uint32_t BrushDataBlendFactorsH = 0x08;

// [MS-EMFPLUS] 2.1.1.34 WrapMode.
enum WrapMode : std::uint32_t { WrapTile, WrapTileFlipX, WrapTileFlipY, WrapTileFlipXY, WrapClamp };

// [MS-EMFPLUS] 2.1.2.7 PenData flags, in the order of the optional data.
enum PenData : std::uint32_t {
    PenTransform = 0x0001,
    PenStartCap = 0x0002,
    PenEndCap = 0x0004,
    PenJoin = 0x0008,
    PenMiterLimit = 0x0010,
    PenLineStyle = 0x0020,
    PenDashedLineCap = 0x0040,
    PenDashedLineOffset = 0x0080,
    PenDashedLine = 0x0100,
    PenNonCenter = 0x0200,
    PenCompoundLine = 0x0400,
    PenCustomStartCap = 0x0800,
    PenCustomEndCap = 0x1000,
};

// [MS-EMFPLUS] 2.1.2.6 PathPointType flags and 2.1.1.23 PathPointType.
constexpr std::uint16_t PathRunLength = 0x1000;
constexpr std::uint8_t PointTypeMask = 0x07;
constexpr std::uint8_t PointLine = 1;
constexpr std::uint8_t PointBezier = 3;
constexpr std::uint8_t PointCloseSubpath = 0x80;

// [MS-EMFPLUS] 2.1.1.26 RegionNodeDataType.
constexpr std::uint32_t RegionAnd = 1, RegionOr = 2, RegionXor = 3, RegionExclude = 4, RegionComplement = 5;
constexpr std::uint32_t RegionRect = 0x10000000, RegionPath = 0x10000001, RegionEmpty = 0x10000002,
                        RegionInfinite = 0x10000003;
// Region trees deeper or larger than this are no drawing anyone made; each
// node costs a boolean operation on paths.
constexpr int MaxRegionDepth = 64;
constexpr int MaxRegionNodes = 1024;

// [MS-EMFPLUS] 2.1.1.15 ImageDataType and 2.1.1.2 BitmapDataType.
constexpr std::uint32_t ImageBitmap = 1, ImageMetafile = 2;
constexpr std::uint32_t BitmapPixels = 0, BitmapCompressed = 1;
// [MS-EMFPLUS] 2.1.1.21 MetafileDataType.
constexpr std::uint32_t MetafileWmfPlaceable = 2;

// A region's or gradient's stand-in for "everything", in world units.
constexpr double Everywhere = 1e7;

PlusObject made(PlusObject::Kind kind)
{
    PlusObject o;
    o.kind = kind;
    return o;
}

} // namespace

QByteArray PlusData::bytes(qsizetype o, qsizetype n) const
{
    return has(o, n) ? view.bytes().slice(view.start() + at + o, n) : QByteArray();
}

double plusUnitScale(std::uint32_t unit, double dpi)
{
    enum Unit : std::uint32_t { Point = 3, Inch = 4, Document = 5, Millimeter = 6 };
    switch (unit) {
    case Point:
        return dpi / 72;
    case Inch:
        return dpi;
    case Document:
        return dpi / 300;
    case Millimeter:
        return dpi / 25.4;
    default: // World, Display and Pixel on a display
        return 1;
    }
}

// ---------------------------------------------------------------------------
// Points and paths.

namespace {

// [MS-EMFPLUS] 2.2.2.37 EmfPlusPointR: each coordinate an EmfPlusInteger7
// (2.2.2.21: one byte, its top bit clear) or an EmfPlusInteger15 (2.2.2.22:
// two bytes, the high one first with its top bit set), each point relative
// to the one before, the first to the origin.
std::optional<QPolygonF> relativePoints(const PlusData &d, qsizetype at, qsizetype count, qsizetype *end)
{
    constexpr std::uint8_t Wide = 0x80, Sign7 = 0x40;
    constexpr int Sign15 = 0x4000, Range15 = 0x8000, Range7 = 0x80;
    qsizetype o = at;
    auto coordinate = [&]() -> std::optional<int> {
        const std::uint8_t first = d.u8(o);
        if (!d.has(o, (first & Wide) ? 2 : 1))
            return std::nullopt;
        if (!(first & Wide)) {
            o += 1;
            return (first & Sign7) ? int(first) - Range7 : int(first);
        }
        const int value = ((first & ~Wide) << 8) | d.u8(o + 1);
        o += 2;
        return (value & Sign15) ? value - Range15 : value;
    };
    QPolygonF polygon;
    polygon.reserve(count);
    QPointF point(0, 0);
    for (qsizetype i = 0; i < count; ++i) {
        const std::optional<int> x = coordinate();
        const std::optional<int> y = x ? coordinate() : std::nullopt;
        if (!y)
            return std::nullopt;
        point += QPointF(*x, *y);
        polygon << point;
    }
    *end = o;
    return polygon;
}

// [MS-EMFPLUS] 2.2.2.31 EmfPlusPathPointType, one byte a point, or with
// run-length encoding also 2.2.2.32 EmfPlusPathPointTypeRLE: a byte with
// its second bit set and a run count, then the type for that many points.
std::optional<std::vector<std::uint8_t>> pointTypes(const PlusData &d, qsizetype at, qsizetype count, bool runs)
{
    constexpr std::uint8_t RunMark = 0x40, RunCountMask = 0x3F;
    if (!runs && !d.has(at, count))
        return std::nullopt;
    std::vector<std::uint8_t> types;
    qsizetype o = at;
    while (qsizetype(types.size()) < count) {
        if (!d.has(o, 1))
            return std::nullopt;
        const std::uint8_t head = d.u8(o);
        const bool run = runs && (head & RunMark);
        if (run && !d.has(o, 2))
            return std::nullopt;
        const qsizetype times = run ? std::min<qsizetype>(head & RunCountMask, count - types.size()) : 1;
        types.insert(types.end(), times, run ? d.u8(o + 1) : head);
        o += run ? 2 : 1;
    }
    return types;
}

} // namespace

std::optional<QPolygonF> PlusObjects::readPoints(const PlusData &d, qsizetype at, qsizetype count, std::uint16_t form,
                                                 qsizetype *end)
{
    qsizetype ignored = 0;
    if (count < 0 || count > MaxPoints)
        return std::nullopt;
    if (form & RelativePoints)
        return relativePoints(d, at, count, end ? end : &ignored);
    const bool compressed = form & CompressedPoints;
    const qsizetype each = compressed ? 4 : 8;
    if (!d.has(at, count * each))
        return std::nullopt;
    QPolygonF polygon;
    polygon.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype o = at + i * each;
        polygon << (compressed ? QPointF(d.i16(o), d.i16(o + 2)) : QPointF(d.f32(o), d.f32(o + 4)));
    }
    if (end)
        *end = at + count * each;
    return polygon;
}

// [MS-EMFPLUS] 2.2.1.6 EmfPlusPath: version, point count, flags, the
// points, then a type each.
std::optional<QPainterPath> PlusObjects::readPath(const PlusData &d)
{
    const std::uint16_t pathFlags = std::uint16_t(d.u32(8));
    const qsizetype count = d.u32(4);
    qsizetype typesAt = 0;
    const std::optional<QPolygonF> all = readPoints(d, 12, count, pathFlags, &typesAt);
    const auto types = all ? pointTypes(d, typesAt, count, pathFlags & PathRunLength) : std::nullopt;
    if (!types)
        return std::nullopt;
    QPainterPath path;
    for (qsizetype i = 0; i < count; ++i) {
        const std::uint8_t type = (*types)[i];
        if ((type & PointTypeMask) == PointBezier && i + 2 < count) {
            path.cubicTo((*all)[i], (*all)[i + 1], (*all)[i + 2]);
            i += 2;
        } else if ((type & PointTypeMask) == PointLine) {
            path.lineTo((*all)[i]);
        } else {
            path.moveTo((*all)[i]);
        }
        if ((*types)[i] & PointCloseSubpath)
            path.closeSubpath();
    }
    return path;
}

// ---------------------------------------------------------------------------
// Regions.

QPainterPath PlusObjects::boundedForBoolean(const QPainterPath &path)
{
    return path.elementCount() <= MaxBooleanElements ? path : rectPath(path.boundingRect());
}

namespace {

QPainterPath everywhere()
{
    return rectPath(QRectF(-Everywhere, -Everywhere, 2 * Everywhere, 2 * Everywhere));
}

struct RegionNode {
    QPainterPath shape;
    bool infinite = false;
    qsizetype size = 0; // bytes the node took
};

QPainterPath shapeOf(const RegionNode &node)
{
    return node.infinite ? everywhere() : node.shape;
}

RegionNode combined(std::uint32_t op, const RegionNode &left, const RegionNode &right)
{
    RegionNode node;
    if (op == RegionOr && (left.infinite || right.infinite)) {
        node.infinite = true;
    } else if (op == RegionAnd && (left.infinite || right.infinite)) {
        node = left.infinite ? right : left;
    } else {
        const QPainterPath a = shapeOf(left), b = shapeOf(right);
        node.shape = op == RegionAnd       ? a.intersected(b)
                     : op == RegionOr      ? a.united(b)
                     : op == RegionXor     ? a.united(b).subtracted(a.intersected(b))
                     : op == RegionExclude ? a.subtracted(b)
                                           : b.subtracted(a);
    }
    return node;
}

// [MS-EMFPLUS] 2.2.2.40 EmfPlusRegionNode: a type, then a rectangle, a
// path with its length, or two child nodes one after the other.
std::optional<RegionNode> regionNode(const PlusData &d, int depth, int &nodesLeft, PlaybackBudget &budget)
{
    if (depth > MaxRegionDepth || --nodesLeft < 0 || !d.has(0, 4))
        return std::nullopt;
    const std::uint32_t type = d.u32(0);
    RegionNode node;
    if (type == RegionRect && d.has(4, 16)) {
        node.shape.addRect(QRectF(d.f32(4), d.f32(8), d.f32(12), d.f32(16)));
        node.size = 20;
    } else if (type == RegionPath && d.has(8, d.i32(4))) {
        const std::optional<QPainterPath> path = PlusObjects::readPath(d.from(8, d.i32(4)));
        if (!path)
            return std::nullopt;
        node.shape = PlusObjects::boundedForBoolean(*path);
        node.size = 8 + d.i32(4);
    } else if (type == RegionEmpty || type == RegionInfinite) {
        node.infinite = type == RegionInfinite;
        node.size = 4;
    } else if (type >= RegionAnd && type <= RegionComplement) {
        const std::optional<RegionNode> left = regionNode(d.from(4), depth + 1, nodesLeft, budget);
        const std::optional<RegionNode> right =
            left ? regionNode(d.from(4 + left->size), depth + 1, nodesLeft, budget) : std::nullopt;
        if (!right || !budget.combines(left->shape, right->shape))
            return std::nullopt;
        node = combined(type, *left, *right);
        node.size = 4 + left->size + right->size;
    } else {
        return std::nullopt;
    }
    return node;
}

// [MS-EMFPLUS] 2.2.1.8 EmfPlusRegion: version, node count, the root node.
std::optional<PlusObject> readRegion(const PlusData &d, PlaybackBudget &budget)
{
    int nodesLeft = MaxRegionNodes;
    const std::optional<RegionNode> root = regionNode(d.from(8), 0, nodesLeft, budget);
    if (!root)
        return std::nullopt;
    PlusObject o = made(PlusObject::Kind::Region);
    o.path = root->shape;
    o.infinite = root->infinite;
    return o;
}

} // namespace

// ---------------------------------------------------------------------------
// Images.

namespace {

// [MS-EMFPLUS] 2.1.1.24 PixelFormat.
enum PixelFormat : std::uint32_t {
    Indexed1 = 0x00030101,
    Indexed4 = 0x00030402,
    Indexed8 = 0x00030803,
    Gray16 = 0x00101004,
    Rgb555 = 0x00021005,
    Rgb565 = 0x00021006,
    Argb1555 = 0x00061007,
    Rgb24 = 0x00021808,
    Rgb32 = 0x00022009,
    Argb32 = 0x0026200A,
    Pargb32 = 0x000E200B,
    Rgb48 = 0x0010300C,
    Argb64 = 0x0034400D,
    Pargb64 = 0x001A400E,
};
constexpr std::uint32_t PixelFormatIndexed = 0x00010000; // the I flag
constexpr int MaxSide = 65535;

int bitsPerPixel(std::uint32_t format)
{
    return int((format >> 8) & 0xFF);
}

// A channel of 16 bits to 8, rounded.
int narrow(std::uint16_t value)
{
    return (value * 255 + 32767) / 65535;
}

// One pixel of a row in any format but the 32-bit ones, unpremultiplied.
QRgb pixelAt(const uchar *row, int x, std::uint32_t format, const QList<QRgb> &palette)
{
    auto entry = [&](int index) { return index < palette.size() ? palette[index] : qRgb(0, 0, 0); };
    auto u16 = [&](int at) { return ByteReader::le16(row + at); };
    switch (format) {
    case Indexed1:
        return entry((row[x / 8] >> (7 - x % 8)) & 1);
    case Indexed4:
        return entry((row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF);
    case Indexed8:
        return entry(row[x]);
    case Gray16: {
        const int g = narrow(u16(x * 2));
        return qRgb(g, g, g);
    }
    case Rgb555:
    case Argb1555: {
        const int v = u16(x * 2);
        const int alpha = format == Argb1555 && !(v & 0x8000) ? 0 : 255;
        return qRgba(((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31, alpha);
    }
    case Rgb565: {
        const int v = u16(x * 2);
        return qRgb(((v >> 11) & 31) * 255 / 31, ((v >> 5) & 63) * 255 / 63, (v & 31) * 255 / 31);
    }
    case Rgb24:
        return qRgb(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    case Rgb48:
        return qRgb(narrow(u16(x * 6 + 4)), narrow(u16(x * 6 + 2)), narrow(u16(x * 6)));
    default: // Argb64 and Pargb64: blue, green, red, alpha
        return qRgba(narrow(u16(x * 8 + 4)), narrow(u16(x * 8 + 2)), narrow(u16(x * 8)), narrow(u16(x * 8 + 6)));
    }
}

// [MS-EMFPLUS] 2.2.2.28 EmfPlusPalette: style flags, count, the colours.
std::optional<QList<QRgb>> readPalette(const PlusData &d, qsizetype &used)
{
    constexpr qsizetype MaxEntries = 256;
    const qsizetype count = d.u32(4);
    if (count > MaxEntries || !d.has(8, count * 4))
        return std::nullopt;
    QList<QRgb> palette;
    for (qsizetype i = 0; i < count; ++i)
        palette << QRgb(d.u32(8 + i * 4));
    used = 8 + count * 4;
    return palette;
}

// [MS-EMFPLUS] 2.2.2.3 EmfPlusBitmapData: a palette for indexed formats,
// then rows of Stride bytes from the top.
QImage pixelBitmap(const PlusData &d, int width, int height, qsizetype stride, std::uint32_t format, qint64 allowance)
{
    if (qint64(width) * height * 4 > allowance)
        return QImage();
    static const std::uint32_t known[] = {Indexed1, Indexed4, Indexed8, Gray16,  Rgb555, Rgb565, Argb1555,
                                          Rgb24,    Rgb32,    Argb32,   Pargb32, Rgb48,  Argb64, Pargb64};
    if (std::find(std::begin(known), std::end(known), format) == std::end(known) || width <= 0 || height <= 0 ||
        width > MaxSide || height > MaxSide || qint64(width) * height > Dib::MaxPixels ||
        stride < (qint64(width) * bitsPerPixel(format) + 7) / 8)
        return QImage();
    qsizetype paletteSize = 0;
    QList<QRgb> palette;
    if (format & PixelFormatIndexed) {
        const auto read = readPalette(d, paletteSize);
        if (!read)
            return QImage();
        palette = *read;
    }
    if (!d.has(paletteSize, stride * height))
        return QImage();
    const QByteArray bits = d.bytes(paletteSize, stride * height);
    const auto *rows = reinterpret_cast<const uchar *>(bits.constData());
    const bool direct = format == Rgb32 || format == Argb32 || format == Pargb32;
    const QImage::Format qtFormat = format == Rgb32     ? QImage::Format_RGB32
                                    : format == Pargb32 ? QImage::Format_ARGB32_Premultiplied
                                                        : QImage::Format_ARGB32;
    QImage image(width, height, qtFormat);
    if (image.isNull())
        return QImage();
    for (int y = 0; y < height; ++y) {
        const uchar *row = rows + y * stride;
        if (direct) {
            std::memcpy(image.scanLine(y), row, std::size_t(width) * 4);
            continue;
        }
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            out[x] = pixelAt(row, x, format, palette);
    }
    // 64-bit premultiplied pixels were read as they are: premultiplied.
    if (format == Pargb64)
        image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return image;
}

// The formats [MS-EMFPLUS] 2.2.2.2 allows compressed bitmaps (BMP, JPEG
// and EXIF, GIF, PNG, TIFF), told by their first bytes. Anything else, SVG
// among them, which Qt would read by its content too, is no image here.
const char *compressedFormat(const QByteArray &bytes)
{
    if (bytes.startsWith("\x89PNG"))
        return "png";
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return "jpeg";
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return "gif";
    if (bytes.startsWith("BM"))
        return "bmp";
    if (bytes.startsWith("II*\0") || bytes.startsWith("MM\0*"))
        return "tiff";
    return nullptr;
}

// The start-of-scan markers of a JPEG stream. Inside the coded data a
// 0xFF byte is followed by 0x00 or a restart marker, never by 0xDA.
int jpegScans(const QByteArray &bytes)
{
    int scans = 0;
    for (qsizetype at = bytes.indexOf("\xFF\xDA"); at >= 0; at = bytes.indexOf("\xFF\xDA", at + 2))
        ++scans;
    return scans;
}

// Compressed data through Qt's reader of its format, refused when the
// picture it announces does not fit Allowance bytes decoded.
QImage decodeCompressed(const QByteArray &bytes, qint64 allowance)
{
    const char *format = compressedFormat(bytes);
    const int scans = qstrcmp(format, "jpeg") == 0 ? jpegScans(bytes) : 1;
    if (!format || scans > PlusObjects::MaxJpegScans)
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    const qint64 pixels = qint64(size.width()) * size.height();
    if (!size.isValid() || pixels > Dib::MaxPixels || pixels * 4 > allowance ||
        pixels * scans > PlusObjects::MaxJpegScanPixels)
        return QImage();
    return reader.read();
}

// A picture is played once for every tile it is shown in: its compressed
// bitmaps are decoded once, and kept while they fit a memory budget.
QImage compressedBitmap(const QByteArray &bytes, qint64 allowance)
{
    constexpr qint64 BudgetKiB = 64 * 1024;
    static QMutex mutex;
    static QCache<QByteArray, QImage> decoded(BudgetKiB);
    const QByteArray key = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
    {
        const QMutexLocker lock(&mutex);
        if (const QImage *image = decoded.object(key))
            return image->sizeInBytes() <= allowance ? *image : QImage();
    }
    const QImage image = decodeCompressed(bytes, allowance);
    const QMutexLocker lock(&mutex);
    decoded.insert(key, new QImage(image), qMax<qint64>(1, image.sizeInBytes() / 1024));
    return image;
}

// Writers keep the 22-byte placeable header of a WMF image in a structure
// padded to 24 bytes; the WMF header ([MS-WMF] 2.3.2.2: type 1 or 2, then
// a size of 9 words) tells where it starts.
void dropPlaceablePadding(QByteArray &wmf)
{
    constexpr qsizetype PlaceableSize = 22, Padding = 2, HeaderWords = 9;
    const ByteReader b(wmf);
    auto headerAt = [&](qsizetype at) {
        const auto type = b.u16(at), words = b.u16(at + 2);
        return type && words && (*type == 1 || *type == 2) && *words == HeaderWords;
    };
    if (!headerAt(PlaceableSize) && headerAt(PlaceableSize + Padding) && b.u16(PlaceableSize) == 0)
        wmf.remove(PlaceableSize, Padding);
}

} // namespace

// [MS-EMFPLUS] 2.2.1.4 EmfPlusImage: version, type, then an EmfPlusBitmap
// (2.2.2.2: width, height, stride, pixel format, type, data) or an
// EmfPlusMetafile (2.2.2.27: type, size, the metafile).
std::optional<PlusObject> PlusObjects::readImage(const PlusData &d, qint64 allowance)
{
    PlusObject o = made(PlusObject::Kind::Image);
    if (d.u32(4) == ImageBitmap) {
        const PlusData bitmap = d.from(8);
        const PlusData data = bitmap.from(20);
        if (bitmap.u32(16) == BitmapPixels)
            o.image = pixelBitmap(data, bitmap.i32(0), bitmap.i32(4), bitmap.i32(8), bitmap.u32(12), allowance);
        else if (bitmap.u32(16) == BitmapCompressed)
            o.image = compressedBitmap(data.bytes(0, data.size), allowance);
        if (o.image.isNull())
            return std::nullopt;
    } else if (d.u32(4) == ImageMetafile) {
        const qsizetype size = d.u32(12);
        if (size <= 0 || !d.has(16, size))
            return std::nullopt;
        // Writers count the placeable header's padding in the object but
        // not always in the size: the object's end is the metafile's end.
        o.metafile = d.bytes(16, d.size - 16);
        if (d.u32(8) == MetafileWmfPlaceable)
            dropPlaceablePadding(o.metafile);
    } else {
        return std::nullopt;
    }
    return o;
}

// ---------------------------------------------------------------------------
// Brushes.

namespace {

// [MS-EMFPLUS] 2.1.1.13 HatchStyle: the first six are lines, the next
// twelve percentages of the foreground; the rest are drawn half and half.
QBrush hatchBrush(const PlusData &d)
{
    enum { Horizontal, Vertical, ForwardDiagonal, BackwardDiagonal, Cross, DiagonalCross, FirstPercent };
    static const int percents[] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
    // An 8 by 8 ordered dither: a pixel is foreground below the density.
    static const int order[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    const std::uint32_t style = d.u32(0);
    QImage tile(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool h = y == 0, v = x == 0, f = x == y, b = x + y == 7;
            bool on = false;
            if (style <= DiagonalCross) {
                const bool lines[] = {h, v, f, b, h || v, f || b};
                on = lines[style];
            } else {
                const std::uint32_t p = style - FirstPercent;
                on = order[y][x] < (p < std::size(percents) ? percents[p] : 50) * 64 / 100;
            }
            tile.setPixel(x, y, on ? d.u32(4) : d.u32(8));
        }
    }
    return QBrush(tile);
}

// A brush's optional transform at At, which moves past it; the identity
// when there is none or it cannot be undone.
QTransform brushTransform(const PlusData &d, std::uint32_t flags, qsizetype &at)
{
    constexpr qsizetype MatrixSize = 24;
    if (!(flags & BrushDataTransform))
        return QTransform();
    const QTransform m = matrixAt(d, at);
    at += MatrixSize;
    return m.isInvertible() ? m : QTransform();
}

QGradient::Spread spreadOf(std::uint32_t wrap)
{
    if (wrap == WrapClamp)
        return QGradient::PadSpread;
    return wrap == WrapTileFlipX || wrap == WrapTileFlipXY ? QGradient::ReflectSpread : QGradient::RepeatSpread;
}

// [MS-EMFPLUS] 2.2.2.4 EmfPlusBlendColors and 2.2.2.5 EmfPlusBlendFactors:
// a count, the positions, then colours or factors between two colours.
// Reversed for path gradients, whose positions run from the boundary in.
bool addBlend(QGradient &gradient, const PlusData &d, std::uint32_t flags, QColor from, QColor to, bool reversed)
{
    constexpr qsizetype MaxStops = 4096;
    const qsizetype count = d.u32(0);
    if (!(flags & (BrushDataPresetColors | BrushDataBlendFactorsH)) || count < 2 || count > MaxStops ||
        !d.has(4, count * 8))
        return false;
    QGradientStops stops;
    for (qsizetype i = 0; i < count; ++i) {
        const double position = std::clamp(double(d.f32(4 + i * 4)), 0.0, 1.0);
        QColor color;
        if (flags & BrushDataPresetColors) {
            color = argb(d.u32(4 + count * 4 + i * 4));
        } else {
            const double f = std::clamp(double(d.f32(4 + count * 4 + i * 4)), 0.0, 1.0);
            color = QColor::fromRgbF(
                from.redF() + (to.redF() - from.redF()) * f, from.greenF() + (to.greenF() - from.greenF()) * f,
                from.blueF() + (to.blueF() - from.blueF()) * f, from.alphaF() + (to.alphaF() - from.alphaF()) * f);
        }
        stops << QGradientStop(reversed ? 1 - position : position, color);
    }
    std::sort(stops.begin(), stops.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    gradient.setStops(stops);
    return true;
}

// [MS-EMFPLUS] 2.2.2.24 EmfPlusLinearGradientBrushData: flags, wrap mode,
// rectangle, start and end colours, two reserved words, optional data.
QBrush linearGradient(const PlusData &d)
{
    const std::uint32_t flags = d.u32(0);
    const QRectF rect(d.f32(8), d.f32(12), d.f32(16), d.f32(20));
    const QColor start = argb(d.u32(24)), end = argb(d.u32(28));
    QLinearGradient gradient(rect.left(), rect.center().y(), rect.right(), rect.center().y());
    // Colours with alpha blend premultiplied, as Windows' own drawings of
    // such gradients in dual files show; Qt's default does the same.
    gradient.setSpread(spreadOf(d.u32(4)));
    qsizetype at = 40;
    const QTransform transform = brushTransform(d, flags, at);
    if (!addBlend(gradient, d.from(at), flags, start, end, false)) {
        gradient.setColorAt(0, start);
        gradient.setColorAt(1, end);
    }
    QBrush brush(gradient);
    brush.setTransform(transform);
    return brush;
}

// [MS-EMFPLUS] 2.2.2.29 EmfPlusPathGradientBrushData: flags, wrap mode,
// centre colour and point, the surrounding colours, the boundary as a path
// or points, optional data. Drawn as a radial gradient over the
// boundary's bounds: exact for ellipses, close for other shapes.
std::optional<QBrush> pathGradient(const PlusData &d)
{
    const std::uint32_t flags = d.u32(0);
    const QPointF centre(d.f32(12), d.f32(16));
    const qsizetype colours = d.u32(20);
    if (colours < 1 || colours > PlusObjects::MaxPoints || !d.has(24, colours * 4))
        return std::nullopt;
    qsizetype at = 24 + colours * 4;
    QPainterPath boundary;
    if (flags & BrushDataPath) {
        const auto path = PlusObjects::readPath(d.from(at + 4, d.i32(at)));
        if (!path || d.i32(at) < 0)
            return std::nullopt;
        boundary = *path;
        at += 4 + d.i32(at);
    } else {
        const auto points = PlusObjects::readPoints(d, at + 4, d.i32(at), 0);
        if (!points)
            return std::nullopt;
        boundary.addPolygon(*points);
        at += 4 + points->size() * 8;
    }
    const QRectF bounds = boundary.boundingRect();
    if (bounds.width() <= 0 || bounds.height() <= 0)
        return std::nullopt;
    // Curved boundaries are ellipses; an ellipse round a polygon's bounds
    // reaches its corners.
    const bool curved = boundary.elementCount() > 0 && boundary.elementAt(1 % boundary.elementCount()).isCurveTo();
    const double reach = curved ? 1 : M_SQRT2;
    QRadialGradient gradient(QPointF(0, 0), reach,
                             QPointF((centre.x() - bounds.center().x()) / (bounds.width() / 2),
                                     (centre.y() - bounds.center().y()) / (bounds.height() / 2)));
    const QColor inner = argb(d.u32(8)), outer = argb(d.u32(24));
    const QTransform transform = brushTransform(d, flags, at);
    if (!addBlend(gradient, d.from(at), flags, outer, inner, true)) {
        gradient.setColorAt(0, inner);
        gradient.setColorAt(1, outer);
    }
    QBrush brush(gradient);
    brush.setTransform(QTransform::fromScale(bounds.width() / 2, bounds.height() / 2) *
                       QTransform::fromTranslate(bounds.center().x(), bounds.center().y()) * transform);
    return brush;
}

// [MS-EMFPLUS] 2.2.2.45 EmfPlusTextureBrushData: flags, wrap mode, an
// optional transform, then the image. Metafile textures are not drawn.
std::optional<QBrush> textureBrush(const PlusData &d, qint64 allowance)
{
    const std::uint32_t flags = d.u32(0);
    qsizetype at = 8;
    const QTransform transform = brushTransform(d, flags, at);
    const std::optional<PlusObject> image = PlusObjects::readImage(d.from(at), allowance);
    if (!image || image->image.isNull())
        return std::nullopt;
    QBrush brush(image->image);
    brush.setTransform(transform);
    return brush;
}

} // namespace

// [MS-EMFPLUS] 2.2.1.1 EmfPlusBrush: version, type, then the type's data.
std::optional<PlusObject> PlusObjects::readBrush(const PlusData &d, qint64 allowance)
{
    const PlusData data = d.from(8);
    std::optional<QBrush> brush;
    switch (d.u32(4)) {
    case SolidBrush:
        brush = QBrush(argb(data.u32(0)));
        break;
    case HatchBrush:
        brush = hatchBrush(data);
        break;
    case TextureBrush:
        brush = textureBrush(data, allowance);
        break;
    case PathGradientBrush:
        brush = pathGradient(data);
        break;
    case LinearGradientBrush:
        brush = linearGradient(data);
        break;
    default:
        break;
    }
    if (!brush)
        return std::nullopt;
    PlusObject o = made(PlusObject::Kind::Brush);
    o.brush = *brush;
    return o;
}

// ---------------------------------------------------------------------------
// Pens, fonts and string formats.

namespace {

// [MS-EMFPLUS] 2.1.1.18 LineCapType: anchors and custom caps end flat.
Qt::PenCapStyle capOf(std::uint32_t cap)
{
    enum { Flat, Square, Round };
    return cap == Square ? Qt::SquareCap : cap == Round ? Qt::RoundCap : Qt::FlatCap;
}

// [MS-EMFPLUS] 2.1.1.19 LineJoinType: miter, bevel, round, clipped miter.
Qt::PenJoinStyle joinOf(std::uint32_t join)
{
    enum { Miter, Bevel, Round, MiterClipped };
    return join == Bevel ? Qt::BevelJoin : join == Round ? Qt::RoundJoin : Qt::MiterJoin;
}

// [MS-EMFPLUS] 2.2.1.2 EmfPlusCustomLineCap: version, type, then for the
// default type EmfPlusCustomLineCapData (2.2.2.12: flags, base cap and
// inset, stroke caps, join and miter limit, width scale, two hot spots,
// then a fill path and a line path, each after its size), for the arrow
// type EmfPlusCustomLineCapArrowData (2.2.2.13: width, height, ...). A
// line path is drawn filled too.
std::optional<PlusObject::Cap> readCap(const PlusData &d)
{
    enum { DefaultCap, ArrowCap };
    constexpr std::uint32_t FillPath = 1, LinePath = 2;
    constexpr double MaxScale = 100;
    PlusObject::Cap cap;
    const PlusData data = d.from(8);
    if (d.u32(4) == ArrowCap) {
        const double width = data.f32(0), height = data.f32(4);
        if (!(std::abs(width) < MaxScale && std::abs(height) < MaxScale))
            return std::nullopt;
        cap.shape.addPolygon(QPolygonF{{-width / 2, -height}, {0, 0}, {width / 2, -height}});
        cap.shape.closeSubpath();
        return cap;
    }
    const std::uint32_t flags = data.u32(0);
    const double scale = data.f32(28);
    if (d.u32(4) != DefaultCap || !(scale > 0 && scale < MaxScale))
        return std::nullopt;
    cap.inset = std::clamp(double(data.f32(8)), 0.0, MaxScale);
    const PlusData paths = data.from(48);
    const qsizetype fillSize = (flags & FillPath) ? paths.i32(0) : -4;
    const PlusData outline = (flags & FillPath) ? paths.from(4, fillSize) : paths.from(4 + fillSize + 4);
    const std::optional<QPainterPath> shape =
        (flags & (FillPath | LinePath)) && fillSize >= -4 ? PlusObjects::readPath(outline) : std::nullopt;
    if (!shape)
        return std::nullopt;
    cap.shape = QTransform::fromScale(scale, scale).map(*shape);
    cap.inset *= scale;
    return cap;
}

// The optional pen data ([MS-EMFPLUS] 2.2.2.34), in the order of its
// flags; moves At past it. False when it does not fit.
bool readPenOptions(const PlusData &d, std::uint32_t flags, qsizetype &at, PlusObject &o)
{
    QPen &pen = o.pen;
    constexpr qsizetype MaxDashes = 1024;
    for (std::uint32_t bit = PenTransform; bit <= PenCustomEndCap; bit <<= 1) {
        if (!(flags & bit))
            continue;
        if (bit == PenTransform) {
            at += 24;
        } else if (bit == PenDashedLine || bit == PenCompoundLine) {
            const qsizetype count = d.u32(at);
            if (count > MaxDashes || !d.has(at + 4, count * 4))
                return false;
            QList<qreal> dashes;
            for (qsizetype i = 0; bit == PenDashedLine && i < count; ++i)
                dashes << std::max(double(d.f32(at + 4 + i * 4)), 0.01);
            if (dashes.size() >= 2 && dashes.size() % 2 == 0)
                pen.setDashPattern(dashes);
            at += 4 + count * 4;
        } else if (bit == PenCustomStartCap || bit == PenCustomEndCap) {
            const qsizetype size = d.u32(at);
            if (!d.has(at + 4, size))
                return false;
            (bit == PenCustomStartCap ? o.startCap : o.endCap) = readCap(d.from(at + 4, size));
            at += 4 + size;
        } else {
            if (bit == PenStartCap)
                pen.setCapStyle(capOf(d.u32(at)));
            else if (bit == PenJoin)
                pen.setJoinStyle(joinOf(d.u32(at)));
            else if (bit == PenMiterLimit)
                pen.setMiterLimit(std::clamp(double(d.f32(at)), 1.0, 100.0));
            else if (bit == PenLineStyle && !dashesInWidths(d.u32(at)).isEmpty())
                pen.setDashPattern(dashesInWidths(d.u32(at)));
            else if (bit == PenDashedLineOffset && std::isfinite(d.f32(at)))
                pen.setDashOffset(d.f32(at));
            at += 4;
        }
        if (!d.has(at, 0))
            return false;
    }
    return true;
}

// [MS-EMFPLUS] 2.2.1.7 EmfPlusPen: version, type, then EmfPlusPenData
// (flags, unit, width, optional data) and the brush. The width is kept in
// world units.
std::optional<PlusObject> readPen(const PlusData &d, double dpi)
{
    const std::uint32_t flags = d.u32(8);
    const std::uint32_t unit = d.u32(12);
    PlusObject o = made(PlusObject::Kind::Pen);
    o.pen = QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    qsizetype at = 20;
    if (!readPenOptions(d, flags, at, o))
        return std::nullopt;
    const std::optional<PlusObject> brush = PlusObjects::readBrush(d.from(at));
    const double width = double(d.f32(16)) * plusUnitScale(unit, dpi);
    if (!brush || !std::isfinite(width) || width < 0)
        return std::nullopt;
    o.pen.setBrush(brush->brush);
    o.penWidth = width;
    return o;
}

// [MS-EMFPLUS] 2.2.1.5 EmfPlusFont: version, em size, its unit, style
// flags, a reserved word, the family name's length and the name.
std::optional<PlusObject> readFont(const PlusData &d, double dpi)
{
    constexpr std::uint32_t Bold = 1, Italic = 2, Underline = 4, Strikeout = 8;
    constexpr qsizetype MaxFamily = 32;
    PlusObject o = made(PlusObject::Kind::Font);
    o.emSize = double(d.f32(4)) * plusUnitScale(d.u32(8), dpi);
    const std::uint32_t style = d.u32(12);
    const qsizetype length = std::min<qsizetype>(d.u32(20), MaxFamily);
    const QString family = d.has(24, length * 2) ? PlayerSupport::utf16At(d.view, d.at + 24, length) : QString();
    SymbolFonts::makeKnown(family);
    o.font = QFont(family.isEmpty() ? QStringLiteral("Arial") : family);
    o.font.setBold(style & Bold);
    o.font.setItalic(style & Italic);
    o.font.setUnderline(style & Underline);
    o.font.setStrikeOut(style & Strikeout);
    return o;
}

// [MS-EMFPLUS] 2.2.1.9 EmfPlusStringFormat: version, flags, language, the
// alignment across and down, digit substitution and language, the first
// tab, the hotkey prefix, then the leading and trailing margins.
std::optional<PlusObject> readStringFormat(const PlusData &d)
{
    constexpr double MaxMargin = 10;
    auto margin = [&](qsizetype at) {
        const double m = d.f32(at);
        return std::isfinite(m) ? std::clamp(m, 0.0, MaxMargin) : PlusObject::DefaultMargin;
    };
    PlusObject o = made(PlusObject::Kind::StringFormat);
    o.alignment = int(d.u32(12));
    o.lineAlignment = int(d.u32(16));
    o.leadingMargin = margin(36);
    o.trailingMargin = margin(40);
    return o;
}

} // namespace

qint64 PlusObjects::imageBytes(const PlusObject &object)
{
    return object.image.sizeInBytes() + object.brush.textureImage().sizeInBytes();
}

std::optional<PlusObject> PlusObjects::read(int objectType, const PlusData &d, double dpi, PlaybackBudget &budget,
                                            qint64 allowance)
{
    switch (objectType) {
    case BrushObject:
        return readBrush(d, allowance);
    case PenObject:
        return readPen(d, dpi);
    case PathObject: {
        const std::optional<QPainterPath> path = readPath(d);
        if (!path)
            return std::nullopt;
        PlusObject o = made(PlusObject::Kind::Path);
        o.path = *path;
        return o;
    }
    case RegionObject:
        return readRegion(d, budget);
    case ImageObject:
        return readImage(d, allowance);
    case FontObject:
        return readFont(d, dpi);
    case StringFormatObject:
        return readStringFormat(d);
    case ImageAttributesObject: // wrap and clamp colour of images, which are drawn as they are
        return made(PlusObject::Kind::ImageAttributes);
    default:
        return std::nullopt;
    }
}

// ---------------------------------------------------------------------------
// Continued objects.

std::optional<QByteArray> PlusObjectAssembler::add(const PlusData &part, bool continued, int objectId)
{
    // No object is larger than the file it comes in; the file is bounded.
    constexpr qsizetype MaxObject = qsizetype(1) << 30;
    if (objectId != m_id) {
        m_data.clear();
        m_total = 0;
        m_id = -1;
    }
    if (!continued) {
        if (m_id < 0)
            return part.bytes(0, part.size);
        m_data += part.bytes(0, part.size);
    } else {
        const qsizetype total = part.u32(0);
        if (total <= 0 || total > MaxObject || total > part.view.bytes().size() * 2)
            return std::nullopt;
        m_id = objectId;
        m_total = total;
        m_data += part.bytes(4, part.size - 4);
        if (m_data.size() < m_total)
            return std::nullopt;
    }
    QByteArray whole = std::exchange(m_data, QByteArray());
    m_id = -1;
    m_total = 0;
    return whole;
}
