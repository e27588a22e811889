#include "metafile/MetafilePlayer.h"

#include "base/Cp1252.h"
#include "metafile/Dib.h"
#include "metafile/GdiCanvas.h"
#include "metafile/Records.h"

#include <QPainter>

#include <cstring>
#include <vector>

// ---------------------------------------------------------------------------
// Bounds-checked reads.

namespace {

// Reads inside one record: anything past the record's end reads as absent.
class Record
{
public:
    Record(const ByteReader &b, qsizetype start, qsizetype size) : m_b(b), m_start(start), m_size(size) {}

    bool has(qsizetype offset, qsizetype count) const
    {
        return offset >= 0 && count >= 0 && offset <= m_size && count <= m_size - offset;
    }
    std::int32_t i32(qsizetype o) const { return has(o, 4) ? m_b.i32(m_start + o).value_or(0) : 0; }
    std::uint32_t u32(qsizetype o) const { return has(o, 4) ? m_b.u32(m_start + o).value_or(0) : 0; }
    std::int16_t i16(qsizetype o) const { return has(o, 2) ? m_b.i16(m_start + o).value_or(0) : 0; }
    std::uint16_t u16(qsizetype o) const { return has(o, 2) ? m_b.u16(m_start + o).value_or(0) : 0; }
    std::uint8_t u8(qsizetype o) const { return has(o, 1) ? m_b.u8(m_start + o).value_or(0) : 0; }
    float f32(qsizetype o) const
    {
        const float f = has(o, 4) ? m_b.f32(m_start + o).value_or(0) : 0;
        return std::isfinite(f) ? f : 0;
    }
    QColor color(qsizetype o) const { return QColor(u8(o), u8(o + 1), u8(o + 2)); }
    QPointF pointl(qsizetype o) const { return QPointF(i32(o), i32(o + 4)); }
    QSizeF sizel(qsizetype o) const { return QSizeF(i32(o), i32(o + 4)); }
    QRectF rectl(qsizetype o) const { return QRectF(QPointF(i32(o), i32(o + 4)), QPointF(i32(o + 8), i32(o + 12))); }

private:
    const ByteReader &m_b;
    qsizetype m_start;
    qsizetype m_size;
};

void selectObject(GdiCanvas &canvas, const GdiObject *object)
{
    if (!object)
        return;
    switch (object->kind) {
    case GdiObject::Kind::Pen:
        canvas.selectPen(object->pen);
        break;
    case GdiObject::Kind::Brush:
        canvas.selectBrush(object->brush);
        break;
    case GdiObject::Kind::Font:
        canvas.selectFont(object->font);
        break;
    default:
        break;
    }
}

QString utf16At(const ByteReader &b, qsizetype at, qsizetype chars)
{
    QString text;
    if (chars <= 0 || !b.has(at, chars * 2))
        return text;
    text.reserve(chars);
    for (qsizetype i = 0; i < chars; ++i)
        text.append(QChar(char16_t(b.u16(at + 2 * i).value_or(0))));
    return text;
}

QString faceName(const QString &raw)
{
    const qsizetype zero = raw.indexOf(QChar(0));
    return zero >= 0 ? raw.left(zero) : raw;
}

constexpr qsizetype MaxPoints = 4'000'000;

} // namespace

// ---------------------------------------------------------------------------
// EMF.

namespace {

struct EmfHeader {
    QRectF frameDevice;
    double pixelsPerMm = 96 / 25.4;
    std::uint32_t handles = 1;
};

EmfHeader readEmfHeader(const ByteReader &b)
{
    const Record r(b, 0, qsizetype(b.u32(4).value_or(0)));
    EmfHeader h;
    const QSizeF device = r.sizel(72);
    const QSizeF millimetres = r.sizel(80);
    double pxPerMmX = millimetres.width() > 0 && device.width() > 0 ? device.width() / millimetres.width() : 96 / 25.4;
    double pxPerMmY =
        millimetres.height() > 0 && device.height() > 0 ? device.height() / millimetres.height() : 96 / 25.4;
    const QRectF frame = r.rectl(24); // 0.01 mm
    h.frameDevice = QRectF(frame.left() * pxPerMmX / 100, frame.top() * pxPerMmY / 100, frame.width() * pxPerMmX / 100,
                           frame.height() * pxPerMmY / 100);
    h.pixelsPerMm = (pxPerMmX + pxPerMmY) / 2;
    h.handles = std::max<std::uint32_t>(r.u16(56), 1);
    return h;
}

} // namespace

