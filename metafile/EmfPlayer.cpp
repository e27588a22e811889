#include "metafile/EmfPlayer.h"

#include "base/WorkerPool.h"
#include "metafile/EmfPlusPlayer.h"
#include "metafile/GdiCanvas.h"
#include "metafile/GlyphText.h"
#include "metafile/Limits.h"
#include "metafile/PlayerSupport.h"
#include "raster/Dib.h"

#include <QPainter>

using namespace PlayerSupport;

namespace {

// [MS-EMF] 2.1.26 Point enumeration, the types of EMR_POLYDRAW.
constexpr std::uint8_t PointCloseFigure = 0x01;
constexpr std::uint8_t PointTypeMask = 0x06;
constexpr std::uint8_t PointLineTo = 0x02;
constexpr std::uint8_t PointBezierTo = 0x04;
constexpr std::uint8_t PointMoveTo = 0x06;

// [MS-EMF] 2.1.15 GradientFill modes.
constexpr std::uint32_t GradientFillRectH = 0;
constexpr std::uint32_t GradientFillRectV = 1;
constexpr std::uint32_t GradientFillTriangle = 2;

QTransform xformAt(const RecordView &r, qsizetype o)
{
    return QTransform(r.f32(o), r.f32(o + 4), r.f32(o + 8), r.f32(o + 12), r.f32(o + 16), r.f32(o + 20));
}

// [MS-WMF] 2.2.2.3 BLENDFUNCTION packed in EMR_ALPHABLEND's operation field.
struct BlendFunction {
    double constantAlpha;
    bool sourceAlpha;
};

} // namespace

// ---------------------------------------------------------------------------
// The table: every record type of [MS-EMF] 2.1.1 that we draw or set aside.

