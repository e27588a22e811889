#include "metafile/EmfPlusPlayer.h"

#include "metafile/PlayerSupport.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QtMath>

#include <cmath>

namespace {

// [MS-EMFPLUS] 2.1.1.1 RecordType.
namespace PlusRecord {
constexpr std::uint16_t Header = 0x4001;
constexpr std::uint16_t EndOfFile = 0x4002;
constexpr std::uint16_t Comment = 0x4003;
constexpr std::uint16_t GetDc = 0x4004;
constexpr std::uint16_t Object = 0x4008;
constexpr std::uint16_t Clear = 0x4009;
constexpr std::uint16_t FillRects = 0x400A;
constexpr std::uint16_t DrawRects = 0x400B;
constexpr std::uint16_t FillPolygon = 0x400C;
constexpr std::uint16_t DrawLines = 0x400D;
constexpr std::uint16_t FillEllipse = 0x400E;
constexpr std::uint16_t DrawEllipse = 0x400F;
constexpr std::uint16_t FillPie = 0x4010;
constexpr std::uint16_t DrawPie = 0x4011;
constexpr std::uint16_t DrawArc = 0x4012;
constexpr std::uint16_t FillPath = 0x4014;
constexpr std::uint16_t DrawPath = 0x4015;
constexpr std::uint16_t FillClosedCurve = 0x4016;
constexpr std::uint16_t DrawClosedCurve = 0x4017;
constexpr std::uint16_t DrawCurve = 0x4018;
constexpr std::uint16_t DrawBeziers = 0x4019;
constexpr std::uint16_t DrawString = 0x401C;
constexpr std::uint16_t SetRenderingOrigin = 0x401D;
constexpr std::uint16_t SetAntiAliasMode = 0x401E;
constexpr std::uint16_t SetTextRenderingHint = 0x401F;
constexpr std::uint16_t SetTextContrast = 0x4020;
constexpr std::uint16_t SetInterpolationMode = 0x4021;
constexpr std::uint16_t SetPixelOffsetMode = 0x4022;
constexpr std::uint16_t SetCompositingQuality = 0x4024;
constexpr std::uint16_t Save = 0x4025;
constexpr std::uint16_t Restore = 0x4026;
constexpr std::uint16_t SetWorldTransform = 0x402A;
constexpr std::uint16_t ResetWorldTransform = 0x402B;
constexpr std::uint16_t MultiplyWorldTransform = 0x402C;
constexpr std::uint16_t TranslateWorldTransform = 0x402D;
constexpr std::uint16_t ScaleWorldTransform = 0x402E;
constexpr std::uint16_t RotateWorldTransform = 0x402F;
constexpr std::uint16_t SetPageTransform = 0x4030;
} // namespace PlusRecord

// [MS-EMFPLUS] 2.1.1.22 ObjectType.
constexpr int BrushObject = 1;
constexpr int PenObject = 2;
constexpr int PathObject = 3;
constexpr int FontObject = 6;
constexpr int StringFormatObject = 7;

// Record flags ([MS-EMFPLUS] 2.3).
constexpr std::uint16_t ObjectIdMask = 0x00FF;
constexpr std::uint16_t ObjectContinued = 0x8000;
constexpr std::uint16_t ColorGiven = 0x8000;   // S: the brush is a colour
constexpr std::uint16_t Compressed = 0x4000;   // C: 16-bit integer coordinates
constexpr std::uint16_t ClosedOrWind = 0x2000; // L in DrawLines, W in fills
constexpr std::uint16_t Appended = 0x2000;     // A in transform records
constexpr std::uint16_t Relative = 0x0800;     // P: relative points
constexpr std::uint16_t DualFlag = 0x0001;     // D in the header

// [MS-EMFPLUS] 2.1.1.3 BrushType and 2.1.1.33 UnitType.
constexpr std::uint32_t SolidBrush = 0;
constexpr std::uint32_t HatchBrush = 1;
constexpr std::uint32_t LinearGradientBrush = 4;
enum Unit : std::uint32_t { World = 0, Display = 1, Pixel = 2, Point = 3, Inch = 4, Document = 5, Millimeter = 6 };

// [MS-EMFPLUS] 2.1.2.7 PenData flags: what optional data follows the width.
constexpr std::uint32_t PenTransform = 0x0001;
constexpr std::uint32_t PenDashedLine = 0x0100;
constexpr std::uint32_t PenCompoundLine = 0x0400;
constexpr std::uint32_t PenCustomStartCap = 0x0800;
constexpr std::uint32_t PenCustomEndCap = 0x1000;

// [MS-EMFPLUS] 2.1.1.23 PathPointType.
constexpr std::uint8_t PointTypeMask = 0x07;
constexpr std::uint8_t PointLine = 1;
constexpr std::uint8_t PointBezier = 3;
constexpr std::uint8_t PointCloseSubpath = 0x80;

constexpr qsizetype MaxPoints = 1'000'000;
// Coordinates, pen widths and font sizes past these, in target pixels, are
// no drawing anyone made; they are skipped rather than rasterized.
constexpr double MaxCoordinate = 1e7;
constexpr double MaxPenWidth = 1e5;
constexpr double MaxEmSize = 4000;
// Text stretched one way more than this times the other is drawn as outlines.
constexpr double MaxTextAspect = 8;

bool drawable(const QPainterPath &path)
{
    const QRectF bounds = path.boundingRect();
    return std::isfinite(bounds.left()) && std::isfinite(bounds.top()) && std::isfinite(bounds.right()) &&
           std::isfinite(bounds.bottom()) && std::abs(bounds.left()) < MaxCoordinate &&
           std::abs(bounds.right()) < MaxCoordinate && std::abs(bounds.top()) < MaxCoordinate &&
           std::abs(bounds.bottom()) < MaxCoordinate;
}
constexpr std::size_t MaxSaves = 1024;

QColor argb(std::uint32_t value)
{
    return QColor::fromRgba(QRgb(value));
}

} // namespace