bool EmfPlayer::validate(const QByteArray &bytes)
{
    const ByteReader b(bytes);
    qsizetype at = 0;
    for (qsizetype n = 0; n < MaxRecords; ++n) {
        const auto type = b.u32(at);
        const auto size = b.u32(at + 4);
        if (!type || !size || *size < 8 || *size % 4 != 0 || !b.has(at, *size))
            return false;
        if (EmfRecord(*type) == EmfRecord::Eof)
            return true;
        at += *size;
    }
    return false;
}

EmfPlayer::EmfPlayer(const QByteArray &bytes, QPainter &painter, const QRectF &target, double zoom)
    : m_bytes(bytes), m_b(bytes)
{
    const EmfHeader h = readEmfHeader(m_b);
    m_canvas = std::make_unique<GdiCanvas>(painter, target, h.frameDevice, h.pixelsPerMm, zoom);
    m_objects = std::make_unique<GdiObjectTable>(h.handles);
}

EmfPlayer::~EmfPlayer() = default;

void EmfPlayer::play()
{
    qsizetype at = 0;
    for (qsizetype n = 0; n < MaxRecords; ++n) {
        const auto type = m_b.u32(at);
        const auto size = m_b.u32(at + 4);
        if (!type || !size || *size < 8 || !m_b.has(at, *size))
            break;
        if (EmfRecord(*type) == EmfRecord::Eof)
            break;
        record(*type, at, qsizetype(*size));
        at += *size;
    }
}

