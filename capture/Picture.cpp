#include "capture/Picture.h"

#include "base/ByteReader.h"
#include "base/Failure.h"
#include "base/RegularFile.h"
#include "metafile/Dib.h"

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

QImage readWithFormat(const QByteArray &bytes, const char *format, const QString &invalid)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(Picture::imageLimitMiB());
    QImage image;
    if (!reader.read(&image) || image.isNull())
        throw VantrixError(invalid);
    return image;
}

// A 16-bit bitmap file through our own reader, which stretches 5- and 6-bit
// channels over the whole range (31 and 63 become 255) whatever the header;
// Qt's reader stops at 248 for some headers, so pure blue would not be pure.
// An empty image for any other depth.
QImage readSixteenBitBitmap(const QByteArray &bytes)
{
    constexpr qsizetype FileHeaderSize = 14;
    constexpr qsizetype BitCountAt = FileHeaderSize + 14;
    constexpr qsizetype PixelsOffsetAt = 10;
    const ByteReader b(bytes);
    if (!bytes.startsWith("BM") || b.u16(BitCountAt) != 16)
        return {};
    const qint64 pixelsAt = b.u32(PixelsOffsetAt).value_or(0);
    if (pixelsAt <= FileHeaderSize || pixelsAt > bytes.size())
        throw VantrixError(BitmapInvalid);
    const QImage image = Dib::decode(bytes, FileHeaderSize, qsizetype(pixelsAt) - FileHeaderSize, qsizetype(pixelsAt),
                                     bytes.size() - qsizetype(pixelsAt));
    if (image.isNull())
        throw VantrixError(BitmapInvalid);
    return image;
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

QImage readIcon(const QByteArray &bytes)
{
    const int entry = bestIconEntry(bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(Picture::imageLimitMiB());
    if (entry > 0 && !reader.jumpToImage(entry))
        throw VantrixError(IconInvalid);
    QImage image;
    if (!reader.read(&image) || image.isNull())
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
        QImage image = bmp ? readSixteenBitBitmap(bytes) : QImage();
        if (image.isNull())
            image = readWithFormat(bytes, bmp ? "bmp" : "jpeg", BitmapInvalid);
        picture.m_image = image.convertToFormat(QImage::Format_RGB32);
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
