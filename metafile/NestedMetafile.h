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
    QSizeF size; // natural size
    // Draws it into Target as part of a playback that has spent Budget.
    std::function<void(QPainter &painter, const QRectF &target, PlaybackBudget &budget)> draw;
};

// Nothing for bytes that are no metafile.
using OpenNestedMetafile = std::function<std::optional<NestedMetafile>(const QByteArray &bytes)>;
