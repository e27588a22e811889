#pragma once
// One playback of a metafile: where and how it draws. The facade makes it
// once and hands the same value to each player of the file.

#include "metafile/NestedMetafile.h"
#include "metafile/PlaybackBudget.h"

#include <QRectF>
#include <QTransform>

class QPainter;

struct Playback {
    // Which records draw the picture.
    enum class Mode {
        Gdi,    // the GDI records
        EmfPlus // the EMF+ records; GDI records only where an EMF+ record lets them through
    };

    QPainter &painter;
    // Where the picture goes on the painter; nothing is drawn outside it.
    QRectF target;
    // The picture's frame in reference-device pixels, mapped onto Target.
    QRectF deviceFrame;
    double devicePixelsPerMm = 96 / 25.4;
    // Target pixels per natural-size pixel.
    double zoom = 1;
    PlaybackBudget &budget;
    Mode mode = Mode::Gdi;
    // Opens the metafiles that EMF+ images hold.
    OpenNestedMetafile openNested;

    // The reference device's pixels onto the painter's target.
    QTransform deviceToTarget() const
    {
        const double sx = deviceFrame.width() != 0 ? target.width() / deviceFrame.width() : 1;
        const double sy = deviceFrame.height() != 0 ? target.height() / deviceFrame.height() : 1;
        return QTransform::fromTranslate(-deviceFrame.left(), -deviceFrame.top()) * QTransform::fromScale(sx, sy) *
               QTransform::fromTranslate(target.left(), target.top());
    }
};
