#include "metafile/GdiCanvas.h"

#include "metafile/Clip.h"
#include "metafile/DashBound.h"
#include "metafile/Geometry.h"
#include "metafile/SymbolFonts.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPainter>
#include <QtMath>

#include <cmath>
#include <utility>

namespace {

constexpr std::size_t MaxSavedStates = 1024;

// The widest stretch of a font we draw; glyphs wider than no text is are
// not rasterized.
constexpr int MaxStretch = 800;
constexpr int MinStretch = 12;
constexpr double MaxGlyphPixels = 4000;

// Most palette entries a logical palette may have ([MS-WMF] 2.2.1.3).
constexpr int MaxPaletteEntries = 65536;

// The kind of face to fall back on when the named one is missing, from the
// family in the high nibble and the pitch in the low bits ([MS-WMF] 2.1.1.8
// FamilyFont, 2.1.1.24 PitchFont). With no kind given, fontconfig decides
// from the name, as it knows many faces it has no copy of.
QFont::StyleHint styleHintOf(std::uint8_t pitchAndFamily)
{
    enum { Roman = 1, Swiss, Modern, Script };
    constexpr std::uint8_t FixedPitch = 1, PitchMask = 3;
    switch (pitchAndFamily >> 4) {
    case Roman:
        return QFont::Serif;
    case Swiss:
        return QFont::SansSerif;
    case Modern:
        return QFont::Monospace;
    case Script:
        return QFont::Cursive;
    default:
        // Novelty faces have nothing in common to fall back on.
        return (pitchAndFamily & PitchMask) == FixedPitch ? QFont::Monospace : QFont::AnyStyle;
    }
}

// The generic family fontconfig resolves for a kind of face.
QString genericFamilyOf(QFont::StyleHint hint)
{
    switch (hint) {
    case QFont::Serif:
        return QStringLiteral("serif");
    case QFont::Monospace:
        return QStringLiteral("monospace");
    case QFont::Cursive:
        return QStringLiteral("cursive");
    default:
        return QStringLiteral("sans-serif");
    }
}

// The font's face, or a generic one of its kind where that draws its text
// better: Symbol's codes have become Unicode characters, which a text face
// draws; and a symbol face that fontconfig stands in for a missing text
// face would turn letters into pictures.
QFont faceOf(const GdiFont &f)
{
    const QFont::StyleHint hint = SymbolFonts::mapsToUnicode(f.face) ? QFont::Serif : styleHintOf(f.pitchAndFamily);
    SymbolFonts::makeKnown(f.face);
    QFont font(f.face);
    font.setStyleHint(hint);
    if (SymbolFonts::mapsToUnicode(f.face) ||
        (!SymbolFonts::isSymbolFont(f.face, f.charset) && SymbolFonts::isSymbolFamily(QFontInfo(font).family())))
        font.setFamily(genericFamilyOf(hint));
    return font;
}

} // namespace

