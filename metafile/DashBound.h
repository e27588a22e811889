#pragma once
// A bound on the dashes of one stroke. Qt's stroker lays out every dash of
// a path before it clips, so a long path with dashes far shorter than a
// pixel makes it grow its buffers until the program dies. Past the bound
// the dashes are finer than any eye could tell from a solid line: the
// stroke is drawn solid.

#include <QPainterPath>
#include <QPen>

#include <cstdint>

// Pen, or Pen drawn solid where its dashes along Path (in the same units)
// would number more than the bound.
QPen withBoundedDashes(QPen pen, const QPainterPath &path);

// The dashes and gaps of the standard styles, in pen widths: 1 dash, 2 dot,
// 3 dash-dot, 4 dash-dot-dot, as GDI numbers its pen styles and
// [MS-EMFPLUS] 2.1.1.20 its line styles; empty for any other. GDI's
// geometric pens and GDI+ pens alike draw dashes of three widths and dots
// and gaps of one.
QList<qreal> dashesInWidths(std::uint32_t style);
