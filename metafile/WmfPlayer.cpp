#include "metafile/WmfPlayer.h"

#include "base/WorkerPool.h"
#include "metafile/GdiCanvas.h"
#include "metafile/Limits.h"
#include "metafile/PlayerSupport.h"
#include "raster/Dib.h"

#include <QPainter>

#include <algorithm>

using namespace PlayerSupport;

namespace {

// Parameters start after RecordSize (4 bytes) and RecordFunction (2).
constexpr qsizetype ParamsAt = 6;
// [MS-WMF] 2.3.2.2 META_HEADER: NumberOfObjects 10 bytes in.
constexpr qsizetype HeaderObjectsAt = 10;
// [MS-WMF] 2.2.1.5 Region object: the scan count at 10, the scans at 22.
constexpr qsizetype RegionScanCountAt = 10;
constexpr qsizetype RegionScansAt = 22;

// [MS-WMF] 2.3.1: a blit record without a bitmap has as many words as the
// high byte of its function plus three.
bool carriesBitmap(const RecordView &r, std::uint16_t function)
{
    return r.size() / 2 != qsizetype(function >> 8) + 3;
}

void extend(std::optional<QRectF> &extent, const QPointF &p)
{
    if (!extent) {
        extent = QRectF(p, QSizeF(0, 0));
        return;
    }
    extent->setLeft(std::min(extent->left(), p.x()));
    extent->setTop(std::min(extent->top(), p.y()));
    extent->setRight(std::max(extent->right(), p.x()));
    extent->setBottom(std::max(extent->bottom(), p.y()));
}

// The points a drawing record names, for the extent of a file without a window.
void addDrawnPoints(std::optional<QRectF> &extent, std::uint16_t function, const RecordView &r)
{
    auto p = [&](int i) { return r.i16(ParamsAt + 2 * i); };
    switch (WmfRecord(function)) {
    case WmfRecord::LineTo:
    case WmfRecord::MoveTo:
        extend(extent, QPointF(p(1), p(0)));
        break;
    case WmfRecord::Rectangle:
    case WmfRecord::Ellipse:
        extend(extent, QPointF(p(3), p(2)));
        extend(extent, QPointF(p(1), p(0)));
        break;
    case WmfRecord::TextOut: {
        const qsizetype padded = (r.u16(ParamsAt) + 1) & ~qsizetype(1);
        extend(extent, QPointF(r.i16(ParamsAt + 2 + padded + 2), r.i16(ParamsAt + 2 + padded)));
        break;
    }
    case WmfRecord::ExtTextOut:
        extend(extent, QPointF(p(1), p(0)));
        break;
    case WmfRecord::Polygon:
    case WmfRecord::Polyline: {
        const qsizetype count = r.u16(ParamsAt);
        for (qsizetype i = 0; i < count && r.has(ParamsAt + 2 + i * 4, 4); ++i)
            extend(extent, r.points(ParamsAt + 2 + i * 4));
        break;
    }
    default:
        break;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// The table: every record type of [MS-WMF] 2.1.1.1 that we draw or set aside.

const WmfPlayer::Entry *WmfPlayer::entryFor(std::uint16_t function)
{
    using R = WmfRecord;
    using P = WmfPlayer;
    static const Entry entries[] = {
        {R::RealizePalette, "META_REALIZEPALETTE", nullptr, "a true-colour target needs no realizing"},
        {R::SetPalEntries, "META_SETPALENTRIES",
         [](P &p, const RecordView &r) {
             p.m_canvas->setPaletteEntries(r.u16(ParamsAt), paletteEntries(r, ParamsAt + 4, r.u16(ParamsAt + 2)));
         }},
        {R::SetBkMode, "META_SETBKMODE", [](P &p, const RecordView &r) { p.m_canvas->setBkMode(r.u16(ParamsAt)); }},
        {R::SetMapMode, "META_SETMAPMODE",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setMapMode(MapMode(r.u16(ParamsAt))); }},
        {R::SetRop2, "META_SETROP2", [](P &p, const RecordView &r) { p.m_canvas->setRop2(r.u16(ParamsAt)); }},
        {R::SetRelAbs, "META_SETRELABS", nullptr, "reserved: the document says to ignore it"},
        {R::SetPolyFillMode, "META_SETPOLYFILLMODE",
         [](P &p, const RecordView &r) { p.m_canvas->setPolyFillMode(r.u16(ParamsAt)); }},
        {R::SetStretchBltMode, "META_SETSTRETCHBLTMODE", nullptr, "every stretched bitmap is smoothed"},
        {R::SetTextCharExtra, "META_SETTEXTCHAREXTRA",
         [](P &p, const RecordView &r) { p.m_canvas->setTextCharExtra(param(r, 0)); }},
        {R::RestoreDc, "META_RESTOREDC", [](P &p, const RecordView &r) { p.m_canvas->restoreDC(param(r, 0)); }},
        {R::ResizePalette, "META_RESIZEPALETTE", nullptr, "entries past the end read as the last one"},
        {R::DibCreatePatternBrush, "META_DIBCREATEPATTERNBRUSH", playMember<&P::dibCreatePatternBrush>},
        {R::SetLayout, "META_SETLAYOUT", nullptr, "right-to-left layout of bitmaps; none in our pictures"},
        {R::SetBkColor, "META_SETBKCOLOR",
         [](P &p, const RecordView &r) { p.m_canvas->setBkColor(p.m_canvas->resolve(r.u32(ParamsAt))); }},
        {R::SetTextColor, "META_SETTEXTCOLOR",
         [](P &p, const RecordView &r) { p.m_canvas->setTextColor(p.m_canvas->resolve(r.u32(ParamsAt))); }},
        {R::OffsetViewportOrg, "META_OFFSETVIEWPORTORG",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().offsetViewportOrg(pointAt(r, 0)); }},
        {R::LineTo, "META_LINETO", [](P &p, const RecordView &r) { p.m_canvas->lineTo(pointAt(r, 0)); }},
        {R::MoveTo, "META_MOVETO", [](P &p, const RecordView &r) { p.m_canvas->moveTo(pointAt(r, 0)); }},
        {R::OffsetClipRgn, "META_OFFSETCLIPRGN",
         [](P &p, const RecordView &r) { p.m_canvas->offsetClipRegion(pointAt(r, 0)); }},
        {R::FillRegion, "META_FILLREGION", playMember<&P::fillRegion>},
        {R::SetMapperFlags, "META_SETMAPPERFLAGS", nullptr, "font matching hint; fontconfig matches"},
        {R::SelectPalette, "META_SELECTPALETTE", playMember<&P::selectPalette>},
        {R::Polygon, "META_POLYGON", [](P &p, const RecordView &r) { p.m_canvas->polygon(pointsAt(r, ParamsAt)); }},
        {R::Polyline, "META_POLYLINE", [](P &p, const RecordView &r) { p.m_canvas->polyline(pointsAt(r, ParamsAt)); }},
        {R::SetTextJustification, "META_SETTEXTJUSTIFICATION", nullptr,
         "spreads break extra over words; the text keeps its natural spacing"},
        // Y before X, height before width, throughout.
        {R::SetWindowOrg, "META_SETWINDOWORG",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setWindowOrg(pointAt(r, 0)); }},
        {R::SetWindowExt, "META_SETWINDOWEXT",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setWindowExt(sizeAt(r, 0)); }},
        {R::SetViewportOrg, "META_SETVIEWPORTORG",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setViewportOrg(pointAt(r, 0)); }},
        {R::SetViewportExt, "META_SETVIEWPORTEXT",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().setViewportExt(sizeAt(r, 0)); }},
        {R::OffsetWindowOrg, "META_OFFSETWINDOWORG",
         [](P &p, const RecordView &r) { p.m_canvas->mapping().offsetWindowOrg(pointAt(r, 0)); }},
        // yDenom, yNum, xDenom, xNum.
        {R::ScaleWindowExt, "META_SCALEWINDOWEXT",
         [](P &p, const RecordView &r) {
             p.m_canvas->mapping().scaleWindowExt(param(r, 3), param(r, 2), param(r, 1), param(r, 0));
         }},
        {R::ScaleViewportExt, "META_SCALEVIEWPORTEXT",
         [](P &p, const RecordView &r) {
             p.m_canvas->mapping().scaleViewportExt(param(r, 3), param(r, 2), param(r, 1), param(r, 0));
         }},
        {R::ExcludeClipRect, "META_EXCLUDECLIPRECT",
         [](P &p, const RecordView &r) { p.m_canvas->excludeClipRect(rectAt(r, 0)); }},
        {R::IntersectClipRect, "META_INTERSECTCLIPRECT",
         [](P &p, const RecordView &r) { p.m_canvas->intersectClipRect(rectAt(r, 0)); }},
        {R::Ellipse, "META_ELLIPSE", [](P &p, const RecordView &r) { p.m_canvas->ellipse(rectAt(r, 0)); }},
        {R::FloodFill, "META_FLOODFILL", nullptr,
         "fills by the colour already drawn, which a vector "
         "playback does not keep"},
        {R::FrameRegion, "META_FRAMEREGION", playMember<&P::frameRegion>},
        {R::AnimatePalette, "META_ANIMATEPALETTE", nullptr, "changes colours on palette devices only"},
        {R::TextOut, "META_TEXTOUT", playMember<&P::textOut>},
        {R::PolyPolygon, "META_POLYPOLYGON", playMember<&P::polyPolygon>},
        {R::ExtFloodFill, "META_EXTFLOODFILL", nullptr,
         "fills by the colour already drawn, which a vector "
         "playback does not keep"},
        {R::Rectangle, "META_RECTANGLE", [](P &p, const RecordView &r) { p.m_canvas->rectangle(rectAt(r, 0)); }},
        // Colour, then y and x.
        {R::SetPixel, "META_SETPIXEL",
         [](P &p, const RecordView &r) { p.m_canvas->setPixel(pointAt(r, 2), p.m_canvas->resolve(r.u32(ParamsAt))); }},
        // Corner height and width, then the rectangle.
        {R::RoundRect, "META_ROUNDRECT",
         [](P &p, const RecordView &r) { p.m_canvas->roundRect(rectAt(r, 2), sizeAt(r, 0)); }},
        // [MS-WMF] 2.3.1.4 META_PATBLT: operation, height, width, y, x.
        {R::PatBlt, "META_PATBLT",
         [](P &p, const RecordView &r) { p.m_canvas->patBlt(QRectF(pointAt(r, 4), sizeAt(r, 2)), r.u32(ParamsAt)); }},
        {R::SaveDc, "META_SAVEDC", [](P &p, const RecordView &) { p.m_canvas->saveDC(); }},
        {R::Pie, "META_PIE",
         [](P &p, const RecordView &r) { p.m_canvas->pie(rectAt(r, 4), pointAt(r, 2), pointAt(r, 0)); }},
        {R::StretchBlt, "META_STRETCHBLT", [](P &p, const RecordView &r) { p.blit(r, true, false); }},
        {R::Escape, "META_ESCAPE", nullptr, "printer escapes and embedded comments, nothing drawn"},
        {R::InvertRegion, "META_INVERTREGION",
         [](P &p, const RecordView &r) { p.m_canvas->invertRegion(p.regionAt(r.u16(ParamsAt))); }},
        {R::PaintRegion, "META_PAINTREGION",
         [](P &p, const RecordView &r) { p.m_canvas->fillRegion(p.regionAt(r.u16(ParamsAt)), p.m_canvas->brush()); }},
        {R::SelectClipRegion, "META_SELECTCLIPREGION", playMember<&P::selectClipRegion>},
        {R::SelectObject, "META_SELECTOBJECT", playMember<&P::selectObject>},
        {R::SetTextAlign, "META_SETTEXTALIGN",
         [](P &p, const RecordView &r) { p.m_canvas->setTextAlign(r.u16(ParamsAt)); }},
        // End y and x, start y and x, then the rectangle.
        {R::Arc, "META_ARC",
         [](P &p, const RecordView &r) { p.m_canvas->arc(rectAt(r, 4), pointAt(r, 2), pointAt(r, 0)); }},
        {R::Chord, "META_CHORD",
         [](P &p, const RecordView &r) { p.m_canvas->chord(rectAt(r, 4), pointAt(r, 2), pointAt(r, 0)); }},
        {R::BitBlt, "META_BITBLT", [](P &p, const RecordView &r) { p.blit(r, false, false); }},
        {R::ExtTextOut, "META_EXTTEXTOUT", playMember<&P::extTextOut>},
        {R::SetDibToDev, "META_SETDIBTODEV", playMember<&P::setDibToDev>},
        {R::DibBitBlt, "META_DIBBITBLT", [](P &p, const RecordView &r) { p.blit(r, false, true); }},
        {R::DibStretchBlt, "META_DIBSTRETCHBLT", [](P &p, const RecordView &r) { p.blit(r, true, true); }},
        {R::StretchDib, "META_STRETCHDIB", playMember<&P::stretchDib>},
        {R::DeleteObject, "META_DELETEOBJECT", [](P &p, const RecordView &r) { p.m_objects->remove(r.u16(ParamsAt)); }},
        {R::CreatePalette, "META_CREATEPALETTE", playMember<&P::createPalette>},
        {R::CreatePatternBrush, "META_CREATEPATTERNBRUSH", playMember<&P::createPatternBrush>},
        {R::CreatePenIndirect, "META_CREATEPENINDIRECT", playMember<&P::createPenIndirect>},
        {R::CreateFontIndirect, "META_CREATEFONTINDIRECT", playMember<&P::createFontIndirect>},
        {R::CreateBrushIndirect, "META_CREATEBRUSHINDIRECT", playMember<&P::createBrushIndirect>},
        {R::CreateRegion, "META_CREATEREGION", playMember<&P::createRegion>},
    };
    // [MS-WMF] 2.1.1.1: the low byte of a record function is unique to it.
    static const RecordTable<Entry, 256> table(entries);
    return table.find(function);
}

