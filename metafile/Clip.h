#pragma once
// The clip of both players, in target coordinates, and the ways a clip
// meets a new shape: one combination of each for the GDI and the EMF+
// player alike; each player maps its own numbering onto them.

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QRegion>

#include <variant>

enum class ClipOp { Replace, Intersect, Unite, Xor, Subtract, SubtractFrom };

// Current combined with Shape as Op says, for QRegion and QPainterPath.
template <typename Shape> Shape combinedClip(const Shape &current, const Shape &shape, ClipOp op)
{
    switch (op) {
    case ClipOp::Intersect:
        return current.intersected(shape);
    case ClipOp::Unite:
        return current.united(shape);
    case ClipOp::Xor:
        return current.subtracted(shape).united(shape.subtracted(current));
    case ClipOp::Subtract:
        return current.subtracted(shape);
    case ClipOp::SubtractFrom:
        return shape.subtracted(current);
    case ClipOp::Replace:
        break;
    }
    return shape;
}

// Everywhere until a shape is set; then whole device pixels, which GDI
// keeps while its mapping leaves rectangles upright, or a path.
class Clip
{
public:
    bool isEverywhere() const { return std::holds_alternative<std::monostate>(m_shape); }
    const QRegion *pixels() const { return std::get_if<QRegion>(&m_shape); }
    const QPainterPath *path() const { return std::get_if<QPainterPath>(&m_shape); }

    void reset() { m_shape = std::monostate(); }
    void setPixels(const QRegion &pixels) { m_shape = pixels; }
    void setPath(const QPainterPath &path) { m_shape = path; }

    // The clip as a path, Everywhere standing for no clip.
    QPainterPath asPath(const QPainterPath &everywhere) const;

    // Moves the clip by Delta; pixels move by whole pixels.
    void translate(QPointF delta);

private:
    std::variant<std::monostate, QRegion, QPainterPath> m_shape;
};
