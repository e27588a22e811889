#include "metafile/GdiCanvas.h"

#include "metafile/Clip.h"
#include "metafile/DashBound.h"
#include "metafile/Geometry.h"
#include "metafile/Limits.h"

#include <QPaintDevice>
#include <QPainter>
#include <QtMath>

#include <cmath>
#include <utility>

namespace {} // namespace

GdiCanvas::GdiCanvas(const Playback &playback)
    : m_painter(playback.painter), m_budget(playback.budget), m_target(playback.target),
      m_deviceToTarget(playback.deviceToTarget()),
      m_pixelsPerMm(playback.devicePixelsPerMm > 0 ? playback.devicePixelsPerMm : 96 / 25.4),
      m_zoom(playback.zoom > 0 ? playback.zoom : 1)
{
    // A line at a whole device coordinate lights the pixel to its right and
    // below, as the reference device draws it: strokes sit half a device
    // pixel further on.
    m_strokeShift = m_deviceToTarget.map(QPointF(0.5, 0.5)) - m_deviceToTarget.map(QPointF(0, 0));
    selectFont(m_s.font);
    m_painter.save();
    m_painter.setClipRect(m_target, Qt::IntersectClip);
    // The device fills and strokes unsmoothed: shapes that share an edge
    // meet without a seam, and a pen of whole pixels stays solid.
    m_painter.setRenderHint(QPainter::Antialiasing, false);
}

GdiCanvas::~GdiCanvas()
{
    m_painter.restore();
}

// ---------------------------------------------------------------------------
// Mapping.

QTransform GdiCanvas::toTarget() const
{
    return m_s.mapping.toDevice(m_pixelsPerMm) * m_deviceToTarget;
}

QPainterPath GdiCanvas::mapped(const QPainterPath &logical) const
{
    QPainterPath path = toTarget().map(logical);
    path.setFillRule(m_s.fillMode == PolyFillWinding ? Qt::WindingFill : Qt::OddEvenFill);
    return path;
}

// ---------------------------------------------------------------------------
// Objects.

void GdiCanvas::selectPen(const GdiPen &pen)
{
    m_s.pen = pen;
}

void GdiCanvas::selectBrush(const GdiBrush &brush)
{
    m_s.brush = brush;
}

void GdiCanvas::selectObject(const GdiObject *object)
{
    if (!object)
        return;
    if (const auto *pen = std::get_if<GdiPen>(object))
        selectPen(*pen);
    else if (const auto *brush = std::get_if<GdiBrush>(object))
        selectBrush(*brush);
    else if (const auto *font = std::get_if<GdiFont>(object))
        selectFont(*font);
    else if (const auto *palette = std::get_if<GdiPalette>(object))
        selectPalette(palette->entries);
}

void GdiCanvas::selectStockObject(std::uint32_t index)
{
    GdiBrush brush;
    GdiPen pen;
    using namespace StockObject;
    const std::uint32_t stock = index & ~Flag;
    switch (stock) {
    case WhiteBrush:
    case DcBrush:
        brush.color = Qt::white;
        selectBrush(brush);
        break;
    case LightGrayBrush:
        brush.color = QColor(192, 192, 192);
        selectBrush(brush);
        break;
    case GrayBrush:
        brush.color = QColor(128, 128, 128);
        selectBrush(brush);
        break;
    case DarkGrayBrush:
        brush.color = QColor(64, 64, 64);
        selectBrush(brush);
        break;
    case BlackBrush:
        brush.color = Qt::black;
        selectBrush(brush);
        break;
    case NullBrush:
        brush.style = BrushStyle::Null;
        selectBrush(brush);
        break;
    case WhitePen:
        pen.color = Qt::white;
        selectPen(pen);
        break;
    case BlackPen:
    case DcPen:
        selectPen(pen);
        break;
    case NullPen:
        pen.style = PenStyle::Null;
        selectPen(pen);
        break;
    case DefaultPalette:
        m_s.palette.clear();
        break;
    default:
        if (stock >= OemFixedFont && stock <= DefaultGuiFont)
            selectFont(GdiFont());
        break;
    }
}

