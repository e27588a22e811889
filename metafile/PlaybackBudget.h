#pragma once
// What one playback of a picture, with the metafiles nested inside it, has
// spent so far. Carried down through the players, so that playbacks on
// several threads at once share nothing.
//
// The work is counted in what the file says, at the picture's natural
// size and never in the pixels of the device drawn on, so a playback that
// runs out ends at the same record for every tile, zoom and display scale:
// what was drawn up to there shows, the rest is left out.

#include <QPainterPath>
#include <QtGlobal>

#include <algorithm>

// Shapes filled, stroked or made the clip in one playback, counted as their
// path elements plus the pixel rows their edges cross at natural size: the
// rasterizer's work grows with both, up to about a microsecond a unit.
// The largest picture of the corpus counts about 670 000.
inline constexpr qint64 MaxDrawWork = 1'500'000;
// A clip path counts its rows twice: once rasterized, and once more in the
// drawings that follow, which are intersected with its spans.
inline constexpr int ClipSides = 2;
// A character of text counts as a small shape.
inline constexpr qint64 CharacterWork = 16;
// Boolean operations on clips and regions. Qt's path clipper takes time
// that grows with the square of the crossings between the shapes' edges
// (two combs that cross 10 000 times take four seconds): each operation is
// weighed as the pairs of edges tested for crossing, plus the crossings
// squared times CrossingWeight. The corpus needs at most about 400 000.
inline constexpr qint64 MaxBooleanWork = 200'000'000;
inline constexpr qint64 CrossingWeight = 8;

// Image bytes decoded in one playback, nested metafiles' images included:
// each decoding costs about 2 ms a MiB. The corpus decodes at most 1 MiB.
inline constexpr qint64 MaxDecodedBytes = qint64(512) << 20;

struct PlaybackBudget {
    // Metafile images inside metafile images: how deep this one lies.
    int nesting = 0;
    // Bytes of nested metafiles played so far.
    qint64 nestedBytes = 0;
    // Nested metafiles played so far.
    int nestedPlays = 0;
    qint64 drawWork = 0;
    qint64 booleanWork = 0;
    qint64 decodedBytes = 0;
    // A bound was reached: the playback ends.
    bool exhausted = false;

    // Counts Units of drawing (a region's rectangles, say); false, with
    // nothing counted, where they would pass the bound.
    bool draws(qint64 units) { return spend(drawWork, units, MaxDrawWork); }
    // Counts Path, in units of which PixelsPerUnit make a natural pixel,
    // filled (or stroked, Sides 2, by a pen Width units wide).
    bool draws(const QPainterPath &path, double pixelsPerUnit, int sides = 1, double width = 0);
    // Counts a boolean operation on paths A and B.
    bool combines(const QPainterPath &a, const QPainterPath &b);
    // Counts one on regions of A and B rectangles, linear in both.
    bool combinesRegions(qint64 a, qint64 b) { return spend(booleanWork, a + b, MaxBooleanWork); }

private:
    bool spend(qint64 &spent, qint64 amount, qint64 bound)
    {
        if (exhausted || amount > bound - spent) {
            exhausted = true;
            return false;
        }
        spent += amount;
        return true;
    }
};
