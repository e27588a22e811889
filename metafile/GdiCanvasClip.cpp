#include "metafile/GdiCanvas.h"

#include "metafile/Clip.h"
#include "metafile/Geometry.h"

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
