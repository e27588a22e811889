#pragma once
// One walk over a metafile's records, shared by checking, playing and the
// census: every record's size is checked against the bytes before it is
// handed on, and the walk ends at the end-of-file record or at the first
// record that does not fit.

#include "base/ByteReader.h"
#include "metafile/Limits.h"
#include "metafile/Records.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <cmath>
#include <cstdint>

// Reads inside one record: anything past the record's end reads as zero.
class RecordView
{
public:
    RecordView(const ByteReader &bytes, qsizetype start, qsizetype size) : m_b(bytes), m_start(start), m_size(size) {}

    qsizetype start() const { return m_start; }
    qsizetype size() const { return m_size; }
    const ByteReader &bytes() const { return m_b; }

    bool has(qsizetype offset, qsizetype count) const
    {
        return offset >= 0 && count >= 0 && offset <= m_size && count <= m_size - offset;
    }
    std::int32_t i32(qsizetype o) const { return has(o, 4) ? m_b.i32(m_start + o).value_or(0) : 0; }
    std::uint32_t u32(qsizetype o) const { return has(o, 4) ? m_b.u32(m_start + o).value_or(0) : 0; }
    std::int16_t i16(qsizetype o) const { return has(o, 2) ? m_b.i16(m_start + o).value_or(0) : 0; }
    std::uint16_t u16(qsizetype o) const { return has(o, 2) ? m_b.u16(m_start + o).value_or(0) : 0; }
    std::uint8_t u8(qsizetype o) const { return has(o, 1) ? m_b.u8(m_start + o).value_or(0) : 0; }
    float f32(qsizetype o) const
    {
        const float f = has(o, 4) ? m_b.f32(m_start + o).value_or(0) : 0;
        return std::isfinite(f) ? f : 0;
    }
    QPointF pointl(qsizetype o) const { return QPointF(i32(o), i32(o + 4)); }
    QPointF points(qsizetype o) const { return QPointF(i16(o), i16(o + 2)); }
    QSizeF sizel(qsizetype o) const { return QSizeF(i32(o), i32(o + 4)); }
    // [MS-WMF] 2.2.2.19 RectL: left, top, right, bottom.
    QRectF rectl(qsizetype o) const { return QRectF(QPointF(i32(o), i32(o + 4)), QPointF(i32(o + 8), i32(o + 12))); }
    // [MS-WMF] 2.2.2.18 Rect: the same in 16 bits.
    QRectF rects(qsizetype o) const { return QRectF(QPointF(i16(o), i16(o + 2)), QPointF(i16(o + 4), i16(o + 6))); }
    // A copy of N bytes from O; none when they do not all lie inside.
    QByteArray slice(qsizetype o, qsizetype n) const { return has(o, n) ? m_b.slice(m_start + o, n) : QByteArray(); }

private:
    const ByteReader &m_b;
    qsizetype m_start;
    qsizetype m_size;
};

// Where a metafile's records begin, from its headers: [MS-EMF] 2.2.9 and
// [MS-WMF] 2.3.2.3 META_PLACEABLE, 2.3.2.2 META_HEADER.
namespace FileHeader {
constexpr std::uint32_t EmfHeaderType = 1;
constexpr std::uint32_t EmfSignature = 0x464D4520; // " EMF"
constexpr qsizetype EmfSignatureAt = 40;
constexpr std::uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr qsizetype PlaceableSize = 22;
constexpr qsizetype WmfHeaderSize = 18;

inline bool isEnhanced(const ByteReader &b)
{
    return b.u32(0) == EmfHeaderType && b.u32(EmfSignatureAt) == EmfSignature;
}
inline bool isPlaceable(const ByteReader &b)
{
    return b.u32(0) == PlaceableKey;
}
// The WMF header's place, after the placeable header when there is one.
inline qsizetype wmfHeaderAt(const ByteReader &b)
{
    return isPlaceable(b) ? PlaceableSize : 0;
}
inline qsizetype firstWmfRecord(const ByteReader &b)
{
    return wmfHeaderAt(b) + WmfHeaderSize;
}
} // namespace FileHeader

// How a walk ended.
enum class WalkEnd { EndOfFile, Damaged };

// [MS-EMF] 2.3 records: Type and Size (bytes, a multiple of four, at least
// eight), from the header on. Visit(type, view) sees every record before
// EMR_EOF; it returns false to stop the walk early.
template <typename Visit> WalkEnd walkEmfRecords(const ByteReader &b, Visit &&visit)
{
    constexpr qsizetype RecordHead = 8;
    qsizetype at = 0;
    for (qsizetype n = 0; n < Limits::MaxRecords; ++n) {
        const auto type = b.u32(at);
        const auto size = b.u32(at + 4);
        if (!type || !size || *size < RecordHead || *size % 4 != 0 || !b.has(at, *size))
            return WalkEnd::Damaged;
        if (EmfRecord(*type) == EmfRecord::Eof)
            return WalkEnd::EndOfFile;
        if (!visit(*type, RecordView(b, at, qsizetype(*size))))
            return WalkEnd::EndOfFile;
        at += qsizetype(*size);
    }
    return WalkEnd::Damaged;
}

// [MS-WMF] 2.3 records: RecordSize (16-bit words, at least three) and
// RecordFunction, from the first record after the header.
template <typename Visit> WalkEnd walkWmfRecords(const ByteReader &b, qsizetype firstRecord, Visit &&visit)
{
    constexpr std::uint32_t RecordHeadWords = 3;
    qsizetype at = firstRecord;
    for (qsizetype n = 0; n < Limits::MaxRecords; ++n) {
        const auto words = b.u32(at);
        const auto function = b.u16(at + 4);
        if (!words || !function || *words < RecordHeadWords || !b.has(at, qsizetype(*words) * 2))
            return WalkEnd::Damaged;
        if (WmfRecord(*function) == WmfRecord::Eof)
            return WalkEnd::EndOfFile;
        if (!visit(*function, RecordView(b, at, qsizetype(*words) * 2)))
            return WalkEnd::EndOfFile;
        at += qsizetype(*words) * 2;
    }
    return WalkEnd::Damaged;
}

// The comment identifier of EMF+ records, "EMF+".
constexpr std::uint32_t EmfPlusCommentIdentifier = 0x2B464D45;

// Calls Visit(type, flags, at, size) for each EMF+ record in an EMR_COMMENT.
// False when the comment holds EMF+ records that do not fit it.
template <typename Visit> bool forEachEmfPlusRecord(const RecordView &comment, Visit &&visit)
{
    // [MS-EMF] 2.3.3.2 EMR_COMMENT_EMFPLUS: DataSize at 8, the identifier at 12,
    // the records from 16; each EMF+ record: Type, Flags, Size, DataSize.
    constexpr qsizetype RecordsAt = 16;
    constexpr qsizetype RecordHead = 12;
    const qsizetype end = std::min<qsizetype>(comment.size(), 12 + qsizetype(comment.u32(8)));
    if (comment.u32(12) != EmfPlusCommentIdentifier)
        return true;
    qsizetype at = RecordsAt;
    while (at + RecordHead <= end) {
        const std::uint16_t type = comment.u16(at);
        const std::uint16_t flags = comment.u16(at + 2);
        const qsizetype size = comment.u32(at + 4);
        const qsizetype dataSize = comment.u32(at + 8);
        if (size < RecordHead || size > end - at || dataSize > size - RecordHead)
            return false;
        visit(type, flags, at + RecordHead, dataSize);
        at += size;
    }
    return at == end;
}