// ---------------------------------------------------------------------------
// The table.

const EmfPlusPlayer::Entry *EmfPlusPlayer::entryFor(std::uint16_t type)
{
    using P = EmfPlusPlayer;
    namespace R = PlusRecord;
    static const Entry entries[] = {
        {R::Header, "EmfPlusHeader", &P::header, nullptr},
        {R::EndOfFile, "EmfPlusEndOfFile", nullptr, "ends the EMF+ records; the EMF walk goes on to its end"},
        {R::Comment, "EmfPlusComment", nullptr, "private data of the writer"},
        {R::GetDc, "EmfPlusGetDC", &P::getDc, nullptr},
        {R::Object, "EmfPlusObject", &P::object, nullptr},
        {R::Clear, "EmfPlusClear", &P::clear, nullptr},
        {R::FillRects, "EmfPlusFillRects", &P::fillRects, nullptr},
        {R::DrawRects, "EmfPlusDrawRects", &P::drawRects, nullptr},
        {R::FillPolygon, "EmfPlusFillPolygon", &P::fillPolygon, nullptr},
        {R::DrawLines, "EmfPlusDrawLines", &P::drawLines, nullptr},
        {R::FillEllipse, "EmfPlusFillEllipse", &P::fillEllipse, nullptr},
        {R::DrawEllipse, "EmfPlusDrawEllipse", &P::drawEllipse, nullptr},
        {R::FillPie, "EmfPlusFillPie", &P::fillPie, nullptr},
        {R::DrawPie, "EmfPlusDrawPie", &P::drawPie, nullptr},
        {R::DrawArc, "EmfPlusDrawArc", &P::drawArc, nullptr},
        {R::FillPath, "EmfPlusFillPath", &P::fillPath, nullptr},
        {R::DrawPath, "EmfPlusDrawPath", &P::drawPath, nullptr},
        {R::FillClosedCurve, "EmfPlusFillClosedCurve", &P::fillClosedCurve, nullptr},
        {R::DrawClosedCurve, "EmfPlusDrawClosedCurve", &P::drawClosedCurve, nullptr},
        {R::DrawCurve, "EmfPlusDrawCurve", &P::drawCurve, nullptr},
        {R::DrawBeziers, "EmfPlusDrawBeziers", &P::drawBeziers, nullptr},
        {R::DrawString, "EmfPlusDrawString", &P::drawString, nullptr},
        {R::SetRenderingOrigin, "EmfPlusSetRenderingOrigin", nullptr, "moves only the phase of hatch brushes"},
        {R::SetAntiAliasMode, "EmfPlusSetAntiAliasMode", nullptr, "everything is drawn smoothed"},
        {R::SetTextRenderingHint, "EmfPlusSetTextRenderingHint", nullptr, "text is always drawn smoothed"},
        {R::SetTextContrast, "EmfPlusSetTextContrast", nullptr, "gamma of smoothed text, below a pixel's worth"},
        {R::SetInterpolationMode, "EmfPlusSetInterpolationMode", nullptr, "every stretched bitmap is smoothed"},
        {R::SetPixelOffsetMode, "EmfPlusSetPixelOffsetMode", nullptr, "half a pixel at most"},
        {R::SetCompositingQuality, "EmfPlusSetCompositingQuality", nullptr, "blending quality only"},
        {R::Save, "EmfPlusSave", &P::save, nullptr},
        {R::Restore, "EmfPlusRestore", &P::restore, nullptr},
        {R::SetWorldTransform, "EmfPlusSetWorldTransform", &P::setWorldTransform, nullptr},
        {R::ResetWorldTransform, "EmfPlusResetWorldTransform", &P::resetWorldTransform, nullptr},
        {R::MultiplyWorldTransform, "EmfPlusMultiplyWorldTransform", &P::multiplyWorldTransform, nullptr},
        {R::TranslateWorldTransform, "EmfPlusTranslateWorldTransform", &P::translateWorldTransform, nullptr},
        {R::ScaleWorldTransform, "EmfPlusScaleWorldTransform", &P::scaleWorldTransform, nullptr},
        {R::RotateWorldTransform, "EmfPlusRotateWorldTransform", &P::rotateWorldTransform, nullptr},
        {R::SetPageTransform, "EmfPlusSetPageTransform", &P::setPageTransform, nullptr},
    };
    // [MS-EMFPLUS] 2.1.1.1: record types run from 0x4001 on; their low
    // byte tells them apart.
    static const auto index = [] {
        std::array<const Entry *, 256> byLowByte{};
        for (const Entry &e : entries)
            byLowByte[e.type & 0xFF] = &e;
        return byLowByte;
    }();
    const Entry *entry = index[type & 0xFF];
    return entry && entry->type == type ? entry : nullptr;
}

