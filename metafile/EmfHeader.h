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
    // Whether the picture is drawn from its EMF+ records (see below).
    bool drawnFromEmfPlus = false;

    // Nothing when the header does not fit the bytes.
    static std::optional<EmfHeader> read(const ByteReader &bytes);

    // Whether a file is drawn from its EMF+ records: it has them when its
    // first record after the header is an EMF+ header. A file of EMF+
    // records only is; a dual one, whose GDI records are a copy of the same
    // picture, only while every EMF+ comment holds whole records ending
    // with an end-of-file record.
    static bool drawsFromEmfPlus(const ByteReader &bytes);
};