GdiCanvas::GdiCanvas(QPainter &painter, const QRectF &target, const QRectF &deviceFrame, double devicePixelsPerMm,
                     double zoom, PlaybackBudget &budget)
    : m_painter(painter), m_budget(budget), m_target(target),
      m_pixelsPerMm(devicePixelsPerMm > 0 ? devicePixelsPerMm : 96 / 25.4), m_zoom(zoom > 0 ? zoom : 1)
{
    const double sx = deviceFrame.width() != 0 ? target.width() / deviceFrame.width() : 1;
    const double sy = deviceFrame.height() != 0 ? target.height() / deviceFrame.height() : 1;
    m_deviceToTarget = QTransform::fromTranslate(-deviceFrame.left(), -deviceFrame.top()) *
                       QTransform::fromScale(sx, sy) * QTransform::fromTranslate(target.left(), target.top());
    // A line at a whole device coordinate lights the pixel to its right and
    // below, as the reference device draws it: strokes sit half a device
    // pixel further on.
    m_strokeShift = m_deviceToTarget.map(QPointF(0.5, 0.5)) - m_deviceToTarget.map(QPointF(0, 0));
    m_s.face = faceOf(m_s.font);
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

void GdiCanvas::selectFont(const GdiFont &font)
{
    m_s.font = font;
    m_s.face = faceOf(font);
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

QFont GdiCanvas::qtFont(double xScale, double yScale, bool *visible) const
{
    const GdiFont &f = m_s.font;
    QFont font = m_s.face;
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
    *visible = em >= 0.5;
    setPixels(em);
    // A width of its own stretches or narrows every character; so does a
    // picture drawn wider or narrower than its own proportions.
    double stretch = 100 * xScale / yScale;
    if (f.width != 0) {
        const double average = QFontMetricsF(font, m_painter.device()).averageCharWidth();
        stretch = average > 0 ? 100 * std::abs(f.width) * xScale / average : 100;
    }
    const double widest = std::min<double>(MaxStretch, 100 * MaxGlyphPixels / std::max(em, 1.0));
    if (*visible && std::isfinite(stretch) && std::abs(stretch - 100) >= 1)
        font.setStretch(std::clamp(int(std::lround(std::min(stretch, widest))), MinStretch, MaxStretch));
    return font;
}

// Qt sets a font at a whole pixel size, so text of a fractional size would
// end elsewhere at each zoom and display scale. Its width in the same font
// at a large size, scaled down, is where the text ends at every zoom: the
// factor from the one width to the other.
double GdiCanvas::exactSizeFit(const QFont &font, const QFontMetricsF &metrics, const QString &text) const
{
    constexpr double LargePixels = 1000;
    const double dpi = m_painter.device() ? m_painter.device()->logicalDpiY() : 96;
    const double em = font.pointSizeF() * dpi / 72;
    const double actual = metrics.horizontalAdvance(text);
    if (!(em > 0) || !(actual > 0))
        return 1;
    QFont large(font);
    large.setPointSizeF(font.pointSizeF() * LargePixels / em);
    const double exact = QFontMetricsF(large, m_painter.device()).horizontalAdvance(text) * em / LargePixels;
    return exact > 0 && std::isfinite(exact) ? exact / actual : 1;
}

// Each character's advance in target pixels: given, or the font's fitted to
// its exact size, plus the extra spacing.
std::vector<double> GdiCanvas::advancesOf(const QString &text, const std::vector<double> &dx,
                                          const QFontMetricsF &metrics, double fit, double xScale) const
{
    std::vector<double> advances;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const double a = !dx.empty() ? (i < qsizetype(dx.size()) ? dx[std::size_t(i)] * xScale : 0)
                                     : metrics.horizontalAdvance(text[i]) * fit + m_s.charExtra * xScale;
        advances.push_back(finiteOr(a, 0));
    }
    return advances;
}

// Where the text starts relative to its reference point, from the alignment.
QPointF GdiCanvas::alignmentOffset(const QFontMetricsF &metrics, double width) const
{
    double x = 0;
    switch (m_s.textAlign & TextAlign::HorizontalMask) {
    case TextAlign::Right:
        x = -width;
        break;
    case TextAlign::Center:
        x = -width / 2;
        break;
    default:
        break;
    }
    double y = metrics.ascent(); // top
    switch (m_s.textAlign & TextAlign::VerticalMask) {
    case TextAlign::Bottom:
        y = -metrics.descent();
        break;
    case TextAlign::Baseline:
        y = 0;
        break;
    default:
        break;
    }
    return QPointF(x, y);
}

void GdiCanvas::textOut(QPointF reference, const QString &written, const std::vector<double> &dx, std::uint32_t options,
                        std::optional<QRectF> rect, const std::vector<double> &rises)
{
    if (!m_budget.draws(written.size() * CharacterWork))
        return;
    const QTransform t = toTarget();
    const bool updateCp = m_s.textAlign & TextAlign::UpdateCp;
    const QPointF origin = t.map(updateCp ? m_s.position : reference);
    // Lengths along and across the baseline, in target pixels per logical unit.
    const double xScale = QLineF(t.map(QPointF(0, 0)), t.map(QPointF(1, 0))).length();
    const double yScale = QLineF(t.map(QPointF(0, 0)), t.map(QPointF(0, 1))).length();

    if (rect && (options & TextOutOption::Opaque))
        m_painter.fillPath(mapped(rectPath(*rect)), m_s.bkColor);
    bool visible = false;
    const QFont font = qtFont(xScale, yScale, &visible);
    if (written.isEmpty() || !visible)
        return;
    const QString text = SymbolFonts::readable(m_s.font.face, m_s.font.charset, written);
    const QFontMetricsF metrics(font, m_painter.device());

    const double fit = dx.empty() ? exactSizeFit(font, metrics, text) : 1;
    const std::vector<double> advances = advancesOf(text, dx, metrics, fit, xScale);
    double width = 0;
    for (const double a : advances)
        width += a;
    // With rises each character also steps up from the one before, across the baseline.
    double rise = 0;
    for (qsizetype i = 0; i < qsizetype(rises.size()) && i < text.size(); ++i)
        rise += finiteOr(rises[std::size_t(i)] * yScale, 0);
    const bool plain = dx.empty() && rises.empty() && m_s.charExtra == 0;
    if (plain)
        width = metrics.horizontalAdvance(text) * fit;
    const QPointF at = alignmentOffset(metrics, width);

    if (!beginDraw())
        return;
    m_painter.save();
    if (rect && (options & TextOutOption::Clipped))
        m_painter.setClipPath(mapped(rectPath(*rect)), Qt::IntersectClip);
    // Escapement turns the baseline counter-clockwise, as seen on the device;
    // in the advanced graphics mode the baseline follows the world transform.
    const QPointF along = t.map(QPointF(1, 0)) - t.map(QPointF(0, 0));
    const double turn =
        (m_s.textFollowsWorld ? qRadiansToDegrees(std::atan2(along.y(), along.x())) : 0) - m_s.font.escapement / 10.0;
    m_painter.translate(origin);
    m_painter.rotate(finiteOr(turn, 0));
    if (m_s.bkMode == BkModeOpaque)
        m_painter.fillRect(QRectF(at.x(), at.y() - metrics.ascent(), width, metrics.ascent() + metrics.descent()),
                           m_s.bkColor);
    m_painter.setFont(font);
    m_painter.setPen(m_s.textColor);
    if (plain) {
        m_painter.scale(fit, 1);
        m_painter.drawText(QPointF(at.x() / fit, at.y()), text);
    } else {
        QPointF next = at;
        for (qsizetype i = 0; i < text.size(); ++i) {
            m_painter.drawText(next, QString(text[i]));
            const double up = i < qsizetype(rises.size()) ? finiteOr(rises[std::size_t(i)] * yScale, 0) : 0;
            next += QPointF(advances[std::size_t(i)], -up);
        }
    }
    m_painter.restore();
    endDraw();

    if (updateCp)
        m_s.position = t.inverted().map(origin + QTransform().rotate(finiteOr(turn, 0)).map(QPointF(width, -rise)));
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

// ---------------------------------------------------------------------------
// Clipping, kept in target coordinates: as a region of whole pixels while
// every part of it is an upright rectangle, as the device keeps it and fast
// for the thousands of rectangles some files clip with; as a path once a
// shape of any other form takes part.

namespace {

QRect pixelRect(const QRectF &r)
{
    const QRectF n = r.normalized();
    return QRect(QPoint(int(std::lround(n.left())), int(std::lround(n.top()))),
                 QPoint(int(std::lround(n.right())) - 1, int(std::lround(n.bottom())) - 1));
}

// [MS-EMF] 2.1.29 RegionMode as a clip combination.
ClipOp clipOpOf(int mode)
{
    switch (mode) {
    case RegionMode::And:
        return ClipOp::Intersect;
    case RegionMode::Or:
        return ClipOp::Unite;
    case RegionMode::Xor:
        return ClipOp::Xor;
    case RegionMode::Diff:
        return ClipOp::Subtract;
    default: // RegionMode::Copy
        return ClipOp::Replace;
    }
}

// The union of many rectangles, joined in pairs: adding them one by one
// costs the square of their number.
QRegion unionOf(const std::vector<QRect> &rects)
{
    std::vector<QRegion> regions(rects.begin(), rects.end());
    for (std::size_t step = 1; step < regions.size(); step *= 2) {
        for (std::size_t i = 0; i + step < regions.size(); i += 2 * step)
            regions[i] = regions[i].united(regions[i + step]);
    }
    return regions.empty() ? QRegion() : regions.front();
}

bool knownMode(int mode)
{
    return mode >= RegionMode::And && mode <= RegionMode::Copy;
}

} // namespace

void GdiCanvas::combineClip(const QPainterPath &path, int mode)
{
    if (!knownMode(mode))
        return;
    const QPainterPath current = m_s.clip.asPath(rectPath(m_target));
    if (mode != RegionMode::Copy && !m_budget.combines(current, path))
        return;
    m_s.clip.setPath(combinedClip(current, path, clipOpOf(mode)));
    applyClip();
}

void GdiCanvas::combineClip(const QRegion &pixels, int mode)
{
    if (!knownMode(mode))
        return;
    // Once a path, the clip stays a path.
    if (m_s.clip.path()) {
        QPainterPath shape;
        shape.addRegion(pixels);
        combineClip(shape, mode);
        return;
    }
    const QRegion current = m_s.clip.pixels() ? *m_s.clip.pixels() : QRegion(pixelRect(m_target));
    if (!m_budget.combinesRegions(current.rectCount(), pixels.rectCount()))
        return;
    m_s.clip.setPixels(combinedClip(current, pixels, clipOpOf(mode)));
    applyClip();
}

// A logical rectangle: a region while the mapping keeps it upright.
void GdiCanvas::combineClipRect(const QRectF &logical, int mode)
{
    const QTransform t = toTarget();
    if (t.type() <= QTransform::TxScale)
        combineClip(QRegion(pixelRect(t.mapRect(logical))), mode);
    else
        combineClip(mapped(rectPath(logical)), mode);
}

void GdiCanvas::resetClip()
{
    m_s.clip.reset();
    applyClip();
}

void GdiCanvas::applyClip()
{
    const QPainterPath whole = rectPath(m_target);
    const QRegion *pixels = m_s.clip.pixels();
    const QPainterPath *path = m_s.clip.path();
    if (pixels ? !m_budget.draws(pixels->rectCount())
               : path && !(m_budget.draws(*path, m_zoom, ClipSides) && m_budget.combines(*path, whole)))
        m_painter.setClipRect(QRectF(), Qt::ReplaceClip); // the playback ends here
    else if (pixels)
        m_painter.setClipRegion(pixels->intersected(pixelRect(m_target)), Qt::ReplaceClip);
    else if (path)
        m_painter.setClipPath(path->intersected(whole), Qt::ReplaceClip);
    else
        m_painter.setClipRect(m_target, Qt::ReplaceClip);
}

void GdiCanvas::intersectClipRect(const QRectF &r)
{
    combineClipRect(r, RegionMode::And);
}

void GdiCanvas::excludeClipRect(const QRectF &r)
{
    combineClipRect(r, RegionMode::Diff);
}

void GdiCanvas::selectClipRegion(const std::vector<QRectF> &deviceRects, int mode)
{
    if (deviceRects.empty() && mode == RegionMode::Copy) {
        resetClip();
        return;
    }
    std::vector<QRect> pixels;
    pixels.reserve(deviceRects.size());
    for (const QRectF &r : deviceRects)
        pixels.push_back(pixelRect(m_deviceToTarget.mapRect(r)));
    if (m_budget.draws(qsizetype(pixels.size())))
        combineClip(unionOf(pixels), mode);
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
    if (!m_budget.draws(area, m_zoom))
        return;
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

// ---------------------------------------------------------------------------
// Palettes.

void GdiCanvas::setPaletteEntries(int start, const QVector<QRgb> &entries)
{
    if (start < 0 || start >= MaxPaletteEntries)
        return;
    const qsizetype end = std::min<qsizetype>(start + entries.size(), MaxPaletteEntries);
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

// ---------------------------------------------------------------------------
// Regions.

void GdiCanvas::selectClipRegion(const std::optional<QPainterPath> &logical)
{
    if (!logical) {
        resetClip();
        return;
    }
    combineClip(mapped(*logical), RegionMode::Copy);
}

void GdiCanvas::offsetClipRegion(QPointF logicalDelta)
{
    const QTransform t = toTarget();
    const QPointF delta = t.map(logicalDelta) - t.map(QPointF(0, 0));
    m_s.clip.translate(delta);
    applyClip();
}

void GdiCanvas::fillRegion(const QPainterPath &logical, const GdiBrush &brush)
{
    const GdiBrush saved = m_s.brush;
    m_s.brush = brush;
    draw(mapped(logical), true, false);
    m_s.brush = saved;
}

void GdiCanvas::frameRegion(const QPainterPath &logical, const GdiBrush &brush, QSizeF logicalFrame)
{
    // The frame is the region less the region shrunk by the frame's size.
    const QTransform t = toTarget();
    const QPointF size = t.map(QPointF(logicalFrame.width(), logicalFrame.height())) - t.map(QPointF(0, 0));
    const QPainterPath outer = mapped(logical);
    if (!m_budget.combines(outer, outer))
        return;
    QPainterPath inner = outer;
    for (const QPointF shift :
         {QPointF(size.x(), 0), QPointF(-size.x(), 0), QPointF(0, size.y()), QPointF(0, -size.y())})
        inner = inner.intersected(outer.translated(shift));
    const GdiBrush saved = m_s.brush;
    m_s.brush = brush;
    draw(outer.subtracted(inner), true, false);
    m_s.brush = saved;
}

void GdiCanvas::invertRegion(const QPainterPath &logical)
{
    const QPainterPath area = mapped(logical);
    if (!m_budget.draws(area, m_zoom))
        return;
    m_painter.save();
    m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    m_painter.fillPath(area, Qt::black);
    m_painter.restore();
}

void GdiCanvas::widenPath()
{
    endPath();
    QPainterPathStroker stroker(qtPen());
    m_donePath = stroker.createStroke(m_donePath);
}

void GdiCanvas::gradientRect(const QRectF &logical, QColor from, QColor to, bool vertical)
{
    const QRectF r = logical.normalized();
    QLinearGradient gradient(r.topLeft(), vertical ? r.bottomLeft() : r.topRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    const QTransform t = toTarget();
    QBrush brush(gradient);
    brush.setTransform(t);
    const QPainterPath area = mapped(rectPath(r));
    if (m_budget.draws(area, m_zoom))
        m_painter.fillPath(area, brush);
}

void GdiCanvas::gradientTriangle(const QPolygonF &logical, const QColor (&colors)[3])
{
    // Qt has no three-colour gradient: the triangle takes its mean colour.
    const int red = (colors[0].red() + colors[1].red() + colors[2].red()) / 3;
    const int green = (colors[0].green() + colors[1].green() + colors[2].green()) / 3;
    const int blue = (colors[0].blue() + colors[1].blue() + colors[2].blue()) / 3;
    QPainterPath path;
    path.addPolygon(logical);
    path.closeSubpath();
    const QPainterPath area = mapped(path);
    if (m_budget.draws(area, m_zoom))
        m_painter.fillPath(area, QColor(red, green, blue));
}

void GdiCanvas::drawImageOnto(const QPolygonF &corners, const QImage &image, const QRectF &source)
{
    if (image.isNull() || corners.size() < 3 || source.isEmpty())
        return;
    // The affine map taking the source rectangle onto the parallelogram.
    const QPointF ex = (corners[1] - corners[0]) / source.width();
    const QPointF ey = (corners[2] - corners[0]) / source.height();
    const QTransform onto(ex.x(), ex.y(), ey.x(), ey.y(), corners[0].x(), corners[0].y());
    m_painter.save();
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_painter.setTransform(QTransform::fromTranslate(-source.x(), -source.y()) * onto * toTarget(), true);
    m_painter.drawImage(source, image, source);
    m_painter.restore();
}
