#pragma once
// Playback of EMF+ records ([MS-EMFPLUS]), which travel inside enhanced
// metafile comments. Each record type has one small handler found through
// a table; what the table does not name is skipped. The player reads the
// records and keeps the object table, every count and size checked before
// use; its canvas keeps the drawing state and draws.

#include "metafile/EmfPlusCanvas.h"
#include "metafile/EmfPlusObjects.h"
#include "metafile/Playback.h"
#include "metafile/RecordHandling.h"
#include "metafile/RecordWalk.h"

#include <QPolygonF>
#include <QRectF>
#include <QTransform>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class EmfPlusPlayer
{
public:
    // How the player handles an EMF+ record type.
    static RecordHandling handling(std::uint16_t type);

    // Draws as Playback says, the EMF+ records' device being the GDI
    // records' reference device.
    explicit EmfPlusPlayer(const Playback &playback);
    ~EmfPlusPlayer();

    // Plays the EMF+ records of one EMR_COMMENT.
    void playComment(const RecordView &comment);
    // GDI records are drawn only after EmfPlusGetDC, until the next EMF+ record.
    bool gdiAllowed() const { return m_gdiAllowed; }

    using Record = PlusData;

private:
    using Handler = void (EmfPlusPlayer::*)(const Record &);
    using Entry = RecordEntry<EmfPlusRecord, Handler>;
    static const Entry *entryFor(std::uint16_t type);
    void playRecord(const Record &r, std::uint16_t type);

    void header(const Record &r);
    void getDc(const Record &r);
    void object(const Record &r);
    void clear(const Record &r);
    void fillRects(const Record &r);
    void drawRects(const Record &r);
    void fillPolygon(const Record &r);
    void drawLines(const Record &r);
    void fillEllipse(const Record &r);
    void drawEllipse(const Record &r);
    void fillPie(const Record &r);
    void drawPie(const Record &r);
    void drawArc(const Record &r);
    void fillRegion(const Record &r);
    void fillPath(const Record &r);
    void drawPath(const Record &r);
    void fillClosedCurve(const Record &r);
    void drawClosedCurve(const Record &r);
    void drawCurve(const Record &r);
    void drawBeziers(const Record &r);
    void drawImage(const Record &r);
    void drawImagePoints(const Record &r);
    void drawString(const Record &r);
    void drawDriverString(const Record &r);
    void setAntiAliasMode(const Record &r);
    void setTextRenderingHint(const Record &r);
    void setInterpolationMode(const Record &r);
    void setPixelOffsetMode(const Record &r);
    void setCompositingMode(const Record &r);
    void save(const Record &r);
    void restore(const Record &r);
    void beginContainer(const Record &r);
    void beginContainerNoParams(const Record &r);
    void endContainer(const Record &r);
    void setWorldTransform(const Record &r);
    void resetWorldTransform(const Record &r);
    void multiplyWorldTransform(const Record &r);
    void translateWorldTransform(const Record &r);
    void scaleWorldTransform(const Record &r);
    void rotateWorldTransform(const Record &r);
    void setPageTransform(const Record &r);
    void resetClip(const Record &r);
    void setClipRect(const Record &r);
    void setClipPath(const Record &r);
    void setClipRegion(const Record &r);
    void offsetClip(const Record &r);

    QBrush brushOf(const Record &r, std::uint32_t brushId) const;
    // The object of kind Kind under Id; nothing when it holds another kind.
    template <typename Kind> const Kind *objectOf(std::uint32_t id) const
    {
        return id < m_objects.size() ? std::get_if<Kind>(&m_objects[id]) : nullptr;
    }
    QPolygonF points(const Record &r, qsizetype countAt, qsizetype firstAt) const;
    QRectF rectAt(const Record &r, qsizetype at) const;
    QPainterPath rects(const Record &r, qsizetype countAt) const;
    QPainterPath curve(const QPolygonF &points, double tension, bool closed, qsizetype first = 0,
                       qsizetype count = -1) const;
    void fill(const QPainterPath &path, const QBrush &brush);
    void stroke(const QPainterPath &path, std::uint32_t penId);

    PlaybackBudget &m_budget;
    EmfPlusCanvas m_canvas;
    double m_dpi = 96;
    std::array<PlusObject, 64> m_objects{};
    PlusObjectAssembler m_assembler;
    bool m_gdiAllowed = false;
};
