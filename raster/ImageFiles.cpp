#include "raster/ImageFiles.h"

#include "base/ByteReader.h"
#include "raster/Dib.h"

#include <QBuffer>
#include <QImageReader>

#include <climits>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace ImageFiles {
namespace {

// Decoded pictures are held at 32 bits a pixel.
constexpr qint64 BytesPerPixel = 4;
// The JPEG decoder reduces by a half, a quarter or an eighth.
constexpr int MostReduced = 8;

// What Qt's reader made of picture bytes: the image, or none, and whether
// the header claimed more than the memory limit allows.
struct QtRead {
    QImage image;
    bool tooLarge = false;
};

// Image number Index of Bytes through Qt's reader of Format, allocating at
// most LimitMiB.
QtRead readThroughQt(const QByteArray &bytes, const char *format, int limitMiB, int index = 0)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(limitMiB);
    QtRead result;
    if ((index == 0 || reader.jumpToImage(index)) && reader.read(&result.image))
        return result;
    result.image = QImage();
    const QSize claimed = reader.size();
    result.tooLarge = claimed.isValid() && !passesLimit(claimed, limitMiB);
    return result;
}

} // namespace

// A 16-bit bitmap file through our own reader, which stretches 5- and 6-bit
// channels over the whole range (31 and 63 become 255) whatever the header;
// Qt's reader stops at 248 for some headers, so pure blue would not be pure.
// Run-length bitmaps through ours too: Qt's leaves the pixels a stream
// skips or never reaches as memory held them, and ours leaves them
// transparent, so they show the picture area's white every time. A file
// cut short in its rows is damaged and refused: Qt's would show memory in
// the rows it lacks. OS/2 core headers through ours too: Qt's takes their
// palette as full and reads the pixels from a later place than the file
// says, past its end where the palette is short. Other bitmaps through
// Qt's reader, and what it refuses (2-bit pixels, OS/2 2.x headers and
// arrays, 64-bit pixels, headers with masks inside) through ours.
QImage readBitmap(const QByteArray &bytes, int limitMiB)
{
    const Dib::FileFacts facts = Dib::describeFile(bytes);
    if (facts.pixels == Dib::FilePixels::Short)
        return QImage();
    if (facts.pixels == Dib::FilePixels::RunLength || facts.bitCount == 16 || facts.coreHeader)
        return Dib::decodeFile(bytes);
    const QtRead read = readThroughQt(bytes, "bmp", limitMiB);
    // What Qt refused as too large for the memory limit, we refuse too.
    if (!read.image.isNull() || read.tooLarge)
        return read.image;
    return Dib::decodeFile(bytes, (qint64(limitMiB) << 20) / BytesPerPixel);
}

QImage readJpeg(const QByteArray &bytes, int limitMiB)
{
    return readThroughQt(bytes, "jpeg", limitMiB).image;
}

QImage readJpegReduced(const QByteArray &bytes, int longestSide)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setDecideFormatFromContent(false);
    const QSize full = reader.size();
    if (!full.isValid())
        return QImage();
    int fraction = 1;
    while (fraction < MostReduced && std::max(full.width(), full.height()) / fraction > longestSide)
        fraction *= 2;
    // Sizes the decoder reaches by itself: the sides divided, rounded up.
    reader.setScaledSize(QSize((full.width() + fraction - 1) / fraction, (full.height() + fraction - 1) / fraction));
    return reader.read();
}

QSize claimedBitmapSize(const QByteArray &bytes)
{
    const Dib::FileFacts facts = Dib::describeFile(bytes);
    // A file cut short in its rows is damaged, whatever size it claims.
    if (facts.pixels == Dib::FilePixels::Unknown || facts.pixels == Dib::FilePixels::Short || facts.width > INT_MAX ||
        facts.height > INT_MAX)
        return QSize();
    return QSize(int(facts.width), int(facts.height));
}

QSize claimedJpegSize(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setDecideFormatFromContent(false);
    return reader.size();
}

bool passesLimit(QSize size, int limitMiB)
{
    // The pixel count of the widest header fits; four bytes a pixel of it
    // need not, so the limit is divided instead.
    if (size.width() < 0 || size.height() < 0)
        return false;
    return qint64(size.width()) * size.height() <= (qint64(limitMiB) << 20) / BytesPerPixel;
}