const EmfPlayer::Entry *EmfPlayer::entryFor(std::uint32_t type)
{
    using R = EmfRecord;
    using P = EmfPlayer;
    static const Entry entries[] = {
        {R::Header, "EMR_HEADER", nullptr, "read before playing: frame, device and object count"},
        {R::PolyBezier, "EMR_POLYBEZIER",
         [](P &p, const RecordView &r) { p.m_canvas->polyBezier(p.points(r, false)); }},
        {R::Polygon, "EMR_POLYGON", [](P &p, const RecordView &r) { p.m_canvas->polygon(p.points(r, false)); }},
        {R::Polyline, "EMR_POLYLINE", [](P &p, const RecordView &r) { p.m_canvas->polyline(p.points(r, false)); }},
        {R::PolyBezierTo, "EMR_POLYBEZIERTO",
         [](P &p, const RecordView &r) { p.m_canvas->polyBezierTo(p.points(r, false)); }},
        {R::PolylineTo, "EMR_POLYLINETO",
         [](P &p, const RecordView &r) { p.m_canvas->polylineTo(p.points(r, false)); }},
        {R::PolyPolyline, "EMR_POLYPOLYLINE",
         [](P &p, const RecordView &r) { p.m_canvas->polyPolyline(p.polyPoints(r, false)); }},
        {R::PolyPolygon, "EMR_POLYPOLYGON",
         [](P &p, const RecordView &r) { p.m_canvas->polyPolygon(p.polyPoints(r, false)); }},
        {R::SetWindowExtEx, "EMR_SETWINDOWEXTEX",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setWindowExt(r.sizel(8)); }},
        {R::SetWindowOrgEx, "EMR_SETWINDOWORGEX",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setWindowOrg(r.pointl(8)); }},
        {R::SetViewportExtEx, "EMR_SETVIEWPORTEXTEX",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setViewportExt(r.sizel(8)); }},
        {R::SetViewportOrgEx, "EMR_SETVIEWPORTORGEX",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setViewportOrg(r.pointl(8)); }},
        {R::SetBrushOrgEx, "EMR_SETBRUSHORGEX", nullptr, "moves only the phase of hatch and pattern brushes"},
        {R::SetPixelV, "EMR_SETPIXELV",
         [](P &p, const RecordView &r) { p.m_canvas->setPixel(r.pointl(8), p.m_canvas->resolve(r.u32(16))); }},
        {R::SetMapperFlags, "EMR_SETMAPPERFLAGS", nullptr, "font matching hint; fontconfig matches"},
        {R::SetMapMode, "EMR_SETMAPMODE",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setMapMode(MapMode(r.u32(8))); }},
        {R::SetBkMode, "EMR_SETBKMODE", [](P &p, const RecordView &r) { p.m_canvas->setBkMode(int(r.u32(8))); }},
        {R::SetPolyFillMode, "EMR_SETPOLYFILLMODE",
         [](P &p, const RecordView &r) { p.m_canvas->setPolyFillMode(int(r.u32(8))); }},
        {R::SetRop2, "EMR_SETROP2", [](P &p, const RecordView &r) { p.m_canvas->setRop2(int(r.u32(8))); }},
        {R::SetStretchBltMode, "EMR_SETSTRETCHBLTMODE", nullptr, "every stretched bitmap is smoothed"},
        {R::SetTextAlign, "EMR_SETTEXTALIGN", [](P &p, const RecordView &r) { p.m_canvas->setTextAlign(r.u32(8)); }},
        {R::SetColorAdjustment, "EMR_SETCOLORADJUSTMENT", nullptr, "applies to halftone stretching only"},
        {R::SetTextColor, "EMR_SETTEXTCOLOR",
         [](P &p, const RecordView &r) { p.m_canvas->setTextColor(p.m_canvas->resolve(r.u32(8))); }},
        {R::SetBkColor, "EMR_SETBKCOLOR",
         [](P &p, const RecordView &r) { p.m_canvas->setBkColor(p.m_canvas->resolve(r.u32(8))); }},
        {R::OffsetClipRgn, "EMR_OFFSETCLIPRGN",
         [](P &p, const RecordView &r) { p.m_canvas->offsetClipRegion(r.pointl(8)); }},
        {R::MoveToEx, "EMR_MOVETOEX", [](P &p, const RecordView &r) { p.m_canvas->moveTo(r.pointl(8)); }},
        {R::SetMetaRgn, "EMR_SETMETARGN", nullptr, "the clip stays in force as the meta region"},
        {R::ExcludeClipRect, "EMR_EXCLUDECLIPRECT",
         [](P &p, const RecordView &r) { p.m_canvas->excludeClipRect(r.rectl(8)); }},
        {R::IntersectClipRect, "EMR_INTERSECTCLIPRECT",
         [](P &p, const RecordView &r) { p.m_canvas->intersectClipRect(r.rectl(8)); }},
        // xNum, xDenom, yNum, yDenom.
        {R::ScaleViewportExtEx, "EMR_SCALEVIEWPORTEXTEX",
         [](P &p, const RecordView &r) {
             p.m_canvas->mapping().scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
         }},
        {R::ScaleWindowExtEx, "EMR_SCALEWINDOWEXTEX",
         [](P &p, const RecordView &r) {
             p.m_canvas->mapping().scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
         }},
        {R::SaveDc, "EMR_SAVEDC", [](P &p, const RecordView &) { p.m_canvas->saveDC(); }},
        {R::RestoreDc, "EMR_RESTOREDC", [](P &p, const RecordView &r) { p.m_canvas->restoreDC(r.i32(8)); }},
        {R::SetWorldTransform, "EMR_SETWORLDTRANSFORM",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setWorldTransform(xformAt(r, 8)); }},
        {R::ModifyWorldTransform, "EMR_MODIFYWORLDTRANSFORM",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().modifyWorldTransform(xformAt(r, 8), int(r.u32(32))); }},
        {R::SelectObject, "EMR_SELECTOBJECT", playMember<&P::selectObject>},
        {R::CreatePen, "EMR_CREATEPEN", playMember<&P::createPen>},
        {R::CreateBrushIndirect, "EMR_CREATEBRUSHINDIRECT", playMember<&P::createBrushIndirect>},
        {R::DeleteObject, "EMR_DELETEOBJECT", [](P &p, const RecordView &r) { p.m_objects->remove(r.u32(8)); }},
        {R::AngleArc, "EMR_ANGLEARC",
         [](P &p, const RecordView &r) { p.m_canvas->angleArc(r.pointl(8), r.u32(16), r.f32(20), r.f32(24)); }},
        {R::Ellipse, "EMR_ELLIPSE", [](P &p, const RecordView &r) { p.m_canvas->ellipse(r.rectl(8)); }},
        {R::Rectangle, "EMR_RECTANGLE", [](P &p, const RecordView &r) { p.m_canvas->rectangle(r.rectl(8)); }},
        {R::RoundRect, "EMR_ROUNDRECT",
         [](P &p, const RecordView &r) { p.m_canvas->roundRect(r.rectl(8), r.sizel(24)); }},
        {R::Arc, "EMR_ARC", [](P &p, const RecordView &r) { p.m_canvas->arc(r.rectl(8), r.pointl(24), r.pointl(32)); }},
        {R::Chord, "EMR_CHORD",
         [](P &p, const RecordView &r) { p.m_canvas->chord(r.rectl(8), r.pointl(24), r.pointl(32)); }},
        {R::Pie, "EMR_PIE", [](P &p, const RecordView &r) { p.m_canvas->pie(r.rectl(8), r.pointl(24), r.pointl(32)); }},
        {R::SelectPalette, "EMR_SELECTPALETTE", playMember<&P::selectObject>},
        {R::CreatePalette, "EMR_CREATEPALETTE", playMember<&P::createPalette>},
        {R::SetPaletteEntries, "EMR_SETPALETTEENTRIES", playMember<&P::setPaletteEntries>},
        {R::ResizePalette, "EMR_RESIZEPALETTE", nullptr, "entries past the end read as the last one"},
        {R::RealizePalette, "EMR_REALIZEPALETTE", nullptr, "a true-colour target needs no realizing"},
        {R::ExtFloodFill, "EMR_EXTFLOODFILL", nullptr,
         "fills by the colour already drawn, which a vector "
         "playback does not keep"},
        {R::LineTo, "EMR_LINETO", [](P &p, const RecordView &r) { p.m_canvas->lineTo(r.pointl(8)); }},
        {R::ArcTo, "EMR_ARCTO",
         [](P &p, const RecordView &r) { p.m_canvas->arcTo(r.rectl(8), r.pointl(24), r.pointl(32)); }},
        {R::PolyDraw, "EMR_POLYDRAW", [](P &p, const RecordView &r) { p.polyDrawPoints(r, false); }},
        {R::SetArcDirection, "EMR_SETARCDIRECTION",
         [](P &p, const RecordView &r) { p.m_canvas->setArcDirection(int(r.u32(8))); }},
        {R::SetMiterLimit, "EMR_SETMITERLIMIT", playMember<&P::setMiterLimit>},
        {R::BeginPath, "EMR_BEGINPATH", [](P &p, const RecordView &) { p.m_canvas->beginPath(); }},
        {R::EndPath, "EMR_ENDPATH", [](P &p, const RecordView &) { p.m_canvas->endPath(); }},
        {R::CloseFigure, "EMR_CLOSEFIGURE", [](P &p, const RecordView &) { p.m_canvas->closeFigure(); }},
        {R::FillPath, "EMR_FILLPATH", [](P &p, const RecordView &) { p.m_canvas->fillPath(); }},
        {R::StrokeAndFillPath, "EMR_STROKEANDFILLPATH",
         [](P &p, const RecordView &) { p.m_canvas->strokeAndFillPath(); }},
        {R::StrokePath, "EMR_STROKEPATH", [](P &p, const RecordView &) { p.m_canvas->strokePath(); }},
        {R::FlattenPath, "EMR_FLATTENPATH", nullptr, "curves are drawn exactly; flattening shows no difference"},
        {R::WidenPath, "EMR_WIDENPATH", [](P &p, const RecordView &) { p.m_canvas->widenPath(); }},
        {R::SelectClipPath, "EMR_SELECTCLIPPATH",
         [](P &p, const RecordView &r) { p.m_canvas->selectClipPath(int(r.u32(8))); }},
        {R::AbortPath, "EMR_ABORTPATH", [](P &p, const RecordView &) { p.m_canvas->abortPath(); }},
        {R::Comment, "EMR_COMMENT", nullptr, "private data; the EMF+ records in it are counted on their own"},
        {R::FillRgn, "EMR_FILLRGN", playMember<&P::fillRgn>},
        {R::FrameRgn, "EMR_FRAMERGN", playMember<&P::frameRgn>},
        // [MS-EMF] 2.3.5.14 EMR_INVERTRGN and 2.3.5.15 EMR_PAINTRGN: bounds, size, region at 28.
        {R::InvertRgn, "EMR_INVERTRGN",
         [](P &p, const RecordView &r) { p.m_canvas->invertRegion(p.region(r, 28, r.u32(24))); }},
        {R::PaintRgn, "EMR_PAINTRGN",
         [](P &p, const RecordView &r) { p.m_canvas->fillRegion(p.region(r, 28, r.u32(24)), p.m_canvas->brush()); }},
        // [MS-EMF] 2.3.2.2 EMR_EXTSELECTCLIPRGN: size, mode, RegionData in device units.
        {R::ExtSelectClipRgn, "EMR_EXTSELECTCLIPRGN",
         [](P &p,
            const RecordView &r) { p.m_canvas->selectClipRegion(p.regionRects(r, 16, r.u32(8)), int(r.u32(12))); }},
        // [MS-EMF] 2.3.1.2 EMR_BITBLT: destination at 24, operation at 40, source
        // origin at 44, the source bitmap's place at 84; without a bitmap it is a
        // pattern operation.
        {R::BitBlt, "EMR_BITBLT", [](P &p, const RecordView &r) { p.stretchedBlt(r, QSizeF(r.i32(32), r.i32(36))); }},
        // [MS-EMF] 2.3.1.6 EMR_STRETCHBLT: as EMR_BITBLT, with the source size at 100.
        {R::StretchBlt, "EMR_STRETCHBLT", [](P &p, const RecordView &r) { p.stretchedBlt(r, r.sizel(100)); }},
        {R::MaskBlt, "EMR_MASKBLT", playMember<&P::maskBlt>},
        {R::PlgBlt, "EMR_PLGBLT", playMember<&P::plgBlt>},
        {R::SetDiBitsToDevice, "EMR_SETDIBITSTODEVICE", playMember<&P::setDiBitsToDevice>},
        {R::StretchDiBits, "EMR_STRETCHDIBITS", playMember<&P::stretchDiBits>},
        {R::ExtCreateFontIndirectW, "EMR_EXTCREATEFONTINDIRECTW", playMember<&P::extCreateFontIndirectW>},
        // [MS-EMF] 2.3.5.8 EMR_EXTTEXTOUTA/W: bounds, graphics mode, scales, EmrText at 36.
        {R::ExtTextOutA, "EMR_EXTTEXTOUTA", [](P &p, const RecordView &r) { p.textOut(r, 36, false); }},
        {R::ExtTextOutW, "EMR_EXTTEXTOUTW", [](P &p, const RecordView &r) { p.textOut(r, 36, true); }},
        {R::PolyBezier16, "EMR_POLYBEZIER16",
         [](P &p, const RecordView &r) { p.m_canvas->polyBezier(p.points(r, true)); }},
        {R::Polygon16, "EMR_POLYGON16", [](P &p, const RecordView &r) { p.m_canvas->polygon(p.points(r, true)); }},
        {R::Polyline16, "EMR_POLYLINE16", [](P &p, const RecordView &r) { p.m_canvas->polyline(p.points(r, true)); }},
        {R::PolyBezierTo16, "EMR_POLYBEZIERTO16",
         [](P &p, const RecordView &r) { p.m_canvas->polyBezierTo(p.points(r, true)); }},
        {R::PolylineTo16, "EMR_POLYLINETO16",
         [](P &p, const RecordView &r) { p.m_canvas->polylineTo(p.points(r, true)); }},
        {R::PolyPolyline16, "EMR_POLYPOLYLINE16",
         [](P &p, const RecordView &r) { p.m_canvas->polyPolyline(p.polyPoints(r, true)); }},
        {R::PolyPolygon16, "EMR_POLYPOLYGON16",
         [](P &p, const RecordView &r) { p.m_canvas->polyPolygon(p.polyPoints(r, true)); }},
        {R::PolyDraw16, "EMR_POLYDRAW16", [](P &p, const RecordView &r) { p.polyDrawPoints(r, true); }},
        {R::CreateMonoBrush, "EMR_CREATEMONOBRUSH", playMember<&P::createMonoBrush>},
        {R::CreateDibPatternBrushPt, "EMR_CREATEDIBPATTERNBRUSHPT", playMember<&P::createDibPatternBrushPt>},
        {R::ExtCreatePen, "EMR_EXTCREATEPEN", playMember<&P::extCreatePen>},
        {R::PolyTextOutA, "EMR_POLYTEXTOUTA", playMember<&P::polyTextOutA>},
        {R::PolyTextOutW, "EMR_POLYTEXTOUTW", playMember<&P::polyTextOutW>},
        {R::SetIcmMode, "EMR_SETICMMODE", nullptr, "colour management: colours are drawn as given"},
        {R::CreateColorSpace, "EMR_CREATECOLORSPACE", nullptr, "colour management: colours are drawn as given"},
        {R::SetColorSpace, "EMR_SETCOLORSPACE", nullptr, "colour management: colours are drawn as given"},
        {R::DeleteColorSpace, "EMR_DELETECOLORSPACE", nullptr, "colour management: colours are drawn as given"},
        {R::GlsRecord, "EMR_GLSRECORD", nullptr, "OpenGL commands for a printer driver"},
        {R::GlsBoundedRecord, "EMR_GLSBOUNDEDRECORD", nullptr, "OpenGL commands for a printer driver"},
        {R::PixelFormat, "EMR_PIXELFORMAT", nullptr, "OpenGL pixel format, nothing drawn"},
        {R::DrawEscape, "EMR_DRAWESCAPE", nullptr, "driver escape, nothing drawn"},
        {R::ExtEscape, "EMR_EXTESCAPE", nullptr, "driver escape, nothing drawn"},
        {R::SmallTextOut, "EMR_SMALLTEXTOUT", playMember<&P::smallTextOut>},
        {R::ForceUfiMapping, "EMR_FORCEUFIMAPPING", nullptr, "font identifier for printing; fontconfig matches"},
        {R::NamedEscape, "EMR_NAMEDESCAPE", nullptr, "driver escape, nothing drawn"},
        {R::ColorCorrectPalette, "EMR_COLORCORRECTPALETTE", nullptr, "colour management"},
        {R::SetIcmProfileA, "EMR_SETICMPROFILEA", nullptr, "colour management"},
        {R::SetIcmProfileW, "EMR_SETICMPROFILEW", nullptr, "colour management"},
        {R::AlphaBlend, "EMR_ALPHABLEND", playMember<&P::alphaBlend>},
        {R::SetLayout, "EMR_SETLAYOUT", nullptr, "right-to-left layout of bitmaps; none in our pictures"},
        {R::TransparentBlt, "EMR_TRANSPARENTBLT", playMember<&P::transparentBlt>},
        {R::GradientFill, "EMR_GRADIENTFILL", playMember<&P::gradientFill>},
        {R::SetLinkedUfis, "EMR_SETLINKEDUFIS", nullptr, "font linking for printing; fontconfig falls back"},
        {R::SetTextJustification, "EMR_SETTEXTJUSTIFICATION", nullptr, "text records carry their own advances"},
        {R::ColorMatchToTargetW, "EMR_COLORMATCHTOTARGETW", nullptr, "colour management"},
        {R::CreateColorSpaceW, "EMR_CREATECOLORSPACEW", nullptr, "colour management"},
    };
    // [MS-EMF] 2.1.1: record types run from 1 to 122.
    static const RecordTable<Entry, 128> table(entries);
    return table.find(type);
}

