#pragma once
// What playing an enhanced metafile needs of its header ([MS-EMF] 2.2.9),
// read once when the file opens.

#include "base/ByteReader.h"

#include <QRectF>

#include <cstdint>
#include <optional>

struct EmfHeader {
    QRectF frame;       // 0.01 mm
    QRectF frameDevice; // the frame in the reference device's pixels
    double pixelsPerMm = 96 / 25.4;
    std::uint32_t handles = 1;

    // Nothing when the header does not fit the bytes.
    static std::optional<EmfHeader> read(const ByteReader &bytes);
};