RecordHandling WmfPlayer::handling(std::uint16_t function)
{
    return handlingOf(entryFor(function));
}

// ---------------------------------------------------------------------------
// The walk.

std::optional<WmfPlayer::Survey> WmfPlayer::survey(const QByteArray &bytes, qsizetype firstRecord)
{
    std::optional<QPointF> origin;
    std::optional<QSizeF> extent;
    std::optional<QRectF> drawn;
    const WalkEnd end = walkWmfRecords(ByteReader(bytes), firstRecord, [&](std::uint16_t f, const RecordView &r) {
        if (WmfRecord(f) == WmfRecord::SetWindowOrg && !origin)
            origin = QPointF(r.i16(ParamsAt + 2), r.i16(ParamsAt));
        else if (WmfRecord(f) == WmfRecord::SetWindowExt && !extent)
            extent = QSizeF(r.i16(ParamsAt + 2), r.i16(ParamsAt));
        else if (!extent)
            addDrawnPoints(drawn, f, r);
        return true;
    });
    if (end != WalkEnd::EndOfFile)
        return std::nullopt;
    return Survey{QRectF(origin.value_or(QPointF(0, 0)), extent.value_or(QSizeF(0, 0))), drawn};
}

WmfPlayer::WmfPlayer(const QByteArray &bytes, qsizetype firstRecord, const QRectF &frame, const Playback &playback)
    : m_bytes(bytes), m_b(bytes), m_budget(playback.budget), m_firstRecord(firstRecord)
{
    // The reference device is the picture at its natural size; the window
    // maps onto it, and the picture's own window records move it.
    const QRectF device = playback.deviceFrame;
    m_canvas = std::make_unique<GdiCanvas>(playback);
    m_canvas->mapping().setMapMode(MapMode::Anisotropic);
    m_canvas->mapping().setViewportOrg(device.topLeft());
    m_canvas->mapping().setViewportExt(device.size());
    m_canvas->mapping().setWindowOrg(frame.topLeft());
    m_canvas->mapping().setWindowExt(frame.size());
    m_objects = std::make_unique<GdiObjectTable>(
        m_b.u16(firstRecord - FileHeader::WmfHeaderSize + HeaderObjectsAt).value_or(0));
}