RecordHandling EmfPlayer::handling(std::uint32_t type)
{
    return handlingOf(entryFor(type));
}

// ---------------------------------------------------------------------------
// The walk.

bool EmfPlayer::validate(const QByteArray &bytes)
{
    return walkEmfRecords(ByteReader(bytes), [](std::uint32_t, const RecordView &) { return true; }) ==
           WalkEnd::EndOfFile;
}

EmfPlayer::EmfPlayer(const QByteArray &bytes, const EmfHeader &header, const Playback &playback)
    : m_bytes(bytes), m_b(bytes), m_budget(playback.budget)
{
    m_canvas = std::make_unique<GdiCanvas>(playback);
    m_objects = std::make_unique<GdiObjectTable>(header.handles);
    // EMF+ records are drawn in place of the GDI copy beside them.
    if (playback.mode == Playback::Mode::EmfPlus)
        m_plus = std::make_unique<EmfPlusPlayer>(playback);
}

EmfPlayer::~EmfPlayer() = default;

void EmfPlayer::play()
{
    walkEmfRecords(m_b, [this](std::uint32_t type, const RecordView &r) {
        // In a file of EMF+ records, the GDI records count only where an
        // EMF+ record lets them through.
        if (m_plus && EmfRecord(type) == EmfRecord::Comment) {
            m_plus->playComment(r);
        } else if (!m_plus || m_plus->gdiAllowed()) {
            const Entry *entry = entryFor(type);
            if (entry && entry->play)
                entry->play(*this, r);
        }
        return !m_budget.exhausted && !workAbandoned();
    });
}