void GdiCanvas::saveDC()
{
    if (m_saved.size() < Limits::MaxSavedStates)
        m_saved.push_back(m_s);
}

void GdiCanvas::restoreDC(int which)
{
    // Negative: relative to the newest saved state; positive: the Nth saved.
    std::size_t keep = 0;
    if (which < 0) {
        const std::size_t back = std::size_t(-std::int64_t(which));
        if (back > m_saved.size())
            return;
        keep = m_saved.size() - back;
    } else {
        if (which == 0 || std::size_t(which) > m_saved.size())
            return;
        keep = std::size_t(which) - 1;
    }
    m_s = m_saved[keep];
    m_saved.resize(keep);
    applyClip();
}

// ---------------------------------------------------------------------------
// Pens, brushes and drawing.

double GdiCanvas::targetPenWidth() const
{
    const QTransform t = toTarget();
    const double scale = std::sqrt(std::abs(t.determinant()));
    const double onePixel = m_zoom;
    if (m_s.pen.cosmetic || m_s.pen.width <= 0)
        return onePixel;
    return std::max(finiteOr(m_s.pen.width * scale, onePixel), onePixel);
}

QPen GdiCanvas::qtPen() const
{
    if (m_s.pen.isNull())
        return Qt::NoPen;
    const QColor color = colorUnderRop2(m_s.pen.color);
    QPen pen(color, targetPenWidth());
    const double width = pen.widthF();
    const bool thin = width <= m_zoom * 1.5;
    // Dashes of thin pens are device pixels long; those of wide pens follow
    // the width.
    auto pixels = [&](std::initializer_list<qreal> lengths) {
        QVector<qreal> pattern;
        for (const qreal l : lengths)
            pattern << l * m_zoom / width;
        return pattern;
    };
    const std::uint32_t style = m_s.pen.style & PenStyle::StyleMask;
    switch (style) {
    case PenStyle::Dash:
        pen.setDashPattern(thin ? pixels({18, 6}) : dashesInWidths(style));
        break;
    case PenStyle::Dot:
        pen.setDashPattern(thin ? pixels({3, 3}) : dashesInWidths(style));
        break;
    case PenStyle::DashDot:
        pen.setDashPattern(thin ? pixels({9, 6, 3, 6}) : dashesInWidths(style));
        break;
    case PenStyle::DashDotDot:
        pen.setDashPattern(thin ? pixels({9, 3, 3, 3, 3, 3}) : dashesInWidths(style));
        break;
    case PenStyle::UserStyle:
        if (!m_s.pen.userDashes.isEmpty() && m_s.pen.userDashes.size() % 2 == 0) {
            QVector<qreal> pattern;
            const double scale = std::sqrt(std::abs(toTarget().determinant()));
            for (const qreal l : m_s.pen.userDashes)
                pattern << std::max(finiteOr(l * scale / width, 1.0), 0.1);
            pen.setDashPattern(pattern);
        }
        break;
    case PenStyle::Alternate:
        pen.setDashPattern(pixels({1, 1}));
        break;
    default:
        break;
    }
    setCapsAndJoins(pen);
    return pen;
}

void GdiCanvas::setCapsAndJoins(QPen &pen) const
{
    switch (m_s.pen.style & PenStyle::EndCapMask) {
    case PenStyle::EndCapSquare:
        pen.setCapStyle(Qt::SquareCap);
        break;
    case PenStyle::EndCapFlat:
        pen.setCapStyle(Qt::FlatCap);
        break;
    default:
        pen.setCapStyle(Qt::RoundCap);
        break;
    }
    switch (m_s.pen.style & PenStyle::JoinMask) {
    case PenStyle::JoinBevel:
        pen.setJoinStyle(Qt::BevelJoin);
        break;
    case PenStyle::JoinMiter:
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setMiterLimit(m_s.miterLimit);
        break;
    default:
        pen.setJoinStyle(Qt::RoundJoin);
        break;
    }
}

