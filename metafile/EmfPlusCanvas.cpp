#include "metafile/EmfPlusCanvas.h"

#include "metafile/DashBound.h"
#include "metafile/Geometry.h"
#include "metafile/Limits.h"
#include "metafile/SymbolFonts.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// [MS-EMFPLUS] 2.1.1.4 CombineMode.
enum Combine { Replace, Intersect, Union, Xor, Exclude, Complement };

} // namespace

EmfPlusCanvas::EmfPlusCanvas(const Playback &playback)
    : m_painter(playback.painter), m_budget(playback.budget), m_openNested(playback.openNested),
      m_deviceToTarget(playback.deviceToTarget()), m_target(playback.target), m_zoom(playback.zoom)
{}

bool EmfPlusCanvas::drawable(const QPainterPath &path)
{
    const QRectF bounds = path.boundingRect();
    return std::isfinite(bounds.left()) && std::isfinite(bounds.top()) && std::isfinite(bounds.right()) &&
           std::isfinite(bounds.bottom()) && std::abs(bounds.left()) < Limits::MaxCoordinate &&
           std::abs(bounds.right()) < Limits::MaxCoordinate && std::abs(bounds.top()) < Limits::MaxCoordinate &&
           std::abs(bounds.bottom()) < Limits::MaxCoordinate;
}

// ---------------------------------------------------------------------------
// Drawing.

QTransform EmfPlusCanvas::toDevice() const
{
    return m_state.world * QTransform::fromScale(m_state.pageScale, m_state.pageScale);
}

QTransform EmfPlusCanvas::toTarget() const
{
    return toDevice() * QTransform::fromTranslate(m_state.pixelOffset, m_state.pixelOffset) * m_deviceToTarget;
}

void EmfPlusCanvas::applyRenderHints()
{
    clipIfChanged();
    m_painter.setRenderHint(QPainter::Antialiasing, m_state.smooth);
    m_painter.setRenderHint(QPainter::TextAntialiasing, m_state.smoothText);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, m_state.smoothImages);
}

void EmfPlusCanvas::fill(const QPainterPath &path, const QBrush &brush)
{
    if (brush.style() == Qt::NoBrush)
        return;
    const QTransform t = toTarget();
    const QPainterPath target = t.map(path);
    if (!m_budget.draws(target, m_zoom) || !drawable(target))
        return;
    QBrush mapped = brush;
    mapped.setTransform(brush.transform() * t);
    applyRenderHints();
    clearUnder(target);
    m_painter.fillPath(target, mapped);
}

namespace {

// The unit direction in which a path leaves its end, or its start.
std::optional<QPointF> leaving(const QPainterPath &path, bool atEnd)
{
    const int n = path.elementCount();
    const int tip = atEnd ? n - 1 : 0;
    for (int i = atEnd ? n - 2 : 1; i >= 0 && i < n; i += atEnd ? -1 : 1) {
        const QPointF d = QPointF(path.elementAt(tip)) - QPointF(path.elementAt(i));
        const double length = std::hypot(d.x(), d.y());
        if (length > 0)
            return d / length;
    }
    return std::nullopt;
}

// Puts a cap at one end of an open path: turned along the line, scaled by
// the pen's width, the line cut short by its inset.
void addCap(QPainterPath &path, QPainterPath &caps, const PlusPen::Cap &cap, bool atEnd, double width)
{
    const std::optional<QPointF> out = leaving(path, atEnd);
    const int tip = atEnd ? path.elementCount() - 1 : 0;
    if (!out)
        return;
    const QPointF at = path.elementAt(tip);
    const QPointF across(-out->y(), out->x());
    caps.addPath(QTransform(across.x() * width, across.y() * width, out->x() * width, out->y() * width, at.x(), at.y())
                     .map(cap.shape));
    const QPointF cut = at - *out * cap.inset * width;
    path.setElementPositionAt(tip, cut.x(), cut.y());
}

} // namespace

