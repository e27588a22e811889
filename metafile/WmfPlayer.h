#pragma once
// Playback of Windows metafile records ([MS-WMF]) onto a QPainter. Each
// record type has a row in a table: a record whose fields go straight to
// the canvas hands them on in its row, one with work of its own has a
// handler here. Records the table does not name are skipped.

#include "base/ByteReader.h"
#include "metafile/GdiObjects.h"
#include "metafile/Playback.h"
#include "metafile/RecordHandling.h"
#include "metafile/RecordWalk.h"

#include <QByteArray>
#include <QImage>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>

#include <cstdint>
#include <memory>
#include <optional>

class QPainter;
class GdiCanvas;
class GdiObjectTable;

class WmfPlayer
{
public:
    // What a walk over the records found: the window set by the first
    // SETWINDOWORG and SETWINDOWEXT (empty when there is none), and the
    // extent of the points the drawing records name, for a file without
    // either. Nothing when a record does not fit.
    struct Survey {
        QRectF window;
        std::optional<QRectF> drawnExtent;
    };
    static std::optional<Survey> survey(const QByteArray &bytes, qsizetype firstRecord);
    // How the player handles a record type.
    static RecordHandling handling(std::uint16_t function);

    // Frame: the logical window that maps onto the natural size.
    WmfPlayer(const QByteArray &bytes, qsizetype firstRecord, const QRectF &frame, const Playback &playback);
    ~WmfPlayer();
    void play();

private:
    using Handler = void (*)(WmfPlayer &, const RecordView &);
    using Entry = RecordEntry<WmfRecord, Handler>;
    static const Entry *entryFor(std::uint16_t function);

    // Handlers of the records with work of their own.
    void polyPolygon(const RecordView &r);
    void textOut(const RecordView &r);
    void extTextOut(const RecordView &r);
    void selectObject(const RecordView &r);
    void createPenIndirect(const RecordView &r);
    void createBrushIndirect(const RecordView &r);
    void createFontIndirect(const RecordView &r);
    void dibCreatePatternBrush(const RecordView &r);
    void createPatternBrush(const RecordView &r);
    void createPalette(const RecordView &r);
    void selectPalette(const RecordView &r);
    void createRegion(const RecordView &r);
    void selectClipRegion(const RecordView &r);
    void fillRegion(const RecordView &r);
    void frameRegion(const RecordView &r);
    void stretchDib(const RecordView &r);
    void setDibToDev(const RecordView &r);

    // The I-th 16-bit parameter after the record head.
    static std::int16_t param(const RecordView &r, int i);
    // Rectangles are stored bottom, right, top, left from parameter I on.
    static QRectF rectAt(const RecordView &r, int i);
    // Points and sizes are stored y (or height) first, x at parameter I + 1.
    static QPointF pointAt(const RecordView &r, int i);
    static QSizeF sizeAt(const RecordView &r, int i);
    static QPolygonF pointsAt(const RecordView &r, qsizetype countAt);
    QPainterPath regionAt(std::uint16_t index) const;
    QImage bitmap16At(const RecordView &r, qsizetype at, qsizetype bitsAfter) const;
    QImage decodedPacked(const RecordView &r, qsizetype at) const;
    void blit(const RecordView &r, bool stretch, bool deviceIndependent);
    void addObject(GdiObject object);

    const QByteArray &m_bytes;
    ByteReader m_b;
    PlaybackBudget &m_budget;
    qsizetype m_firstRecord;
    std::unique_ptr<GdiCanvas> m_canvas;
    std::unique_ptr<GdiObjectTable> m_objects;
};
