#include "raster/Dib.h"

#include "base/ByteReader.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace Dib {
namespace {

// Compressions of the BITMAPINFOHEADER ([MS-WMF] 2.1.1.7 Compression).
constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_RLE8 = 1;
constexpr std::uint32_t BI_RLE4 = 2;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t BI_ALPHABITFIELDS = 6;
// OS/2 2.x headers number one compression of their own.
constexpr std::uint32_t Os2Rle24 = 4;

// Header sizes: [MS-WMF] 2.2.2.2 BitmapCoreHeader, 2.2.2.3 BitmapInfoHeader
// and the V2 and V3 headers that carry the masks inside.
constexpr std::uint32_t CoreHeaderSize = 12;
constexpr std::uint32_t InfoHeaderSize = 40;
constexpr std::uint32_t V2HeaderSize = 52;
constexpr std::uint32_t V3HeaderSize = 56;
constexpr std::uint32_t V4HeaderSize = 108;
constexpr std::uint32_t V5HeaderSize = 124;
constexpr std::uint32_t Os2MinimumHeader = 16;
constexpr std::uint32_t Os2MaximumHeader = 64;

struct Header {
    qint64 width = 0;
    qint64 height = 0; // negative: rows run top-down
    int bitCount = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t colorsUsed = 0;
    qsizetype headerSize = 0;             // including the bit masks that follow a 40-byte header
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha
    bool core = false;                    // a BITMAPCOREHEADER with 3-byte colour entries
    bool os2 = false;                     // an OS/2 2.x header of its own size
};

bool isWindowsHeader(std::uint32_t size)
{
    return size == InfoHeaderSize || size == V2HeaderSize || size == V3HeaderSize || size == V4HeaderSize ||
           size == V5HeaderSize;
}

void readMasks(const uchar *p, qsizetype available, std::uint32_t size, Header &h)
{
    if (h.compression != BI_BITFIELDS && h.compression != BI_ALPHABITFIELDS)
        return;
    // Masks inside a larger header, or after a 40-byte one.
    const int count = h.compression == BI_ALPHABITFIELDS || size >= V3HeaderSize ? 4 : 3;
    if (size == InfoHeaderSize) {
        if (available < qsizetype(InfoHeaderSize) + 4 * count)
            return;
        h.headerSize = InfoHeaderSize + 4 * count;
    }
    for (int i = 0; i < count; ++i)
        h.masks[std::size_t(i)] = ByteReader::le32(p + InfoHeaderSize + 4 * i);
}

std::optional<Header> readHeader(const uchar *p, qsizetype available)
{
    if (available < qsizetype(CoreHeaderSize))
        return std::nullopt;
    Header h;
    const std::uint32_t size = ByteReader::le32(p);
    if (size == CoreHeaderSize) {
        h.core = true;
        h.width = ByteReader::le16(p + 4);
        h.height = ByteReader::le16(p + 6);
        h.bitCount = ByteReader::le16(p + 10);
        h.headerSize = CoreHeaderSize;
        return h;
    }
    if (size < Os2MinimumHeader || size > std::uint32_t(available))
        return std::nullopt;
    h.os2 = !isWindowsHeader(size);
    if (h.os2 && size > Os2MaximumHeader)
        return std::nullopt;
    h.width = std::int32_t(ByteReader::le32(p + 4));
    h.height = std::int32_t(ByteReader::le32(p + 8));
    h.bitCount = ByteReader::le16(p + 14);
    h.compression = size >= 20 ? ByteReader::le32(p + 16) : BI_RGB;
    h.colorsUsed = size >= 36 ? ByteReader::le32(p + 32) : 0;
    h.headerSize = qsizetype(size);
    if (!h.os2)
        readMasks(p, available, size, h);
    return h;
}

int shiftOf(std::uint32_t mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int channel(std::uint32_t pixel, std::uint32_t mask)
{
    const std::uint32_t max = mask >> shiftOf(mask);
    if (max == 0)
        return 0;
    // Rounded, so that a 5-bit 13 gives 107 as 13 / 31 of 255 is nearer 107.
    return int((std::uint64_t((pixel & mask) >> shiftOf(mask)) * 255 + max / 2) / max);
}

// A 16-bit channel of a 64-bit pixel: linear light in 2.13 fixed point.
int linearToSrgb(std::uint16_t value)
{
    const double linear = std::clamp(std::int16_t(value) / 8192.0, 0.0, 1.0);
    const double srgb = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return int(std::lround(srgb * 255));
}

int linearAlpha(std::uint16_t value)
{
    return int(std::lround(std::clamp(std::int16_t(value) / 8192.0, 0.0, 1.0) * 255));
}

// The colour table of a palette bitmap: the entries the header names, at
// most 256; indices past them read black.
std::optional<std::array<QRgb, 256>> readTable(const QByteArray &bytes, const Header &h, qsizetype tableOffset,
                                               qsizetype tableAvailable)
{
    std::array<QRgb, 256> palette{};
    palette.fill(qRgb(0, 0, 0));
    if (h.bitCount > 8)
        return palette;
    const qsizetype entrySize = h.core ? 3 : 4;
    const qsizetype full = qsizetype(1) << h.bitCount;
    qsizetype count = h.colorsUsed ? std::min<qsizetype>(qsizetype(h.colorsUsed), 256) : full;
    count = std::min<qsizetype>(count, tableAvailable / entrySize);
    if (!ByteReader(bytes).has(tableOffset, count * entrySize))
        return std::nullopt;
    const auto *table = reinterpret_cast<const uchar *>(bytes.constData()) + tableOffset;
    for (qsizetype i = 0; i < count; ++i)
        palette[std::size_t(i)] = qRgb(table[i * entrySize + 2], table[i * entrySize + 1], table[i * entrySize]);
    return palette;
}

struct Layout {
    std::array<QRgb, 256> palette{};
    std::array<std::uint32_t, 4> masks{};
    bool alpha = false;
    bool premultiplied = false;
};

QRgb pixelAt(const uchar *row, qint64 x, int bitCount, const Layout &l)
{
    switch (bitCount) {
    case 1:
        return l.palette[(row[x / 8] >> (7 - x % 8)) & 1];
    case 2:
        return l.palette[(row[x / 4] >> (6 - 2 * (x % 4))) & 3];
    case 4:
        return l.palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF];
    case 8:
        return l.palette[row[x]];
    case 24:
        return qRgb(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    case 64: {
        const uchar *p = row + x * 8;
        return qRgba(linearToSrgb(ByteReader::le16(p + 4)), linearToSrgb(ByteReader::le16(p + 2)),
                     linearToSrgb(ByteReader::le16(p)), linearAlpha(ByteReader::le16(p + 6)));
    }
    default: {
        const std::uint32_t pixel = bitCount == 16 ? ByteReader::le16(row + x * 2) : ByteReader::le32(row + x * 4);
        const int a = l.alpha ? channel(pixel, l.masks[3]) : 255;
        return qRgba(channel(pixel, l.masks[0]), channel(pixel, l.masks[1]), channel(pixel, l.masks[2]), a);
    }
    }
}

// Rows stored one after the other, each padded to four bytes.
bool decodeRows(QImage &image, const Header &h, const Layout &l, const uchar *bits, qsizetype bitsSize)
{
    const qint64 width = image.width();
    const qint64 height = image.height();
    const qint64 stride = ((width * h.bitCount + 31) / 32) * 4;
    if (stride * height > bitsSize)
        return false;
    for (qint64 row = 0; row < height; ++row) {
        const uchar *src = bits + row * stride;
        const qint64 y = h.height < 0 ? row : height - 1 - row;
        auto *dst = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x)
            dst[x] = pixelAt(src, x, h.bitCount, l);
    }
    return true;
}

// Run-length rows ([MS-WMF] 2.1.1.7 BI_RLE8, BI_RLE4, and OS/2's RLE24):
// a count and a value, or an escape: end of line, end of bitmap, a move,
// or a run of literal values padded to two bytes. Pixels never reached
// stay transparent black, as other readers show them.
bool decodeRunLength(QImage &image, const Header &h, const Layout &l, const uchar *bits, qsizetype size)
{
    const int depth = h.compression == BI_RLE4 ? 4 : h.compression == BI_RLE8 ? 8 : 24;
    const qint64 width = image.width();
    const qint64 height = image.height();
    image.fill(0);
    qint64 x = 0;
    qint64 row = 0;
    auto put = [&](QRgb color) {
        if (x < width && row < height)
            reinterpret_cast<QRgb *>(image.scanLine(int(height - 1 - row)))[x] = color | 0xFF000000u;
        ++x;
    };
    auto literal = [&](const uchar *p, qint64 i) {
        if (depth == 24)
            return qRgb(p[i * 3 + 2], p[i * 3 + 1], p[i * 3]);
        return depth == 8 ? l.palette[p[i]] : l.palette[(p[i / 2] >> (i % 2 ? 0 : 4)) & 0xF];
    };
    const qsizetype valueBytes = depth == 24 ? 3 : 1;
    qsizetype at = 0;
    while (at + 2 <= size && row < height) {
        const int count = bits[at];
        const int code = bits[at + 1];
        if (count > 0) { // a run of one value, or of two alternating nibbles
            if (at + 1 + valueBytes > size)
                return true;
            const uchar *value = bits + at + 1;
            for (int i = 0; i < count; ++i)
                put(depth == 4 ? l.palette[(value[0] >> (i % 2 ? 0 : 4)) & 0xF] : literal(value, 0));
            at += 1 + valueBytes;
            continue;
        }
        at += 2;
        if (code == 0) { // end of line
            x = 0;
            ++row;
        } else if (code == 1) { // end of bitmap
            return true;
        } else if (code == 2) { // move right and up
            if (at + 2 > size)
                return true;
            x += bits[at];
            row += bits[at + 1];
            at += 2;
        } else { // literal values
            const qsizetype bytes = depth == 4 ? (code + 1) / 2 : code * valueBytes;
            if (at + bytes > size)
                return true;
            for (int i = 0; i < code; ++i)
                put(literal(bits + at, i));
            at += (bytes + 1) & ~qsizetype(1);
        }
    }
    return true;
}

bool supported(const Header &h)
{
    switch (h.compression) {
    case BI_RGB:
        return h.bitCount == 1 || h.bitCount == 2 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
               h.bitCount == 24 || h.bitCount == 32 || h.bitCount == 64;
    case BI_RLE8:
        return h.bitCount == 8;
    case BI_RLE4:
        return h.bitCount == 4;
    case BI_BITFIELDS:
        return !h.os2 && (h.bitCount == 16 || h.bitCount == 32);
    case BI_ALPHABITFIELDS:
        return h.bitCount == 16 || h.bitCount == 32;
    case Os2Rle24:
        return h.os2 && h.bitCount == 24;
    default:
        return false;
    }
}

Layout layoutOf(const Header &h, const std::array<QRgb, 256> &palette, Alpha alphaKind)
{
    Layout l;
    l.palette = palette;
    l.masks = h.masks;
    const bool fields = h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS;
    if (!fields && h.bitCount == 16)
        l.masks = {0x7C00, 0x03E0, 0x001F, 0};
    if (!fields && h.bitCount == 32)
        l.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, alphaKind == Alpha::Premultiplied ? 0xFF000000u : 0u};
    // An alpha blend reads the fourth byte of 32-bit pixels as alpha, also
    // when masks name the colours only.
    const bool standardMasks = l.masks[0] == 0x00FF0000 && l.masks[1] == 0x0000FF00 && l.masks[2] == 0x000000FF;
    const bool blendAlpha =
        alphaKind == Alpha::Premultiplied && h.bitCount == 32 && (!fields || (standardMasks && l.masks[3] == 0));
    if (blendAlpha)
        l.masks[3] = 0xFF000000;
    l.alpha = l.masks[3] != 0 || h.bitCount == 64;
    l.premultiplied = blendAlpha;
    return l;
}