// ---------------------------------------------------------------------------
// Reading points, bitmaps and regions.

// [MS-EMF] 2.3.5 poly records: Bounds, Count at 24, the points at 28.
QPolygonF EmfPlayer::points(const RecordView &r, bool small) const
{
    constexpr qsizetype CountAt = 24;
    constexpr qsizetype PointsAt = 28;
    QPolygonF polygon;
    const qsizetype count = r.u32(CountAt);
    const qsizetype each = small ? 4 : 8;
    if (count <= 0 || count > Limits::MaxItems || !r.has(PointsAt, count * each))
        return polygon;
    polygon.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype o = PointsAt + i * each;
        polygon << (small ? r.points(o) : r.pointl(o));
    }
    return polygon;
}

// [MS-EMF] 2.3.5.30 EMR_POLYPOLYGON and kin: the number of polygons at 24,
// the total point count at 28, each polygon's count from 32, then the points.
std::vector<QPolygonF> EmfPlayer::polyPoints(const RecordView &r, bool small) const
{
    constexpr qsizetype PolysAt = 24;
    constexpr qsizetype TotalAt = 28;
    constexpr qsizetype CountsAt = 32;
    std::vector<QPolygonF> result;
    const qsizetype polys = r.u32(PolysAt);
    const qsizetype total = r.u32(TotalAt);
    const qsizetype each = small ? 4 : 8;
    if (polys <= 0 || polys > Limits::MaxItems || total <= 0 || total > Limits::MaxItems ||
        !r.has(CountsAt, polys * 4) || !r.has(CountsAt + polys * 4, total * each))
        return result;
    qsizetype next = CountsAt + polys * 4;
    qsizetype used = 0;
    for (qsizetype p = 0; p < polys; ++p) {
        const qsizetype count = r.u32(CountsAt + p * 4);
        if (count > total - used)
            break;
        QPolygonF polygon;
        polygon.reserve(count);
        for (qsizetype i = 0; i < count; ++i, next += each)
            polygon << (small ? r.points(next) : r.pointl(next));
        used += count;
        result.push_back(std::move(polygon));
    }
    return result;
}

