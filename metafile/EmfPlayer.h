#pragma once
// Playback of enhanced metafile records ([MS-EMF]) onto a QPainter. Each
// record type has one small handler, found through a table; records the
// table does not name are skipped.

#include "base/ByteReader.h"
#include "metafile/EmfHeader.h"
#include "metafile/NestedMetafile.h"
#include "metafile/PlaybackBudget.h"
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

    // Header: the file's own, read when it opened. OpenNested, when set,
    // draws the file from its EMF+ records (as EmfPlusPlayer::drawsFile
    // decides once the file is open) and opens the metafiles their images
    // hold.
    EmfPlayer(const QByteArray &bytes, const EmfHeader &header, QPainter &painter, const QRectF &target, double zoom,
              const OpenNestedMetafile &openNested, PlaybackBudget &budget);
    ~EmfPlayer();
    void play();

private:
    using Handler = void (EmfPlayer::*)(const RecordView &);
    using Entry = RecordEntry<EmfRecord, Handler>;
    static const Entry *entryFor(std::uint32_t type);

    // Handlers, one per record type.
    void polyBezier(const RecordView &r);
    void polygon(const RecordView &r);
    void polyline(const RecordView &r);
    void polyBezierTo(const RecordView &r);
    void polylineTo(const RecordView &r);
    void polyPolyline(const RecordView &r);
    void polyPolygon(const RecordView &r);
    void polyBezier16(const RecordView &r);
    void polygon16(const RecordView &r);
    void polyline16(const RecordView &r);
    void polyBezierTo16(const RecordView &r);
    void polylineTo16(const RecordView &r);
    void polyPolyline16(const RecordView &r);
    void polyPolygon16(const RecordView &r);
    void polyDraw(const RecordView &r);
    void polyDraw16(const RecordView &r);
    void setWindowExtEx(const RecordView &r);
    void setWindowOrgEx(const RecordView &r);
    void setViewportExtEx(const RecordView &r);
    void setViewportOrgEx(const RecordView &r);
    void scaleViewportExtEx(const RecordView &r);
    void scaleWindowExtEx(const RecordView &r);
    void setMapMode(const RecordView &r);
    void setWorldTransform(const RecordView &r);
    void modifyWorldTransform(const RecordView &r);
    void setPixelV(const RecordView &r);
    void setBkMode(const RecordView &r);
    void setPolyFillMode(const RecordView &r);
    void setRop2(const RecordView &r);
    void setTextAlign(const RecordView &r);
    void setTextColor(const RecordView &r);
    void setBkColor(const RecordView &r);
    void setArcDirection(const RecordView &r);
    void setMiterLimit(const RecordView &r);
    void moveToEx(const RecordView &r);
    void lineTo(const RecordView &r);
    void saveDc(const RecordView &r);
    void restoreDc(const RecordView &r);
    void selectObject(const RecordView &r);
    void deleteObject(const RecordView &r);
    void createPen(const RecordView &r);
    void extCreatePen(const RecordView &r);
    void createBrushIndirect(const RecordView &r);
    void createDibPatternBrushPt(const RecordView &r);
    void createMonoBrush(const RecordView &r);
    void extCreateFontIndirectW(const RecordView &r);
    void createPalette(const RecordView &r);
    void setPaletteEntries(const RecordView &r);
    void angleArc(const RecordView &r);
    void ellipse(const RecordView &r);
    void rectangle(const RecordView &r);
    void roundRect(const RecordView &r);
    void arc(const RecordView &r);
    void arcTo(const RecordView &r);
    void chord(const RecordView &r);
    void pie(const RecordView &r);
    void beginPath(const RecordView &r);
    void endPath(const RecordView &r);
    void closeFigure(const RecordView &r);
    void fillPath(const RecordView &r);
    void strokeAndFillPath(const RecordView &r);
    void strokePath(const RecordView &r);
    void widenPath(const RecordView &r);
    void selectClipPath(const RecordView &r);
    void abortPath(const RecordView &r);
    void excludeClipRect(const RecordView &r);
    void intersectClipRect(const RecordView &r);
    void offsetClipRgn(const RecordView &r);
    void extSelectClipRgn(const RecordView &r);
    void fillRgn(const RecordView &r);
    void frameRgn(const RecordView &r);
    void invertRgn(const RecordView &r);
    void paintRgn(const RecordView &r);
    void bitBlt(const RecordView &r);
    void stretchBlt(const RecordView &r);
    void maskBlt(const RecordView &r);
    void plgBlt(const RecordView &r);
    void transparentBlt(const RecordView &r);
    void alphaBlend(const RecordView &r);
    void setDiBitsToDevice(const RecordView &r);
    void stretchDiBits(const RecordView &r);
    void gradientFill(const RecordView &r);
    void extTextOutA(const RecordView &r);
    void extTextOutW(const RecordView &r);
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