WmfPlayer::~WmfPlayer() = default;

void WmfPlayer::play()
{
    walkWmfRecords(m_b, m_firstRecord, [this](std::uint16_t function, const RecordView &r) {
        const Entry *entry = entryFor(function);
        if (entry && entry->play)
            entry->play(*this, r);
        return !m_budget.exhausted && !workAbandoned();
    });
}

// ---------------------------------------------------------------------------
// Reading parameters.

std::int16_t WmfPlayer::param(const RecordView &r, int i)
{
    return r.i16(ParamsAt + 2 * i);
}

QRectF WmfPlayer::rectAt(const RecordView &r, int i)
{
    return QRectF(pointAt(r, i + 2), pointAt(r, i));
}

QPointF WmfPlayer::pointAt(const RecordView &r, int i)
{
    return QPointF(param(r, i + 1), param(r, i));
}

QSizeF WmfPlayer::sizeAt(const RecordView &r, int i)
{
    return QSizeF(param(r, i + 1), param(r, i));
}

// A count at byte CountAt, then that many points of two 16-bit coordinates.
QPolygonF WmfPlayer::pointsAt(const RecordView &r, qsizetype countAt)
{
    QPolygonF polygon;
    const qsizetype count = r.u16(countAt);
    const qsizetype first = countAt + 2;
    if (!r.has(first, count * 4))
        return polygon;
    polygon.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        polygon << r.points(first + i * 4);
    return polygon;
}