// A bitmap given by offBmi, cbBmi, offBits and cbBits from OffBmiAt on.
QImage EmfPlayer::bitmap(const RecordView &r, qsizetype offBmiAt, bool sourceAlpha) const
{
    const qsizetype offBmi = r.u32(offBmiAt);
    const qsizetype cbBmi = r.u32(offBmiAt + 4);
    const qsizetype offBits = r.u32(offBmiAt + 8);
    const qsizetype cbBits = r.u32(offBmiAt + 12);
    if (cbBmi == 0 || !r.has(offBmi, cbBmi) || !r.has(offBits, cbBits))
        return QImage();
    return m_budget.decodes([&](qint64 room) {
        return Dib::decode(m_bytes, r.start() + offBmi, cbBmi, r.start() + offBits, cbBits,
                           sourceAlpha ? Dib::Alpha::Premultiplied : Dib::Alpha::Opaque, room);
    });
}

// [MS-EMF] 2.2.24 RegionData: a 32-byte header whose count at 8 gives the
// rectangles that follow it.
std::vector<QRectF> EmfPlayer::regionRects(const RecordView &r, qsizetype at, qsizetype size) const
{
    constexpr qsizetype RegionHeaderSize = 32;
    constexpr qsizetype CountAt = 8;
    std::vector<QRectF> rects;
    if (size < RegionHeaderSize || !r.has(at, size))
        return rects;
    const qsizetype count = r.u32(at + CountAt);
    if (count <= 0 || count > Limits::MaxRegionRects || !r.has(at + RegionHeaderSize, count * 16))
        return rects;
    rects.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        rects.push_back(r.rectl(at + RegionHeaderSize + i * 16).normalized());
    return rects;
}

QPainterPath EmfPlayer::region(const RecordView &r, qsizetype at, qsizetype size) const
{
    // Filled by winding, the rectangles draw as their union; merging them
    // into one outline costs the square of their number.
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const QRectF &rect : regionRects(r, at, size))
        path.addRect(rect);
    return path;
}

// ---------------------------------------------------------------------------
// Lines and shapes.

// [MS-EMF] 2.3.5.22 EMR_POLYDRAW: the points, then one type byte each.
void EmfPlayer::polyDrawPoints(const RecordView &r, bool small)
{
    const QPolygonF all = points(r, small);
    const qsizetype typesAt = 28 + all.size() * (small ? 4 : 8);
    if (all.isEmpty() || !r.has(typesAt, all.size()))
        return;
    GdiCanvas &c = *m_canvas;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const std::uint8_t type = r.u8(typesAt + i);
        switch (type & PointTypeMask) {
        case PointMoveTo:
            c.moveTo(all[i]);
            break;
        case PointLineTo:
            c.lineTo(all[i]);
            break;
        case PointBezierTo:
            if (i + 2 < all.size()) {
                c.polyBezierTo(QPolygonF{all[i], all[i + 1], all[i + 2]});
                i += 2;
            }
            break;
        default:
            break;
        }
        if (type & PointCloseFigure)
            c.closeFigure();
    }
}

// ---------------------------------------------------------------------------
// Mapping and state.

// The document gives an integer; GDI writes a float. A float's bits read as
// an integer are far larger than any sensible limit.
void EmfPlayer::setMiterLimit(const RecordView &r)
{
    constexpr std::uint32_t LargestIntegerLimit = 0x10000;
    const std::uint32_t raw = r.u32(8);
    m_canvas->setMiterLimit(raw < LargestIntegerLimit ? double(raw) : double(r.f32(8)));
}

// ---------------------------------------------------------------------------
// Objects.

void EmfPlayer::selectObject(const RecordView &r)
{
    const std::uint32_t index = r.u32(8);
    if (index & StockObject::Flag)
        m_canvas->selectStockObject(index);
    else
        m_canvas->selectObject(m_objects->get(index));
}

// [MS-EMF] 2.3.7.7 EMR_CREATEPEN: ihPen, then LogPen: style, width, colour.
void EmfPlayer::createPen(const RecordView &r)
{
    GdiPen object;
    object.style = r.u32(12);
    object.width = r.i32(16);
    object.color = m_canvas->resolve(r.u32(24));
    m_objects->put(r.u32(8), object);
}