RecordHandling EmfPlusPlayer::handling(std::uint16_t type)
{
    return handlingOf(entryFor(type));
}

bool EmfPlusPlayer::isEmfPlusOnly(const ByteReader &bytes)
{
    constexpr qsizetype HeaderSizeAt = 4;
    const qsizetype first = bytes.u32(HeaderSizeAt).value_or(0);
    const auto type = bytes.u32(first);
    const auto size = bytes.u32(first + 4);
    if (!type || !size || EmfRecord(*type) != EmfRecord::Comment || !bytes.has(first, *size))
        return false;
    bool only = false;
    bool seen = false;
    forEachRecord(RecordView(bytes, first, *size),
                  [&](std::uint16_t plusType, std::uint16_t flags, qsizetype, qsizetype) {
                      if (!seen)
                          only = plusType == PlusRecord::Header && !(flags & DualFlag);
                      seen = true;
                  });
    return only;
}

// ---------------------------------------------------------------------------
// Playing.

EmfPlusPlayer::EmfPlusPlayer(QPainter &painter, const QTransform &deviceToTarget, double devicePixelsPerInch)
    : m_painter(painter), m_deviceToTarget(deviceToTarget),
      m_devicePixelsPerInch(devicePixelsPerInch > 0 ? devicePixelsPerInch : 96)
{}

void EmfPlusPlayer::playComment(const RecordView &comment)
{
    forEachRecord(comment, [&](std::uint16_t type, std::uint16_t flags, qsizetype at, qsizetype size) {
        playRecord(Record{comment, at, size, flags}, type);
    });
}

void EmfPlusPlayer::playRecord(const Record &r, std::uint16_t type)
{
    // Any EMF+ record ends the GDI records a GetDC let through.
    m_gdiAllowed = false;
    const Entry *entry = entryFor(type);
    if (entry && entry->play)
        (this->*entry->play)(r);
}

// [MS-EMFPLUS] 2.3.3.3 EmfPlusHeader: version, flags, then the logical dpi.
void EmfPlusPlayer::header(const Record &r)
{
    const double dpi = r.u32(8);
    if (dpi > 0 && dpi < 100000)
        m_dpi = dpi;
}

void EmfPlusPlayer::getDc(const Record &)
{
    m_gdiAllowed = true;
}

// Page units to reference-device pixels.
double EmfPlusPlayer::unitScale(std::uint32_t unit) const
{
    switch (unit) {
    case Point:
        return m_dpi / 72;
    case Inch:
        return m_dpi;
    case Document:
        return m_dpi / 300;
    case Millimeter:
        return m_dpi / 25.4;
    default: // World, Display and Pixel on a display
        return 1;
    }
}

QTransform EmfPlusPlayer::toTarget() const
{
    const double toDevice = m_pageScale * m_devicePixelsPerInch / m_dpi;
    return m_world * QTransform::fromScale(toDevice, toDevice) * m_deviceToTarget;
}