QImage decode(const QByteArray &bytes, const Header &h, qsizetype tableOffset, qsizetype tableAvailable,
              qsizetype bitsOffset, qsizetype bitsSize, Alpha alphaKind, qint64 maxPixels = MaxPixels)
{
    if (!supported(h) || h.width <= 0 || h.height == 0 || !ByteReader(bytes).has(bitsOffset, bitsSize))
        return QImage();
    const qint64 width = h.width;
    const qint64 height = h.height < 0 ? -h.height : h.height;
    if (width * height > maxPixels || width > 65535 || height > 65535)
        return QImage();
    const auto palette = readTable(bytes, h, tableOffset, tableAvailable);
    if (!palette)
        return QImage();
    const Layout l = layoutOf(h, *palette, alphaKind);
    const bool runLength = h.compression == BI_RLE8 || h.compression == BI_RLE4 || h.compression == Os2Rle24;
    const QImage::Format format = l.premultiplied
                                      ? QImage::Format_ARGB32_Premultiplied
                                      : (l.alpha || runLength ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QImage image(int(width), int(height), format);
    if (image.isNull())
        return QImage();
    const auto *bits = reinterpret_cast<const uchar *>(bytes.constData()) + bitsOffset;
    const bool decoded =
        runLength ? decodeRunLength(image, h, l, bits, bitsSize) : decodeRows(image, h, l, bits, bitsSize);
    return decoded ? image : QImage();
}

} // namespace

