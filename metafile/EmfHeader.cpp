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
    return h;
}
