#include "metafile/GdiCanvas.h"

#include "metafile/Clip.h"
#include "metafile/Geometry.h"
#include "metafile/Limits.h"

#include <QPainter>

#include <cmath>

// The canvas's clip, kept in target coordinates: as a region of whole
// pixels while every part of it is an upright rectangle, as the device
// keeps it and fast for the thousands of rectangles some files clip with;
// as a path once a shape of any other form takes part.

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

// The clip is kept twice: in target pixels, which clip, and in natural
// pixels, which count: Qt's boolean operations flatten curves to a
// tolerance in pixels, so the same clip has more edges at a larger zoom.

void GdiCanvas::combineClip(const QPainterPath &path, int mode)
{
    combineClip(path, targetToNatural().map(path), mode);
}

void GdiCanvas::combineClip(const QPainterPath &path, const QPainterPath &natural, int mode)
{
    if (!knownMode(mode))
        return;
    if (mode == RegionMode::Copy) { // the clip so far plays no part
        m_s.naturalClip.setPath(natural);
        m_s.clip.setPath(path);
        applyClip();
        return;
    }
    const QPainterPath currentNatural = m_s.naturalClip.asPath(rectPath(naturalFrame()));
    if (!m_budget.combines(currentNatural, natural))
        return;
    m_s.naturalClip.setPath(combinedClip(currentNatural, natural, clipOpOf(mode)));
    m_s.clip.setPath(combinedClip(m_s.clip.asPath(rectPath(m_target)), path, clipOpOf(mode)));
    applyClip();
}

// Pixels: the region in whole target pixels; Natural: the same in whole
// natural pixels.
void GdiCanvas::combineClip(const QRegion &pixels, const QRegion &natural, int mode)
{
    if (!knownMode(mode))
        return;
    // Once a path, the clip stays a path.
    if (m_s.clip.path()) {
        QPainterPath shape, naturalShape;
        shape.addRegion(pixels);
        naturalShape.addRegion(natural);
        combineClip(shape, naturalShape, mode);
        return;
    }
    const bool region = m_s.clip.pixels();
    const QRegion current = region ? *m_s.clip.pixels() : QRegion(pixelRect(m_target));
    const QRegion currentNatural = region ? *m_s.naturalClip.pixels() : QRegion(pixelRect(naturalFrame()));
    if (!m_budget.combinesRegions(currentNatural.rectCount(), natural.rectCount()))
        return;
    m_s.naturalClip.setPixels(combinedClip(currentNatural, natural, clipOpOf(mode)));
    m_s.clip.setPixels(combinedClip(current, pixels, clipOpOf(mode)));
    applyClip();
}

// A logical rectangle: a region while the mapping keeps it upright.
void GdiCanvas::combineClipRect(const QRectF &logical, int mode)
{
    const QTransform t = toTarget();
    if (t.type() <= QTransform::TxScale)
        combineClip(QRegion(pixelRect(t.mapRect(logical))),
                    QRegion(pixelRect((t * targetToNatural()).mapRect(logical))), mode);
    else
        combineClip(mapped(rectPath(logical)), mode);
}

void GdiCanvas::resetClip()
{
    m_s.clip.reset();
    m_s.naturalClip.reset();
    applyClip();
}

// Target pixels onto natural ones, the picture's top left at 0, 0.
QTransform GdiCanvas::targetToNatural() const
{
    return QTransform::fromTranslate(-m_target.left(), -m_target.top()) * QTransform::fromScale(1 / m_zoom, 1 / m_zoom);
}

QRectF GdiCanvas::naturalFrame() const
{
    return targetToNatural().mapRect(m_target);
}

void GdiCanvas::applyClip()
{
    const QPainterPath whole = rectPath(m_target);
    const QRegion *pixels = m_s.clip.pixels();
    const QPainterPath *path = m_s.clip.path();
    const QRegion *naturalPixels = m_s.naturalClip.pixels();
    const QPainterPath *naturalPath = m_s.naturalClip.path();
    if (naturalPixels && naturalPixels->rectCount() > Limits::MaxClipRects)
        m_budget.exhausted = true; // no picture clips with so many
    if (naturalPixels ? !m_budget.draws(naturalPixels->rectCount())
                      : naturalPath && !(m_budget.clips(*naturalPath, 1) &&
                                         m_budget.combines(*naturalPath, rectPath(naturalFrame()))))
        m_painter.setClipRect(QRectF(), Qt::ReplaceClip); // the playback ends here
    else if (pixels)
        setPainterClip(pixels->intersected(pixelRect(m_target)));
    else if (path)
        m_painter.setClipPath(path->intersected(whole), Qt::ReplaceClip);
    else
        m_painter.setClipRect(m_target, Qt::ReplaceClip);
}

// Qt's raster engine keeps a region clip as its height times its
// rectangles, and fails on a failed allocation: a region that would take
// too much is handed over as a path, which it keeps as the spans it covers.
// Whole pixels unsmoothed, both clip the same pixels.
void GdiCanvas::setPainterClip(const QRegion &pixels)
{
    QRegion visible = pixels;
    if (const QPaintDevice *device = m_painter.device(); device && m_painter.transform().isInvertible()) {
        const double ratio = device->devicePixelRatio();
        const QRectF shown(0, 0, device->width() / ratio, device->height() / ratio);
        visible = pixels.intersected(m_painter.transform().inverted().mapRect(shown).toAlignedRect());
    }
    if (qint64(visible.rectCount()) * visible.boundingRect().height() <= Limits::MaxRegionSpans) {
        m_painter.setClipRegion(visible, Qt::ReplaceClip);
        return;
    }
    QPainterPath shape;
    shape.addRegion(visible);
    m_painter.setClipPath(shape, Qt::ReplaceClip);
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
    std::vector<QRect> pixels, natural;
    pixels.reserve(deviceRects.size());
    natural.reserve(deviceRects.size());
    const QTransform deviceToNatural = m_deviceToTarget * targetToNatural();
    for (const QRectF &r : deviceRects) {
        pixels.push_back(pixelRect(m_deviceToTarget.mapRect(r)));
        natural.push_back(pixelRect(deviceToNatural.mapRect(r)));
    }
    if (m_budget.draws(qsizetype(pixels.size())))
        combineClip(unionOf(pixels), unionOf(natural), mode);
}

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
    m_s.naturalClip.translate(delta / m_zoom);
    applyClip();
}
