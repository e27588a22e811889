#include "metafile/EmfPlusObjects.h"

#include "metafile/DashBound.h"
#include "metafile/Limits.h"

#include <cmath>

using namespace PlusObjects;

namespace {

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
std::optional<PlusPen::Cap> readCap(const PlusData &d)
{
    enum { DefaultCap, ArrowCap };
    constexpr std::uint32_t FillPath = 1, LinePath = 2;
    constexpr double MaxScale = 100;
    PlusPen::Cap cap;
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
bool readPenOptions(const PlusData &d, std::uint32_t flags, qsizetype &at, PlusPen &o)
{
    QPen &pen = o.pen;
    for (std::uint32_t bit = PenTransform; bit <= PenCustomEndCap; bit <<= 1) {
        if (!(flags & bit))
            continue;
        if (bit == PenTransform) {
            at += 24;
        } else if (bit == PenDashedLine || bit == PenCompoundLine) {
            const qsizetype count = d.u32(at);
            if (count > Limits::MaxPenDashes || !d.has(at + 4, count * 4))
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

} // namespace

// [MS-EMFPLUS] 2.2.1.7 EmfPlusPen: version, type, then EmfPlusPenData
// (flags, unit, width, optional data) and the brush. The width is kept in
// world units.
std::optional<PlusPen> PlusObjects::readPen(const PlusData &d, double dpi)
{
    const std::uint32_t flags = d.u32(8);
    const std::uint32_t unit = d.u32(12);
    PlusPen o;
    o.pen = QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    qsizetype at = 20;
    if (!readPenOptions(d, flags, at, o))
        return std::nullopt;
    const std::optional<PlusBrush> brush = PlusObjects::readBrush(d.from(at));
    const double width = double(d.f32(16)) * plusUnitScale(unit, dpi);
    if (!brush || !std::isfinite(width) || width < 0)
        return std::nullopt;
    o.pen.setBrush(brush->brush);
    o.width = width;
    return o;
}