// [MS-EMF] 2.3.7.9 EMR_EXTCREATEPEN: ihPen, the pattern bitmap's place, then
// LogPenEx: style at 28, width, brush style, colour, hatch, dash entries.
void EmfPlayer::extCreatePen(const RecordView &r)
{
    constexpr qsizetype MaxDashEntries = 16;
    GdiPen object;
    GdiPen &pen = object;
    pen.style = r.u32(28);
    pen.width = r.u32(32);
    pen.cosmetic = !(pen.style & PenStyle::Geometric);
    pen.color = m_canvas->resolve(r.u32(40));
    if (r.u32(36) == BrushStyle::Null)
        pen.style = (pen.style & ~PenStyle::StyleMask) | PenStyle::Null;
    const qsizetype entries = r.u32(48);
    if (entries > 0 && entries <= MaxDashEntries && r.has(52, entries * 4)) {
        for (qsizetype i = 0; i < entries; ++i)
            pen.userDashes << r.u32(52 + i * 4);
    }
    m_objects->put(r.u32(8), object);
}

// [MS-EMF] 2.3.7.1 EMR_CREATEBRUSHINDIRECT: ihBrush, LogBrush: style, colour, hatch.
void EmfPlayer::createBrushIndirect(const RecordView &r)
{
    GdiBrush object;
    object.style = r.u32(12);
    object.color = m_canvas->resolve(r.u32(16));
    object.hatch = r.u32(20);
    m_objects->put(r.u32(8), object);
}

// [MS-EMF] 2.3.7.3 EMR_CREATEDIBPATTERNBRUSHPT: ihBrush, usage, the bitmap at 16.
void EmfPlayer::createDibPatternBrushPt(const RecordView &r)
{
    GdiBrush object;
    object.style = BrushStyle::DibPatternPt;
    object.pattern = bitmap(r, 16);
    m_objects->put(r.u32(8), object);
}

// [MS-EMF] 2.3.7.5 EMR_CREATEMONOBRUSH: laid out as the pattern brush. Its
// clear bits take the text colour and its set bits the background colour,
// those in force when it is made.
void EmfPlayer::createMonoBrush(const RecordView &r)
{
    const QImage pattern = bitmap(r, 16);
    if (pattern.isNull() || !m_budget.loopsOver(qint64(pattern.width()) * pattern.height()))
        return;
    const QRgb clear = m_canvas->textColor().rgb();
    const QRgb set = m_canvas->bkColor().rgb();
    // Row by row: a pixel at a time through QImage::pixel takes ten times as long.
    const QImage grey = pattern.convertToFormat(QImage::Format_Grayscale8);
    QImage colored(pattern.size(), QImage::Format_RGB32);
    for (int y = 0; y < pattern.height(); ++y) {
        const uchar *from = grey.constScanLine(y);
        auto *to = reinterpret_cast<QRgb *>(colored.scanLine(y));
        for (int x = 0; x < pattern.width(); ++x)
            to[x] = from[x] < 128 ? clear : set;
    }
    GdiBrush object;
    object.style = BrushStyle::Pattern;
    object.pattern = colored;
    m_objects->put(r.u32(8), object);
}

// [MS-EMF] 2.3.7.8 EMR_EXTCREATEFONTINDIRECTW: ihFonts, then LogFont.
void EmfPlayer::extCreateFontIndirectW(const RecordView &r)
{
    constexpr qsizetype FaceAt = 40;
    constexpr qsizetype FaceChars = 32;
    GdiFont object;
    GdiFont &f = object;
    f.height = r.i32(12);
    f.width = r.i32(16);
    f.escapement = r.i32(20);
    f.weight = r.i32(28);
    f.italic = r.u8(32);
    f.underline = r.u8(33);
    f.strikeOut = r.u8(34);
    f.charset = r.u8(35);
    f.pitchAndFamily = r.u8(39);
    const QString face = untilZero(utf16At(r, FaceAt, std::min<qsizetype>(FaceChars, (r.size() - FaceAt) / 2)));
    if (!face.isEmpty())
        f.face = face;
    m_objects->put(r.u32(8), object);
}

// [MS-EMF] 2.3.7.6 EMR_CREATEPALETTE: ihPal, LogPalette: version, count, entries.
void EmfPlayer::createPalette(const RecordView &r)
{
    GdiPalette object;
    object.entries = paletteEntries(r, 16, r.u16(14));
    m_objects->put(r.u32(8), object);
}

// [MS-EMF] 2.3.8.4 EMR_SETPALETTEENTRIES: ihPal, start, count, entries.
void EmfPlayer::setPaletteEntries(const RecordView &r)
{
    GdiPalette *palette = m_objects->get<GdiPalette>(r.u32(8));
    const QVector<QRgb> entries = paletteEntries(r, 20, r.u32(16));
    const qsizetype start = r.u32(12);
    if (!palette || start > 65535)
        return;
    if (palette->entries.size() < start + entries.size())
        palette->entries.resize(start + entries.size());
    std::copy(entries.begin(), entries.end(), palette->entries.begin() + start);
}

// ---------------------------------------------------------------------------
// Paths and clipping.

// [MS-EMF] 2.3.5.10 EMR_FILLRGN: bounds, size at 24, ihBrush at 28, region at 32.
void EmfPlayer::fillRgn(const RecordView &r)
{
    const auto *brush = m_objects->get<GdiBrush>(r.u32(28));
    if (brush)
        m_canvas->fillRegion(region(r, 32, r.u32(24)), *brush);
}

// [MS-EMF] 2.3.5.11 EMR_FRAMERGN: as EMR_FILLRGN, with width and height before the region.
void EmfPlayer::frameRgn(const RecordView &r)
{
    const auto *brush = m_objects->get<GdiBrush>(r.u32(28));
    if (brush)
        m_canvas->frameRegion(region(r, 40, r.u32(24)), *brush, QSizeF(r.i32(32), r.i32(36)));
}

// ---------------------------------------------------------------------------
// Bitmaps.

