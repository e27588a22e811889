#include "metafile/GdiMapping.h"

#include "metafile/Geometry.h"

#include <algorithm>
#include <cmath>
#include <optional>

void GdiMapping::setMapMode(MapMode mode)
{
    // An unknown mode from the file leaves the mode as it was.
    if (mode >= MapMode::Text && mode <= MapMode::Anisotropic)
        m_mapMode = mode;
}

void GdiMapping::setWindowOrg(QPointF p)
{
    m_windowOrg = p;
}

void GdiMapping::setWindowExt(QSizeF s)
{
    if (s.width() != 0 && s.height() != 0)
        m_windowExt = s;
}

void GdiMapping::setViewportOrg(QPointF p)
{
    m_viewportOrg = p;
}

void GdiMapping::setViewportExt(QSizeF s)
{
    if (s.width() != 0 && s.height() != 0)
        m_viewportExt = s;
}

void GdiMapping::offsetWindowOrg(QPointF d)
{
    m_windowOrg += d;
}

void GdiMapping::offsetViewportOrg(QPointF d)
{
    m_viewportOrg += d;
}

void GdiMapping::scaleWindowExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen != 0 && yDen != 0)
        setWindowExt(QSizeF(m_windowExt.width() * xNum / xDen, m_windowExt.height() * yNum / yDen));
}

void GdiMapping::scaleViewportExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen != 0 && yDen != 0)
        setViewportExt(QSizeF(m_viewportExt.width() * xNum / xDen, m_viewportExt.height() * yNum / yDen));
}

void GdiMapping::setWorldTransform(const QTransform &t)
{
    if (t.isInvertible())
        m_world = t;
}

void GdiMapping::modifyWorldTransform(const QTransform &t, int mode)
{
    switch (mode) {
    case WorldTransformMode::Identity:
        m_world = QTransform();
        break;
    case WorldTransformMode::LeftMultiply:
        setWorldTransform(t * m_world);
        break;
    case WorldTransformMode::RightMultiply:
        setWorldTransform(m_world * t);
        break;
    case WorldTransformMode::Set:
        setWorldTransform(t);
        break;
    default:
        break;
    }
}

namespace {

// Millimetres of one logical unit in the fixed map modes, whose y-axis
// points up; none for the modes the window and viewport decide.
std::optional<double> millimetresPerUnit(MapMode mode)
{
    switch (mode) {
    case MapMode::LoMetric:
        return 0.1;
    case MapMode::HiMetric:
        return 0.01;
    case MapMode::LoEnglish:
        return 0.254;
    case MapMode::HiEnglish:
        return 0.0254;
    case MapMode::Twips:
        return 25.4 / 1440;
    default:
        return std::nullopt;
    }
}

} // namespace

QTransform GdiMapping::pageTransform(double pixelsPerMm) const
{
    double sx = 1;
    double sy = 1;
    if (const std::optional<double> mm = millimetresPerUnit(m_mapMode)) {
        sx = *mm * pixelsPerMm;
        sy = -sx;
    } else if (m_mapMode == MapMode::Isotropic || m_mapMode == MapMode::Anisotropic) {
        sx = m_viewportExt.width() / m_windowExt.width();
        sy = m_viewportExt.height() / m_windowExt.height();
        if (m_mapMode == MapMode::Isotropic) {
            const double s = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
    } // MapMode::Text: one unit a pixel
    sx = finiteOr(sx, 1);
    sy = finiteOr(sy, 1);
    return QTransform::fromTranslate(-m_windowOrg.x(), -m_windowOrg.y()) * QTransform::fromScale(sx, sy) *
           QTransform::fromTranslate(m_viewportOrg.x(), m_viewportOrg.y());
}