void EmfPlusCanvas::stroke(const QPainterPath &original, const PlusPen &penObject)
{
    const PlusPen *pen = &penObject;
    QPainterPath path = original;
    QPainterPath caps;
    const bool open =
        path.elementCount() > 1 && QPointF(path.elementAt(0)) != QPointF(path.elementAt(path.elementCount() - 1));
    if (open && pen->width > 0) {
        if (pen->startCap)
            addCap(path, caps, *pen->startCap, false, pen->width);
        if (pen->endCap)
            addCap(path, caps, *pen->endCap, true, pen->width);
    }
    if (!caps.isEmpty())
        fill(caps, pen->pen.brush());
    const QTransform t = toTarget();
    QPen qtPen = pen->pen;
    const double scale = std::sqrt(std::abs(t.determinant()));
    const double onePixel = std::sqrt(std::abs(m_deviceToTarget.determinant()));
    const double width = pen->width * scale;
    const QPainterPath target = t.map(path);
    if (!std::isfinite(width) || width > Limits::MaxPenWidth || !m_budget.draws(target, m_zoom, 2, width) ||
        !drawable(target))
        return;
    QBrush brush = qtPen.brush();
    brush.setTransform(brush.transform() * t);
    qtPen.setBrush(brush);
    qtPen.setWidthF(std::max(width, onePixel));
    applyRenderHints();
    m_painter.strokePath(target, withBoundedDashes(qtPen, target));
}

// Draws the Source part of a bitmap, or of a metafile, onto the
// parallelogram of the three Corners.
void EmfPlusCanvas::paintImage(const PlusImage &image, const QRectF &source, const QPolygonF &corners)
{
    if (!image.image.isNull()) {
        paintBitmap(image.image, source, corners);
        return;
    }
    const std::optional<NestedMetafile> metafile = openNested(image);
    if (!metafile)
        return;
    // A source of no size is the whole image.
    const QRectF from =
        source.width() > 0 && source.height() > 0 ? source : QRectF(QPointF(0, 0), metafile->imageSize());
    if (from.width() <= 0 || from.height() <= 0)
        return;
    const QTransform onto = rectangleOnto(from, corners);
    const QRectF frame(QPointF(0, 0), metafile->frame);
    const QTransform t = onto * toTarget();
    if (!t.isInvertible() || !drawable(t.map(rectPath(frame))))
        return;
    applyRenderHints();
    m_painter.save();
    const QTransform device = onto * toDevice();
    if (device.isAffine() && device.m12() == 0 && device.m21() == 0) {
        // Upright, the picture plays as the device plays a metafile into a
        // rectangle of whole pixels: the frame's edges rounded, its right and
        // bottom edges on the last pixels inside.
        const QRectF exact = device.mapRect(frame);
        const QPointF topLeft(std::round(exact.left()), std::round(exact.top()));
        const QPointF bottomRight(std::round(exact.right()) - 1, std::round(exact.bottom()) - 1);
        const QRectF placed(topLeft, bottomRight);
        clearUnder(m_deviceToTarget.map(rectPath(placed)));
        m_painter.setTransform(m_deviceToTarget, true);
        playNested(*metafile, placed);
    } else {
        clearUnder(t.map(rectPath(frame)));
        m_painter.setTransform(t, true);
        playNested(*metafile, frame);
    }
    m_painter.restore();
}

void EmfPlusCanvas::paintBitmap(const QImage &bitmap, const QRectF &source, const QPolygonF &corners)
{
    const QRectF shown = source.intersected(QRectF(bitmap.rect()));
    if (source.width() <= 0 || source.height() <= 0 || shown.isEmpty())
        return;
    const QTransform t = rectangleOnto(source, corners) * toTarget();
    if (!t.isInvertible() || !drawable(t.map(rectPath(source))))
        return;
    applyRenderHints();
    clearUnder(t.map(rectPath(shown)));
    m_painter.save();
    m_painter.setTransform(t, true);
    m_painter.drawImage(shown, bitmap, shown);
    m_painter.restore();
}