QPainterPath WmfPlayer::regionAt(std::uint16_t index) const
{
    const auto *region = m_objects->get<GdiRegion>(index);
    return region ? region->path : QPainterPath();
}

void WmfPlayer::addObject(GdiObject object)
{
    m_objects->add(std::move(object));
}

// ---------------------------------------------------------------------------
// State.

// ---------------------------------------------------------------------------
// Lines, shapes and text.

// [MS-WMF] 2.2.2.17 PolyPolygon: the polygon count, each one's point count, the points.
void WmfPlayer::polyPolygon(const RecordView &r)
{
    const qsizetype polys = r.u16(ParamsAt);
    const qsizetype countsAt = ParamsAt + 2;
    if (!r.has(countsAt, polys * 2))
        return;
    std::vector<QPolygonF> polygons;
    qsizetype next = countsAt + polys * 2;
    for (qsizetype p = 0; p < polys; ++p) {
        const qsizetype count = r.u16(countsAt + p * 2);
        if (!r.has(next, count * 4))
            break;
        QPolygonF polygon;
        polygon.reserve(count);
        for (qsizetype i = 0; i < count; ++i, next += 4)
            polygon << r.points(next);
        polygons.push_back(std::move(polygon));
    }
    m_canvas->polyPolygon(polygons);
}

