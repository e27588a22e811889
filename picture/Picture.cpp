#include "picture/Picture.h"

#include "base/ByteReader.h"
#include "base/Failure.h"
#include "base/RegularFile.h"
#include "raster/Dib.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const QString BitmapInvalid = QStringLiteral("Bitmap image is not valid");
const QString IconInvalid = QStringLiteral("Icon image is not valid");
const QString MetafileInvalid = QStringLiteral("Metafile is not valid");

// What Qt's reader made of picture bytes: the image, or none, and whether
// the header claimed more than the memory limit allows.
struct QtRead {
    QImage image;
    bool tooLarge = false;
};

// Image number Index of Bytes through Qt's reader of Format, within the
// memory limit.
QtRead readThroughQt(const QByteArray &bytes, const char *format, int index = 0)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(Picture::imageLimitMiB());
    QtRead result;
    if ((index == 0 || reader.jumpToImage(index)) && reader.read(&result.image))
        return result;
    result.image = QImage();
    const QSize claimed = reader.size();
    result.tooLarge =
        claimed.isValid() && qint64(claimed.width()) * claimed.height() * 4 > qint64(Picture::imageLimitMiB()) << 20;
    return result;
}

QImage readWithFormat(const QByteArray &bytes, const char *format, const QString &invalid)
{
    QImage image = readThroughQt(bytes, format).image;
    if (image.isNull())
        throw VantrixError(invalid);
    return image;
}

// A 16-bit bitmap file through our own reader, which stretches 5- and 6-bit
// channels over the whole range (31 and 63 become 255) whatever the header;
// Qt's reader stops at 248 for some headers, so pure blue would not be pure.
// Run-length bitmaps through ours too: Qt's leaves the pixels a stream
// skips or never reaches as memory held them, and ours leaves them
// transparent, so they show the picture area's white every time. A file
// cut short in its rows is damaged and refused: Qt's would show memory in
// the rows it lacks. Other bitmaps through Qt's reader, and what it refuses
// (2-bit pixels, OS/2 headers and arrays, 64-bit pixels, headers with masks
// inside) through ours.
QImage readBitmapFile(const QByteArray &bytes)
{
    constexpr qsizetype BitCountAt = 14 + 14;
    const Dib::FilePixels pixels = Dib::describeFile(bytes);
    if (pixels == Dib::FilePixels::Short)
        throw VantrixError(BitmapInvalid);
    if (pixels == Dib::FilePixels::RunLength || (bytes.startsWith("BM") && ByteReader(bytes).u16(BitCountAt) == 16))
        return Dib::decodeFile(bytes);
    const QtRead read = readThroughQt(bytes, "bmp");
    // What Qt refused as too large for the memory limit, we refuse too.
    if (!read.image.isNull() || read.tooLarge)
        return read.image;
    return Dib::decodeFile(bytes);
}

// A bitmap with transparency as it shows on the white picture area; the
// flash then finds the colours the user sees.
QImage overWhite(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull())
        throw VantrixError(BitmapInvalid);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    return flat;
}

