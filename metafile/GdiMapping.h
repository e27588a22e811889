#pragma once
// How a device context maps logical coordinates onto the reference
// device's pixels: the world transform, then the page, where the map mode
// takes the window onto the viewport.

#include "metafile/GdiConstants.h"

#include <QPointF>
#include <QSizeF>
#include <QTransform>

class GdiMapping
{
public:
    void setMapMode(MapMode mode);
    void setWindowOrg(QPointF p);
    void setWindowExt(QSizeF s);
    void setViewportOrg(QPointF p);
    void setViewportExt(QSizeF s);
    void offsetWindowOrg(QPointF d);
    void offsetViewportOrg(QPointF d);
    void scaleWindowExt(double xNum, double xDen, double yNum, double yDen);
    void scaleViewportExt(double xNum, double xDen, double yNum, double yDen);
    void setWorldTransform(const QTransform &t);
    void modifyWorldTransform(const QTransform &t, int mode);

    // The page alone, on a device of PixelsPerMm; the metric and English
    // map modes count y upward.
    QTransform pageTransform(double pixelsPerMm) const;
    // Logical coordinates onto device pixels.
    QTransform toDevice(double pixelsPerMm) const { return m_world * pageTransform(pixelsPerMm); }

private:
    MapMode m_mapMode = MapMode::Text;
    QPointF m_windowOrg{0, 0};
    QSizeF m_windowExt{1, 1};
    QPointF m_viewportOrg{0, 0};
    QSizeF m_viewportExt{1, 1};
    QTransform m_world;
};