// [MS-WMF] 2.3.3.20 META_TEXTOUT: length, the string padded to words, y, x.
void WmfPlayer::textOut(const RecordView &r)
{
    const qsizetype count = r.u16(ParamsAt);
    const qsizetype padded = (count + 1) & ~qsizetype(1);
    const qsizetype stringAt = ParamsAt + 2;
    if (!r.has(stringAt, padded + 4))
        return;
    const QPointF reference(r.i16(stringAt + padded + 2), r.i16(stringAt + padded));
    const DecodedText decoded = decodeText(r.bytes().slice(r.start() + stringAt, count), m_canvas->font().charset, {});
    m_canvas->textOut(reference, decoded.text, {}, 0, std::nullopt);
}

// [MS-WMF] 2.3.3.5 META_EXTTEXTOUT: y, x, length, options, a rectangle when
// the options clip or fill, the string padded to words, then the advances.
void WmfPlayer::extTextOut(const RecordView &r)
{
    const QPointF reference(param(r, 1), param(r, 0));
    const qsizetype count = r.u16(ParamsAt + 4);
    const std::uint16_t options = r.u16(ParamsAt + 6);
    qsizetype next = ParamsAt + 8;
    std::optional<QRectF> rect;
    if (options & (TextOutOption::Opaque | TextOutOption::Clipped)) {
        rect = r.rects(next).normalized();
        next += 8;
    }
    if (!r.has(next, count))
        return;
    const QByteArray bytes = r.bytes().slice(r.start() + next, count);
    next += (count + 1) & ~qsizetype(1);
    // With ETO_PDY each byte has an advance across and one up.
    const qsizetype stride = (options & TextOutOption::Pdy) ? 2 : 1;
    std::vector<double> dx, dy;
    if (r.has(next, count * 2 * stride)) {
        for (qsizetype i = 0; i < count; ++i) {
            dx.push_back(r.i16(next + i * 2 * stride));
            if (stride == 2)
                dy.push_back(r.i16(next + i * 4 + 2));
        }
    }
    const int charset = m_canvas->font().charset;
    const DecodedText decoded = decodeText(bytes, charset, dx);
    m_canvas->textOut(reference, decoded.text, decoded.advances, options, rect,
                      dy.empty() ? dy : decodeText(bytes, charset, dy).advances);
}

