#include "metafile/GdiCanvas.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QtMath>

#include <cmath>
#include <utility>

namespace {

constexpr std::size_t MaxSavedStates = 1024;

// Pen style bits.
constexpr std::uint32_t PS_STYLE_MASK = 0x0000000F;
constexpr std::uint32_t PS_ENDCAP_MASK = 0x00000F00;
constexpr std::uint32_t PS_JOIN_MASK = 0x0000F000;

double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

QPainterPath rectPath(const QRectF &r)
{
    QPainterPath path;
    path.addRect(r.normalized());
    return path;
}

} // namespace

GdiCanvas::GdiCanvas(QPainter &painter, const QRectF &target, const QRectF &deviceFrame, double devicePixelsPerMm,
                     double zoom)
    : m_painter(painter), m_target(target), m_pixelsPerMm(devicePixelsPerMm > 0 ? devicePixelsPerMm : 96 / 25.4),
      m_zoom(zoom > 0 ? zoom : 1)
{
    const double sx = deviceFrame.width() != 0 ? target.width() / deviceFrame.width() : 1;
    const double sy = deviceFrame.height() != 0 ? target.height() / deviceFrame.height() : 1;
    m_deviceToTarget = QTransform::fromTranslate(-deviceFrame.left(), -deviceFrame.top()) *
                       QTransform::fromScale(sx, sy) * QTransform::fromTranslate(target.left(), target.top());
    m_painter.save();
    m_painter.setClipRect(m_target, Qt::IntersectClip);
}

GdiCanvas::~GdiCanvas()
{
    m_painter.restore();
}

// ---------------------------------------------------------------------------
// Mapping.

void GdiCanvas::setMapMode(MapMode mode)
{
    // An unknown mode from the file leaves the mode as it was.
    if (mode >= MapMode::Text && mode <= MapMode::Anisotropic)
        m_s.mapMode = mode;
}

void GdiCanvas::setWindowOrg(QPointF p)
{
    m_s.windowOrg = p;
}

void GdiCanvas::setWindowExt(QSizeF s)
{
    if (s.width() != 0 && s.height() != 0)
        m_s.windowExt = s;
}

void GdiCanvas::setViewportOrg(QPointF p)
{
    m_s.viewportOrg = p;
}

void GdiCanvas::setViewportExt(QSizeF s)
{
    if (s.width() != 0 && s.height() != 0)
        m_s.viewportExt = s;
}

void GdiCanvas::offsetWindowOrg(QPointF d)
{
    m_s.windowOrg += d;
}

void GdiCanvas::offsetViewportOrg(QPointF d)
{
    m_s.viewportOrg += d;
}

void GdiCanvas::scaleWindowExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen != 0 && yDen != 0)
        setWindowExt(QSizeF(m_s.windowExt.width() * xNum / xDen, m_s.windowExt.height() * yNum / yDen));
}

void GdiCanvas::scaleViewportExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen != 0 && yDen != 0)
        setViewportExt(QSizeF(m_s.viewportExt.width() * xNum / xDen, m_s.viewportExt.height() * yNum / yDen));
}

void GdiCanvas::setWorldTransform(const QTransform &t)
{
    if (t.isInvertible())
        m_s.world = t;
}

void GdiCanvas::modifyWorldTransform(const QTransform &t, int mode)
{
    switch (mode) {
    case 1: // MWT_IDENTITY
        m_s.world = QTransform();
        break;
    case 2: // MWT_LEFTMULTIPLY
        setWorldTransform(t * m_s.world);
        break;
    case 3: // MWT_RIGHTMULTIPLY
        setWorldTransform(m_s.world * t);
        break;
    case 4: // MWT_SET
        setWorldTransform(t);
        break;
    default:
        break;
    }
}

