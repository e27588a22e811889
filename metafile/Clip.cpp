#include "metafile/Clip.h"

#include <cmath>

QPainterPath Clip::asPath(const QPainterPath &everywhere) const
{
    if (const QRegion *region = pixels()) {
        QPainterPath shape;
        shape.addRegion(*region);
        return shape;
    }
    if (const QPainterPath *shape = path())
        return *shape;
    return everywhere;
}

void Clip::translate(QPointF delta)
{
    if (QRegion *region = std::get_if<QRegion>(&m_shape))
        region->translate(int(std::lround(delta.x())), int(std::lround(delta.y())));
    else if (QPainterPath *shape = std::get_if<QPainterPath>(&m_shape))
        shape->translate(delta);
}