// ---------------------------------------------------------------------------
// Objects.

const EmfPlusPlayer::Object *EmfPlusPlayer::objectOf(std::uint32_t id, Object::Kind kind) const
{
    if (id >= m_objects.size() || m_objects[id].kind != kind)
        return nullptr;
    return &m_objects[id];
}

// A brush id, or with the S flag a colour of its own.
QBrush EmfPlusPlayer::brushOf(const Record &r, std::uint32_t brushId) const
{
    if (r.flags & ColorGiven)
        return QBrush(argb(brushId));
    const Object *brush = objectOf(brushId, Object::Kind::Brush);
    return brush ? brush->brush : QBrush();
}

// [MS-EMFPLUS] 2.3.5.1 EmfPlusObject: the id and type in the flags; an
// object continued over several records is not kept.
void EmfPlusPlayer::object(const Record &r)
{
    if (r.flags & ObjectContinued)
        return;
    const std::uint32_t id = r.flags & ObjectIdMask;
    if (id >= m_objects.size())
        return;
    std::optional<Object> made;
    switch ((r.flags >> 8) & 0x7F) {
    case BrushObject:
        made = readBrush(r, 0);
        break;
    case PenObject:
        made = readPen(r);
        break;
    case PathObject:
        made = readPath(r);
        break;
    case FontObject:
        made = readFont(r);
        break;
    case StringFormatObject:
        made = readStringFormat(r);
        break;
    default:
        break;
    }
    m_objects[id] = made.value_or(Object());
}

// [MS-EMFPLUS] 2.2.1.1 EmfPlusBrush: version, type, then the type's data.
std::optional<EmfPlusPlayer::Object> EmfPlusPlayer::readBrush(const Record &r, qsizetype at) const
{
    Object o;
    o.kind = Object::Kind::Brush;
    const std::uint32_t type = r.u32(at + 4);
    if (type == SolidBrush) {
        o.brush = QBrush(argb(r.u32(at + 8)));
    } else if (type == HatchBrush) { // style, fore colour, back colour
        o.brush = QBrush(argb(r.u32(at + 12)), Qt::Dense4Pattern);
    } else if (type == LinearGradientBrush) { // flags, wrap, rectangle, start and end colours
        const QRectF rect(r.f32(at + 16), r.f32(at + 20), r.f32(at + 24), r.f32(at + 28));
        QLinearGradient gradient(rect.topLeft(), rect.topRight());
        gradient.setColorAt(0, argb(r.u32(at + 32)));
        gradient.setColorAt(1, argb(r.u32(at + 36)));
        gradient.setSpread(QGradient::RepeatSpread);
        o.brush = QBrush(gradient);
    } else {
        return std::nullopt;
    }
    return o;
}

// [MS-EMFPLUS] 2.2.1.7 EmfPlusPen: version, type, then EmfPlusPenData
// (flags, unit, width, optional data) and the brush.
std::optional<EmfPlusPlayer::Object> EmfPlusPlayer::readPen(const Record &r) const
{
    const std::uint32_t flags = r.u32(8);
    const std::uint32_t unit = r.u32(12);
    qsizetype at = 20;
    // The optional data in the order of its flags, each four bytes but the
    // transform, the dash and compound arrays and the custom caps.
    for (std::uint32_t bit = 1; bit <= PenCustomEndCap; bit <<= 1) {
        if (!(flags & bit))
            continue;
        if (bit == PenTransform)
            at += 24;
        else if (bit == PenDashedLine || bit == PenCompoundLine)
            at += 4 + 4 * qsizetype(r.u32(at));
        else if (bit == PenCustomStartCap || bit == PenCustomEndCap)
            at += 4 + qsizetype(r.u32(at));
        else
            at += 4;
        if (!r.has(at, 0))
            return std::nullopt;
    }
    std::optional<Object> brush = readBrush(r, at);
    if (!brush)
        return std::nullopt;
    Object o;
    o.kind = Object::Kind::Pen;
    o.penWidth = double(r.f32(16)) * (unit == World ? 1 : unitScale(unit));
    o.pen = QPen(brush->brush, 1);
    o.pen.setCapStyle(Qt::FlatCap);
    o.pen.setJoinStyle(Qt::MiterJoin);
    return o;
}

