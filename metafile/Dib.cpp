#include "metafile/Dib.h"

#include "base/ByteReader.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

namespace Dib {
namespace {

struct Header {
    qint64 width = 0;
    qint64 height = 0; // negative: rows run top-down
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    qsizetype headerSize = 0;             // including the bit masks that follow a 40-byte header
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha
    bool core = false;                    // a BITMAPCOREHEADER with 3-byte colour entries
};

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t BI_ALPHABITFIELDS = 6;

std::optional<Header> readHeader(const uchar *p, qsizetype available)
{
    if (available < 12)
        return std::nullopt;
    Header h;
    const std::uint32_t size = ByteReader::le32(p);
    if (size == 12) {
        h.core = true;
        h.width = ByteReader::le16(p + 4);
        h.height = ByteReader::le16(p + 6);
        h.bitCount = ByteReader::le16(p + 10);
        h.headerSize = 12;
        return h;
    }
    if (size < 40 || size > std::uint32_t(available))
        return std::nullopt;
    h.width = std::int32_t(ByteReader::le32(p + 4));
    h.height = std::int32_t(ByteReader::le32(p + 8));
    h.bitCount = ByteReader::le16(p + 14);
    h.compression = ByteReader::le32(p + 16);
    h.colorsUsed = ByteReader::le32(p + 32);
    h.headerSize = qsizetype(size);
    if (h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS) {
        const int count = h.compression == BI_ALPHABITFIELDS ? 4 : 3;
        if (size >= 40 + 4 * std::uint32_t(count)) {
            for (int i = 0; i < count; ++i)
                h.masks[std::size_t(i)] = ByteReader::le32(p + 40 + 4 * i);
        } else {
            // The masks follow a plain 40-byte header.
            if (available < 40 + 4 * count)
                return std::nullopt;
            for (int i = 0; i < count; ++i)
                h.masks[std::size_t(i)] = ByteReader::le32(p + 40 + 4 * i);
            h.headerSize = 40 + 4 * count;
        }
    }
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

int maxOf(std::uint32_t mask)
{
    return int(mask >> shiftOf(mask));
}

int channel(std::uint32_t pixel, std::uint32_t mask)
{
    const int max = maxOf(mask);
    if (max == 0)
        return 0;
    // Rounded, so that a 5-bit 13 gives 107 as 13 / 31 of 255 is nearer 107.
    return int((((pixel & mask) >> shiftOf(mask)) * 255 + std::uint32_t(max) / 2) / std::uint32_t(max));
}

QImage decode(const QByteArray &bytes, const Header &h, qsizetype tableOffset, qsizetype tableAvailable,
              qsizetype bitsOffset, qsizetype bitsSize, Alpha alphaKind)
{
    const bool supportedDepth = h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
                                h.bitCount == 24 || h.bitCount == 32;
    const bool supportedCompression =
        h.compression == BI_RGB || h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS;
    if (!supportedDepth || !supportedCompression || h.width <= 0 || h.height == 0)
        return QImage();
    const qint64 width = h.width;
    const qint64 height = h.height < 0 ? -h.height : h.height;
    if (width * height > MaxPixels || width > 65535 || height > 65535)
        return QImage();
    const qint64 stride = ((width * h.bitCount + 31) / 32) * 4;
    if (stride * height > bitsSize || !ByteReader(bytes).has(bitsOffset, qsizetype(stride * height)))
        return QImage();

    // The colour table of a palette bitmap.
    std::array<QRgb, 256> palette{};
    if (h.bitCount <= 8) {
        const qsizetype entrySize = h.core ? 3 : 4;
        qsizetype count = h.colorsUsed ? qsizetype(h.colorsUsed) : (qsizetype(1) << h.bitCount);
        count = std::min<qsizetype>({count, 256, tableAvailable / entrySize});
        if (!ByteReader(bytes).has(tableOffset, count * entrySize))
            return QImage();
        const auto *table = reinterpret_cast<const uchar *>(bytes.constData()) + tableOffset;
        for (qsizetype i = 0; i < count; ++i)
            palette[std::size_t(i)] = qRgb(table[i * entrySize + 2], table[i * entrySize + 1], table[i * entrySize]);
    }

    std::array<std::uint32_t, 4> masks = h.masks;
    const bool fields = h.compression != BI_RGB;
    if (!fields && h.bitCount == 16)
        masks = {0x7C00, 0x03E0, 0x001F, 0};
    if (!fields && h.bitCount == 32)
        masks = {0x00FF0000, 0x0000FF00, 0x000000FF, alphaKind == Alpha::Premultiplied ? 0xFF000000u : 0u};
    const bool alpha = masks[3] != 0;
    const bool premultiplied = !fields && alphaKind == Alpha::Premultiplied && h.bitCount == 32;

    QImage image(int(width), int(height),
                 premultiplied ? QImage::Format_ARGB32_Premultiplied
                               : (alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32));
    if (image.isNull())
        return QImage();
    const auto *bits = reinterpret_cast<const uchar *>(bytes.constData()) + bitsOffset;
    for (qint64 row = 0; row < height; ++row) {
        const uchar *src = bits + row * stride;
        const qint64 y = h.height < 0 ? row : height - 1 - row;
        auto *dst = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x) {
            switch (h.bitCount) {
            case 1:
                dst[x] = palette[(src[x / 8] >> (7 - x % 8)) & 1];
                break;
            case 4:
                dst[x] = palette[(src[x / 2] >> (x % 2 ? 0 : 4)) & 0xF];
                break;
            case 8:
                dst[x] = palette[src[x]];
                break;
            case 24:
                dst[x] = qRgb(src[x * 3 + 2], src[x * 3 + 1], src[x * 3]);
                break;
            case 16:
            case 32: {
                const std::uint32_t pixel =
                    h.bitCount == 16 ? ByteReader::le16(src + x * 2) : ByteReader::le32(src + x * 4);
                const int a = alpha ? channel(pixel, masks[3]) : 255;
                dst[x] = qRgba(channel(pixel, masks[0]), channel(pixel, masks[1]), channel(pixel, masks[2]), a);
                break;
            }
            }
        }
    }
    return image;
}

} // namespace

QImage decode(const QByteArray &bytes, qsizetype headerOffset, qsizetype headerSize, qsizetype bitsOffset,
              qsizetype bitsSize, Alpha alpha)
{
    if (!ByteReader(bytes).has(headerOffset, headerSize) || !ByteReader(bytes).has(bitsOffset, bitsSize))
        return QImage();
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData()) + headerOffset;
    const auto h = readHeader(p, headerSize);
    if (!h || h->headerSize > headerSize)
        return QImage();
    return decode(bytes, *h, headerOffset + h->headerSize, headerSize - h->headerSize, bitsOffset, bitsSize, alpha);
}

QImage decodePacked(const QByteArray &bytes, qsizetype offset, qsizetype size)
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
    return decode(bytes, *h, offset + h->headerSize, tableSize, bitsOffset, bitsSize, Alpha::Opaque);
}

} // namespace Dib