// ---------------------------------------------------------------------------
// Objects: each new one takes the lowest free place of the table.

void WmfPlayer::selectObject(const RecordView &r)
{
    const std::uint16_t index = r.u16(ParamsAt);
    if (const auto *region = m_objects->get<GdiRegion>(index))
        m_canvas->selectClipRegion(region->path);
    else
        m_canvas->selectObject(m_objects->get(index));
}

// [MS-WMF] 2.2.1.4 Pen: style, width as a point (x used), colour.
void WmfPlayer::createPenIndirect(const RecordView &r)
{
    GdiPen object;
    object.style = r.u16(ParamsAt);
    object.width = r.i16(ParamsAt + 2);
    object.color = m_canvas->resolve(r.u32(ParamsAt + 6));
    addObject(object);
}

// [MS-WMF] 2.2.2.10 LogBrush: style, colour, hatch.
void WmfPlayer::createBrushIndirect(const RecordView &r)
{
    GdiBrush object;
    object.style = r.u16(ParamsAt);
    object.color = m_canvas->resolve(r.u32(ParamsAt + 2));
    object.hatch = r.u16(ParamsAt + 6);
    addObject(object);
}

// [MS-WMF] 2.2.1.2 Font: height, width, escapement, orientation, weight,
// italic, underline, strike-out, character set, three bytes of precision
// and quality, pitch and family, then the face name.
void WmfPlayer::createFontIndirect(const RecordView &r)
{
    constexpr qsizetype FaceAt = ParamsAt + 18;
    constexpr qsizetype FaceBytes = 32;
    GdiFont object;
    GdiFont &f = object;
    f.height = param(r, 0);
    f.width = param(r, 1);
    f.escapement = param(r, 2);
    f.weight = param(r, 4);
    f.italic = r.u8(ParamsAt + 10);
    f.underline = r.u8(ParamsAt + 11);
    f.strikeOut = r.u8(ParamsAt + 12);
    f.charset = r.u8(ParamsAt + 13);
    f.pitchAndFamily = r.u8(ParamsAt + 17);
    const QString face = untilZero(bytesAt(r, FaceAt, std::clamp<qsizetype>(r.size() - FaceAt, 0, FaceBytes)));
    if (!face.isEmpty())
        f.face = face;
    addObject(object);
}

// [MS-WMF] 2.3.4.8 META_DIBCREATEPATTERNBRUSH: style, colour usage, then
// the pattern as a device-independent bitmap, whatever the style. A
// two-colour pattern of style BS_PATTERN stands for a monochrome bitmap,
// which takes the text colour where it has its first colour and the
// background colour elsewhere.
void WmfPlayer::dibCreatePatternBrush(const RecordView &r)
{
    constexpr qsizetype BitmapAt = ParamsAt + 4;
    constexpr qsizetype BitCountAt = BitmapAt + 14, HeaderSizeAt = BitmapAt;
    GdiBrush object;
    object.style = BrushStyle::DibPattern;
    object.pattern = decodedPacked(r, BitmapAt);
    if (r.u16(ParamsAt) == BrushStyle::Pattern && r.u16(BitCountAt) == 1 && !object.pattern.isNull()) {
        const qsizetype firstColourAt = BitmapAt + r.u32(HeaderSizeAt);
        const QRgb first = qRgb(r.u8(firstColourAt + 2), r.u8(firstColourAt + 1), r.u8(firstColourAt));
        QImage &pattern = object.pattern;
        pattern = pattern.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < pattern.height(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(pattern.scanLine(y));
            for (int x = 0; x < pattern.width(); ++x)
                row[x] = qRgb(qRed(row[x]), qGreen(row[x]), qBlue(row[x])) == first ? m_canvas->textColor().rgb()
                                                                                    : m_canvas->bkColor().rgb();
        }
    }
    addObject(object);
}