// [MS-EMFPLUS] 2.2.1.6 EmfPlusPath: version, point count, flags, the
// points, then a type byte each.
std::optional<EmfPlusPlayer::Object> EmfPlusPlayer::readPath(const Record &r) const
{
    const std::uint16_t pathFlags = std::uint16_t(r.u32(8));
    if (pathFlags & Relative)
        return std::nullopt;
    const Record asPoints{r.view, r.at, r.size, pathFlags};
    const QPolygonF all = points(asPoints, 4, 12);
    const qsizetype typesAt = 12 + all.size() * ((pathFlags & Compressed) ? 4 : 8);
    if (all.isEmpty() || !r.has(typesAt, all.size()))
        return std::nullopt;
    Object o;
    o.kind = Object::Kind::Path;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const std::uint8_t type = r.view.u8(r.at + typesAt + i);
        if ((type & PointTypeMask) == PointBezier && i + 2 < all.size()) {
            o.path.cubicTo(all[i], all[i + 1], all[i + 2]);
            i += 2;
        } else if ((type & PointTypeMask) == PointLine) {
            o.path.lineTo(all[i]);
        } else {
            o.path.moveTo(all[i]);
        }
        if (r.view.u8(r.at + typesAt + i) & PointCloseSubpath)
            o.path.closeSubpath();
    }
    return o;
}

// [MS-EMFPLUS] 2.2.1.5 EmfPlusFont: version, em size, its unit, style
// flags, a reserved word, the family name's length and the name.
std::optional<EmfPlusPlayer::Object> EmfPlusPlayer::readFont(const Record &r) const
{
    constexpr std::uint32_t Bold = 1, Italic = 2, Underline = 4, Strikeout = 8;
    Object o;
    o.kind = Object::Kind::Font;
    const std::uint32_t unit = r.u32(8);
    o.emSize = double(r.f32(4)) * (unit == World ? 1 : unitScale(unit));
    const std::uint32_t style = r.u32(12);
    const QString family = PlayerSupport::utf16At(r.view, r.at + 24, std::min<qsizetype>(r.u32(20), 32));
    o.font = QFont(family.isEmpty() ? QStringLiteral("Arial") : family);
    o.font.setBold(style & Bold);
    o.font.setItalic(style & Italic);
    o.font.setUnderline(style & Underline);
    o.font.setStrikeOut(style & Strikeout);
    return o;
}

// [MS-EMFPLUS] 2.2.1.9 EmfPlusStringFormat: version, flags, language, then
// the alignment across and down.
std::optional<EmfPlusPlayer::Object> EmfPlusPlayer::readStringFormat(const Record &r) const
{
    Object o;
    o.kind = Object::Kind::StringFormat;
    o.alignment = int(r.u32(12));
    o.lineAlignment = int(r.u32(16));
    return o;
}

// ---------------------------------------------------------------------------
// Geometry.

// A count at CountAt, the points from FirstAt: 16-bit integers with the
// C flag, floats without. Relative points are not drawn.
QPolygonF EmfPlusPlayer::points(const Record &r, qsizetype countAt, qsizetype firstAt) const
{
    QPolygonF polygon;
    const qsizetype count = r.u32(countAt);
    const bool small = r.flags & Compressed;
    const qsizetype each = small ? 4 : 8;
    if ((r.flags & Relative) || count <= 0 || count > MaxPoints || !r.has(firstAt, count * each))
        return polygon;
    polygon.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype o = firstAt + i * each;
        polygon << (small ? QPointF(r.i16(o), r.i16(o + 2)) : QPointF(r.f32(o), r.f32(o + 4)));
    }
    return polygon;
}

// x, y, width, height: 16-bit integers with the C flag, floats without.
QRectF EmfPlusPlayer::rectAt(const Record &r, qsizetype at) const
{
    if (r.flags & Compressed)
        return QRectF(r.i16(at), r.i16(at + 2), r.i16(at + 4), r.i16(at + 6));
    return QRectF(r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12));
}

// A cardinal spline through the points, as Béziers: each segment's control
// points lie a third of the tension along its neighbours' chords. Segments
// First to First + Count - 1; all of them when Count is negative.
QPainterPath EmfPlusPlayer::curve(const QPolygonF &pts, double tension, bool closed, qsizetype first,
                                  qsizetype count) const
{
    QPainterPath path;
    const qsizetype n = pts.size();
    if (n < 2)
        return path;
    auto at = [&](qsizetype i) { return closed ? pts[(i % n + n) % n] : pts[std::clamp<qsizetype>(i, 0, n - 1)]; };
    const double t = tension / 3;
    const qsizetype segments = closed ? n : n - 1;
    const qsizetype last = count < 0 ? segments : std::min(segments, first + count);
    if (first < 0 || first >= last)
        return path;
    path.moveTo(at(first));
    for (qsizetype i = first; i < last; ++i) {
        const QPointF c1 = at(i) + (at(i + 1) - at(i - 1)) * t;
        const QPointF c2 = at(i + 1) - (at(i + 2) - at(i)) * t;
        path.cubicTo(c1, c2, at(i + 1));
    }
    if (closed && count < 0)
        path.closeSubpath();
    return path;
}