QBrush GdiCanvas::qtBrush() const
{
    const GdiBrush &b = m_s.brush;
    if (b.isNull())
        return Qt::NoBrush;
    const QColor color = colorUnderRop2(b.color);
    switch (b.style) {
    case BrushStyle::Hatched: {
        // [MS-WMF] 2.1.1.12 HatchStyle, in its order.
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                 Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        QBrush brush(color, b.hatch <= LastHatchStyle ? hatches[b.hatch] : Qt::SolidPattern);
        brush.setTransform(QTransform::fromScale(m_zoom, m_zoom));
        return brush;
    }
    case BrushStyle::Pattern:
    case BrushStyle::DibPattern:
    case BrushStyle::DibPatternPt:
        if (!b.pattern.isNull()) {
            QBrush brush(b.pattern);
            brush.setTransform(QTransform::fromScale(m_zoom, m_zoom));
            return brush;
        }
        return QBrush(color);
    default:
        return QBrush(color);
    }
}

bool GdiCanvas::beginDraw()
{
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (m_s.rop2) {
    case Rop2::Nop:
        return false;
    case Rop2::NotCopyPen:
        mode = QPainter::RasterOp_NotSource;
        break;
    case Rop2::Not:
        mode = QPainter::RasterOp_NotDestination;
        break;
    case Rop2::XorPen:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case Rop2::MaskPen:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case Rop2::NotXorPen:
        mode = QPainter::RasterOp_NotSourceXorDestination;
        break;
    case Rop2::MergePen:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    default:
        break;
    }
    m_painter.setCompositionMode(mode);
    return true;
}