// [MS-WMF] 2.3.4.4 META_CREATEPATTERNBRUSH: a Bitmap16 head, 18 reserved
// bytes, then the pattern's bits.
void WmfPlayer::createPatternBrush(const RecordView &r)
{
    GdiBrush object;
    object.style = BrushStyle::Pattern;
    constexpr qsizetype ReservedBytes = 18;
    object.pattern = bitmap16At(r, ParamsAt, ReservedBytes);
    addObject(object);
}

// [MS-WMF] 2.2.1.3 Palette: start, count, entries.
void WmfPlayer::createPalette(const RecordView &r)
{
    GdiPalette object;
    object.entries = paletteEntries(r, ParamsAt + 4, r.u16(ParamsAt + 2));
    addObject(object);
}

void WmfPlayer::selectPalette(const RecordView &r)
{
    if (const auto *palette = m_objects->get<GdiPalette>(r.u16(ParamsAt)))
        m_canvas->selectPalette(palette->entries);
}

// [MS-WMF] 2.2.1.5 Region: a head, then scans of top, bottom and pairs of
// left and right between two copies of the pair count.
void WmfPlayer::createRegion(const RecordView &r)
{
    GdiRegion object;
    const qsizetype scans = r.u16(ParamsAt + RegionScanCountAt);
    qsizetype at = ParamsAt + RegionScansAt;
    for (qsizetype s = 0; s < scans && s < Limits::MaxRegionScans && r.has(at, 6); ++s) {
        const qsizetype count = r.u16(at);
        const double top = r.i16(at + 2);
        const double bottom = r.i16(at + 4);
        if (!r.has(at + 6, count * 2 + 2))
            break;
        for (qsizetype i = 0; i + 1 < count; i += 2)
            object.path.addRect(
                QRectF(QPointF(r.i16(at + 6 + i * 2), top), QPointF(r.i16(at + 8 + i * 2), bottom)).normalized());
        at += 6 + count * 2 + 2;
    }
    // Filled by winding, the rectangles draw as their union; merging them
    // into one outline costs the square of their number.
    object.path.setFillRule(Qt::WindingFill);
    addObject(object);
}

// A region, or anything else (writers put 0 there) to reset the clip.
void WmfPlayer::selectClipRegion(const RecordView &r)
{
    if (const auto *region = m_objects->get<GdiRegion>(r.u16(ParamsAt)))
        m_canvas->selectClipRegion(region->path);
    else
        m_canvas->selectClipRegion(std::nullopt);
}

// Region, then brush.
void WmfPlayer::fillRegion(const RecordView &r)
{
    const auto *brush = m_objects->get<GdiBrush>(r.u16(ParamsAt + 2));
    if (brush)
        m_canvas->fillRegion(regionAt(r.u16(ParamsAt)), *brush);
}

// Region, brush, height, width.
void WmfPlayer::frameRegion(const RecordView &r)
{
    const auto *brush = m_objects->get<GdiBrush>(r.u16(ParamsAt + 2));
    if (brush)
        m_canvas->frameRegion(regionAt(r.u16(ParamsAt)), *brush, sizeAt(r, 2));
}

// ---------------------------------------------------------------------------
// Bitmaps.

// [MS-WMF] 2.2.2.1 Bitmap16: type, width, height, bytes per row, planes,
// bits per pixel, then the rows from the top, BitsAfter bytes past the
// head. One-bit rows take the text and background colours, as a
// monochrome device bitmap does.
// A packed device-independent bitmap from At to the record's end, counted
// against the playback's bound on decoded bytes.
QImage WmfPlayer::decodedPacked(const RecordView &r, qsizetype at) const
{
    return m_budget.decodes(
        [&](qint64 room) { return Dib::decodePacked(m_bytes, r.start() + at, r.size() - at, room); });
}