void EmfPlusCanvas::playNested(const NestedMetafile &metafile, const QRectF &target)
{
    if (target.width() <= 0 || target.height() <= 0)
        return;
    ++m_budget.nesting;
    metafile.draw(m_painter, target, m_budget);
    --m_budget.nesting;
}

// Draws Text in Font, the em size as given in world units, through the
// whole transform. Alignment < 0 puts the first baseline at Layout's top
// left; otherwise Layout is the box the text is aligned and wrapped in.
void EmfPlusCanvas::paintText(const PlusFont &font, const QBrush &brush, const QRectF &layout, const QString &written,
                              int alignment)
{
    if (!m_budget.draws(written.size() * CharacterWork))
        return;
    const QString text = SymbolFonts::readable(font.font.family(), 0, written);
    // Glyphs as large as no text is, along either axis, are not drawn.
    const QTransform t = toTarget();
    const double xScale = QLineF(t.map(QPointF(0, 0)), t.map(QPointF(1, 0))).length();
    const double yScale = QLineF(t.map(QPointF(0, 0)), t.map(QPointF(0, 1))).length();
    const double stretch = std::max(xScale, yScale);
    if (!(font.emSize > 0 && font.emSize * stretch < Limits::MaxEmSize) ||
        !drawable(t.map(QPainterPath(layout.topLeft()))))
        return;
    QFont qtFont = font.font;
    qtFont.setPixelSize(std::clamp(int(std::lround(font.emSize)), 1, int(Limits::MaxEmSize)));
    const double fineScale = font.emSize / qtFont.pixelSize();
    applyRenderHints();
    m_painter.save();
    m_painter.setTransform(QTransform::fromScale(fineScale, fineScale) * t, true);
    m_painter.setFont(qtFont);
    m_painter.setPen(QPen(brush, 0));
    const QRectF box(layout.topLeft() / fineScale, layout.size() / fineScale);
    const double ascent = QFontMetricsF(qtFont).ascent();
    if (std::min(xScale, yScale) * Limits::MaxTextAspect < stretch) {
        // Glyphs squeezed far more one way than the other are drawn as
        // outlines: the glyph cache fails on such shapes.
        QPainterPath glyphs;
        glyphs.addText(box.topLeft() + QPointF(0, alignment < 0 ? 0 : ascent), qtFont, text);
        m_painter.fillPath(glyphs, brush);
    } else if (alignment < 0) {
        m_painter.drawText(box.topLeft(), text);
    } else if (layout.width() > 0 && layout.height() > 0) {
        m_painter.drawText(box, alignment | Qt::TextWordWrap, text);
    } else {
        m_painter.drawText(QRectF(box.topLeft(), QSizeF(1e6, 1e6)), int(Qt::AlignLeft | Qt::AlignTop), text);
    }
    m_painter.restore();
}

void EmfPlusCanvas::clearUnder(const QPainterPath &area)
{
    if (m_state.copy)
        m_painter.fillPath(area, Qt::white);
}

void EmfPlusCanvas::pushState(std::uint32_t index, const QTransform &containerTransform)
{
    if (m_saved.size() >= Limits::MaxSavedStates)
        return;
    m_saved.emplace_back(index, m_state);
    m_state.base = containerTransform * m_state.world;
    m_state.world = m_state.base;
}

// Back to the state saved under Index, dropping those saved after it.
void EmfPlusCanvas::restore(std::uint32_t index)
{
    const auto found =
        std::find_if(m_saved.rbegin(), m_saved.rend(), [index](const auto &saved) { return saved.first == index; });
    if (found == m_saved.rend())
        return;
    m_state = found->second;
    m_saved.erase(std::prev(found.base()), m_saved.end());
    m_clipChanged = true;
}