void EmfPlayer::record(std::uint32_t type, qsizetype at, qsizetype size)
{
    const Record r(m_b, at, size);
    GdiCanvas &c = *m_canvas;
    GdiObjectTable &objects = *m_objects;

    // Points of the poly records, 32- or 16-bit.
    auto points = [&](qsizetype countAt, qsizetype firstAt, bool small) {
        QPolygonF polygon;
        const qsizetype count = r.u32(countAt);
        const qsizetype each = small ? 4 : 8;
        if (count <= 0 || count > MaxPoints || !r.has(firstAt, count * each))
            return polygon;
        polygon.reserve(count);
        for (qsizetype i = 0; i < count; ++i) {
            const qsizetype o = firstAt + i * each;
            polygon << (small ? QPointF(r.i16(o), r.i16(o + 2)) : QPointF(r.i32(o), r.i32(o + 4)));
        }
        return polygon;
    };
    auto polyPoints = [&](bool small) {
        std::vector<QPolygonF> result;
        const qsizetype polys = r.u32(24);
        const qsizetype total = r.u32(28);
        const qsizetype each = small ? 4 : 8;
        if (polys <= 0 || polys > MaxPoints || total <= 0 || total > MaxPoints || !r.has(32, polys * 4) ||
            !r.has(32 + polys * 4, total * each))
            return result;
        qsizetype next = 32 + polys * 4;
        qsizetype used = 0;
        for (qsizetype p = 0; p < polys; ++p) {
            const qsizetype count = r.u32(32 + p * 4);
            if (count < 0 || count > total - used)
                break;
            QPolygonF polygon;
            polygon.reserve(count);
            for (qsizetype i = 0; i < count; ++i, next += each)
                polygon << (small ? QPointF(r.i16(next), r.i16(next + 2)) : QPointF(r.i32(next), r.i32(next + 4)));
            used += count;
            result.push_back(std::move(polygon));
        }
        return result;
    };
    auto bitmap = [&](qsizetype offBmi, qsizetype cbBmi, qsizetype offBits, qsizetype cbBits) {
        if (cbBmi == 0 || !r.has(offBmi, cbBmi) || !r.has(offBits, cbBits))
            return QImage();
        return Dib::decode(m_bytes, at + offBmi, cbBmi, at + offBits, cbBits);
    };

    switch (EmfRecord(type)) {
    case EmfRecord::PolyBezier:
        c.polyBezier(points(24, 28, false));
        break;
    case EmfRecord::Polygon:
        c.polygon(points(24, 28, false));
        break;
    case EmfRecord::Polyline:
        c.polyline(points(24, 28, false));
        break;
    case EmfRecord::PolyBezierTo:
        c.polyBezierTo(points(24, 28, false));
        break;
    case EmfRecord::PolylineTo:
        c.polylineTo(points(24, 28, false));
        break;
    case EmfRecord::PolyPolyline:
        c.polyPolyline(polyPoints(false));
        break;
    case EmfRecord::PolyPolygon:
        c.polyPolygon(polyPoints(false));
        break;
    case EmfRecord::SetWindowExtEx:
        c.setWindowExt(r.sizel(8));
        break;
    case EmfRecord::SetWindowOrgEx:
        c.setWindowOrg(r.pointl(8));
        break;
    case EmfRecord::SetViewportExtEx:
        c.setViewportExt(r.sizel(8));
        break;
    case EmfRecord::SetViewportOrgEx:
        c.setViewportOrg(r.pointl(8));
        break;
    case EmfRecord::SetPixelV:
        c.setPixel(r.pointl(8), r.color(16));
        break;
    case EmfRecord::SetMapMode:
        c.setMapMode(MapMode(r.u32(8)));
        break;
    case EmfRecord::SetBkMode:
        c.setBkMode(int(r.u32(8)));
        break;
    case EmfRecord::SetPolyFillMode:
        c.setPolyFillMode(int(r.u32(8)));
        break;
    case EmfRecord::SetRop2:
        c.setRop2(int(r.u32(8)));
        break;
    case EmfRecord::SetTextAlign:
        c.setTextAlign(r.u32(8));
        break;
    case EmfRecord::SetTextColor:
        c.setTextColor(r.color(8));
        break;
    case EmfRecord::SetBkColor:
        c.setBkColor(r.color(8));
        break;
    case EmfRecord::MoveToEx:
        c.moveTo(r.pointl(8));
        break;
    case EmfRecord::ExcludeClipRect:
        c.excludeClipRect(r.rectl(8));
        break;
    case EmfRecord::IntersectClipRect:
        c.intersectClipRect(r.rectl(8));
        break;
    case EmfRecord::ScaleViewportExtEx:
        c.scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
        break;
    case EmfRecord::ScaleWindowExtEx:
        c.scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
        break;
    case EmfRecord::SaveDc:
        c.saveDC();
        break;
    case EmfRecord::RestoreDc:
        c.restoreDC(r.i32(8));
        break;
    case EmfRecord::SetWorldTransform:
        c.setWorldTransform(QTransform(r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28)));
        break;
    case EmfRecord::ModifyWorldTransform:
        c.modifyWorldTransform(QTransform(r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28)),
                               int(r.u32(32)));
        break;
    case EmfRecord::SelectObject: {
        const std::uint32_t index = r.u32(8);
        if (index & 0x80000000u)
            c.selectStockObject(index);
        else
            selectObject(c, objects.get(index));
        break;
    }
    case EmfRecord::CreatePen: {
        GdiObject object;
        object.kind = GdiObject::Kind::Pen;
        object.pen.style = r.u32(12);
        object.pen.width = r.i32(16);
        object.pen.color = r.color(24);
        objects.put(r.u32(8), object);
        break;
    }
    case EmfRecord::CreateBrushIndirect: {
        GdiObject object;
        object.kind = GdiObject::Kind::Brush;
        object.brush.style = r.u32(12);
        object.brush.color = r.color(16);
        object.brush.hatch = r.u32(20);
        objects.put(r.u32(8), object);
        break;
    }
    case EmfRecord::DeleteObject:
        objects.remove(r.u32(8));
        break;
    case EmfRecord::AngleArc:
        c.angleArc(r.pointl(8), r.u32(16), r.f32(20), r.f32(24));
        break;
    case EmfRecord::Ellipse:
        c.ellipse(r.rectl(8));
        break;
    case EmfRecord::Rectangle:
        c.rectangle(r.rectl(8));
        break;
    case EmfRecord::RoundRect:
        c.roundRect(r.rectl(8), r.sizel(24));
        break;
    case EmfRecord::Arc:
        c.arc(r.rectl(8), r.pointl(24), r.pointl(32));
        break;
    case EmfRecord::Chord:
        c.chord(r.rectl(8), r.pointl(24), r.pointl(32));
        break;
    case EmfRecord::Pie:
        c.pie(r.rectl(8), r.pointl(24), r.pointl(32));
        break;
    case EmfRecord::LineTo:
        c.lineTo(r.pointl(8));
        break;
    case EmfRecord::ArcTo:
        c.arcTo(r.rectl(8), r.pointl(24), r.pointl(32));
        break;
    case EmfRecord::SetArcDirection:
        c.setArcDirection(int(r.u32(8)));
        break;
    case EmfRecord::SetMiterLimit:
        c.setMiterLimit(r.f32(8));
        break;
    case EmfRecord::BeginPath:
        c.beginPath();
        break;
    case EmfRecord::EndPath:
        c.endPath();
        break;
    case EmfRecord::CloseFigure:
        c.closeFigure();
        break;
    case EmfRecord::FillPath:
        c.fillPath();
        break;
    case EmfRecord::StrokeAndFillPath:
        c.strokeAndFillPath();
        break;
    case EmfRecord::StrokePath:
        c.strokePath();
        break;
    case EmfRecord::SelectClipPath:
        c.selectClipPath(int(r.u32(8)));
        break;
    case EmfRecord::AbortPath:
        c.abortPath();
        break;
    case EmfRecord::ExtSelectClipRgn: {
        const qsizetype cb = r.u32(8);
        const int mode = int(r.u32(12));
        std::vector<QRectF> rects;
        if (cb >= 32 && r.has(16, cb)) {
            const qsizetype count = r.u32(16 + 8);
            if (count > 0 && count <= MaxPoints && r.has(16 + 32, count * 16)) {
                for (qsizetype i = 0; i < count; ++i)
                    rects.push_back(r.rectl(16 + 32 + i * 16));
            }
        }
        c.selectClipRegion(rects, mode);
        break;
    }
    case EmfRecord::BitBlt:
    case EmfRecord::StretchBlt: {
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const std::uint32_t rop = r.u32(40);
        const qsizetype cbBmi = r.u32(88);
        if (cbBmi == 0) {
            c.patBlt(dest, rop);
            break;
        }
        const QImage image = bitmap(r.u32(84), cbBmi, r.u32(92), r.u32(96));
        if (image.isNull())
            break;
        QRectF source(r.i32(44), r.i32(48), dest.width(), dest.height());
        if (EmfRecord(type) == EmfRecord::StretchBlt)
            source.setSize(QSizeF(r.i32(100), r.i32(104)));
        c.drawImage(dest, image, source.normalized(), rop);
        break;
    }
    case EmfRecord::AlphaBlend: { // laid out as StretchBlt, with a blend function
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const QImage image = bitmap(r.u32(84), r.u32(88), r.u32(92), r.u32(96));
        if (image.isNull())
            break;
        const QRectF source(r.i32(44), r.i32(48), r.i32(100), r.i32(104));
        // BLENDFUNCTION: operation, flags, constant alpha, alpha format.
        const double opacity = r.u8(42) / 255.0;
        c.drawImage(dest, image, source.normalized(), RasterOp::SrcCopy, opacity);
        break;
    }
    case EmfRecord::SetDiBitsToDevice: {
        const QImage image = bitmap(r.u32(48), r.u32(52), r.u32(56), r.u32(60));
        if (image.isNull())
            break;
        const QSizeF size(r.i32(40), r.i32(44));
        c.drawImage(QRectF(QPointF(r.i32(24), r.i32(28)), size), image, QRectF(QPointF(r.i32(32), r.i32(36)), size),
                    RasterOp::SrcCopy);
        break;
    }
    case EmfRecord::StretchDiBits: {
        const QImage image = bitmap(r.u32(48), r.u32(52), r.u32(56), r.u32(60));
        if (image.isNull())
            break;
        const QRectF dest(r.i32(24), r.i32(28), r.i32(72), r.i32(76));
        const QRectF source(r.i32(32), r.i32(36), r.i32(40), r.i32(44));
        c.drawImage(dest, image, source.normalized(), r.u32(68));
        break;
    }
    case EmfRecord::ExtCreateFontIndirectW: {
        GdiObject object;
        object.kind = GdiObject::Kind::Font;
        GdiFont &f = object.font;
        f.height = r.i32(12);
        f.width = r.i32(16);
        f.escapement = r.i32(20);
        f.weight = r.i32(28);
        f.italic = r.u8(32);
        f.underline = r.u8(33);
        f.strikeOut = r.u8(34);
        const QString face = faceName(utf16At(m_b, at + 40, std::min<qsizetype>(32, (size - 40) / 2)));
        if (!face.isEmpty())
            f.face = face;
        objects.put(r.u32(8), object);
        break;
    }
    case EmfRecord::ExtTextOutA:
    case EmfRecord::ExtTextOutW: {
        const QPointF reference = r.pointl(36);
        const qsizetype chars = r.u32(44);
        const qsizetype offString = r.u32(48);
        const std::uint32_t options = r.u32(52);
        const QRectF rect = r.rectl(56);
        const qsizetype offDx = r.u32(72);
        if (chars < 0 || chars > 65535)
            break;
        QString text;
        if (EmfRecord(type) == EmfRecord::ExtTextOutW) {
            if (!r.has(offString, chars * 2))
                break;
            text = utf16At(m_b, at + offString, chars);
        } else {
            if (!r.has(offString, chars))
                break;
            text = fromCp1252(m_bytes.mid(at + offString, chars));
        }
        std::vector<double> dx;
        if (offDx > 0 && r.has(offDx, chars * 4)) {
            for (qsizetype i = 0; i < chars; ++i)
                dx.push_back(r.i32(offDx + i * 4));
        }
        const bool hasRect = (options & 6) && rect.width() != 0 && rect.height() != 0;
        c.textOut(reference, text, dx, options, hasRect ? std::optional<QRectF>(rect) : std::nullopt);
        break;
    }
    case EmfRecord::PolyBezier16:
        c.polyBezier(points(24, 28, true));
        break;
    case EmfRecord::Polygon16:
        c.polygon(points(24, 28, true));
        break;
    case EmfRecord::Polyline16:
        c.polyline(points(24, 28, true));
        break;
    case EmfRecord::PolyBezierTo16:
        c.polyBezierTo(points(24, 28, true));
        break;
    case EmfRecord::PolylineTo16:
        c.polylineTo(points(24, 28, true));
        break;
    case EmfRecord::PolyPolyline16:
        c.polyPolyline(polyPoints(true));
        break;
    case EmfRecord::PolyPolygon16:
        c.polyPolygon(polyPoints(true));
        break;
    case EmfRecord::CreateDibPatternBrushPt: {
        GdiObject object;
        object.kind = GdiObject::Kind::Brush;
        object.brush.style = 6;
        object.brush.pattern = bitmap(r.u32(16), r.u32(20), r.u32(24), r.u32(28));
        objects.put(r.u32(8), object);
        break;
    }
    case EmfRecord::ExtCreatePen: {
        GdiObject object;
        object.kind = GdiObject::Kind::Pen;
        GdiPen &pen = object.pen;
        pen.style = r.u32(28);
        pen.width = r.u32(32);
        pen.cosmetic = !(pen.style & 0x00010000u); // PS_GEOMETRIC
        pen.color = r.color(40);
        if (r.u32(36) == 1) // BS_NULL brush: no line
            pen.style = (pen.style & ~0xFu) | 5;
        const qsizetype entries = r.u32(48);
        if (entries > 0 && entries <= 16 && r.has(52, entries * 4)) {
            for (qsizetype i = 0; i < entries; ++i)
                pen.userDashes << r.u32(52 + i * 4);
        }
        objects.put(r.u32(8), object);
        break;
    }
    default:
        // Comments (EMF+ among them), palettes and the rest draw nothing.
        break;
    }
}