void EmfPlusPlayer::fill(const QPainterPath &path, const QBrush &brush)
{
    if (brush.style() == Qt::NoBrush)
        return;
    const QTransform t = toTarget();
    const QPainterPath target = t.map(path);
    if (!drawable(target))
        return;
    QBrush mapped = brush;
    mapped.setTransform(brush.transform() * t);
    m_painter.fillPath(target, mapped);
}

void EmfPlusPlayer::stroke(const QPainterPath &path, std::uint32_t penId)
{
    const Object *pen = objectOf(penId, Object::Kind::Pen);
    if (!pen)
        return;
    const QTransform t = toTarget();
    QPen qtPen = pen->pen;
    const double scale = std::sqrt(std::abs(t.determinant()));
    const double onePixel = std::sqrt(std::abs(m_deviceToTarget.determinant()));
    const double width = pen->penWidth * scale;
    const QPainterPath target = t.map(path);
    if (!std::isfinite(width) || width > MaxPenWidth || !drawable(target))
        return;
    qtPen.setWidthF(std::max(width, onePixel));
    m_painter.strokePath(target, qtPen);
}

// ---------------------------------------------------------------------------
// Drawing records.

// [MS-EMFPLUS] 2.3.4.1 EmfPlusClear: a colour over everything.
void EmfPlusPlayer::clear(const Record &r)
{
    m_painter.fillRect(m_deviceToTarget.mapRect(QRectF(-1e6, -1e6, 2e6, 2e6)), argb(r.u32(0)));
}

// [MS-EMFPLUS] 2.3.4.10 EmfPlusFillRects: brush, count, rectangles.
void EmfPlusPlayer::fillRects(const Record &r)
{
    const qsizetype count = r.u32(4);
    const qsizetype each = (r.flags & Compressed) ? 8 : 16;
    if (count <= 0 || count > MaxPoints || !r.has(8, count * each))
        return;
    QPainterPath path;
    for (qsizetype i = 0; i < count; ++i)
        path.addRect(rectAt(r, 8 + i * each));
    fill(path, brushOf(r, r.u32(0)));
}

// [MS-EMFPLUS] 2.3.4.5 EmfPlusDrawRects: the pen in the flags; count, rectangles.
void EmfPlusPlayer::drawRects(const Record &r)
{
    const qsizetype count = r.u32(0);
    const qsizetype each = (r.flags & Compressed) ? 8 : 16;
    if (count <= 0 || count > MaxPoints || !r.has(4, count * each))
        return;
    QPainterPath path;
    for (qsizetype i = 0; i < count; ++i)
        path.addRect(rectAt(r, 4 + i * each));
    stroke(path, r.flags & ObjectIdMask);
}

// [MS-EMFPLUS] 2.3.4.13 EmfPlusFillPolygon: brush, count, points.
void EmfPlusPlayer::fillPolygon(const Record &r)
{
    QPainterPath path;
    path.addPolygon(points(r, 4, 8));
    path.closeSubpath();
    fill(path, brushOf(r, r.u32(0)));
}

// [MS-EMFPLUS] 2.3.4.6 EmfPlusDrawLines: count, points; closed with the L flag.
void EmfPlusPlayer::drawLines(const Record &r)
{
    QPainterPath path;
    path.addPolygon(points(r, 0, 4));
    if (r.flags & ClosedOrWind)
        path.closeSubpath();
    stroke(path, r.flags & ObjectIdMask);
}

// [MS-EMFPLUS] 2.3.4.9 EmfPlusFillEllipse: brush, rectangle.
void EmfPlusPlayer::fillEllipse(const Record &r)
{
    QPainterPath path;
    path.addEllipse(rectAt(r, 4));
    fill(path, brushOf(r, r.u32(0)));
}

// [MS-EMFPLUS] 2.3.4.4 EmfPlusDrawEllipse: rectangle.
void EmfPlusPlayer::drawEllipse(const Record &r)
{
    QPainterPath path;
    path.addEllipse(rectAt(r, 0));
    stroke(path, r.flags & ObjectIdMask);
}

