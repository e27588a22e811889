#pragma once
// The ways a clip meets a new shape, one combination of each for the GDI
// and the EMF+ player alike; each player maps its own numbering onto them.

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