void EmfPlayer::stretchedBlt(const RecordView &r, QSizeF sourceSize)
{
    const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
    const std::uint32_t rop = r.u32(40);
    if (r.u32(88) == 0) {
        m_canvas->patBlt(dest, rop);
        return;
    }
    const QImage image = bitmap(r, 84);
    if (!image.isNull())
        m_canvas->drawImage(dest, image, QRectF(r.pointl(44), sourceSize).normalized(), rop);
}

// [MS-EMF] 2.3.1.3 EMR_MASKBLT: as EMR_BITBLT, and a mask bitmap at 112
// whose set pixels let the source through.
void EmfPlayer::maskBlt(const RecordView &r)
{
    const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
    QImage image = bitmap(r, 84);
    if (image.isNull())
        return;
    const QImage mask = bitmap(r, 112);
    if (!mask.isNull()) {
        if (!m_budget.loopsOver(qint64(image.width()) * image.height()))
            return;
        image = image.convertToFormat(QImage::Format_ARGB32);
        const QImage grey = mask.convertToFormat(QImage::Format_Grayscale8);
        const QPoint maskOrigin(r.i32(100) - r.i32(44), r.i32(104) - r.i32(48));
        for (int y = 0; y < image.height(); ++y) {
            const qint64 my = qint64(y) + maskOrigin.y();
            const uchar *row = my >= 0 && my < grey.height() ? grey.constScanLine(int(my)) : nullptr;
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const qint64 mx = qint64(x) + maskOrigin.x();
                if (!row || mx < 0 || mx >= grey.width() || row[mx] < 128)
                    line[x] = 0;
            }
        }
    }
    m_canvas->drawImage(dest, image, QRectF(r.pointl(44), dest.size()).normalized(), RasterOp::SrcCopy);
}

// [MS-EMF] 2.3.1.4 EMR_PLGBLT: three destination corners at 24, the source
// rectangle at 48, the source bitmap's place at 96.
void EmfPlayer::plgBlt(const RecordView &r)
{
    const QImage image = bitmap(r, 96);
    const QPolygonF corners{r.pointl(24), r.pointl(32), r.pointl(40)};
    m_canvas->drawImageOnto(corners, image, QRectF(r.pointl(48), r.sizel(56)).normalized());
}

// [MS-EMF] 2.3.1.7 EMR_TRANSPARENTBLT: laid out as EMR_STRETCHBLT, with the
// transparent colour in place of the operation.
void EmfPlayer::transparentBlt(const RecordView &r)
{
    QImage image = bitmap(r, 84);
    if (image.isNull() || !m_budget.loopsOver(qint64(image.width()) * image.height()))
        return;
    const QRgb transparent = m_canvas->resolve(r.u32(40)).rgb();
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (transparent & 0xFFFFFF))
                line[x] = 0;
    }
    const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
    m_canvas->drawImage(dest, image, QRectF(r.pointl(44), r.sizel(100)).normalized(), RasterOp::SrcCopy);
}

// [MS-EMF] 2.3.1.1 EMR_ALPHABLEND: laid out as EMR_STRETCHBLT, with a
// BLENDFUNCTION in place of the operation: constant alpha in its third
// byte, and in its fourth whether the source's own (premultiplied) alpha counts.
void EmfPlayer::alphaBlend(const RecordView &r)
{
    const BlendFunction blend{r.u8(42) / 255.0, (r.u8(43) & AlphaFormatSourceAlpha) != 0};
    const QImage image = bitmap(r, 84, blend.sourceAlpha);
    if (image.isNull())
        return;
    const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
    m_canvas->drawImage(dest, image, QRectF(r.pointl(44), r.sizel(100)).normalized(), RasterOp::SrcCopy,
                        blend.constantAlpha);
}

// [MS-EMF] 2.3.1.5 EMR_SETDIBITSTODEVICE: destination at 24, source origin
// at 32 and size at 40, the bitmap's place at 48.
void EmfPlayer::setDiBitsToDevice(const RecordView &r)
{
    const QImage image = bitmap(r, 48);
    if (image.isNull())
        return;
    const QSizeF size = r.sizel(40);
    m_canvas->drawImage(QRectF(r.pointl(24), size), image, QRectF(r.pointl(32), size), RasterOp::SrcCopy);
}

// [MS-EMF] 2.3.1.7 EMR_STRETCHDIBITS: destination origin at 24 and size at
// 72, source at 32, the bitmap's place at 48, the operation at 68.
void EmfPlayer::stretchDiBits(const RecordView &r)
{
    const QImage image = bitmap(r, 48);
    if (image.isNull())
        return;
    const QRectF dest(r.pointl(24), r.sizel(72));
    const QRectF source(r.pointl(32), r.sizel(40));
    m_canvas->drawImage(dest, image, source.normalized(), r.u32(68));
}