void GdiCanvas::endDraw()
{
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void GdiCanvas::draw(const QPainterPath &targetPath, bool fill, bool stroke)
{
    const bool fills = fill && !m_s.brush.isNull(), strokes = stroke && !m_s.pen.isNull();
    if ((fills && !m_budget.draws(targetPath, m_zoom)) ||
        (strokes && !m_budget.draws(targetPath, m_zoom, 2, qtPen().widthF())) || !beginDraw())
        return;
    if (fills) {
        if (m_s.brush.style == BrushStyle::Hatched && m_s.bkMode == BkModeOpaque)
            m_painter.fillPath(targetPath, m_s.bkColor); // opaque hatch background
        m_painter.fillPath(targetPath, qtBrush());
    }
    if (strokes)
        m_painter.strokePath(targetPath.translated(m_strokeShift), withBoundedDashes(qtPen(), targetPath));
    endDraw();
}

void GdiCanvas::addOrDraw(const QPainterPath &logical, bool fill, bool stroke)
{
    const QPainterPath target = mapped(logical);
    if (m_inPath && m_path) {
        if (m_budget.draws(target.elementCount()))
            m_path->addPath(target);
        return;
    }
    draw(target, fill, stroke);
}

void GdiCanvas::moveTo(QPointF p)
{
    m_s.position = p;
    if (m_inPath && m_path && m_budget.draws(1))
        m_path->moveTo(toTarget().map(p));
}

void GdiCanvas::lineTo(QPointF p)
{
    polylineTo(QPolygonF{p});
}

void GdiCanvas::polyline(const QPolygonF &points)
{
    if (points.isEmpty())
        return;
    QPainterPath path;
    path.addPolygon(points);
    addOrDraw(path, false, true);
}

void GdiCanvas::polylineTo(const QPolygonF &points)
{
    if (points.isEmpty())
        return;
    const QTransform t = toTarget();
    if (m_inPath && m_path) {
        if (!m_budget.draws(points.size() + 1))
            return;
        if (m_path->elementCount() == 0)
            m_path->moveTo(t.map(m_s.position));
        for (const QPointF &p : points)
            m_path->lineTo(t.map(p));
    } else {
        QPainterPath path(m_s.position);
        for (const QPointF &p : points)
            path.lineTo(p);
        draw(mapped(path), false, true);
    }
    m_s.position = points.last();
}

void GdiCanvas::polygon(const QPolygonF &points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    addOrDraw(path, true, true);
}

void GdiCanvas::polyPolygon(const std::vector<QPolygonF> &polygons)
{
    QPainterPath path;
    for (const QPolygonF &polygon : polygons) {
        if (polygon.size() < 2)
            continue;
        path.addPolygon(polygon);
        path.closeSubpath();
    }
    addOrDraw(path, true, true);
}

void GdiCanvas::polyPolyline(const std::vector<QPolygonF> &polylines)
{
    QPainterPath path;
    for (const QPolygonF &line : polylines)
        path.addPolygon(line);
    addOrDraw(path, false, true);
}

void GdiCanvas::polyBezier(const QPolygonF &points)
{
    if (points.size() < 4)
        return;
    QPainterPath path(points[0]);
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    addOrDraw(path, false, true);
}

void GdiCanvas::polyBezierTo(const QPolygonF &points)
{
    if (points.size() < 3)
        return;
    const QTransform t = toTarget();
    if (m_inPath && m_path) {
        if (!m_budget.draws(points.size() + 1))
            return;
        if (m_path->elementCount() == 0)
            m_path->moveTo(t.map(m_s.position));
        for (qsizetype i = 0; i + 2 < points.size(); i += 3)
            m_path->cubicTo(t.map(points[i]), t.map(points[i + 1]), t.map(points[i + 2]));
    } else {
        QPainterPath path(m_s.position);
        for (qsizetype i = 0; i + 2 < points.size(); i += 3)
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
        draw(mapped(path), false, true);
    }
    m_s.position = points[(points.size() / 3) * 3 - 1];
}

void GdiCanvas::rectangle(const QRectF &r)
{
    addOrDraw(rectPath(r), true, true);
}

void GdiCanvas::roundRect(const QRectF &r, QSizeF corner)
{
    QPainterPath path;
    path.addRoundedRect(r.normalized(), std::abs(corner.width()) / 2, std::abs(corner.height()) / 2);
    addOrDraw(path, true, true);
}

void GdiCanvas::ellipse(const QRectF &r)
{
    QPainterPath path;
    path.addEllipse(r.normalized());
    addOrDraw(path, true, true);
}

QPainterPath GdiCanvas::arcPath(const QRectF &rawBox, QPointF start, QPointF end, int closeKind, bool connect) const
{
    const QRectF box = rawBox.normalized();
    const QPointF c = box.center();
    const double rx = std::max(box.width() / 2, 1e-9);
    const double ry = std::max(box.height() / 2, 1e-9);
    auto angleOf = [&](QPointF p) {
        return qRadiansToDegrees(std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx));
    };
    const double a0 = finiteOr(angleOf(start), 0);
    const double a1 = finiteOr(angleOf(end), 0);
    double sweep = a1 - a0;
    if (m_s.arcClockwise) {
        while (sweep >= 0)
            sweep -= 360;
    } else {
        while (sweep <= 0)
            sweep += 360;
    }
    QPainterPath path;
    if (connect) {
        path.moveTo(m_s.position);
        QPainterPath arcStart;
        arcStart.arcMoveTo(box, a0);
        path.lineTo(arcStart.currentPosition());
    } else if (closeKind == 2) {
        path.moveTo(c);
        QPainterPath arcStart;
        arcStart.arcMoveTo(box, a0);
        path.lineTo(arcStart.currentPosition());
    } else {
        path.arcMoveTo(box, a0);
    }
    path.arcTo(box, a0, sweep);
    if (closeKind != 0)
        path.closeSubpath();
    return path;
}

void GdiCanvas::arc(const QRectF &box, QPointF start, QPointF end)
{
    const QPainterPath path = arcPath(box, start, end, 0, false);
    addOrDraw(path, false, true);
}

void GdiCanvas::arcTo(const QRectF &box, QPointF start, QPointF end)
{
    const QPainterPath path = arcPath(box, start, end, 0, true);
    addOrDraw(path, false, true);
    m_s.position = path.currentPosition();
}

