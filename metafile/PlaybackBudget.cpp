#include "metafile/PlaybackBudget.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// The most rows one edge is counted for: the view draws a picture in
// strips of tiles 256 pixels high, and the rasterizer skips the rows a
// strip leaves out.
constexpr double MaxRowsPerEdge = 256;

// Visits each edge of Path, the closing edge of each subpath too; a curve
// by its control points, which bound it.
template <typename Visit> void forEachEdge(const QPainterPath &path, Visit visit)
{
    QPointF start, last;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPointF point = path.elementAt(i);
        if (path.elementAt(i).isMoveTo()) {
            if (i > 0)
                visit(last, start);
            start = point;
        } else {
            visit(last, point);
        }
        last = point;
    }
    if (path.elementCount() > 0)
        visit(last, start);
}

// The rows, at natural size, that the edges of Path cross.
double rowsCrossed(const QPainterPath &path, double scale)
{
    double rows = 0;
    forEachEdge(
        path, [&](QPointF from, QPointF to) { rows += std::min(std::abs(to.y() - from.y()) * scale, MaxRowsPerEdge); });
    return rows;
}

// The natural pixels of Area within Frame (an empty frame: no frame).
double naturalArea(const QRectF &area, const QRectF &frame, double scale)
{
    const QRectF within = frame.isEmpty() ? area.normalized() : area.normalized().intersected(frame);
    return within.width() * within.height() * scale * scale;
}

// The length of Path's edges, each at most the diagonal of Frame: a line
// far longer than the picture paints no more than one across it.
double lengthWithin(const QPainterPath &path, const QRectF &frame)
{
    const double diagonal =
        frame.isEmpty() ? std::numeric_limits<double>::infinity() : std::hypot(frame.width(), frame.height());
    double length = 0;
    forEachEdge(path, [&](QPointF from, QPointF to) { length += std::min(QLineF(from, to).length(), diagonal); });
    return length;
}

// The edges of Path; those with a coordinate that is no number are left
// out, since they cross nothing and could not be sorted.
void addEdges(const QPainterPath &path, std::vector<QLineF> &edges)
{
    forEachEdge(path, [&](QPointF from, QPointF to) {
        if (std::isfinite(from.x()) && std::isfinite(from.y()) && std::isfinite(to.x()) && std::isfinite(to.y()))
            edges.emplace_back(from, to);
    });
}

// Which side of the line through A and B the point P lies on.
int sideOf(QPointF a, QPointF b, QPointF p)
{
    const double cross = (b.x() - a.x()) * (p.y() - a.y()) - (b.y() - a.y()) * (p.x() - a.x());
    return (cross > 0) - (cross < 0);
}

bool cross(const QLineF &e, const QLineF &f)
{
    if (std::max(e.x1(), e.x2()) < std::min(f.x1(), f.x2()) || std::max(f.x1(), f.x2()) < std::min(e.x1(), e.x2()) ||
        std::max(e.y1(), e.y2()) < std::min(f.y1(), f.y2()) || std::max(f.y1(), f.y2()) < std::min(e.y1(), e.y2()))
        return false;
    return sideOf(e.p1(), e.p2(), f.p1()) * sideOf(e.p1(), e.p2(), f.p2()) < 0 &&
           sideOf(f.p1(), f.p2(), e.p1()) * sideOf(f.p1(), f.p2(), e.p2()) < 0;
}

} // namespace

bool PlaybackBudget::combines(const QPainterPath &a, const QPainterPath &b)
{
    std::vector<QLineF> edges;
    addEdges(a, edges);
    addEdges(b, edges);
    const qint64 left = MaxBooleanWork - booleanWork;
    if (exhausted || qint64(edges.size()) > left) {
        exhausted = true;
        return false;
    }
    // Every edge against those beside it from left to right, since the
    // clipper meets crossings within one shape as well as between the two;
    // the count stops as soon as the operation could not be afforded.
    std::sort(edges.begin(), edges.end(),
              [](const QLineF &e, const QLineF &f) { return std::min(e.x1(), e.x2()) < std::min(f.x1(), f.x2()); });
    qint64 tested = qint64(edges.size()), crossings = 0;
    auto cost = [&] { return tested + crossings * crossings * CrossingWeight; };
    for (std::size_t i = 0; i < edges.size() && cost() <= left; ++i) {
        const double right = std::max(edges[i].x1(), edges[i].x2());
        for (std::size_t j = i + 1; j < edges.size() && std::min(edges[j].x1(), edges[j].x2()) <= right; ++j) {
            ++tested;
            crossings += cross(edges[i], edges[j]);
        }
    }
    return spend(booleanWork, cost(), MaxBooleanWork);
}

bool PlaybackBudget::draws(const QPainterPath &path, double pixelsPerUnit, int sides, double width)
{
    const double scale = pixelsPerUnit > 0 ? 1 / pixelsPerUnit : 1;
    const double rows =
        rowsCrossed(path, scale) * sides + path.elementCount() * std::min(width * scale, MaxRowsPerEdge);
    const QRectF bounds = path.boundingRect().adjusted(-width / 2, -width / 2, width / 2, width / 2);
    double area = naturalArea(bounds, frame, scale);
    if (width > 0) // a stroke covers its length times its width at most
        area = std::min(area, lengthWithin(path, frame) * scale * std::max(width * scale, 1.0));
    // Rounded up to whole rows and areas: a picture moved or zoomed counts
    // the same but for rounding far below a row.
    const double units = path.elementCount() + std::ceil(rows) + std::ceil(area / PixelsPerAreaUnit);
    if (units > double(MaxDrawWork)) {
        leftOut = true;
        draws(path.elementCount());
        return false;
    }
    return drawsUnits(units);
}

bool PlaybackBudget::clips(const QPainterPath &path, double pixelsPerUnit)
{
    const double scale = pixelsPerUnit > 0 ? 1 / pixelsPerUnit : 1;
    return drawsUnits(path.elementCount() + std::ceil(rowsCrossed(path, scale) * ClipSides));
}

bool PlaybackBudget::paints(const QRectF &area, double pixelsPerUnit, double perAreaUnit)
{
    const double scale = pixelsPerUnit > 0 ? 1 / pixelsPerUnit : 1;
    // At least a unit: a box or a bitmap outside the frame is still looked at.
    return drawsUnits(std::max(1.0, std::ceil(naturalArea(area, frame, scale) / perAreaUnit)));
}

// A shape with a coordinate that is no number is not drawn, and costs
// nothing; work too large for an integer is more than the bound.
bool PlaybackBudget::drawsUnits(double units)
{
    if (std::isnan(units))
        return false;
    return draws(units < double(MaxDrawWork) ? qint64(units) : MaxDrawWork + 1);
}
