#include "metafile/GdiCanvas.h"

#include "metafile/Geometry.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

// The canvas's bitmaps, gradients and filled regions.

// A bitmap drawn counts the area it covers and the pixels of its source,
// which Qt may convert whole before it draws.
bool GdiCanvas::affordsImage(const QRectF &targetBounds, const QImage &image)
{
    const double sourceUnits = std::ceil(double(image.width()) * image.height() / PixelsPerAreaUnit);
    return m_budget.paints(targetBounds, m_zoom, ImagePixelsPerAreaUnit) && m_budget.draws(qint64(sourceUnits));
}

void GdiCanvas::drawImage(const QRectF &dest, const QImage &image, const QRectF &source, std::uint32_t rop,
                          double opacity)
{
    if (image.isNull() || dest.width() == 0 || dest.height() == 0)
        return;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (rop) {
    case RasterOp::SrcAnd:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case RasterOp::SrcPaint:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case RasterOp::SrcInvert:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case RasterOp::NotSrcCopy:
        mode = QPainter::RasterOp_NotSource;
        break;
    default:
        break;
    }
    // Negative sizes mirror the bitmap.
    const QTransform placement = QTransform::fromScale(dest.width() < 0 ? -1 : 1, dest.height() < 0 ? -1 : 1) *
                                 QTransform::fromTranslate(dest.x(), dest.y()) * toTarget();
    if (!affordsImage(placement.mapRect(QRectF(0, 0, std::abs(dest.width()), std::abs(dest.height()))), image))
        return;
    m_painter.save();
    m_painter.setCompositionMode(mode);
    m_painter.setOpacity(opacity);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_painter.setTransform(placement, true);
    m_painter.drawImage(QRectF(0, 0, std::abs(dest.width()), std::abs(dest.height())), image, source);
    m_painter.restore();
}

void GdiCanvas::drawImageOnto(const QPolygonF &corners, const QImage &image, const QRectF &source)
{
    if (image.isNull() || corners.size() < 3 || source.isEmpty())
        return;
    if (!affordsImage(toTarget().map(corners).boundingRect(), image))
        return;
    m_painter.save();
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_painter.setTransform(rectangleOnto(source, corners) * toTarget(), true);
    m_painter.drawImage(source, image, source);
    m_painter.restore();
}

void GdiCanvas::patBlt(const QRectF &dest, std::uint32_t rop)
{
    const QPainterPath area = mapped(rectPath(dest));
    if (!m_budget.draws(area, m_zoom))
        return;
    switch (rop) {
    case RasterOp::Blackness:
        m_painter.fillPath(area, Qt::black);
        break;
    case RasterOp::Whiteness:
        m_painter.fillPath(area, Qt::white);
        break;
    case RasterOp::DstInvert:
        m_painter.save();
        m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        m_painter.fillPath(area, Qt::black);
        m_painter.restore();
        break;
    case RasterOp::PatInvert:
        m_painter.save();
        m_painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        m_painter.fillPath(area, qtBrush());
        m_painter.restore();
        break;
    case RasterOp::DstCopy: // nothing
        break;
    default: // PATCOPY and the rest
        if (!m_s.brush.isNull())
            m_painter.fillPath(area, qtBrush());
        break;
    }
}

void GdiCanvas::gradientRect(const QRectF &logical, QColor from, QColor to, bool vertical)
{
    const QRectF r = logical.normalized();
    QLinearGradient gradient(r.topLeft(), vertical ? r.bottomLeft() : r.topRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    const QTransform t = toTarget();
    QBrush brush(gradient);
    brush.setTransform(t);
    const QPainterPath area = mapped(rectPath(r));
    if (m_budget.draws(area, m_zoom))
        m_painter.fillPath(area, brush);
}

void GdiCanvas::gradientTriangle(const QPolygonF &logical, const QColor (&colors)[3])
{
    // Qt has no three-colour gradient: the triangle takes its mean colour.
    const int red = (colors[0].red() + colors[1].red() + colors[2].red()) / 3;
    const int green = (colors[0].green() + colors[1].green() + colors[2].green()) / 3;
    const int blue = (colors[0].blue() + colors[1].blue() + colors[2].blue()) / 3;
    QPainterPath path;
    path.addPolygon(logical);
    path.closeSubpath();
    const QPainterPath area = mapped(path);
    if (m_budget.draws(area, m_zoom))
        m_painter.fillPath(area, QColor(red, green, blue));
}

void GdiCanvas::fillRegion(const QPainterPath &logical, const GdiBrush &brush)
{
    const GdiBrush saved = m_s.brush;
    m_s.brush = brush;
    draw(mapped(logical), true, false);
    m_s.brush = saved;
}

void GdiCanvas::frameRegion(const QPainterPath &logical, const GdiBrush &brush, QSizeF logicalFrame)
{
    // The frame is the region less the region shrunk by the frame's size.
    const QTransform t = toTarget();
    const QPointF size = t.map(QPointF(logicalFrame.width(), logicalFrame.height())) - t.map(QPointF(0, 0));
    const QPainterPath outer = mapped(logical);
    if (!m_budget.combines(outer, outer))
        return;
    QPainterPath inner = outer;
    for (const QPointF shift :
         {QPointF(size.x(), 0), QPointF(-size.x(), 0), QPointF(0, size.y()), QPointF(0, -size.y())})
        inner = inner.intersected(outer.translated(shift));
    const GdiBrush saved = m_s.brush;
    m_s.brush = brush;
    draw(outer.subtracted(inner), true, false);
    m_s.brush = saved;
}

void GdiCanvas::invertRegion(const QPainterPath &logical)
{
    const QPainterPath area = mapped(logical);
    if (!m_budget.draws(area, m_zoom))
        return;
    m_painter.save();
    m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    m_painter.fillPath(area, Qt::black);
    m_painter.restore();
}
