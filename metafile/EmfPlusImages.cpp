#include "metafile/EmfPlusObjects.h"
#include "metafile/Limits.h"

#include "raster/Dib.h"

#include <QBuffer>
#include <QCache>
#include <QCryptographicHash>
#include <QImageReader>
#include <QMutex>

#include <cmath>
#include <cstring>

using namespace PlusObjects;

namespace {

// [MS-EMFPLUS] 2.1.1.15 ImageDataType and 2.1.1.2 BitmapDataType.
constexpr std::uint32_t ImageBitmap = 1, ImageMetafile = 2;
constexpr std::uint32_t BitmapPixels = 0, BitmapCompressed = 1;
// [MS-EMFPLUS] 2.1.1.21 MetafileDataType.
constexpr std::uint32_t MetafileWmfPlaceable = 2;

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
        width > Limits::MaxBitmapSide || height > Limits::MaxBitmapSide || qint64(width) * height > Dib::MaxPixels ||
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
    const QByteArray bits = d.slice(paletteSize, stride * height);
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
    if (!format || scans > Limits::MaxJpegScans)
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    const qint64 pixels = qint64(size.width()) * size.height();
    if (!size.isValid() || pixels > Dib::MaxPixels || pixels * 4 > allowance ||
        pixels * scans > Limits::MaxJpegScanPixels)
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
std::optional<PlusImage> PlusObjects::readImage(const PlusData &d, qint64 allowance)
{
    PlusImage o;
    if (d.u32(4) == ImageBitmap) {
        const PlusData bitmap = d.from(8);
        const PlusData data = bitmap.from(20);
        if (bitmap.u32(16) == BitmapPixels)
            o.image = pixelBitmap(data, bitmap.i32(0), bitmap.i32(4), bitmap.i32(8), bitmap.u32(12), allowance);
        else if (bitmap.u32(16) == BitmapCompressed)
            o.image = compressedBitmap(data.slice(0, data.size()), allowance);
        if (o.image.isNull())
            return std::nullopt;
    } else if (d.u32(4) == ImageMetafile) {
        const qsizetype size = d.u32(12);
        if (size <= 0 || !d.has(16, size))
            return std::nullopt;
        // Writers count the placeable header's padding in the object but
        // not always in the size: the object's end is the metafile's end.
        o.metafile = d.slice(16, d.size() - 16);
        if (d.u32(8) == MetafileWmfPlaceable)
            dropPlaceablePadding(o.metafile);
    } else {
        return std::nullopt;
    }
    return o;
}
