#pragma once
// A metafile nested in an EMF+ image. The players open it through what the
// metafile facade hands them, so nothing in them reaches back up to it.

#include "metafile/PlaybackBudget.h"

#include <QByteArray>
#include <QSizeF>

#include <functional>
#include <optional>

class QPainter;
class QRectF;

struct NestedMetafile {
    // Its frame in the units the EMF+ image measures it in: reference-device
    // pixels for an enhanced metafile, logical units for a Windows one.
    QSizeF frame;
    // An enhanced metafile's image is a pixel larger than its frame, which
    // includes its right and bottom edges.
    bool enhanced = false;

    // The image's size in the same units.
    QSizeF imageSize() const { return enhanced ? frame + QSizeF(1, 1) : frame; }
    // Draws it into Target as part of a playback that has spent Budget.
    std::function<void(QPainter &painter, const QRectF &target, PlaybackBudget &budget)> draw;
};

// Nothing for bytes that are no metafile.
using OpenNestedMetafile = std::function<std::optional<NestedMetafile>(const QByteArray &bytes)>;
