#pragma once
// Device-independent bitmaps as metafiles carry them: a BITMAPINFO header
// with its colour table, and the pixel rows. Every size is checked against
// the bytes at hand.

#include <QByteArray>
#include <QImage>

namespace Dib {

// Largest bitmap decoded, in pixels.
inline constexpr qint64 MaxPixels = qint64(64) * 1024 * 1024;

// Whether 32-bit pixels without a mask carry a premultiplied alpha in their
// fourth byte: only where the record says so (an alpha blend), since most
// writers leave that byte zero.
enum class Alpha { Opaque, Premultiplied };

// Decodes a bitmap whose header and pixels lie at the given places of
// Bytes. A null image when the bitmap is malformed, of a kind not read, or
// larger than MaxPixels (and never larger than the bound above).
QImage decode(const QByteArray &bytes, qsizetype headerOffset, qsizetype headerSize, qsizetype bitsOffset,
              qsizetype bitsSize, Alpha alpha = Alpha::Opaque, qint64 maxPixels = MaxPixels);

// A packed bitmap: the header, the colour table and the pixels one after
// the other, starting at Offset and ending at Offset + Size.
QImage decodePacked(const QByteArray &bytes, qsizetype offset, qsizetype size, qint64 maxPixels = MaxPixels);

// A whole BMP file, or the first bitmap of an OS/2 bitmap array, of at
// most MaxFilePixels pixels.
QImage decodeFile(const QByteArray &bytes, qint64 maxFilePixels = MaxPixels);

// What a BMP file's header says of its pixels and their kind, for choosing
// the reader that draws them; every row must be in the file to trust it.
enum class FilePixels {
    Unknown,   // no header we can read
    Complete,  // every row the header claims is in the file
    Short,     // rows are missing: the file was cut short
    RunLength, // run-length coded: the stream may end or skip anywhere
};
struct FileFacts {
    FilePixels pixels = FilePixels::Unknown;
    int bitCount = 0;
    bool coreHeader = false; // an OS/2 1.x BITMAPCOREHEADER, with 3-byte colour entries
    qint64 width = 0;        // as the header claims
    qint64 height = 0;
};
FileFacts describeFile(const QByteArray &bytes);

} // namespace Dib
