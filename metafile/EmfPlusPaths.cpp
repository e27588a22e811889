#include "metafile/EmfPlusObjects.h"
#include "metafile/Limits.h"

#include <cmath>

using namespace PlusObjects;

namespace {

// [MS-EMFPLUS] 2.1.2.6 PathPointType flags and 2.1.1.23 PathPointType.
constexpr std::uint16_t PathRunLength = 0x1000;
constexpr std::uint8_t PointTypeMask = 0x07;
constexpr std::uint8_t PointLine = 1;
constexpr std::uint8_t PointBezier = 3;
constexpr std::uint8_t PointCloseSubpath = 0x80;

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
    if (count < 0 || count > Limits::MaxPoints)
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
