#include "metafile/EmfPlusObjects.h"
#include "metafile/Limits.h"

#include <utility>

namespace {

// An object read, as an entry of the table.
template <typename Kind> std::optional<PlusObject> entry(const std::optional<Kind> &object)
{
    if (!object)
        return std::nullopt;
    return PlusObject(*object);
}

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

} // namespace

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

qint64 PlusObjects::imageBytes(const PlusObject &object)
{
    if (const auto *image = std::get_if<PlusImage>(&object))
        return image->image.sizeInBytes();
    if (const auto *brush = std::get_if<PlusBrush>(&object))
        return brush->brush.textureImage().sizeInBytes();
    return 0;
}

std::optional<PlusObject> PlusObjects::read(int objectType, const PlusData &d, double dpi, PlaybackBudget &budget,
                                            qint64 allowance)
{
    switch (objectType) {
    case BrushObject:
        return entry(readBrush(d, allowance));
    case PenObject:
        return entry(readPen(d, dpi));
    case PathObject:
        if (const std::optional<QPainterPath> path = readPath(d))
            return PlusPath{*path};
        return std::nullopt;
    case RegionObject:
        return entry(readRegion(d, budget));
    case ImageObject:
        return entry(readImage(d, allowance));
    case FontObject:
        return entry(readFont(d, dpi));
    case StringFormatObject:
        return entry(readStringFormat(d));
    case ImageAttributesObject: // wrap and clamp colour of images, which are drawn as they are
        return PlusImageAttributes{};
    default:
        return std::nullopt;
    }
}

// ---------------------------------------------------------------------------
// Continued objects.

std::optional<QByteArray> PlusObjectAssembler::add(const PlusData &part, bool continued, int objectId)
{
    if (objectId != m_id) {
        m_data.clear();
        m_total = 0;
        m_id = -1;
    }
    if (!continued) {
        if (m_id < 0)
            return part.slice(0, part.size());
        m_data += part.slice(0, part.size());
    } else {
        const qsizetype total = part.u32(0);
        if (total <= 0 || total > Limits::MaxObjectBytes || total > part.bytes().size() * 2)
            return std::nullopt;
        m_id = objectId;
        m_total = total;
        m_data += part.slice(4, part.size() - 4);
        if (m_data.size() < m_total)
            return std::nullopt;
    }
    QByteArray whole = std::exchange(m_data, QByteArray());
    m_id = -1;
    m_total = 0;
    return whole;
}