QImage decode(const QByteArray &bytes, qsizetype headerOffset, qsizetype headerSize, qsizetype bitsOffset,
              qsizetype bitsSize, Alpha alpha, qint64 maxPixels)
{
    if (!ByteReader(bytes).has(headerOffset, headerSize) || !ByteReader(bytes).has(bitsOffset, bitsSize))
        return QImage();
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData()) + headerOffset;
    const auto h = readHeader(p, headerSize);
    if (!h || h->headerSize > headerSize)
        return QImage();
    return decode(bytes, *h, headerOffset + h->headerSize, headerSize - h->headerSize, bitsOffset, bitsSize, alpha,
                  std::min(maxPixels, MaxPixels));
}

QImage decodePacked(const QByteArray &bytes, qsizetype offset, qsizetype size, qint64 maxPixels)
{
    if (!ByteReader(bytes).has(offset, size))
        return QImage();
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData()) + offset;
    const auto h = readHeader(p, size);
    if (!h || h->headerSize > size)
        return QImage();
    qsizetype tableSize = 0;
    if (h->bitCount <= 8) {
        const qsizetype entrySize = h->core ? 3 : 4;
        const qsizetype count = h->colorsUsed ? qsizetype(std::min<std::uint32_t>(h->colorsUsed, 256))
                                              : (qsizetype(1) << std::min(h->bitCount, 8));
        tableSize = count * entrySize;
    }
    const qsizetype bitsOffset = offset + h->headerSize + tableSize;
    const qsizetype bitsSize = offset + size - bitsOffset;
    if (bitsSize < 0)
        return QImage();
    return decode(bytes, *h, offset + h->headerSize, tableSize, bitsOffset, bitsSize, Alpha::Opaque,
                  std::min(maxPixels, MaxPixels));
}