void GdiCanvas::chord(const QRectF &box, QPointF start, QPointF end)
{
    addOrDraw(arcPath(box, start, end, 1, false), true, true);
}

void GdiCanvas::pie(const QRectF &box, QPointF start, QPointF end)
{
    addOrDraw(arcPath(box, start, end, 2, false), true, true);
}

void GdiCanvas::angleArc(QPointF centre, double radius, double startAngle, double sweepAngle)
{
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(m_s.position);
    QPainterPath arcStart;
    arcStart.arcMoveTo(box, startAngle);
    path.lineTo(arcStart.currentPosition());
    path.arcTo(box, startAngle, sweepAngle);
    addOrDraw(path, false, true);
    m_s.position = path.currentPosition();
}

void GdiCanvas::setPixel(QPointF p, QColor c)
{
    const QRectF pixel(toTarget().map(p), QSizeF(m_zoom, m_zoom));
    if (m_budget.paints(pixel, m_zoom))
        m_painter.fillRect(pixel, c);
}

// ---------------------------------------------------------------------------
// Paths.

void GdiCanvas::beginPath()
{
    m_inPath = true;
    m_path = QPainterPath();
}

void GdiCanvas::endPath()
{
    if (!m_inPath)
        return;
    m_inPath = false;
    m_donePath = m_path.value_or(QPainterPath());
    m_path.reset();
}

void GdiCanvas::abortPath()
{
    m_inPath = false;
    m_path.reset();
    m_donePath = QPainterPath();
}

void GdiCanvas::closeFigure()
{
    if (m_inPath && m_path)
        m_path->closeSubpath();
}

QPainterPath GdiCanvas::takeDonePath()
{
    endPath();
    // The fill mode in force now decides, as when the path is used.
    QPainterPath path = std::exchange(m_donePath, QPainterPath());
    path.setFillRule(m_s.fillMode == PolyFillWinding ? Qt::WindingFill : Qt::OddEvenFill);
    return path;
}

void GdiCanvas::fillPath()
{
    draw(takeDonePath(), true, false);
}

void GdiCanvas::strokePath()
{
    draw(takeDonePath(), false, true);
}

void GdiCanvas::strokeAndFillPath()
{
    draw(takeDonePath(), true, true);
}

void GdiCanvas::selectClipPath(int mode)
{
    combineClip(takeDonePath(), mode);
}

// Widening costs what stroking the path would; each widening of a widened
// path costs more, as its outline has more elements.
void GdiCanvas::widenPath()
{
    endPath();
    const QPen pen = withBoundedDashes(qtPen(), m_donePath);
    if (!m_budget.draws(m_donePath, m_zoom, 2, pen.widthF())) {
        m_donePath = QPainterPath();
        return;
    }
    QPainterPathStroker stroker(pen);
    m_donePath = stroker.createStroke(m_donePath);
}

// ---------------------------------------------------------------------------
// Palettes.

void GdiCanvas::setPaletteEntries(int start, const QVector<QRgb> &entries)
{
    if (start < 0 || start >= Limits::MaxPaletteEntries)
        return;
    const qsizetype end = std::min<qsizetype>(start + entries.size(), Limits::MaxPaletteEntries);
    if (m_s.palette.size() < end)
        m_s.palette.resize(end);
    for (qsizetype i = start; i < end; ++i)
        m_s.palette[i] = entries[i - start];
}

QColor GdiCanvas::resolve(std::uint32_t colorRef) const
{
    if ((colorRef & 0xFF000000u) == ColorRefPaletteIndex) {
        const qsizetype index = colorRef & 0xFFFFu;
        // An index past the palette takes its last entry, as the device does;
        // without a palette the device's own first entry is black.
        if (m_s.palette.isEmpty())
            return Qt::black;
        return QColor(m_s.palette[std::min(index, m_s.palette.size() - 1)]);
    }
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

QColor GdiCanvas::colorUnderRop2(QColor color) const
{
    if (m_s.rop2 == Rop2::Black)
        return Qt::black;
    if (m_s.rop2 == Rop2::White)
        return Qt::white;
    return color;
}