// ---------------------------------------------------------------------------
// WMF.

std::optional<QRectF> WmfPlayer::validate(const QByteArray &bytes, qsizetype firstRecord)
{
    const ByteReader b(bytes);
    qsizetype at = firstRecord;
    std::optional<QPointF> origin;
    std::optional<QSizeF> extent;
    for (qsizetype n = 0; n < MaxRecords; ++n) {
        const auto words = b.u32(at);
        const auto function = b.u16(at + 4);
        if (!words || !function || *words < 3 || *words > std::uint32_t(bytes.size()) ||
            !b.has(at, qsizetype(*words) * 2))
            return std::nullopt;
        if (WmfRecord(*function) == WmfRecord::Eof)
            return QRectF(origin.value_or(QPointF(0, 0)), extent.value_or(QSizeF(0, 0)));
        if (WmfRecord(*function) == WmfRecord::SetWindowOrg && !origin) // y, x
            origin = QPointF(b.i16(at + 8).value_or(0), b.i16(at + 6).value_or(0));
        if (WmfRecord(*function) == WmfRecord::SetWindowExt && !extent) // height, width
            extent = QSizeF(b.i16(at + 8).value_or(0), b.i16(at + 6).value_or(0));
        at += qsizetype(*words) * 2;
    }
    return std::nullopt;
}