// The directory entry of an icon file closest to the standard icon size,
// the deepest colour among equally close ones.
int bestIconEntry(const QByteArray &bytes)
{
    const ByteReader b(bytes);
    if (b.u16(0) != 0 || b.u16(2) != 1)
        throw VantrixError(IconInvalid);
    const int count = b.u16(4).value_or(0);
    if (count == 0 || bytes.size() < 6 + qsizetype(count) * 16)
        throw VantrixError(IconInvalid);
    int best = 0;
    int bestDistance = 0;
    int bestDepth = -1;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 6 + qsizetype(i) * 16;
        const int width = uchar(bytes[entry]) == 0 ? 256 : uchar(bytes[entry]);
        const int height = uchar(bytes[entry + 1]) == 0 ? 256 : uchar(bytes[entry + 1]);
        const int depth = b.u16(entry + 6).value_or(0);
        const int distance = std::abs(width - Picture::IconSide) + std::abs(height - Picture::IconSide);
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
QImage decodeIconEntry(const QByteArray &bytes, int entry)
{
    constexpr qsizetype DirectoryEntrySize = 16;
    constexpr qsizetype HeightAt = 8;
    const ByteReader b(bytes);
    const qsizetype at = 6 + qsizetype(entry) * DirectoryEntrySize;
    const qsizetype size = b.u32(at + 8).value_or(0);
    const qsizetype offset = b.u32(at + 12).value_or(0);
    if (size <= 0 || !b.has(offset, size))
        return QImage();
    QByteArray image = bytes.mid(offset, size);
    if (image.startsWith("\x89PNG"))
        return readThroughQt(image, "png").image;
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

QImage readIcon(const QByteArray &bytes)
{
    const int entry = bestIconEntry(bytes);
    const QtRead read = readThroughQt(bytes, "ico", entry);
    QImage image = read.image;
    // An entry Qt reads otherwise than its directory says, we read ourselves.
    if (image.isNull() && !read.tooLarge)
        image = decodeIconEntry(bytes, entry);
    if (image.isNull())
        throw VantrixError(IconInvalid);
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.size() != QSize(Picture::IconSide, Picture::IconSide))
        image = image.scaled(Picture::IconSide, Picture::IconSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

namespace {
int imageLimit = Picture::MaxImageMiB;
}

int Picture::imageLimitMiB()
{
    return imageLimit;
}

void Picture::setImageLimitMiB(int mib)
{
    imageLimit = std::clamp(mib, 1, MaxImageMiB);
}

QString Picture::extensionOf(const QString &fileName)
{
    const QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

Picture Picture::load(const QString &fileName)
{
    const QString extension = extensionOf(fileName);
    const Kind kind = kindOf(extension); // refuses an unknown extension before the file is touched

    const RegularFileRead file = readRegularFile(fileName, MaxFileSize);
    if (!file.failure.isEmpty()) {
        const QString what =
            file.opened ? QStringLiteral("Cannot read file \"%1\". %2") : QStringLiteral("Cannot open file \"%1\". %2");
        throw VantrixError(what.arg(QFileInfo(fileName).absoluteFilePath(), file.failure));
    }
    if (file.tooLarge)
        throw VantrixError(invalidMessage(kind));
    return fromBytes(file.bytes, extension);
}

Picture::Kind Picture::kindOf(const QString &extension)
{
    const QString lower = extension.toLower();
    if (lower == QLatin1String("bmp") || lower == QLatin1String("jpg") || lower == QLatin1String("jpeg"))
        return Kind::Bitmap;
    if (lower == QLatin1String("ico"))
        return Kind::Icon;
    if (lower == QLatin1String("emf") || lower == QLatin1String("wmf"))
        return Kind::Metafile;
    throw VantrixError(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
}

QString Picture::invalidMessage(Kind kind)
{
    switch (kind) {
    case Kind::Icon:
        return IconInvalid;
    case Kind::Metafile:
        return MetafileInvalid;
    default:
        return BitmapInvalid;
    }
}

Picture Picture::fromBytes(const QByteArray &bytes, const QString &extension)
{
    Picture picture;
    picture.m_kind = kindOf(extension);
    switch (picture.m_kind) {
    case Kind::Bitmap: {
        const bool bmp = extension.compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0;
        QImage image = bmp ? readBitmapFile(bytes) : readWithFormat(bytes, "jpeg", BitmapInvalid);
        if (image.isNull())
            throw VantrixError(BitmapInvalid);
        picture.m_image = overWhite(image);
        break;
    }
    case Kind::Icon:
        picture.m_image = readIcon(bytes);
        break;
    default:
        picture.m_metafile = Metafile::fromBytes(bytes);
        if (!picture.m_metafile)
            throw VantrixError(MetafileInvalid);
        break;
    }
    return picture;
}

Picture Picture::blankBitmap(QSize size)
{
    Picture picture;
    picture.m_kind = Kind::Bitmap;
    picture.m_image = QImage(size, QImage::Format_RGB32);
    picture.m_image.fill(Qt::white);
    return picture;
}

QSize Picture::size() const
{
    switch (m_kind) {
    case Kind::None:
        return QSize(0, 0);
    case Kind::Metafile:
        return m_metafile->naturalSize();
    default:
        return m_image.size();
    }
}

void Picture::draw(QPainter &painter, const QRect &target, const QRect &exposed) const
{
    if (m_kind == Kind::None || target.isEmpty())
        return;
    if (m_kind == Kind::Metafile) {
        painter.save();
        painter.setClipRect(exposed, Qt::IntersectClip);
        m_metafile->draw(painter, QRectF(target));
        painter.restore();
        return;
    }
    // Only the exposed part, through a scale transform: no scaled copy of
    // the picture is ever made.
    const QRect visible = exposed.intersected(target);
    if (visible.isEmpty())
        return;
    const qreal sx = qreal(target.width()) / m_image.width();
    const qreal sy = qreal(target.height()) / m_image.height();
    const QRectF source((visible.x() - target.x()) / sx, (visible.y() - target.y()) / sy, visible.width() / sx,
                        visible.height() / sy);
    QRect sourcePixels = source.toAlignedRect().intersected(m_image.rect());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setClipRect(visible, Qt::IntersectClip);
    const QRectF drawTo(target.x() + sourcePixels.x() * sx, target.y() + sourcePixels.y() * sy,
                        sourcePixels.width() * sx, sourcePixels.height() * sy);
    painter.drawImage(drawTo, m_image, QRectF(sourcePixels));
    painter.restore();
}

void Picture::drawScaled(QPainter &painter, const QRectF &target) const
{
    if (m_metafile && !target.isEmpty())
        m_metafile->draw(painter, target);
}

void Picture::drawPixels(QPainter &painter, QPoint deviceTopLeft, const std::vector<int> &columns,
                         const std::vector<int> &rows) const
{
    if (m_image.isNull() || columns.empty() || rows.empty())
        return;
    const int width = int(columns.size());
    const int height = int(rows.size());
    painter.save();
    // From here on one unit is one device pixel.
    painter.setWorldTransform(painter.deviceTransform().inverted() * painter.worldTransform());
    const bool straight = columns.back() - columns.front() == width - 1 && rows.back() - rows.front() == height - 1;
    if (straight) {
        // One picture pixel per device pixel: the picture itself.
        painter.drawImage(deviceTopLeft, m_image, QRect(columns.front(), rows.front(), width, height));
        painter.restore();
        return;
    }
    // Otherwise band by band through a small scratch image, a few rows high
    // whatever the picture's size; a row repeated below itself is copied.
    constexpr int BandRows = 64;
    QImage band(width, std::min(BandRows, height), m_image.format());
    if (band.isNull()) {
        painter.restore();
        return;
    }
    for (int top = 0; top < height; top += BandRows) {
        const int count = std::min(BandRows, height - top);
        for (int r = 0; r < count; ++r) {
            auto *out = reinterpret_cast<QRgb *>(band.scanLine(r));
            if (r > 0 && rows[std::size_t(top + r)] == rows[std::size_t(top + r - 1)]) {
                std::memcpy(out, band.constScanLine(r - 1), std::size_t(width) * sizeof(QRgb));
                continue;
            }
            const auto *in = reinterpret_cast<const QRgb *>(m_image.constScanLine(rows[std::size_t(top + r)]));
            for (int i = 0; i < width; ++i)
                out[i] = in[columns[std::size_t(i)]];
        }
        painter.drawImage(QPoint(deviceTopLeft.x(), deviceTopLeft.y() + top), band, QRect(0, 0, width, count));
    }
    painter.restore();
}

QImage &Picture::bitmap()
{
    if (m_kind != Kind::Bitmap)
        throw VantrixError(QStringLiteral("Can only modify an image if it contains a bitmap"));
    return m_image;
}
