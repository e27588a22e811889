#include "metafile/EmfHeader.h"

#include "metafile/RecordWalk.h"

#include <algorithm>

namespace {

// [MS-EMF] 2.2.9 Header object: where its fields lie.
constexpr qsizetype MinimumSize = 88;
constexpr qsizetype FrameAt = 24;   // RectL, 0.01 mm
constexpr qsizetype HandlesAt = 56; // u16
constexpr qsizetype DeviceAt = 72;  // SizeL, pixels
constexpr qsizetype MillimetresAt = 80;
constexpr double HundredthsPerMm = 100;

// [MS-EMFPLUS] 2.3.3.3 EmfPlusHeader: flag D, the GDI records draw the same picture.
constexpr std::uint16_t EmfPlusDualFlag = 0x0001;

// The EMF+ records a file begins with: none, beside a GDI copy, or alone.
enum class Presence { None, Dual, Only };

Presence presenceIn(const ByteReader &bytes)
{
    constexpr qsizetype HeaderSizeAt = 4;
    const qsizetype first = bytes.u32(HeaderSizeAt).value_or(0);
    const auto type = bytes.u32(first);
    const auto size = bytes.u32(first + 4);
    if (!type || !size || EmfRecord(*type) != EmfRecord::Comment || !bytes.has(first, *size))
        return Presence::None;
    Presence presence = Presence::None;
    bool seen = false;
    forEachEmfPlusRecord(RecordView(bytes, first, *size),
                         [&](std::uint16_t plusType, std::uint16_t flags, qsizetype, qsizetype) {
                             if (!seen && EmfPlusRecord(plusType) == EmfPlusRecord::Header)
                                 presence = (flags & EmfPlusDualFlag) ? Presence::Dual : Presence::Only;
                             seen = true;
                         });
    return presence;
}

// Every EMF+ comment holds whole records, and an end-of-file record comes.
bool isSound(const ByteReader &bytes)
{
    bool whole = true;
    bool ended = false;
    walkEmfRecords(bytes, [&](std::uint32_t type, const RecordView &r) {
        if (EmfRecord(type) == EmfRecord::Comment)
            whole = forEachEmfPlusRecord(r, [&](std::uint16_t plusType, std::uint16_t, qsizetype, qsizetype) {
                ended = ended || EmfPlusRecord(plusType) == EmfPlusRecord::EndOfFile;
            });
        return whole;
    });
    return whole && ended;
}

double ratio(double device, double millimetres, double fallback)
{
    return millimetres > 0 && device > 0 ? device / millimetres : fallback;
}

} // namespace

std::optional<EmfHeader> EmfHeader::read(const ByteReader &bytes)
{
    const auto size = bytes.u32(4);
    if (!size || *size < MinimumSize || *size % 4 != 0 || !bytes.has(0, *size))
        return std::nullopt;
    const RecordView r(bytes, 0, qsizetype(*size));
    EmfHeader h;
    const QSizeF device = r.sizel(DeviceAt);
    const QSizeF millimetres = r.sizel(MillimetresAt);
    const double pxPerMmX = ratio(device.width(), millimetres.width(), h.pixelsPerMm);
    const double pxPerMmY = ratio(device.height(), millimetres.height(), h.pixelsPerMm);
    h.frame = r.rectl(FrameAt);
    h.frameDevice = QRectF(h.frame.left() * pxPerMmX / HundredthsPerMm, h.frame.top() * pxPerMmY / HundredthsPerMm,
                           h.frame.width() * pxPerMmX / HundredthsPerMm, h.frame.height() * pxPerMmY / HundredthsPerMm);
    h.pixelsPerMm = (pxPerMmX + pxPerMmY) / 2;
    h.handles = std::max<std::uint32_t>(r.u16(HandlesAt), 1);
    h.drawnFromEmfPlus = drawsFromEmfPlus(bytes);
    return h;
}

bool EmfHeader::drawsFromEmfPlus(const ByteReader &bytes)
{
    const Presence presence = presenceIn(bytes);
    return presence == Presence::Only || (presence == Presence::Dual && isSound(bytes));
}
