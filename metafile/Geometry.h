#pragma once
// Small shape helpers the canvas and the players share.

#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>

#include <cmath>

// Value, or Fallback where a file's numbers made it infinite or no number.
inline double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

// The affine map that puts rectangle From onto the parallelogram of the
// three Corners: its top left, top right and bottom left.
inline QTransform rectangleOnto(const QRectF &from, const QPolygonF &corners)
{
    const QPointF across = (corners[1] - corners[0]) / from.width();
    const QPointF down = (corners[2] - corners[0]) / from.height();
    return QTransform(across.x(), across.y(), down.x(), down.y(),
                      corners[0].x() - from.left() * across.x() - from.top() * down.x(),
                      corners[0].y() - from.left() * across.y() - from.top() * down.y());
}

inline QPainterPath rectPath(const QRectF &rect)
{
    QPainterPath path;
    path.addRect(rect);
    return path;
}
