#include "metafile/GdiMapping.h"

#include "metafile/Geometry.h"

#include <algorithm>
#include <cmath>

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

QTransform GdiMapping::pageTransform(double pixelsPerMm) const
{
    double sx = 1;
    double sy = 1;
    switch (m_mapMode) {
    case MapMode::LoMetric:
        sx = 0.1 * pixelsPerMm;
        sy = -sx;
        break;
    case MapMode::HiMetric:
        sx = 0.01 * pixelsPerMm;
        sy = -sx;
        break;
    case MapMode::LoEnglish:
        sx = 0.254 * pixelsPerMm;
        sy = -sx;
        break;
    case MapMode::HiEnglish:
        sx = 0.0254 * pixelsPerMm;
        sy = -sx;
        break;
    case MapMode::Twips:
        sx = 25.4 / 1440 * pixelsPerMm;
        sy = -sx;
        break;
    case MapMode::Isotropic:
    case MapMode::Anisotropic:
        sx = m_viewportExt.width() / m_windowExt.width();
        sy = m_viewportExt.height() / m_windowExt.height();
        if (m_mapMode == MapMode::Isotropic) {
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
    return QTransform::fromTranslate(-m_windowOrg.x(), -m_windowOrg.y()) * QTransform::fromScale(sx, sy) *
           QTransform::fromTranslate(m_viewportOrg.x(), m_viewportOrg.y());
}
