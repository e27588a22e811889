#include "metafile/EmfPlusPlayer.h"

#include "base/WorkerPool.h"
#include "metafile/GlyphText.h"
#include "metafile/Limits.h"
#include "metafile/PlayerSupport.h"

#include <cmath>

namespace {

using PlusObjects::argb;
using PlusObjects::matrixAt;

// Record flags ([MS-EMFPLUS] 2.3).
constexpr std::uint16_t ObjectIdMask = 0x00FF;
constexpr std::uint16_t ObjectContinued = 0x8000;
constexpr std::uint16_t ObjectTypeMask = 0x7F00;
constexpr std::uint16_t ColorGiven = 0x8000;   // S: the brush is a colour
constexpr std::uint16_t Compressed = 0x4000;   // C: 16-bit integer coordinates
constexpr std::uint16_t ClosedOrWind = 0x2000; // L in DrawLines, W in fills
constexpr std::uint16_t Appended = 0x2000;     // A in transform records
constexpr std::uint16_t SmoothingOn = 0x0001;  // in EmfPlusSetAntiAliasMode
constexpr int CombineShift = 8;                // CM, bits 8 to 11 of clip records
constexpr std::uint16_t CombineMask = 0x0F;

} // namespace

// ---------------------------------------------------------------------------
// The table.

const EmfPlusPlayer::Entry *EmfPlusPlayer::entryFor(std::uint16_t type)
{
    using P = EmfPlusPlayer;
    using R = EmfPlusRecord;
    static const Entry entries[] = {
        {R::Header, "EmfPlusHeader", &P::header, nullptr},
        {R::EndOfFile, "EmfPlusEndOfFile", nullptr, "ends the EMF+ records; the EMF walk goes on to its end"},
        {R::Comment, "EmfPlusComment", nullptr, "private data of the writer"},
        {R::GetDc, "EmfPlusGetDC", &P::getDc, nullptr},
        {R::MultiFormatStart, "EmfPlusMultiFormatStart", nullptr, "reserved; no writer uses it"},
        {R::MultiFormatSection, "EmfPlusMultiFormatSection", nullptr, "reserved; no writer uses it"},
        {R::MultiFormatEnd, "EmfPlusMultiFormatEnd", nullptr, "reserved; no writer uses it"},
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
        {R::FillRegion, "EmfPlusFillRegion", &P::fillRegion, nullptr},
        {R::FillPath, "EmfPlusFillPath", &P::fillPath, nullptr},
        {R::DrawPath, "EmfPlusDrawPath", &P::drawPath, nullptr},
        {R::FillClosedCurve, "EmfPlusFillClosedCurve", &P::fillClosedCurve, nullptr},
        {R::DrawClosedCurve, "EmfPlusDrawClosedCurve", &P::drawClosedCurve, nullptr},
        {R::DrawCurve, "EmfPlusDrawCurve", &P::drawCurve, nullptr},
        {R::DrawBeziers, "EmfPlusDrawBeziers", &P::drawBeziers, nullptr},
        {R::DrawImage, "EmfPlusDrawImage", &P::drawImage, nullptr},
        {R::DrawImagePoints, "EmfPlusDrawImagePoints", &P::drawImagePoints, nullptr},
        {R::DrawString, "EmfPlusDrawString", &P::drawString, nullptr},
        {R::SetRenderingOrigin, "EmfPlusSetRenderingOrigin", nullptr, "moves only the phase of hatch brushes"},
        {R::SetAntiAliasMode, "EmfPlusSetAntiAliasMode", &P::setAntiAliasMode, nullptr},
        {R::SetTextRenderingHint, "EmfPlusSetTextRenderingHint", &P::setTextRenderingHint, nullptr},
        {R::SetTextContrast, "EmfPlusSetTextContrast", nullptr, "gamma of smoothed text, below a pixel's worth"},
        {R::SetInterpolationMode, "EmfPlusSetInterpolationMode", &P::setInterpolationMode, nullptr},
        {R::SetPixelOffsetMode, "EmfPlusSetPixelOffsetMode", &P::setPixelOffsetMode, nullptr},
        {R::SetCompositingMode, "EmfPlusSetCompositingMode", &P::setCompositingMode, nullptr},
        {R::SetCompositingQuality, "EmfPlusSetCompositingQuality", nullptr, "blending quality only"},
        {R::Save, "EmfPlusSave", &P::save, nullptr},
        {R::Restore, "EmfPlusRestore", &P::restore, nullptr},
        {R::BeginContainer, "EmfPlusBeginContainer", &P::beginContainer, nullptr},
        {R::BeginContainerNoParams, "EmfPlusBeginContainerNoParams", &P::beginContainerNoParams, nullptr},
        {R::EndContainer, "EmfPlusEndContainer", &P::endContainer, nullptr},
        {R::SetWorldTransform, "EmfPlusSetWorldTransform", &P::setWorldTransform, nullptr},
        {R::ResetWorldTransform, "EmfPlusResetWorldTransform", &P::resetWorldTransform, nullptr},
        {R::MultiplyWorldTransform, "EmfPlusMultiplyWorldTransform", &P::multiplyWorldTransform, nullptr},
        {R::TranslateWorldTransform, "EmfPlusTranslateWorldTransform", &P::translateWorldTransform, nullptr},
        {R::ScaleWorldTransform, "EmfPlusScaleWorldTransform", &P::scaleWorldTransform, nullptr},
        {R::RotateWorldTransform, "EmfPlusRotateWorldTransform", &P::rotateWorldTransform, nullptr},
        {R::SetPageTransform, "EmfPlusSetPageTransform", &P::setPageTransform, nullptr},
        {R::ResetClip, "EmfPlusResetClip", &P::resetClip, nullptr},
        {R::SetClipRect, "EmfPlusSetClipRect", &P::setClipRect, nullptr},
        {R::SetClipPath, "EmfPlusSetClipPath", &P::setClipPath, nullptr},
        {R::SetClipRegion, "EmfPlusSetClipRegion", &P::setClipRegion, nullptr},
        {R::OffsetClip, "EmfPlusOffsetClip", &P::offsetClip, nullptr},
        {R::DrawDriverString, "EmfPlusDrawDriverString", &P::drawDriverString, nullptr},
        {R::StrokeFillPath, "EmfPlusStrokeFillPath", nullptr, "reserved; no writer uses it"},
        {R::SerializableObject, "EmfPlusSerializableObject", nullptr,
         "image effects such as blur and tint; the image is drawn as it is"},
        {R::SetTsGraphics, "EmfPlusSetTSGraphics", nullptr, "terminal server state for remote sessions"},
        {R::SetTsClip, "EmfPlusSetTSClip", nullptr, "terminal server state for remote sessions"},
    };
    // [MS-EMFPLUS] 2.1.1.1: record types run from 0x4001 on; their low
    // byte tells them apart.
    static const RecordTable<Entry, 256> table(entries);
    return table.find(type);
}

