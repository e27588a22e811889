#pragma once
// A bound on the dashes of one stroke. Qt's stroker lays out every dash of
// a path before it clips, so a long path with dashes far shorter than a
// pixel makes it grow its buffers until the program dies. Past the bound
// the dashes are finer than any eye could tell from a solid line: the
// stroke is drawn solid.

#include <QPainterPath>
#include <QPen>

// No picture of the corpus draws more than a few thousand dashes in one
// stroke; a dashed line around a 16 384-pixel square at one dash a pixel
// takes 65 536.
inline constexpr double MaxDashesPerStroke = 1e6;

// Pen, or Pen drawn solid where its dashes along Path (in the same units)
// would number more than the bound.
QPen withBoundedDashes(QPen pen, const QPainterPath &path);
