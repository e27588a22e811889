#pragma once
// Small shape helpers the canvas and the players share.

#include <QPainterPath>
#include <QRectF>

#include <cmath>

// Value, or Fallback where a file's numbers made it infinite or no number.
inline double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

inline QPainterPath rectPath(const QRectF &rect)
{
    QPainterPath path;
    path.addRect(rect);
    return path;
}