RecordHandling EmfPlusPlayer::handling(std::uint16_t type)
{
    return handlingOf(entryFor(type));
}

// ---------------------------------------------------------------------------
// Playing.

EmfPlusPlayer::EmfPlusPlayer(const Playback &playback) : m_budget(playback.budget), m_canvas(playback) {}

EmfPlusPlayer::~EmfPlusPlayer() = default;

void EmfPlusPlayer::playComment(const RecordView &comment)
{
    forEachEmfPlusRecord(comment, [&](std::uint16_t type, std::uint16_t flags, qsizetype at, qsizetype size) {
        if (!m_budget.exhausted && !workAbandoned())
            playRecord(Record(comment, at, size, flags), type);
    });
}

void EmfPlusPlayer::playRecord(const Record &r, std::uint16_t type)
{
    // Any EMF+ record ends the GDI records a GetDC let through; they may
    // have changed the clip.
    if (m_gdiAllowed) {
        m_gdiAllowed = false;
        m_canvas.leaveGdi();
    }
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

// [MS-EMFPLUS] 2.3.3.1 EmfPlusGetDC: the GDI records up to the next EMF+
// record are drawn, as the GDI player draws them: shapes unsmoothed.
void EmfPlusPlayer::getDc(const Record &)
{
    m_canvas.enterGdi();
    m_gdiAllowed = true;
}

// ---------------------------------------------------------------------------
// Objects.

// A brush id, or with the S flag a colour of its own.
QBrush EmfPlusPlayer::brushOf(const Record &r, std::uint32_t brushId) const
{
    if (r.flags & ColorGiven)
        return QBrush(argb(brushId));
    const auto *brush = objectOf<PlusBrush>(brushId);
    return brush ? brush->brush : QBrush();
}

// [MS-EMFPLUS] 2.3.5.1 EmfPlusObject: the id and type in the flags; an
// object continued over several records is gathered first.
void EmfPlusPlayer::object(const Record &r)
{
    const std::uint32_t id = r.flags & ObjectIdMask;
    if (id >= m_objects.size())
        return;
    const std::optional<QByteArray> whole = m_assembler.add(r, r.flags & ObjectContinued, int(id));
    if (!whole)
        return;
    const ByteReader reader(*whole);
    const RecordView view(reader, 0, whole->size());
    const PlusData data(view, 0, whole->size(), 0);
    // The images the table holds stay within one budget: what an object
    // replaces is freed, the others count. So do the images a playback
    // decodes, however often a nested metafile decodes its own.
    m_objects[id] = PlusObject();
    qint64 held = 0;
    for (const PlusObject &other : m_objects)
        held += PlusObjects::imageBytes(other);
    const qint64 allowance = std::min(Limits::MaxImageBytes - held, MaxDecodedBytes - m_budget.decodedBytes);
    m_objects[id] =
        PlusObjects::read((r.flags & ObjectTypeMask) >> 8, data, m_dpi, m_budget, allowance).value_or(PlusObject());
    m_budget.decodedBytes += PlusObjects::imageBytes(m_objects[id]);
}

void EmfPlusPlayer::stroke(const QPainterPath &path, std::uint32_t penId)
{
    if (const auto *pen = objectOf<PlusPen>(penId))
        m_canvas.stroke(path, *pen);
}

void EmfPlusPlayer::fill(const QPainterPath &path, const QBrush &brush)
{
    m_canvas.fill(path, brush);
}

// ---------------------------------------------------------------------------
// Geometry.

// A count at CountAt, the points from FirstAt: relative with the P flag,
// 16-bit integers with the C flag, floats without.
QPolygonF EmfPlusPlayer::points(const Record &r, qsizetype countAt, qsizetype firstAt) const
{
    return PlusObjects::readPoints(r, firstAt, r.u32(countAt), r.flags).value_or(QPolygonF());
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

// [MS-EMFPLUS] 2.3.4.1 EmfPlusClear: a colour over everything inside the clip.
void EmfPlusPlayer::clear(const Record &r)
{
    m_canvas.clear(argb(r.u32(0)));
}

// A count at CountAt and that many rectangles after it, as one path.
QPainterPath EmfPlusPlayer::rects(const Record &r, qsizetype countAt) const
{
    QPainterPath path;
    const qsizetype count = r.u32(countAt);
    const qsizetype each = (r.flags & Compressed) ? 8 : 16;
    if (count <= 0 || count > Limits::MaxPoints || !r.has(countAt + 4, count * each))
        return path;
    for (qsizetype i = 0; i < count; ++i)
        path.addRect(rectAt(r, countAt + 4 + i * each));
    return path;
}

// [MS-EMFPLUS] 2.3.4.10 EmfPlusFillRects: brush, count, rectangles.
void EmfPlusPlayer::fillRects(const Record &r)
{
    fill(rects(r, 4), brushOf(r, r.u32(0)));
}

// [MS-EMFPLUS] 2.3.4.5 EmfPlusDrawRects: the pen in the flags; count, rectangles.
void EmfPlusPlayer::drawRects(const Record &r)
{
    stroke(rects(r, 0), r.flags & ObjectIdMask);
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

// [MS-EMFPLUS] 2.3.4.13 EmfPlusFillRegion: the region in the flags, the brush.
void EmfPlusPlayer::fillRegion(const Record &r)
{
    if (const auto *region = objectOf<PlusRegion>(r.flags & ObjectIdMask))
        m_canvas.fillRegion(*region, brushOf(r, r.u32(0)));
}

// [MS-EMFPLUS] 2.3.4.12 EmfPlusFillPath: the path in the flags, the brush.
void EmfPlusPlayer::fillPath(const Record &r)
{
    if (const auto *path = objectOf<PlusPath>(r.flags & ObjectIdMask))
        fill(path->path, brushOf(r, r.u32(0)));
}

// [MS-EMFPLUS] 2.3.4.8 EmfPlusDrawPath: the path in the flags, the pen.
void EmfPlusPlayer::drawPath(const Record &r)
{
    if (const auto *path = objectOf<PlusPath>(r.flags & ObjectIdMask))
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

// ---------------------------------------------------------------------------
// Images.

// [MS-EMFPLUS] 2.3.4.15 EmfPlusDrawImage: the image in the flags;
// attributes, source unit and rectangle, then the target rectangle.
void EmfPlusPlayer::drawImage(const Record &r)
{
    const auto *image = objectOf<PlusImage>(r.flags & ObjectIdMask);
    const QRectF target = rectAt(r, 24);
    if (image)
        m_canvas.paintImage(*image, QRectF(r.f32(8), r.f32(12), r.f32(16), r.f32(20)),
                            QPolygonF{target.topLeft(), target.topRight(), target.bottomLeft()});
}

// [MS-EMFPLUS] 2.3.4.16 EmfPlusDrawImagePoints: attributes, source unit
// and rectangle, a count of three, then the target's top left, top right
// and bottom left corners.
void EmfPlusPlayer::drawImagePoints(const Record &r)
{
    constexpr qsizetype Corners = 3;
    const auto *image = objectOf<PlusImage>(r.flags & ObjectIdMask);
    const QPolygonF corners = points(r, 24, 28);
    if (image && corners.size() == Corners)
        m_canvas.paintImage(*image, QRectF(r.f32(8), r.f32(12), r.f32(16), r.f32(20)), corners);
}

// ---------------------------------------------------------------------------
// Text.

// [MS-EMFPLUS] 2.3.4.14 EmfPlusDrawString: the font in the flags; brush,
// string format, length, layout rectangle, the characters.
void EmfPlusPlayer::drawString(const Record &r)
{
    const auto *font = objectOf<PlusFont>(r.flags & ObjectIdMask);
    const qsizetype length = r.u32(8);
    if (!font || length <= 0 || length > Limits::MaxChars || !r.has(28, length * 2))
        return;
    const QString text = PlayerSupport::utf16At(r, 28, length);
    QRectF layout(r.f32(12), r.f32(16), r.f32(20), r.f32(24));
    const auto *format = objectOf<PlusStringFormat>(r.u32(4));
    const PlusStringFormat noFormat;
    const double leading = (format ? *format : noFormat).leadingMargin * font->emSize;
    const double trailing = (format ? *format : noFormat).trailingMargin * font->emSize;
    if (layout.width() > leading + trailing)
        layout.adjust(leading, 0, -trailing, 0);
    else if (layout.width() <= 0)
        layout.translate(leading, 0);
    static const Qt::Alignment across[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static const Qt::Alignment down[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    if (format && format->alignment >= 0 && format->alignment < 3 && format->lineAlignment >= 0 &&
        format->lineAlignment < 3)
        alignment = across[format->alignment] | down[format->lineAlignment];
    m_canvas.paintText(*font, brushOf(r, r.u32(0)), layout, text, int(alignment));
}

// [MS-EMFPLUS] 2.3.4.6 EmfPlusDrawDriverString: the font in the flags;
// brush, options, whether a matrix follows, the glyph count, the glyphs,
// a baseline origin each, the matrix. Glyphs given as numbers of the font
// rather than as characters are turned back into characters.
void EmfPlusPlayer::drawDriverString(const Record &r)
{
    constexpr std::uint32_t CmapLookup = 0x1, RealizedAdvance = 0x4;
    const auto *font = objectOf<PlusFont>(r.flags & ObjectIdMask);
    const std::uint32_t options = r.u32(4);
    const qsizetype count = r.u32(12);
    const qsizetype positionsAt = 16 + count * 2;
    if (!font || count <= 0 || count > Limits::MaxChars || !r.has(positionsAt, count * 8))
        return;
    QString text = PlayerSupport::utf16At(r, 16, count);
    if (!(options & CmapLookup))
        text = GlyphText::charactersOf(font->font.family(), text);
    const QTransform world = m_canvas.world();
    const QTransform matrix = r.u32(8) ? matrixAt(r, positionsAt + count * 8) : QTransform();
    if (matrix.isInvertible())
        m_canvas.setWorld(matrix * world);
    const QBrush brush = brushOf(r, r.u32(0));
    const qsizetype drawn = (options & RealizedAdvance) ? 1 : count;
    for (qsizetype i = 0; i < drawn; ++i) {
        const QPointF origin(r.f32(positionsAt + i * 8), r.f32(positionsAt + i * 8 + 4));
        m_canvas.paintText(*font, brush, QRectF(origin, QSizeF()), drawn == 1 ? text : text.mid(i, 1), -1);
    }
    m_canvas.setWorld(world);
}

// ---------------------------------------------------------------------------
// Render settings: the mode in the flags.

// [MS-EMFPLUS] 2.3.6.1 EmfPlusSetAntiAliasMode: the S flag smooths.
void EmfPlusPlayer::setAntiAliasMode(const Record &r)
{
    m_canvas.setSmooth(r.flags & SmoothingOn);
}

// [MS-EMFPLUS] 2.3.6.7 and 2.1.1.32 TextRenderingHint: the two single bit
// hints draw text unsmoothed.
void EmfPlusPlayer::setTextRenderingHint(const Record &r)
{
    enum { SingleBitPerPixelGridFit = 1, SingleBitPerPixel = 2 };
    const int hint = r.flags & 0xFF;
    m_canvas.setSmoothText(hint != SingleBitPerPixelGridFit && hint != SingleBitPerPixel);
}

// [MS-EMFPLUS] 2.3.6.4 and 2.1.1.16 InterpolationMode: nearest neighbour
// stretches bitmaps unsmoothed.
void EmfPlusPlayer::setInterpolationMode(const Record &r)
{
    constexpr int NearestNeighbor = 5;
    m_canvas.setSmoothImages((r.flags & 0xFF) != NearestNeighbor);
}

// [MS-EMFPLUS] 2.3.6.5 and 2.1.1.25 PixelOffsetMode: half and high quality
// put pixel centres on half coordinates, as Qt does.
void EmfPlusPlayer::setPixelOffsetMode(const Record &r)
{
    enum { HighQuality = 2, Half = 4 };
    const int mode = r.flags & 0xFF;
    m_canvas.setPixelOffset(mode == HighQuality || mode == Half ? 0 : 0.5);
}

// [MS-EMFPLUS] 2.3.6.2 EmfPlusSetCompositingMode: source over, or copy.
void EmfPlusPlayer::setCompositingMode(const Record &r)
{
    constexpr int SourceCopy = 1;
    m_canvas.setSourceCopy((r.flags & 0xFF) == SourceCopy);
}

// ---------------------------------------------------------------------------
// Saved states and containers, under the stack index in their data.

// [MS-EMFPLUS] 2.3.7.6 EmfPlusSave and 2.3.7.5 EmfPlusRestore: the stack index.
void EmfPlusPlayer::save(const Record &r)
{
    m_canvas.save(r.u32(0));
}

void EmfPlusPlayer::restore(const Record &r)
{
    m_canvas.restore(r.u32(0));
}

// [MS-EMFPLUS] 2.3.7.1 EmfPlusBeginContainer: the unit of the source in
// the flags; target and source rectangles, the stack index. Inside, the
// world transform maps the source onto the target.
void EmfPlusPlayer::beginContainer(const Record &r)
{
    const QRectF target(r.f32(0), r.f32(4), r.f32(8), r.f32(12));
    QRectF source(r.f32(16), r.f32(20), r.f32(24), r.f32(28));
    const double unit = plusUnitScale((r.flags >> 8) & 0xFF, m_dpi);
    source = QRectF(source.topLeft() * unit, source.size() * unit);
    QTransform onto;
    if (source.width() != 0 && source.height() != 0)
        onto = QTransform::fromTranslate(-source.left(), -source.top()) *
               QTransform::fromScale(target.width() / source.width(), target.height() / source.height()) *
               QTransform::fromTranslate(target.left(), target.top());
    m_canvas.beginContainer(r.u32(32), onto.isInvertible() ? onto : QTransform());
}

// [MS-EMFPLUS] 2.3.7.2 EmfPlusBeginContainerNoParams: the stack index.
void EmfPlusPlayer::beginContainerNoParams(const Record &r)
{
    m_canvas.beginContainer(r.u32(0), QTransform());
}

// [MS-EMFPLUS] 2.3.7.3 EmfPlusEndContainer: the stack index.
void EmfPlusPlayer::endContainer(const Record &r)
{
    m_canvas.restore(r.u32(0));
}

// ---------------------------------------------------------------------------
// Transforms ([MS-EMFPLUS] 2.3.9): the world transform set, reset, or
// multiplied before the current one, or after it with the A flag.

void EmfPlusPlayer::setWorldTransform(const Record &r)
{
    const QTransform m = matrixAt(r, 0);
    if (m.isInvertible())
        m_canvas.setWorldFromBase(m);
}

void EmfPlusPlayer::resetWorldTransform(const Record &)
{
    m_canvas.resetWorld();
}

void EmfPlusPlayer::multiplyWorldTransform(const Record &r)
{
    m_canvas.multiplyWorld(matrixAt(r, 0), r.flags & Appended);
}

void EmfPlusPlayer::translateWorldTransform(const Record &r)
{
    m_canvas.multiplyWorld(QTransform::fromTranslate(r.f32(0), r.f32(4)), r.flags & Appended);
}

void EmfPlusPlayer::scaleWorldTransform(const Record &r)
{
    m_canvas.multiplyWorld(QTransform::fromScale(r.f32(0), r.f32(4)), r.flags & Appended);
}

void EmfPlusPlayer::rotateWorldTransform(const Record &r)
{
    QTransform m;
    m.rotate(r.f32(0));
    m_canvas.multiplyWorld(m, r.flags & Appended);
}

// [MS-EMFPLUS] 2.3.9.7 EmfPlusSetPageTransform: the unit in the flags, a scale.
void EmfPlusPlayer::setPageTransform(const Record &r)
{
    const double scale = double(r.f32(0)) * plusUnitScale(r.flags & 0xFF, m_dpi);
    if (scale > 0 && std::isfinite(scale))
        m_canvas.setPageScale(scale);
}

// ---------------------------------------------------------------------------
// Clipping ([MS-EMFPLUS] 2.3.1): the combine mode in bits 8 to 11.

// [MS-EMFPLUS] 2.3.1.1 EmfPlusResetClip.
void EmfPlusPlayer::resetClip(const Record &)
{
    m_canvas.resetClip();
}

// [MS-EMFPLUS] 2.3.1.4 EmfPlusSetClipRect: a rectangle.
void EmfPlusPlayer::setClipRect(const Record &r)
{
    m_canvas.combineClip((r.flags >> CombineShift) & CombineMask,
                         rectPath(QRectF(r.f32(0), r.f32(4), r.f32(8), r.f32(12))));
}

// [MS-EMFPLUS] 2.3.1.3 EmfPlusSetClipPath: the path in the flags.
void EmfPlusPlayer::setClipPath(const Record &r)
{
    if (const auto *path = objectOf<PlusPath>(r.flags & ObjectIdMask))
        m_canvas.combineClip((r.flags >> CombineShift) & CombineMask, path->path);
}

// [MS-EMFPLUS] 2.3.1.5 EmfPlusSetClipRegion: the region in the flags.
void EmfPlusPlayer::setClipRegion(const Record &r)
{
    const auto *region = objectOf<PlusRegion>(r.flags & ObjectIdMask);
    if (!region)
        return;
    m_canvas.combineClip((r.flags >> CombineShift) & CombineMask,
                         region->infinite ? std::nullopt : std::optional(region->path));
}

// [MS-EMFPLUS] 2.3.1.2 EmfPlusOffsetClip: a move in world units.
void EmfPlusPlayer::offsetClip(const Record &r)
{
    m_canvas.offsetClip(QPointF(r.f32(0), r.f32(4)));
}