QTransform GdiCanvas::pageTransform() const
{
    double sx = 1;
    double sy = 1;
    switch (m_s.mapMode) {
    case MapMode::LoMetric:
        sx = 0.1 * m_pixelsPerMm;
        sy = -sx;
        break;
    case MapMode::HiMetric:
        sx = 0.01 * m_pixelsPerMm;
        sy = -sx;
        break;
    case MapMode::LoEnglish:
        sx = 0.254 * m_pixelsPerMm;
        sy = -sx;
        break;
    case MapMode::HiEnglish:
        sx = 0.0254 * m_pixelsPerMm;
        sy = -sx;
        break;
    case MapMode::Twips:
        sx = 25.4 / 1440 * m_pixelsPerMm;
        sy = -sx;
        break;
    case MapMode::Isotropic:
    case MapMode::Anisotropic:
        sx = m_s.viewportExt.width() / m_s.windowExt.width();
        sy = m_s.viewportExt.height() / m_s.windowExt.height();
        if (m_s.mapMode == MapMode::Isotropic) {
            const double s = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
        break;
    default: // MapMode::Text
        break;
    }
    sx = finiteOr(sx, 1);
    sy = finiteOr(sy, 1);
    return QTransform::fromTranslate(-m_s.windowOrg.x(), -m_s.windowOrg.y()) * QTransform::fromScale(sx, sy) *
           QTransform::fromTranslate(m_s.viewportOrg.x(), m_s.viewportOrg.y());
}

QTransform GdiCanvas::toTarget() const
{
    return m_s.world * pageTransform() * m_deviceToTarget;
}

QPainterPath GdiCanvas::mapped(const QPainterPath &logical) const
{
    QPainterPath path = toTarget().map(logical);
    path.setFillRule(m_s.fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
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

void GdiCanvas::selectFont(const GdiFont &font)
{
    m_s.font = font;
}

void GdiCanvas::selectStockObject(std::uint32_t index)
{
    GdiBrush brush;
    GdiPen pen;
    switch (index & 0x7FFFFFFFu) {
    case 0:  // WHITE_BRUSH
    case 18: // DC_BRUSH
        brush.color = Qt::white;
        selectBrush(brush);
        break;
    case 1:
        brush.color = QColor(192, 192, 192);
        selectBrush(brush);
        break;
    case 2:
        brush.color = QColor(128, 128, 128);
        selectBrush(brush);
        break;
    case 3:
        brush.color = QColor(64, 64, 64);
        selectBrush(brush);
        break;
    case 4:
        brush.color = Qt::black;
        selectBrush(brush);
        break;
    case 5: // NULL_BRUSH
        brush.style = 1;
        selectBrush(brush);
        break;
    case 6: // WHITE_PEN
        pen.color = Qt::white;
        selectPen(pen);
        break;
    case 7:  // BLACK_PEN
    case 19: // DC_PEN
        selectPen(pen);
        break;
    case 8: // NULL_PEN
        pen.style = 5;
        selectPen(pen);
        break;
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
    case 16:
    case 17:
        selectFont(GdiFont());
        break;
    default:
        break;
    }
}

void GdiCanvas::saveDC()
{
    if (m_saved.size() < MaxSavedStates)
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
    QColor color = m_s.pen.color;
    if (m_s.rop2 == 1)
        color = Qt::black;
    else if (m_s.rop2 == 16)
        color = Qt::white;
    QPen pen(color, targetPenWidth());
    const double width = pen.widthF();
    const bool thin = width <= m_zoom * 1.5;
    // Dashes of thin pens are device pixels long; those of wide pens follow
    // the width, as Qt's own patterns do.
    auto pixels = [&](std::initializer_list<qreal> lengths) {
        QVector<qreal> pattern;
        for (const qreal l : lengths)
            pattern << l * m_zoom / width;
        return pattern;
    };
    switch (m_s.pen.style & PS_STYLE_MASK) {
    case 1:
        thin ? pen.setDashPattern(pixels({18, 6})) : pen.setStyle(Qt::DashLine);
        break;
    case 2:
        thin ? pen.setDashPattern(pixels({3, 3})) : pen.setStyle(Qt::DotLine);
        break;
    case 3:
        thin ? pen.setDashPattern(pixels({9, 6, 3, 6})) : pen.setStyle(Qt::DashDotLine);
        break;
    case 4:
        thin ? pen.setDashPattern(pixels({9, 3, 3, 3, 3, 3})) : pen.setStyle(Qt::DashDotDotLine);
        break;
    case 7: // PS_USERSTYLE
        if (!m_s.pen.userDashes.isEmpty() && m_s.pen.userDashes.size() % 2 == 0) {
            QVector<qreal> pattern;
            const double scale = std::sqrt(std::abs(toTarget().determinant()));
            for (const qreal l : m_s.pen.userDashes)
                pattern << std::max(finiteOr(l * scale / width, 1.0), 0.1);
            pen.setDashPattern(pattern);
        }
        break;
    case 8: // PS_ALTERNATE
        pen.setDashPattern(pixels({1, 1}));
        break;
    default:
        break;
    }
    switch (m_s.pen.style & PS_ENDCAP_MASK) {
    case 0x100:
        pen.setCapStyle(Qt::SquareCap);
        break;
    case 0x200:
        pen.setCapStyle(Qt::FlatCap);
        break;
    default:
        pen.setCapStyle(Qt::RoundCap);
        break;
    }
    switch (m_s.pen.style & PS_JOIN_MASK) {
    case 0x1000:
        pen.setJoinStyle(Qt::BevelJoin);
        break;
    case 0x2000:
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setMiterLimit(m_s.miterLimit);
        break;
    default:
        pen.setJoinStyle(Qt::RoundJoin);
        break;
    }
    return pen;
}

QBrush GdiCanvas::qtBrush() const
{
    const GdiBrush &b = m_s.brush;
    if (b.isNull())
        return Qt::NoBrush;
    QColor color = b.color;
    if (m_s.rop2 == 1)
        color = Qt::black;
    else if (m_s.rop2 == 16)
        color = Qt::white;
    switch (b.style) {
    case 2: { // BS_HATCHED
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::BDiagPattern,
                                                 Qt::FDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        QBrush brush(color, b.hatch < 6 ? hatches[b.hatch] : Qt::SolidPattern);
        brush.setTransform(QTransform::fromScale(m_zoom, m_zoom));
        return brush;
    }
    case 3: // BS_PATTERN
    case 5: // BS_DIBPATTERN
    case 6: // BS_DIBPATTERNPT
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
    case 11: // R2_NOP
        return false;
    case 4: // R2_NOTCOPYPEN
        mode = QPainter::RasterOp_NotSource;
        break;
    case 6: // R2_NOT
        mode = QPainter::RasterOp_NotDestination;
        break;
    case 7: // R2_XORPEN
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case 9: // R2_MASKPEN
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case 10: // R2_NOTXORPEN
        mode = QPainter::RasterOp_NotSourceXorDestination;
        break;
    case 15: // R2_MERGEPEN
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
    if (!beginDraw())
        return;
    if (fill && !m_s.brush.isNull()) {
        if (m_s.brush.style == 2 && m_s.bkMode == 2)
            m_painter.fillPath(targetPath, m_s.bkColor); // opaque hatch background
        m_painter.fillPath(targetPath, qtBrush());
    }
    if (stroke && !m_s.pen.isNull())
        m_painter.strokePath(targetPath, qtPen());
    endDraw();
}

void GdiCanvas::addOrDraw(const QPainterPath &logical, bool fill, bool stroke)
{
    const QPainterPath target = mapped(logical);
    if (m_inPath && m_path) {
        m_path->addPath(target);
        return;
    }
    draw(target, fill, stroke);
}

void GdiCanvas::moveTo(QPointF p)
{
    m_s.position = p;
    if (m_inPath && m_path)
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
    const QPointF at = toTarget().map(p);
    m_painter.fillRect(QRectF(at, QSizeF(m_zoom, m_zoom)), c);
}

// ---------------------------------------------------------------------------
// Text.

void GdiCanvas::textOut(QPointF reference, const QString &text, const std::vector<double> &dx, std::uint32_t options,
                        std::optional<QRectF> rect)
{
    const QTransform t = toTarget();
    const bool updateCp = m_s.textAlign & 1;
    const QPointF origin = t.map(updateCp ? m_s.position : reference);
    // Lengths along and across the baseline, in target pixels per logical unit.
    const double xScale = QLineF(t.map(QPointF(0, 0)), t.map(QPointF(1, 0))).length();
    const double yScale = QLineF(t.map(QPointF(0, 0)), t.map(QPointF(0, 1))).length();

    if (rect && (options & 2)) // ETO_OPAQUE
        m_painter.fillPath(mapped(rectPath(*rect)), m_s.bkColor);
    if (text.isEmpty())
        return;

    const GdiFont &f = m_s.font;
    QFont font(f.face);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Weight(std::clamp(f.weight == 0 ? 400 : f.weight, 100, 900)));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    const double dpi = m_painter.device() ? m_painter.device()->logicalDpiY() : 96;
    auto setPixels = [&](double px) { font.setPointSizeF(std::clamp(px, 0.5, 4000.0) * 72.0 / dpi); };
    double em = 12 * m_zoom;
    if (f.height < 0) {
        em = -f.height * yScale;
    } else if (f.height > 0) {
        // A positive height is the cell height, ascent plus descent.
        setPixels(100);
        const QFontMetricsF probe(font, m_painter.device());
        const double cell = probe.ascent() + probe.descent();
        em = f.height * yScale * (cell > 0 ? 100 / cell : 1);
    }
    em = finiteOr(em, 12);
    if (em < 0.5)
        return;
    setPixels(em);
    const QFontMetricsF metrics(font, m_painter.device());

    std::vector<double> advances;
    double width = 0;
    if (!dx.empty()) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const double a = i < qsizetype(dx.size()) ? finiteOr(dx[std::size_t(i)] * xScale, 0) : 0;
            advances.push_back(a);
            width += a;
        }
    } else {
        width = metrics.horizontalAdvance(text);
    }

    double x = 0;
    switch (m_s.textAlign & 6) {
    case 2: // TA_RIGHT
        x = -width;
        break;
    case 6: // TA_CENTER
        x = -width / 2;
        break;
    default:
        break;
    }
    double y = 0;
    switch (m_s.textAlign & 24) {
    case 8: // TA_BOTTOM
        y = -metrics.descent();
        break;
    case 24: // TA_BASELINE
        break;
    default: // TA_TOP
        y = metrics.ascent();
        break;
    }

    if (!beginDraw())
        return;
    m_painter.save();
    if (rect && (options & 4)) // ETO_CLIPPED
        m_painter.setClipPath(mapped(rectPath(*rect)), Qt::IntersectClip);
    m_painter.translate(origin);
    // Escapement turns the baseline counter-clockwise, as seen on the device.
    m_painter.rotate(-f.escapement / 10.0);
    if (m_s.bkMode == 2)
        m_painter.fillRect(QRectF(x, y - metrics.ascent(), width, metrics.ascent() + metrics.descent()), m_s.bkColor);
    m_painter.setFont(font);
    m_painter.setPen(m_s.textColor);
    if (advances.empty()) {
        m_painter.drawText(QPointF(x, y), text);
    } else {
        double at = x;
        for (qsizetype i = 0; i < text.size(); ++i) {
            m_painter.drawText(QPointF(at, y), QString(text[i]));
            at += advances[std::size_t(i)];
        }
    }
    m_painter.restore();
    endDraw();

    if (updateCp) {
        const QTransform inverse = t.inverted();
        const double angle = qDegreesToRadians(f.escapement / 10.0);
        const QPointF endTarget = origin + QPointF(std::cos(angle) * width, -std::sin(angle) * width);
        m_s.position = inverse.map(endTarget);
    }
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
    path.setFillRule(m_s.fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
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

// ---------------------------------------------------------------------------
// Clipping, kept in target coordinates.

void GdiCanvas::combineClip(const QPainterPath &path, int mode)
{
    QPainterPath whole;
    whole.addRect(m_target);
    const QPainterPath current = m_s.clip.value_or(whole);
    switch (mode) {
    case 1: // RGN_AND
        m_s.clip = current.intersected(path);
        break;
    case 2: // RGN_OR
        m_s.clip = current.united(path);
        break;
    case 3: // RGN_XOR
        m_s.clip = current.subtracted(path).united(path.subtracted(current));
        break;
    case 4: // RGN_DIFF
        m_s.clip = current.subtracted(path);
        break;
    case 5: // RGN_COPY
        m_s.clip = path;
        break;
    default:
        return;
    }
    applyClip();
}

void GdiCanvas::applyClip()
{
    if (!m_s.clip) {
        m_painter.setClipRect(m_target, Qt::ReplaceClip);
        return;
    }
    QPainterPath whole;
    whole.addRect(m_target);
    m_painter.setClipPath(m_s.clip->intersected(whole), Qt::ReplaceClip);
}

void GdiCanvas::intersectClipRect(const QRectF &r)
{
    combineClip(mapped(rectPath(r)), 1);
}

void GdiCanvas::excludeClipRect(const QRectF &r)
{
    combineClip(mapped(rectPath(r)), 4);
}

void GdiCanvas::selectClipRegion(const std::vector<QRectF> &deviceRects, int mode)
{
    if (deviceRects.empty() && mode == 5) {
        m_s.clip.reset();
        applyClip();
        return;
    }
    QPainterPath region;
    for (const QRectF &r : deviceRects)
        region.addRect(r);
    combineClip(m_deviceToTarget.map(region).simplified(), mode);
}

// ---------------------------------------------------------------------------
// Bitmaps.

void GdiCanvas::drawImage(const QRectF &dest, const QImage &image, const QRectF &source, std::uint32_t rop,
                          double opacity)
{
    if (image.isNull() || dest.width() == 0 || dest.height() == 0)
        return;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (rop) {
    case RasterOp::SrcAnd:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case RasterOp::SrcPaint:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case RasterOp::SrcInvert:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case RasterOp::NotSrcCopy:
        mode = QPainter::RasterOp_NotSource;
        break;
    default:
        break;
    }
    m_painter.save();
    m_painter.setCompositionMode(mode);
    m_painter.setOpacity(opacity);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // Negative sizes mirror the bitmap.
    const QTransform placement = QTransform::fromScale(dest.width() < 0 ? -1 : 1, dest.height() < 0 ? -1 : 1) *
                                 QTransform::fromTranslate(dest.x(), dest.y()) * toTarget();
    m_painter.setTransform(placement, true);
    m_painter.drawImage(QRectF(0, 0, std::abs(dest.width()), std::abs(dest.height())), image, source);
    m_painter.restore();
}

void GdiCanvas::patBlt(const QRectF &dest, std::uint32_t rop)
{
    const QPainterPath area = mapped(rectPath(dest));
    switch (rop) {
    case RasterOp::Blackness:
        m_painter.fillPath(area, Qt::black);
        break;
    case RasterOp::Whiteness:
        m_painter.fillPath(area, Qt::white);
        break;
    case RasterOp::DstInvert:
        m_painter.save();
        m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        m_painter.fillPath(area, Qt::black);
        m_painter.restore();
        break;
    case RasterOp::PatInvert:
        m_painter.save();
        m_painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        m_painter.fillPath(area, qtBrush());
        m_painter.restore();
        break;
    case RasterOp::DstCopy: // nothing
        break;
    default: // PATCOPY and the rest
        if (!m_s.brush.isNull())
            m_painter.fillPath(area, qtBrush());
        break;
    }
}