// [MS-EMF] 2.3.5.12 EMR_GRADIENTFILL: vertex and object counts at 24 and 28,
// the mode at 32, the vertices (x, y, then 16-bit red, green, blue, alpha)
// from 36, then the rectangles or triangles as vertex indices.
void EmfPlayer::gradientFill(const RecordView &r)
{
    constexpr qsizetype VerticesAt = 36;
    constexpr qsizetype VertexSize = 16;
    const qsizetype vertices = r.u32(24);
    const qsizetype objects = r.u32(28);
    const std::uint32_t mode = r.u32(32);
    const qsizetype indices = mode == GradientFillTriangle ? 3 : 2;
    const qsizetype objectsAt = VerticesAt + vertices * VertexSize;
    if (vertices <= 0 || vertices > Limits::MaxItems || objects <= 0 || objects > Limits::MaxItems ||
        !r.has(VerticesAt, vertices * VertexSize) || !r.has(objectsAt, objects * indices * 4))
        return;
    auto point = [&](qsizetype i) { return r.pointl(VerticesAt + i * VertexSize); };
    auto color = [&](qsizetype i) {
        const qsizetype o = VerticesAt + i * VertexSize + 8;
        return QColor(r.u16(o) >> 8, r.u16(o + 2) >> 8, r.u16(o + 4) >> 8);
    };
    for (qsizetype n = 0; n < objects; ++n) {
        qsizetype v[3] = {};
        bool valid = true;
        for (qsizetype k = 0; k < indices; ++k) {
            v[k] = r.u32(objectsAt + (n * indices + k) * 4);
            valid = valid && v[k] < vertices;
        }
        if (!valid)
            continue;
        if (mode == GradientFillTriangle) {
            const QColor colors[3] = {color(v[0]), color(v[1]), color(v[2])};
            m_canvas->gradientTriangle(QPolygonF{point(v[0]), point(v[1]), point(v[2])}, colors);
        } else if (mode == GradientFillRectH || mode == GradientFillRectV) {
            m_canvas->gradientRect(QRectF(point(v[0]), point(v[1])), color(v[0]), color(v[1]),
                                   mode == GradientFillRectV);
        }
    }
}

// ---------------------------------------------------------------------------
// Text.

namespace {

// Chars advances at OffDx, 32 bits each; with ETO_PDY each character has
// an advance across and one up, in pairs.
void readAdvances(const RecordView &r, qsizetype offDx, qsizetype chars, bool pdy, std::vector<double> *dx,
                  std::vector<double> *dy)
{
    const qsizetype stride = pdy ? 8 : 4;
    if (!r.has(offDx, chars * stride))
        return;
    for (qsizetype i = 0; i < chars; ++i) {
        dx->push_back(r.i32(offDx + i * stride));
        if (pdy)
            dy->push_back(r.i32(offDx + i * stride + 4));
    }
}

} // namespace

// [MS-EMF] 2.2.5 EmrText at EmrTextAt: reference, character count, string
// offset, options, rectangle, offset of the advances; offsets count from
// the record's start.
void EmfPlayer::textOut(const RecordView &r, qsizetype emrTextAt, bool wide)
{
    const QPointF reference = r.pointl(emrTextAt);
    const qsizetype chars = r.u32(emrTextAt + 8);
    const qsizetype offString = r.u32(emrTextAt + 12);
    const std::uint32_t options = r.u32(emrTextAt + 16);
    const QRectF rect = r.rectl(emrTextAt + 20);
    const qsizetype offDx = r.u32(emrTextAt + 36);
    if (chars > Limits::MaxChars)
        return;
    if (chars <= 0 || !r.has(offString, chars * (wide ? 2 : 1)))
        return;
    // Text records carry the graphics mode at 24, after their bounds.
    constexpr qsizetype GraphicsModeAt = 24;
    constexpr std::uint32_t GmAdvanced = 2;
    m_canvas->setTextFollowsWorld(r.u32(GraphicsModeAt) == GmAdvanced);
    std::vector<double> dx, dy;
    if (offDx > 0)
        readAdvances(r, offDx, chars, options & TextOutOption::Pdy, &dx, &dy);
    const QByteArray bytes = wide ? QByteArray() : r.bytes().slice(r.start() + offString, chars);
    const int charset = m_canvas->font().charset;
    DecodedText decoded = wide ? DecodedText{utf16At(r, offString, chars), dx} : decodeText(bytes, charset, dx);
    if (wide && (options & TextOutOption::GlyphIndex))
        decoded.text = GlyphText::charactersOf(m_canvas->font().face, decoded.text);
    const std::vector<double> rises = wide || dy.empty() ? dy : decodeText(bytes, charset, dy).advances;
    const bool hasRect = (options & (TextOutOption::Opaque | TextOutOption::Clipped)) && !rect.isEmpty();
    m_canvas->textOut(reference, decoded.text, decoded.advances, options,
                      hasRect ? std::optional<QRectF>(rect.normalized()) : std::nullopt, rises);
}

// [MS-EMF] 2.3.5.33 EMR_POLYTEXTOUTA/W: the string count at 36, then that
// many EmrText objects of 40 bytes.
void EmfPlayer::polyTextOutA(const RecordView &r)
{
    const qsizetype strings = r.u32(36);
    for (qsizetype i = 0; i < strings && r.has(40 + i * 40, 40); ++i)
        textOut(r, 40 + i * 40, false);
}

void EmfPlayer::polyTextOutW(const RecordView &r)
{
    const qsizetype strings = r.u32(36);
    for (qsizetype i = 0; i < strings && r.has(40 + i * 40, 40); ++i)
        textOut(r, 40 + i * 40, true);
}

// [MS-EMF] 2.3.5.37 EMR_SMALLTEXTOUT: reference at 8, count at 16, options
// at 20, a rectangle at 36 unless ETO_NO_RECT, then the characters, one
// byte each with ETO_SMALL_CHARS, else two.
void EmfPlayer::smallTextOut(const RecordView &r)
{
    const qsizetype chars = r.u32(16);
    const std::uint32_t options = r.u32(20);
    const bool hasRect = !(options & TextOutOption::NoRect);
    const qsizetype textAt = hasRect ? 52 : 36;
    const bool small = options & TextOutOption::SmallChars;
    const QString text = small ? bytesAt(r, textAt, chars) : utf16At(r, textAt, chars);
    const QRectF rect = r.rectl(36);
    const bool clipOrFill = hasRect && (options & (TextOutOption::Opaque | TextOutOption::Clipped));
    m_canvas->textOut(QPointF(r.i32(8), r.i32(12)), text, {}, options,
                      clipOrFill ? std::optional<QRectF>(rect.normalized()) : std::nullopt);
}
