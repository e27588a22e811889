#include "picture/Picture.h"

#include "base/Failure.h"
#include "base/RegularFile.h"
#include "raster/ImageFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const QString BitmapInvalid = QStringLiteral("Bitmap image is not valid");
const QString IconInvalid = QStringLiteral("Icon image is not valid");
const QString MetafileInvalid = QStringLiteral("Metafile is not valid");

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

// An icon's image as the picture area shows it: premultiplied, at the
// standard icon size.
QImage shownAsIcon(const QImage &image)
{
    QImage shown = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (shown.size() != QSize(Picture::IconSide, Picture::IconSide))
        shown = shown.scaled(Picture::IconSide, Picture::IconSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return shown;
}

int imageLimit = Picture::MaxImageMiB;

} // namespace

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
    return fromBytes(readBytes(fileName), extensionOf(fileName));
}

QByteArray Picture::readBytes(const QString &fileName)
{
    const Kind kind = kindOf(extensionOf(fileName)); // refuses an unknown extension before the file is touched
    const RegularFileRead file = readRegularFile(fileName, MaxFileSize);
    if (!file.failure.isEmpty()) {
        const QString what =
            file.opened ? QStringLiteral("Cannot read file \"%1\". %2") : QStringLiteral("Cannot open file \"%1\". %2");
        throw VantrixError(what.arg(QFileInfo(fileName).absoluteFilePath(), file.failure));
    }
    if (file.tooLarge)
        throw VantrixError(invalidMessage(kind));
    return file.bytes;
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

QString Picture::tooLargeMessage(QSize size)
{
    return QStringLiteral("Bitmap image of %1 x %2 pixels is too large to open").arg(size.width()).arg(size.height());
}

Picture Picture::fromBytes(const QByteArray &bytes, const QString &extension)
{
    Picture picture;
    picture.m_kind = kindOf(extension);
    switch (picture.m_kind) {
    case Kind::Bitmap: {
        const bool bmp = extension.compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0;
        const QSize claimed = bmp ? ImageFiles::claimedBitmapSize(bytes) : ImageFiles::claimedJpegSize(bytes);
        if (claimed.isValid() && !ImageFiles::passesLimit(claimed, imageLimitMiB()))
            throw VantrixError(tooLargeMessage(claimed));
        const QImage image =
            bmp ? ImageFiles::readBitmap(bytes, imageLimitMiB()) : ImageFiles::readJpeg(bytes, imageLimitMiB());
        if (image.isNull())
            throw VantrixError(BitmapInvalid);
        picture.m_image = overWhite(image);
        break;
    }
    case Kind::Icon: {
        const QImage image = ImageFiles::readIcon(bytes, imageLimitMiB(), IconSide);
        if (image.isNull())
            throw VantrixError(IconInvalid);
        picture.m_image = shownAsIcon(image);
        break;
    }
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
