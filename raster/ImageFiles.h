#pragma once
// Bitmap, photo and icon files decoded from their bytes, each through the
// reader that draws it right: Qt's where it is sound, ours where Qt's
// would show memory or refuses what the format allows. A null image is a
// file that is damaged, of a kind not read, or larger than the memory
// limit allows.

#include <QByteArray>
#include <QImage>

namespace ImageFiles {

// A BMP file (or OS/2 bitmap array); a file cut short in its rows is
// damaged.
QImage readBitmap(const QByteArray &bytes, int limitMiB);

// A JPEG photo.
QImage readJpeg(const QByteArray &bytes, int limitMiB);

// A JPEG photo decoded at a fraction of its size (a half, a quarter or an
// eighth, which the decoder does at a fraction of the work), the largest
// whose longer side is at most LongestSide pixels.
QImage readJpegReduced(const QByteArray &bytes, int longestSide);

// The size a BMP or JPEG file's header claims, before any pixel is read;
// invalid when there is no header to read or the rows are cut short.
QSize claimedBitmapSize(const QByteArray &bytes);
QSize claimedJpegSize(const QByteArray &bytes);

// Whether a picture of Size at 32 bits a pixel passes LimitMiB.
bool passesLimit(QSize size, int limitMiB);

// The image of an icon file closest to Side x Side pixels, the deepest
// colour among equally close ones, at the size it has.
QImage readIcon(const QByteArray &bytes, int limitMiB, int side);

} // namespace ImageFiles