namespace {

// The icon directory: ICONDIR (reserved 0, type 1, count), then one
// ICONDIRENTRY of 16 bytes for each image.
constexpr qsizetype DirectoryHeaderSize = 6;
constexpr qsizetype DirectoryEntrySize = 16;
constexpr qsizetype EntryBitCountAt = 6;
constexpr qsizetype EntryBytesAt = 8;
constexpr qsizetype EntryOffsetAt = 12;
constexpr int IconType = 1;
// A width or height of 0 in the directory stands for 256.
constexpr int FullSide = 256;

qsizetype entryAt(int entry)
{
    return DirectoryHeaderSize + qsizetype(entry) * DirectoryEntrySize;
}

std::optional<int> bestIconEntry(const QByteArray &bytes, int side)
{
    const ByteReader b(bytes);
    if (b.u16(0) != 0 || b.u16(2) != IconType)
        return std::nullopt;
    const int count = b.u16(4).value_or(0);
    if (count == 0 || bytes.size() < entryAt(count))
        return std::nullopt;
    int best = 0;
    int bestDistance = 0;
    int bestDepth = -1;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = entryAt(i);
        const int width = uchar(bytes[at]) == 0 ? FullSide : uchar(bytes[at]);
        const int height = uchar(bytes[at + 1]) == 0 ? FullSide : uchar(bytes[at + 1]);
        const int depth = b.u16(at + EntryBitCountAt).value_or(0);
        const int distance = std::abs(width - side) + std::abs(height - side);
        if (bestDepth < 0 || distance < bestDistance || (distance == bestDistance && depth > bestDepth)) {
            best = i;
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    return best;
}

// The AND mask after an icon bitmap's colours: rows of one bit a pixel,
// padded to four bytes, bottom-up. Images with an alpha channel of their
// own keep it.
void applyIconMask(QImage &colours, const QByteArray &entry)
{
    constexpr qsizetype HeaderSizeAt = 0;
    constexpr qsizetype BitCountAt = 14;
    const ByteReader b(entry);
    const int bitCount = b.u16(BitCountAt).value_or(0);
    if (bitCount == 32)
        return;
    const qsizetype width = colours.width();
    const qsizetype height = colours.height();
    const qsizetype header = b.u32(HeaderSizeAt).value_or(0);
    const qsizetype table = bitCount <= 8 ? (qsizetype(1) << bitCount) * 4 : 0;
    const qsizetype colourStride = ((width * bitCount + 31) / 32) * 4;
    const qsizetype maskStride = ((width + 31) / 32) * 4;
    const qsizetype maskAt = header + table + colourStride * height;
    if (!b.has(maskAt, maskStride * height))
        return;
    colours = colours.convertToFormat(QImage::Format_ARGB32);
    for (qsizetype row = 0; row < height; ++row) {
        auto *line = reinterpret_cast<QRgb *>(colours.scanLine(int(height - 1 - row)));
        for (qsizetype x = 0; x < width; ++x) {
            if ((b.u8(maskAt + row * maskStride + x / 8).value_or(0) >> (7 - x % 8)) & 1)
                line[x] = 0;
        }
    }
}

// One icon image read by ourselves from its place and size in the
// directory, whatever width and height the directory claims: a PNG, or a
// bitmap twice as high as the icon (the colours, then a one-bit mask whose
// set bits are transparent).
QImage decodeIconEntry(const QByteArray &bytes, int entry, int limitMiB)
{
    constexpr qsizetype HeightAt = 8;
    const ByteReader b(bytes);
    const qsizetype size = b.u32(entryAt(entry) + EntryBytesAt).value_or(0);
    const qsizetype offset = b.u32(entryAt(entry) + EntryOffsetAt).value_or(0);
    if (size <= 0 || !b.has(offset, size))
        return QImage();
    QByteArray image = bytes.mid(offset, size);
    if (image.startsWith("\x89PNG"))
        return readThroughQt(image, "png", limitMiB).image;
    const std::int32_t doubled = b.i32(offset + HeightAt).value_or(0);
    // The height is patched in place: it must lie inside the entry.
    if (image.size() < HeightAt + qsizetype(sizeof doubled) || doubled <= 0 || doubled % 2 != 0)
        return QImage();
    const std::int32_t height = doubled / 2;
    std::memcpy(image.data() + HeightAt, &height, sizeof height); // little-endian, as the file
    QImage colours = Dib::decodePacked(image, 0, image.size());
    if (colours.isNull())
        return QImage();
    applyIconMask(colours, image);
    return colours;
}

} // namespace

QImage readIcon(const QByteArray &bytes, int limitMiB, int side)
{
    const std::optional<int> entry = bestIconEntry(bytes, side);
    if (!entry)
        return QImage();
    const QtRead read = readThroughQt(bytes, "ico", limitMiB, *entry);
    // An entry Qt reads otherwise than its directory says, we read ourselves.
    if (read.image.isNull() && !read.tooLarge)
        return decodeIconEntry(bytes, *entry, limitMiB);
    return read.image;
}

} // namespace ImageFiles
