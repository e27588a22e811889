#pragma once
// Playback of enhanced metafile records ([MS-EMF]) onto a QPainter. Each
// record type has a row in a table: a record whose fields go straight to
// the canvas hands them on in its row, one with work of its own has a
// handler here. Records the table does not name are skipped.

#include "base/ByteReader.h"
#include "metafile/EmfHeader.h"
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
#include <vector>

class QPainter;
class GdiCanvas;
class GdiObjectTable;
class EmfPlusPlayer;

class EmfPlayer
{
public:
    // Whether the records run from the header to EMR_EOF, each one fitting.
    static bool validate(const QByteArray &bytes);
    // How the player handles a record type.
    static RecordHandling handling(std::uint32_t type);

    // Header: the file's own, read when it opened. Playback's mode says
    // whether its GDI or its EMF+ records draw it.
    EmfPlayer(const QByteArray &bytes, const EmfHeader &header, const Playback &playback);
    ~EmfPlayer();
    void play();

private:
    using Handler = void (*)(EmfPlayer &, const RecordView &);
    using Entry = RecordEntry<EmfRecord, Handler>;
    static const Entry *entryFor(std::uint32_t type);

    // Handlers of the records with work of their own.
    void setMiterLimit(const RecordView &r);
    void selectObject(const RecordView &r);
    void createPen(const RecordView &r);
    void extCreatePen(const RecordView &r);
    void createBrushIndirect(const RecordView &r);
    void createDibPatternBrushPt(const RecordView &r);
    void createMonoBrush(const RecordView &r);
    void extCreateFontIndirectW(const RecordView &r);
    void createPalette(const RecordView &r);
    void setPaletteEntries(const RecordView &r);
    void fillRgn(const RecordView &r);
    void frameRgn(const RecordView &r);
    void maskBlt(const RecordView &r);
    void plgBlt(const RecordView &r);
    void transparentBlt(const RecordView &r);
    void alphaBlend(const RecordView &r);
    void setDiBitsToDevice(const RecordView &r);
    void stretchDiBits(const RecordView &r);
    void gradientFill(const RecordView &r);
    void polyTextOutA(const RecordView &r);
    void polyTextOutW(const RecordView &r);
    void smallTextOut(const RecordView &r);

    QPolygonF points(const RecordView &r, bool small) const;
    std::vector<QPolygonF> polyPoints(const RecordView &r, bool small) const;
    QImage bitmap(const RecordView &r, qsizetype offBmiAt, bool sourceAlpha = false) const;
    std::vector<QRectF> regionRects(const RecordView &r, qsizetype at, qsizetype size) const;
    QPainterPath region(const RecordView &r, qsizetype at, qsizetype size) const;
    void textOut(const RecordView &r, qsizetype emrTextAt, bool wide);
    void polyDrawPoints(const RecordView &r, bool small);
    void stretchedBlt(const RecordView &r, QSizeF sourceSize);

    const QByteArray &m_bytes;
    ByteReader m_b;
    PlaybackBudget &m_budget;
    std::unique_ptr<GdiCanvas> m_canvas;
    std::unique_ptr<GdiObjectTable> m_objects;
    // For a file of EMF+ records only; none for one whose GDI records are
    // the picture (a dual file keeps its GDI copy for now).
    std::unique_ptr<EmfPlusPlayer> m_plus;
};