// Angles run clockwise from the x-axis, as the y-axis points down.
namespace {
QPainterPath piePath(const QRectF &box, double start, double sweep, bool closed)
{
    QPainterPath path;
    if (closed)
        path.moveTo(box.center());
    else
        path.arcMoveTo(box, -start);
    path.arcTo(box, -start, -sweep);
    if (closed)
        path.closeSubpath();
    return path;
}
} // namespace

// [MS-EMFPLUS] 2.3.4.14 EmfPlusFillPie: brush, start and sweep angles, rectangle.
void EmfPlusPlayer::fillPie(const Record &r)
{
    fill(piePath(rectAt(r, 12), r.f32(4), r.f32(8), true), brushOf(r, r.u32(0)));
}

// [MS-EMFPLUS] 2.3.4.7 EmfPlusDrawPie and 2.3.4.1 EmfPlusDrawArc: angles, rectangle.
void EmfPlusPlayer::drawPie(const Record &r)
{
    stroke(piePath(rectAt(r, 8), r.f32(0), r.f32(4), true), r.flags & ObjectIdMask);
}

void EmfPlusPlayer::drawArc(const Record &r)
{
    stroke(piePath(rectAt(r, 8), r.f32(0), r.f32(4), false), r.flags & ObjectIdMask);
}

// [MS-EMFPLUS] 2.3.4.12 EmfPlusFillPath: the path in the flags, the brush.
void EmfPlusPlayer::fillPath(const Record &r)
{
    if (const Object *path = objectOf(r.flags & ObjectIdMask, Object::Kind::Path))
        fill(path->path, brushOf(r, r.u32(0)));
}

// [MS-EMFPLUS] 2.3.4.8 EmfPlusDrawPath: the path in the flags, the pen.
void EmfPlusPlayer::drawPath(const Record &r)
{
    if (const Object *path = objectOf(r.flags & ObjectIdMask, Object::Kind::Path))
        stroke(path->path, r.u32(0));
}

// [MS-EMFPLUS] 2.3.4.11 EmfPlusFillClosedCurve: brush, tension, count, points.
void EmfPlusPlayer::fillClosedCurve(const Record &r)
{
    QPainterPath path = curve(points(r, 8, 12), r.f32(4), true);
    path.setFillRule((r.flags & ClosedOrWind) ? Qt::WindingFill : Qt::OddEvenFill);
    fill(path, brushOf(r, r.u32(0)));
}

// [MS-EMFPLUS] 2.3.4.2 EmfPlusDrawClosedCurve: tension, count, points.
void EmfPlusPlayer::drawClosedCurve(const Record &r)
{
    stroke(curve(points(r, 4, 8), r.f32(0), true), r.flags & ObjectIdMask);
}

// [MS-EMFPLUS] 2.3.4.3 EmfPlusDrawCurve: tension, the first segment and
// the number drawn, count, points; all the points shape the curve.
void EmfPlusPlayer::drawCurve(const Record &r)
{
    stroke(curve(points(r, 12, 16), r.f32(0), false, qsizetype(r.u32(4)), qsizetype(r.u32(8))), r.flags & ObjectIdMask);
}

// [MS-EMFPLUS] 2.3.4.2 EmfPlusDrawBeziers: count, points.
void EmfPlusPlayer::drawBeziers(const Record &r)
{
    const QPolygonF all = points(r, 0, 4);
    if (all.size() < 4)
        return;
    QPainterPath path(all[0]);
    for (qsizetype i = 1; i + 2 < all.size(); i += 3)
        path.cubicTo(all[i], all[i + 1], all[i + 2]);
    stroke(path, r.flags & ObjectIdMask);
}

