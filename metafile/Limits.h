#pragma once
// What one metafile may ask of its player. Each bound lies far past what real
// pictures use and short of what would exhaust time or memory; past it, the
// file is refused or the part is set aside. The bounds on the work of a
// whole playback are the budget's (PlaybackBudget.h).

#include <QtGlobal>

#include <cstddef>

namespace Limits {

// The file.

// Larger natural sizes are refused: the picture is shown at twice its size
// too, and no window may be wider or taller than 16 777 215 pixels.
inline constexpr int MaxSide = 16'777'215 / 2;
// Larger object tables are refused; real files use a few hundred.
inline constexpr int MaxObjects = 16384;
// Most records one file may have.
inline constexpr qsizetype MaxRecords = 4'000'000;

// One record.

// Most points, rectangles or characters one record may carry.
inline constexpr qsizetype MaxItems = 4'000'000;
// Most characters one text record may carry.
inline constexpr qsizetype MaxChars = 65535;
// Most rectangles one region may hold, and most vertices of a gradient.
inline constexpr qsizetype MaxRegionRects = 1'000'000;
// Most scans of a WMF region.
inline constexpr qsizetype MaxRegionScans = 1'000'000;
// Most points of an EMF+ path or record.
inline constexpr qsizetype MaxPoints = 1'000'000;
// Most dashes of an EMF+ pen, and most stops of a gradient.
inline constexpr qsizetype MaxPenDashes = 1024;
inline constexpr qsizetype MaxGradientStops = 4096;
// No EMF+ object is larger than the file it comes in; the file is bounded.
inline constexpr qsizetype MaxObjectBytes = qsizetype(1) << 30;
// Most palette entries a logical palette may have ([MS-WMF] 2.2.1.3).
inline constexpr int MaxPaletteEntries = 65536;

// The state.

// Saved states of the device context, and of EMF+ saves and containers.
inline constexpr std::size_t MaxSavedStates = 1024;
// No picture clips with more rectangles, counted at natural size; a million
// crossing strips would.
inline constexpr int MaxClipRects = 100'000;
// The most a region clip may take in Qt's raster engine: its height in
// pixels times its rectangles.
inline constexpr qint64 MaxRegionSpans = qint64(1) << 22;
// EMF+ region trees deeper or larger than this are no drawing anyone made;
// each node costs a boolean operation on paths.
inline constexpr int MaxRegionDepth = 64;
inline constexpr int MaxRegionNodes = 1024;
// Boolean operations on paths grow costly with their elements: past this,
// regions and clips take a path by its bounds.
inline constexpr int MaxBooleanElements = 10000;

// Drawing, in target pixels: coordinates, pen widths and font sizes past
// these are no drawing anyone made; they are skipped rather than rasterized.

inline constexpr double MaxCoordinate = 1e7;
inline constexpr double MaxPenWidth = 1e5;
inline constexpr double MaxEmSize = 4000;
// EMF+ text stretched one way more than this times the other is drawn as
// outlines.
inline constexpr double MaxTextAspect = 8;
// The widest stretch of a GDI font we draw (percent), and the largest glyph;
// glyphs wider than no text is are not rasterized.
inline constexpr int MaxStretch = 800;
inline constexpr double MaxGlyphPixels = 4000;
// No picture of the corpus draws more than a few thousand dashes in one
// stroke; a dashed line around a 16 384-pixel square at one dash a pixel
// takes 65 536.
inline constexpr double MaxDashesPerStroke = 1e6;

// Images.

// Decoded images one picture's EMF+ object table may hold at once. The
// corpus's largest is a photo of 3.9 MiB decoded; the table holds 64
// objects.
inline constexpr qint64 MaxImageBytes = qint64(256) << 20;
// Most pixels a side of an EMF+ bitmap may have.
inline constexpr int MaxBitmapSide = 65535;
// Scans of a progressive JPEG: its decoder goes over the whole picture for
// each. Writers make about ten.
inline constexpr int MaxJpegScans = 100;
// Nor more pixels times scans: each costs about 4 ns, so that a photograph
// of 40 megapixels in ten scans still decodes within two seconds.
inline constexpr qint64 MaxJpegScanPixels = 400'000'000;
// Metafile images inside metafile images: how deep, how many plays in all
// (each costs a playback of its own; the corpus's pictures play at most a
// handful), and how many bytes of them one picture may play in all.
inline constexpr int MaxNesting = 4;
inline constexpr int MaxNestedPlays = 256;
inline constexpr qint64 NestedBytesBudget = qint64(256) * 1024 * 1024;

} // namespace Limits