WmfPlayer::WmfPlayer(const QByteArray &bytes, qsizetype firstRecord, const QRectF &frame, QPainter &painter,
                     const QRectF &target, double zoom)
    : m_bytes(bytes), m_b(bytes), m_firstRecord(firstRecord)
{
    // The window maps onto the target; the picture's own window records
    // move it.
    m_canvas = std::make_unique<GdiCanvas>(painter, target, target, 96 / 25.4, zoom);
    m_canvas->setMapMode(MapMode::Anisotropic);
    m_canvas->setViewportOrg(target.topLeft());
    m_canvas->setViewportExt(target.size());
    m_canvas->setWindowOrg(frame.topLeft());
    m_canvas->setWindowExt(frame.size());
    // The header's object count sizes the table.
    m_objects = std::make_unique<GdiObjectTable>(m_b.u16(firstRecord - 18 + 10).value_or(0));
}

WmfPlayer::~WmfPlayer() = default;

void WmfPlayer::play()
{
    qsizetype at = m_firstRecord;
    for (qsizetype n = 0; n < MaxRecords; ++n) {
        const auto words = m_b.u32(at);
        const auto function = m_b.u16(at + 4);
        if (!words || !function || *words < 3 || !m_b.has(at, qsizetype(*words) * 2) ||
            WmfRecord(*function) == WmfRecord::Eof)
            break;
        record(*function, at, qsizetype(*words) * 2);
        at += qsizetype(*words) * 2;
    }
}