namespace {

// Where a BMP file's info header and pixels lie.
struct FilePlaces {
    qsizetype headerAt = 0;
    qsizetype pixelsAt = 0;
};

// The BMP file header: "BM", the file size, two reserved words, the offset
// of the pixels; the info header follows. In an OS/2 bitmap array ("BA",
// size, next, screen size) the first bitmap's header follows the array's,
// its offsets counted from the start of the file.
std::optional<FilePlaces> filePlaces(const QByteArray &bytes)
{
    constexpr qsizetype FileHeaderSize = 14;
    constexpr qsizetype PixelsOffsetAt = 10;
    const qsizetype at = bytes.startsWith("BA") ? FileHeaderSize : 0;
    if (bytes.mid(at, 2) != "BM")
        return std::nullopt;
    const qint64 pixelsAt = ByteReader(bytes).u32(at + PixelsOffsetAt).value_or(0);
    const qsizetype headerAt = at + FileHeaderSize;
    if (pixelsAt <= headerAt || pixelsAt > bytes.size())
        return std::nullopt;
    return FilePlaces{headerAt, qsizetype(pixelsAt)};
}

} // namespace

QImage decodeFile(const QByteArray &bytes, qint64 maxFilePixels)
{
    const auto places = filePlaces(bytes);
    if (!places)
        return QImage();
    const qsizetype headerSize = places->pixelsAt - places->headerAt;
    const auto h = readHeader(reinterpret_cast<const uchar *>(bytes.constData()) + places->headerAt, headerSize);
    if (!h || h->headerSize > headerSize)
        return QImage();
    return decode(bytes, *h, places->headerAt + h->headerSize, headerSize - h->headerSize, places->pixelsAt,
                  bytes.size() - places->pixelsAt, Alpha::Opaque, maxFilePixels);
}

FileFacts describeFile(const QByteArray &bytes)
{
    const auto places = filePlaces(bytes);
    if (!places)
        return {};
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData()) + places->headerAt;
    const auto h = readHeader(p, places->pixelsAt - places->headerAt);
    if (!h)
        return {};
    FileFacts facts{FilePixels::Complete, h->bitCount, h->core, std::abs(qint64(h->width)),
                    std::abs(qint64(h->height))};
    if (h->compression == BI_RLE8 || h->compression == BI_RLE4 || (h->os2 && h->compression == Os2Rle24)) {
        facts.pixels = FilePixels::RunLength;
        return facts;
    }
    const qint64 stride = ((facts.width * h->bitCount + 31) / 32) * 4;
    // Divided, not multiplied: the product of a hostile header's sides
    // overflows.
    if (facts.height > 0 && stride > (bytes.size() - places->pixelsAt) / facts.height)
        facts.pixels = FilePixels::Short;
    return facts;
}

} // namespace Dib