QImage WmfPlayer::bitmap16At(const RecordView &r, qsizetype at, qsizetype bitsAfter) const
{
    constexpr qsizetype HeadSize = 10;
    const qsizetype width = r.i16(at + 2);
    const qsizetype height = r.i16(at + 4);
    const qsizetype stride = r.i16(at + 6);
    const int depth = r.u8(at + 9);
    const qsizetype bits = at + HeadSize + bitsAfter;
    if (width <= 0 || height <= 0 || (depth != 1 && depth != 24 && depth != 32) || stride < (width * depth + 7) / 8 ||
        !r.has(bits, stride * height) || width * height > m_budget.decodablePixels() ||
        !m_budget.loopsOver(width * height))
        return QImage();
    QImage image(int(width), int(height), QImage::Format_RGB32);
    m_budget.decodedBytes += image.sizeInBytes();
    for (qsizetype y = 0; y < height; ++y) {
        const qsizetype row = bits + y * stride;
        for (qsizetype x = 0; x < width; ++x) {
            QRgb pixel;
            if (depth == 1)
                pixel =
                    (r.u8(row + x / 8) >> (7 - x % 8)) & 1 ? m_canvas->bkColor().rgb() : m_canvas->textColor().rgb();
            else
                pixel = qRgb(r.u8(row + x * depth / 8 + 2), r.u8(row + x * depth / 8 + 1), r.u8(row + x * depth / 8));
            image.setPixel(int(x), int(y), pixel);
        }
    }
    return image;
}

// [MS-WMF] 2.3.1 bit-block records: the operation, then (stretched) the
// source size, the source origin, the destination size and origin, and
// last the bitmap; without a bitmap a reserved word and a pattern operation.
void WmfPlayer::blit(const RecordView &r, bool stretch, bool deviceIndependent)
{
    const std::uint32_t rop = r.u32(ParamsAt);
    const int first = 2; // parameters after the 32-bit operation
    const int params = stretch ? 8 : 6;
    if (!carriesBitmap(r, r.u16(4))) {
        const int o = first + 1; // past the reserved word
        const QRectF dest = stretch ? QRectF(param(r, o + 7), param(r, o + 6), param(r, o + 5), param(r, o + 4))
                                    : QRectF(param(r, o + 5), param(r, o + 4), param(r, o + 3), param(r, o + 2));
        m_canvas->patBlt(dest, rop);
        return;
    }
    const qsizetype bitmapAt = ParamsAt + 4 + params * 2;
    const QImage image = deviceIndependent ? decodedPacked(r, bitmapAt) : bitmap16At(r, bitmapAt, 0);
    if (image.isNull())
        return;
    if (stretch) {
        const QRectF source(param(r, first + 3), param(r, first + 2), param(r, first + 1), param(r, first));
        const QRectF dest(param(r, first + 7), param(r, first + 6), param(r, first + 5), param(r, first + 4));
        m_canvas->drawImage(dest, image, source.normalized(), rop);
    } else {
        const QSizeF size(param(r, first + 3), param(r, first + 2));
        const QPointF source(param(r, first + 1), param(r, first));
        m_canvas->drawImage(QRectF(pointAt(r, first + 4), size), image, QRectF(source, size).normalized(), rop);
    }
}

// [MS-WMF] 2.3.1.6 META_STRETCHDIB: operation, colour usage, source height,
// width, y, x, destination height, width, y, x, the bitmap.
void WmfPlayer::stretchDib(const RecordView &r)
{
    constexpr qsizetype BitmapAt = ParamsAt + 22;
    const QImage image = decodedPacked(r, BitmapAt);
    if (image.isNull())
        return;
    const QRectF source(param(r, 6), param(r, 5), param(r, 4), param(r, 3));
    const QRectF dest(param(r, 10), param(r, 9), param(r, 8), param(r, 7));
    m_canvas->drawImage(dest, image, source.normalized(), r.u32(ParamsAt));
}

// [MS-WMF] 2.3.1.5 META_SETDIBTODEV: colour usage, scan count, first scan,
// source y, x, height, width, destination y, x, the bitmap.
void WmfPlayer::setDibToDev(const RecordView &r)
{
    constexpr qsizetype BitmapAt = ParamsAt + 18;
    const QImage image = decodedPacked(r, BitmapAt);
    if (image.isNull())
        return;
    const QSizeF size(param(r, 6), param(r, 5));
    m_canvas->drawImage(QRectF(pointAt(r, 7), size), image, QRectF(pointAt(r, 3), size).normalized(),
                        RasterOp::SrcCopy);
}