void EmfPlusCanvas::combineClip(int mode, const std::optional<QPainterPath> &shape)
{
    const auto bounded = PlusObjects::boundedForBoolean;
    const QPainterPath everywhere = rectPath(m_target);
    std::optional<QPainterPath> mapped;
    if (shape) {
        mapped = bounded(toTarget().map(*shape));
        if (!drawable(*mapped))
            mapped = mapped->boundingRect().isValid() ? std::optional(everywhere) : QPainterPath();
    }
    const QPainterPath now = bounded(m_state.clip.asPath(everywhere));
    const QPainterPath with = mapped.value_or(everywhere);
    if (mode != Replace && !m_budget.combines(now, with))
        return;
    // In CombineMode's order.
    static constexpr ClipOp ops[] = {ClipOp::Replace, ClipOp::Intersect, ClipOp::Unite,
                                     ClipOp::Xor,     ClipOp::Subtract,  ClipOp::SubtractFrom};
    if (mode == Replace && !mapped)
        m_state.clip.reset();
    else if (mode >= Replace && mode <= Complement)
        m_state.clip.setPath(combinedClip(now, with, ops[mode]));
    else
        return;
    m_clipChanged = true;
}

void EmfPlusCanvas::clipIfChanged()
{
    if (!m_clipChanged)
        return;
    m_clipChanged = false;
    m_painter.setClipRect(m_target, Qt::ReplaceClip);
    const QPainterPath *clip = m_state.clip.path();
    if (!clip)
        return;
    // The painter intersects by its spans; a boolean operation on the path
    // would cost as much as the path crosses itself.
    if (m_budget.clips(*clip, m_zoom))
        m_painter.setClipPath(*clip, Qt::IntersectClip);
    else
        m_painter.setClipRect(QRectF(), Qt::ReplaceClip); // the playback ends here
}

// Regions may reach past any picture; what is filled is what shows.
void EmfPlusCanvas::fillRegion(const PlusRegion &region, const QBrush &brush)
{
    bool invertible = false;
    const QTransform fromTarget = toTarget().inverted(&invertible);
    if (!invertible)
        return;
    const QPainterPath visible = fromTarget.map(rectPath(m_target));
    if (region.infinite)
        fill(visible, brush);
    else
        fill(drawable(toTarget().map(region.path)) ? region.path : region.path.intersected(visible), brush);
}

void EmfPlusCanvas::clear(QColor colour)
{
    clipIfChanged();
    m_painter.fillRect(m_target, colour);
}

// A metafile image plays within the bounds on nesting: how deep, how many
// plays, how many bytes.
std::optional<NestedMetafile> EmfPlusCanvas::openNested(const PlusImage &image)
{
    if (!image.image.isNull() || m_budget.nesting >= Limits::MaxNesting ||
        m_budget.nestedPlays >= Limits::MaxNestedPlays ||
        m_budget.nestedBytes + image.metafile.size() > Limits::NestedBytesBudget)
        return std::nullopt;
    m_budget.nestedBytes += image.metafile.size();
    ++m_budget.nestedPlays;
    return m_openNested(image.metafile);
}

// As the GDI player draws: shapes unsmoothed.
void EmfPlusCanvas::enterGdi()
{
    clipIfChanged();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

// ---------------------------------------------------------------------------
// Transforms and saved states.

void EmfPlusCanvas::multiplyWorld(const QTransform &m, bool appended)
{
    if (m.isInvertible())
        m_state.world = appended ? m_state.world * m : m * m_state.world;
}

void EmfPlusCanvas::save(std::uint32_t index)
{
    const QTransform world = m_state.world, base = m_state.base;
    pushState(index, QTransform());
    // A save keeps the transforms as they are.
    m_state.world = world;
    m_state.base = base;
}

void EmfPlusCanvas::beginContainer(std::uint32_t index, const QTransform &containerTransform)
{
    pushState(index, containerTransform);
}

// ---------------------------------------------------------------------------
// The clip.

void EmfPlusCanvas::resetClip()
{
    m_state.clip.reset();
    m_clipChanged = true;
}

void EmfPlusCanvas::offsetClip(QPointF delta)
{
    if (m_state.clip.isEverywhere())
        return;
    const QTransform t = toTarget();
    const QPointF moved = t.map(delta) - t.map(QPointF(0, 0));
    if (!std::isfinite(moved.x()) || !std::isfinite(moved.y()))
        return;
    m_state.clip.translate(moved);
    m_clipChanged = true;
}
