#include "metafile/DashBound.h"
#include "metafile/Limits.h"

#include <cmath>

QPen withBoundedDashes(QPen pen, const QPainterPath &path)
{
    if (pen.style() == Qt::SolidLine || pen.style() == Qt::NoPen)
        return pen;
    // Qt counts a pattern in pen widths; a cosmetic or hairline pen is one
    // unit wide.
    double period = 0;
    for (const qreal length : pen.dashPattern())
        period += length;
    period *= std::max(pen.widthF(), 1.0);
    const double length = path.length();
    if (!(period > 0) || !std::isfinite(length) || length / period > Limits::MaxDashesPerStroke)
        pen.setStyle(Qt::SolidLine);
    return pen;
}

QList<qreal> dashesInWidths(std::uint32_t style)
{
    enum { Dash = 1, Dot, DashDot, DashDotDot };
    switch (style) {
    case Dash:
        return {3, 1};
    case Dot:
        return {1, 1};
    case DashDot:
        return {3, 1, 1, 1};
    case DashDotDot:
        return {3, 1, 1, 1, 1, 1};
    default:
        return {};
    }
}