// [MS-EMFPLUS] 2.3.4.14 EmfPlusDrawString: the font in the flags; brush,
// string format, length, layout rectangle, the characters.
void EmfPlusPlayer::drawString(const Record &r)
{
    const Object *font = objectOf(r.flags & ObjectIdMask, Object::Kind::Font);
    const qsizetype length = r.u32(8);
    if (!font || length <= 0 || length > PlayerSupport::MaxChars || !r.has(28, length * 2))
        return;
    const QString text = PlayerSupport::utf16At(r.view, r.at + 28, length);
    const QRectF layout = rectAt(Record{r.view, r.at, r.size, 0}, 12);
    const Object *format = objectOf(r.u32(4), Object::Kind::StringFormat);
    static const Qt::Alignment across[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static const Qt::Alignment down[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    if (format && format->alignment >= 0 && format->alignment < 3 && format->lineAlignment >= 0 &&
        format->lineAlignment < 3)
        alignment = across[format->alignment] | down[format->lineAlignment];
    // Drawn in world units through the whole transform, the em size as given.
    QFont qtFont = font->font;
    // Glyphs as large as no text is, along either axis, are not drawn.
    const QTransform t = toTarget();
    const double xScale = QLineF(t.map(QPointF(0, 0)), t.map(QPointF(1, 0))).length();
    const double yScale = QLineF(t.map(QPointF(0, 0)), t.map(QPointF(0, 1))).length();
    const double stretch = std::max(xScale, yScale);
    if (!(font->emSize > 0 && font->emSize * stretch < MaxEmSize) || !drawable(t.map(QPainterPath(layout.topLeft()))))
        return;
    qtFont.setPixelSize(std::clamp(int(std::lround(font->emSize)), 1, int(MaxEmSize)));
    const double fineScale = font->emSize / qtFont.pixelSize();
    m_painter.save();
    m_painter.setTransform(QTransform::fromScale(fineScale, fineScale) * toTarget(), true);
    m_painter.setFont(qtFont);
    m_painter.setPen(QPen(brushOf(r, r.u32(0)), 0));
    const QRectF box(layout.topLeft() / fineScale, layout.size() / fineScale);
    if (std::min(xScale, yScale) * MaxTextAspect < stretch) {
        // Glyphs squeezed far more one way than the other are drawn as
        // outlines: the glyph cache fails on such shapes.
        QPainterPath glyphs;
        glyphs.addText(box.topLeft() + QPointF(0, QFontMetricsF(qtFont).ascent()), qtFont, text);
        m_painter.fillPath(glyphs, m_painter.pen().brush());
    } else if (layout.width() > 0 && layout.height() > 0) {
        m_painter.drawText(box, int(alignment) | Qt::TextWordWrap, text);
    } else {
        m_painter.drawText(QRectF(box.topLeft(), QSizeF(1e6, 1e6)), int(Qt::AlignLeft | Qt::AlignTop), text);
    }
    m_painter.restore();
}

// ---------------------------------------------------------------------------
// Transforms.

// [MS-EMFPLUS] 2.3.7.6 EmfPlusSave and 2.3.7.5 EmfPlusRestore: the world
// transform and page scale kept under a stack index.
void EmfPlusPlayer::save(const Record &)
{
    if (m_saved.size() < MaxSaves)
        m_saved.push_back(m_world);
}

void EmfPlusPlayer::restore(const Record &)
{
    if (m_saved.empty())
        return;
    m_world = m_saved.back();
    m_saved.pop_back();
}

namespace {
QTransform matrixAt(const EmfPlusPlayer::Record &r, qsizetype at)
{
    return QTransform(r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12), r.f32(at + 16), r.f32(at + 20));
}
} // namespace

// [MS-EMFPLUS] 2.3.9: the world transform set, reset, or multiplied before
// the current one, or after it with the A flag.
void EmfPlusPlayer::setWorldTransform(const Record &r)
{
    const QTransform m = matrixAt(r, 0);
    if (m.isInvertible())
        m_world = m;
}

void EmfPlusPlayer::resetWorldTransform(const Record &)
{
    m_world = QTransform();
}

// Applies M before the world transform, or after it with the A flag.
void EmfPlusPlayer::multiplyWorld(const Record &r, const QTransform &m)
{
    if (m.isInvertible())
        m_world = (r.flags & Appended) ? m_world * m : m * m_world;
}

void EmfPlusPlayer::multiplyWorldTransform(const Record &r)
{
    multiplyWorld(r, matrixAt(r, 0));
}

void EmfPlusPlayer::translateWorldTransform(const Record &r)
{
    multiplyWorld(r, QTransform::fromTranslate(r.f32(0), r.f32(4)));
}

void EmfPlusPlayer::scaleWorldTransform(const Record &r)
{
    multiplyWorld(r, QTransform::fromScale(r.f32(0), r.f32(4)));
}

void EmfPlusPlayer::rotateWorldTransform(const Record &r)
{
    QTransform m;
    m.rotate(r.f32(0));
    multiplyWorld(r, m);
}

// [MS-EMFPLUS] 2.3.9.7 EmfPlusSetPageTransform: the unit in the flags, a scale.
void EmfPlusPlayer::setPageTransform(const Record &r)
{
    const double scale = double(r.f32(0)) * unitScale(r.flags & 0xFF);
    if (scale > 0 && std::isfinite(scale))
        m_pageScale = scale;
}
