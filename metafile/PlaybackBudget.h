#pragma once
// What one playback of a picture, with the metafiles nested inside it, has
// spent so far. Carried down through the players, so that playbacks on
// several threads at once share nothing.
//
// The work is counted in what the file says, at the picture's natural
// size and never in the pixels of the device drawn on, so a playback that
// runs out ends at the same record for every tile, zoom and display scale:
// what was drawn up to there shows, the rest is left out.

#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QtGlobal>

#include <algorithm>
#include <cmath>

// Shapes filled, stroked or made the clip in one playback, counted as their
// path elements plus the pixel rows their edges cross at natural size: the
// rasterizer's work grows with both, up to about a microsecond a unit.
// The largest picture of the corpus counts about 670 000.
inline constexpr qint64 MaxDrawWork = 1'500'000;
// A clip path counts its rows twice: once rasterized, and once more in the
// drawings that follow, which are intersected with its spans.
inline constexpr int ClipSides = 2;
// A character of text counts as a small shape; so does a text record of
// none, which still sets its box and its place.
inline constexpr qint64 CharacterWork = 16;
// What is painted counts by its area too, at natural size and within the
// picture's frame: a unit for each so many pixels, about what the
// rasterizer fills in the time it takes for a unit of edges.
inline constexpr double PixelsPerAreaUnit = 1024;
// A bitmap is drawn smoothed, each pixel of it sampled from four: fewer
// pixels to a unit.
inline constexpr double ImagePixelsPerAreaUnit = PixelsPerAreaUnit / 8;
// Loops of our own over a bitmap's pixels (masks, transparent colours,
// two-colour brushes): a unit for each so many pixels.
inline constexpr double LoopPixelsPerUnit = 64;
// A font not seen before in the playback: finding its face and measuring it
// takes about a millisecond.
inline constexpr qint64 FontWork = 1000;
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
    // Something was left out for its cost alone: a shape or an image that
    // would take more than the whole of a bound. The rest is drawn.
    bool leftOut = false;
    // Where the outermost picture lies on the painter's device: nothing
    // beyond it is painted, nor counted as painted.
    QRectF deviceFrame;
    // The same in the coordinates of the picture played now.
    QRectF frame;

    bool drawnInPart() const { return exhausted || leftOut; }

    // Counts Units of drawing (a region's rectangles, say); false, with
    // nothing counted, where they would pass the bound.
    bool draws(qint64 units) { return spend(drawWork, units, MaxDrawWork); }
    // Counts Path, in units of which PixelsPerUnit make a natural pixel,
    // filled (or stroked, Sides 2, by a pen Width units wide).
    // A fill counts the area of the path's bounds within the frame too; a
    // stroke, its length times its width. A shape that alone would take more
    // than the bound is left out, counted only as its elements, and the
    // playback goes on: one absurd shape need not cost the rest.
    bool draws(const QPainterPath &path, double pixelsPerUnit, int sides = 1, double width = 0);
    // Counts Path made the clip: its elements and twice the rows it crosses.
    bool clips(const QPainterPath &path, double pixelsPerUnit);
    // Counts Area, in the painter's pixels of which PixelsPerUnit squared
    // make a natural pixel: a box painted, or a bitmap, whose natural pixels
    // are counted PerAreaUnit to a unit.
    bool paints(const QRectF &area, double pixelsPerUnit, double perAreaUnit = PixelsPerAreaUnit);
    // Counts Pixels visited by a loop of our own.
    bool loopsOver(qint64 pixels) { return draws(qint64(std::ceil(double(pixels) / LoopPixelsPerUnit))); }
    // The pixels an image decoded now may have: what is left of the bound
    // on decoded bytes.
    qint64 decodablePixels() const { return exhausted ? 0 : (MaxDecodedBytes - decodedBytes) / 4; }
    // Decodes an image by Decode(most pixels it may have) and counts its
    // bytes. Once a quarter of the bound is spent, an image that fails may
    // have been too large: the picture is then taken as drawn in part.
    template <typename Decode> QImage decodes(Decode decode)
    {
        const qint64 room = decodablePixels();
        QImage image = decode(room);
        if (image.isNull() && room < MaxDecodedBytes / 4 * 3 / 4)
            leftOut = true;
        decodedBytes += image.sizeInBytes();
        return image;
    }
    // Counts a boolean operation on paths A and B.
    bool combines(const QPainterPath &a, const QPainterPath &b);
    // Counts one on regions of A and B rectangles, linear in both.
    bool combinesRegions(qint64 a, qint64 b) { return spend(booleanWork, a + b, MaxBooleanWork); }

private:
    bool drawsUnits(double units);
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
