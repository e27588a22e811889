#pragma once
// Playback of EMF+ records ([MS-EMFPLUS]), which travel inside enhanced
// metafile comments, onto a QPainter. Each record type has one small
// handler found through a table; what the table does not name is skipped.
// Objects are kept by their identifiers, every count and size is checked
// before use.

#include "metafile/Clip.h"
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

class QPainter;

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
    const PlusObject *objectOf(std::uint32_t id, PlusObject::Kind kind) const;
    QPolygonF points(const Record &r, qsizetype countAt, qsizetype firstAt) const;
    QRectF rectAt(const Record &r, qsizetype at) const;
    QPainterPath rects(const Record &r, qsizetype countAt) const;
    QPainterPath curve(const QPolygonF &points, double tension, bool closed, qsizetype first = 0,
                       qsizetype count = -1) const;
    QTransform toTarget() const;
    void multiplyWorld(const Record &r, const QTransform &m);
    void applyRenderHints();
    // In source copy, clears the target Area to the transparent picture
    // ground, which shows white, before drawing over it.
    void clearUnder(const QPainterPath &area);
    void fill(const QPainterPath &path, const QBrush &brush);
    void stroke(const QPainterPath &original, std::uint32_t penId);
    void paintImage(const PlusObject &image, const QRectF &source, const QPolygonF &corners);
    void paintText(const PlusObject &font, const QBrush &brush, const QRectF &layout, const QString &text,
                   int alignment);
    void pushState(std::uint32_t index, const QTransform &containerTransform);
    void popState(std::uint32_t index);
    // Combines the clip with Shape, in world units; no shape is everywhere.
    void combineClip(int mode, const std::optional<QPainterPath> &shape);
    // Marks the clip changed; the painter takes it before the next drawing.
    void applyClip();
    void clipIfChanged();

    // What saving and containers keep: the transforms, the clip and the
    // render settings.
    struct State {
        QTransform base;  // the world transform a reset returns to
        QTransform world; // the world transform
        double pageScale = 1;
        Clip clip;
        bool smooth = true;
        bool smoothText = true;
        bool smoothImages = true;
        // Source copy: what is drawn replaces what lies under it.
        bool copy = false;
        // GDI+ puts pixel centres on whole coordinates unless told otherwise.
        double pixelOffset = 0.5;
    };

    QPainter &m_painter;
    PlaybackBudget &m_budget;
    OpenNestedMetafile m_openNested;
    QTransform m_deviceToTarget;
    QRectF m_target;
    double m_zoom;
    double m_dpi = 96;
    State m_state;
    std::vector<std::pair<std::uint32_t, State>> m_saved;
    std::array<PlusObject, 64> m_objects{};
    PlusObjectAssembler m_assembler;
    bool m_gdiAllowed = false;
    bool m_clipChanged = false;
};