void WmfPlayer::record(std::uint16_t function, qsizetype at, qsizetype size)
{
    const Record r(m_b, at, size);
    GdiCanvas &c = *m_canvas;
    GdiObjectTable &objects = *m_objects;
    // Parameters are 16-bit words after the six-byte record head.
    auto w = [&](int i) { return r.i16(6 + 2 * i); };
    auto uw = [&](int i) { return r.u16(6 + 2 * i); };
    auto colorAt = [&](int i) { return r.color(6 + 2 * i); };
    // Rectangles are stored bottom, right, top, left from parameter I on.
    auto rectAt = [&](int i) { return QRectF(QPointF(w(i + 3), w(i + 2)), QPointF(w(i + 1), w(i))); };
    auto pointsAt = [&](int countIndex) {
        QPolygonF polygon;
        const qsizetype count = uw(countIndex);
        const qsizetype first = 6 + 2 * (countIndex + 1);
        if (!r.has(first, count * 4))
            return polygon;
        for (qsizetype i = 0; i < count; ++i)
            polygon << QPointF(r.i16(first + i * 4), r.i16(first + i * 4 + 2));
        return polygon;
    };
    auto consumeSlot = [&] {
        GdiObject placeholder;
        placeholder.kind = GdiObject::Kind::Other;
        objects.add(placeholder);
    };

    switch (WmfRecord(function)) {
    case WmfRecord::SetBkMode:
        c.setBkMode(uw(0));
        break;
    case WmfRecord::SetRop2:
        c.setRop2(uw(0));
        break;
    case WmfRecord::SetPolyFillMode:
        c.setPolyFillMode(uw(0));
        break;
    case WmfRecord::SetBkColor:
        c.setBkColor(colorAt(0));
        break;
    case WmfRecord::SetTextColor:
        c.setTextColor(colorAt(0));
        break;
    case WmfRecord::SetTextAlign:
        c.setTextAlign(uw(0));
        break;
    case WmfRecord::SetWindowOrg:
        c.setWindowOrg(QPointF(w(1), w(0)));
        break;
    case WmfRecord::SetWindowExt:
        c.setWindowExt(QSizeF(w(1), w(0)));
        break;
    case WmfRecord::OffsetWindowOrg:
        c.offsetWindowOrg(QPointF(w(1), w(0)));
        break;
    case WmfRecord::ScaleWindowExt: // yDenom, yNum, xDenom, xNum
        c.scaleWindowExt(w(3), w(2), w(1), w(0));
        break;
    case WmfRecord::LineTo:
        c.lineTo(QPointF(w(1), w(0)));
        break;
    case WmfRecord::MoveTo:
        c.moveTo(QPointF(w(1), w(0)));
        break;
    case WmfRecord::ExcludeClipRect:
        c.excludeClipRect(rectAt(0));
        break;
    case WmfRecord::IntersectClipRect:
        c.intersectClipRect(rectAt(0));
        break;
    case WmfRecord::Ellipse:
        c.ellipse(rectAt(0));
        break;
    case WmfRecord::Rectangle:
        c.rectangle(rectAt(0));
        break;
    case WmfRecord::RoundRect: // height, width, then the rectangle
        c.roundRect(rectAt(2), QSizeF(w(1), w(0)));
        break;
    case WmfRecord::Arc: // yEnd, xEnd, yStart, xStart, rectangle
    case WmfRecord::Pie:
    case WmfRecord::Chord: {
        const QPointF end(w(1), w(0));
        const QPointF start(w(3), w(2));
        const QRectF box = rectAt(4);
        if (WmfRecord(function) == WmfRecord::Arc)
            c.arc(box, start, end);
        else if (WmfRecord(function) == WmfRecord::Pie)
            c.pie(box, start, end);
        else
            c.chord(box, start, end);
        break;
    }
    case WmfRecord::Polygon:
        c.polygon(pointsAt(0));
        break;
    case WmfRecord::Polyline:
        c.polyline(pointsAt(0));
        break;
    case WmfRecord::PolyPolygon: {
        const qsizetype polys = uw(0);
        if (!r.has(8, polys * 2))
            break;
        std::vector<QPolygonF> polygons;
        qsizetype next = 8 + polys * 2;
        for (qsizetype p = 0; p < polys; ++p) {
            const qsizetype count = r.u16(8 + p * 2);
            if (!r.has(next, count * 4))
                break;
            QPolygonF polygon;
            for (qsizetype i = 0; i < count; ++i, next += 4)
                polygon << QPointF(r.i16(next), r.i16(next + 2));
            polygons.push_back(std::move(polygon));
        }
        c.polyPolygon(polygons);
        break;
    }
    case WmfRecord::SaveDc:
        c.saveDC();
        break;
    case WmfRecord::RestoreDc:
        c.restoreDC(w(0));
        break;
    case WmfRecord::SelectObject:
        selectObject(c, objects.get(uw(0)));
        break;
    case WmfRecord::DeleteObject:
        objects.remove(uw(0));
        break;
    case WmfRecord::CreatePenIndirect: {
        GdiObject object;
        object.kind = GdiObject::Kind::Pen;
        object.pen.style = uw(0);
        object.pen.width = w(1);
        object.pen.color = colorAt(3);
        objects.add(object);
        break;
    }
    case WmfRecord::CreateBrushIndirect: {
        GdiObject object;
        object.kind = GdiObject::Kind::Brush;
        object.brush.style = uw(0);
        object.brush.color = colorAt(1);
        object.brush.hatch = uw(3);
        objects.add(object);
        break;
    }
    case WmfRecord::DibCreatePatternBrush: {
        GdiObject object;
        object.kind = GdiObject::Kind::Brush;
        object.brush.style = 5;
        object.brush.pattern = Dib::decodePacked(m_bytes, at + 10, size - 10);
        objects.add(object);
        break;
    }
    case WmfRecord::CreateFontIndirect: {
        GdiObject object;
        object.kind = GdiObject::Kind::Font;
        GdiFont &f = object.font;
        f.height = w(0);
        f.width = w(1);
        f.escapement = w(2);
        f.weight = w(4);
        f.italic = r.u8(16);
        f.underline = r.u8(17);
        f.strikeOut = r.u8(18);
        const qsizetype faceBytes = std::clamp<qsizetype>(size - 24, 0, 32);
        QByteArray face = m_bytes.mid(at + 24, faceBytes);
        const qsizetype zero = face.indexOf('\0');
        if (zero >= 0)
            face.truncate(zero);
        if (!face.isEmpty())
            f.face = fromCp1252(face);
        objects.add(object);
        break;
    }
    case WmfRecord::CreatePalette:
    case WmfRecord::CreatePatternBrush:
    case WmfRecord::CreateRegion:
        consumeSlot();
        break;
    case WmfRecord::TextOut: { // count, string, y, x
        const qsizetype count = uw(0);
        const qsizetype padded = (count + 1) & ~qsizetype(1);
        if (!r.has(8, padded + 4))
            break;
        const QString text = fromCp1252(m_bytes.mid(at + 8, count));
        const QPointF reference(r.i16(8 + padded + 2), r.i16(8 + padded));
        c.textOut(reference, text, {}, 0, std::nullopt);
        break;
    }
    case WmfRecord::ExtTextOut: { // y, x, count, options, [rect], string, [dx]
        const QPointF reference(w(1), w(0));
        const qsizetype count = uw(2);
        const std::uint16_t options = uw(3);
        qsizetype next = 14;
        std::optional<QRectF> rect;
        if (options & 6) {
            rect = QRectF(QPointF(r.i16(next), r.i16(next + 2)), QPointF(r.i16(next + 4), r.i16(next + 6)));
            next += 8;
        }
        if (!r.has(next, count))
            break;
        const QString text = fromCp1252(m_bytes.mid(at + next, count));
        next += (count + 1) & ~qsizetype(1);
        std::vector<double> dx;
        if (r.has(next, count * 2)) {
            for (qsizetype i = 0; i < count; ++i)
                dx.push_back(r.i16(next + i * 2));
        }
        c.textOut(reference, text, dx, options, rect);
        break;
    }
    case WmfRecord::StretchDib: { // rop(2 words), usage, srcH, srcW, ySrc, xSrc, destH, destW, yDest,
                                  // xDest, DIB
        const std::uint32_t rop = r.u32(6);
        const QImage image = Dib::decodePacked(m_bytes, at + 28, size - 28);
        if (image.isNull())
            break;
        const QRectF source(w(6), w(5), w(4), w(3));
        const QRectF dest(w(10), w(9), w(8), w(7));
        c.drawImage(dest, image, source.normalized(), rop);
        break;
    }
    case WmfRecord::DibStretchBlt: // rop, srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest, DIB
    case WmfRecord::DibBitBlt: {   // rop, ySrc, xSrc, height, width, yDest, xDest, DIB
        const std::uint32_t rop = r.u32(6);
        const bool stretch = WmfRecord(function) == WmfRecord::DibStretchBlt;
        const int params = stretch ? 8 : 6;
        // Without a bitmap the record has one reserved word more and is a
        // pattern operation.
        const qsizetype withoutBitmap = 6 + 4 + (params + 1) * 2;
        if (size <= withoutBitmap) {
            const int o = 3; // skip the reserved word
            const QRectF dest = stretch ? QRectF(w(o + 7), w(o + 6), w(o + 5), w(o + 4))
                                        : QRectF(w(o + 5), w(o + 4), w(o + 3), w(o + 2));
            c.patBlt(dest, rop);
            break;
        }
        const QImage image = Dib::decodePacked(m_bytes, at + 10 + params * 2, size - 10 - params * 2);
        if (image.isNull())
            break;
        if (stretch) {
            const QRectF source(w(5), w(4), w(3), w(2));
            const QRectF dest(w(9), w(8), w(7), w(6));
            c.drawImage(dest, image, source.normalized(), rop);
        } else {
            const QSizeF s(w(5), w(4));
            c.drawImage(QRectF(QPointF(w(7), w(6)), s), image, QRectF(QPointF(w(3), w(2)), s).normalized(), rop);
        }
        break;
    }
    case WmfRecord::PatBlt: // rop (2 words), height, width, y, x
        c.patBlt(QRectF(w(5), w(4), w(3), w(2)), r.u32(6));
        break;
    case WmfRecord::SetDibToDev: { // usage, scans, start scan, ySrc, xSrc, height, width, yDest, xDest,
                                   // DIB
        const QImage image = Dib::decodePacked(m_bytes, at + 24, size - 24);
        if (image.isNull())
            break;
        const QSizeF s(w(6), w(5));
        c.drawImage(QRectF(QPointF(w(8), w(7)), s), image, QRectF(QPointF(w(4), w(3)), s).normalized(),
                    RasterOp::SrcCopy);
        break;
    }
    case WmfRecord::SetPixel: // color, y, x
        c.setPixel(QPointF(w(3), w(2)), colorAt(0));
        break;
    default:
        // ESCAPE, palettes, mapping records of the playing device and the
        // rest draw nothing.
        break;
    }
}
