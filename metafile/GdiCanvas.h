#pragma once
// The drawing state of a metafile's device context, and its drawing
// operations onto a QPainter. Geometry arrives in logical coordinates and is
// mapped to the painter's target rectangle: world transform, then the page
// mapping (window and viewport), then the reference device onto the target.
// Its work lies in four files by concern: objects, shapes, paths and
// palettes (GdiCanvas.cpp), text (GdiCanvasText.cpp), the clip
// (GdiCanvasClip.cpp), and bitmaps, gradients and filled regions
// (GdiCanvasFills.cpp); the mapping is a GdiMapping.

#include "metafile/Clip.h"
#include "metafile/GdiConstants.h"
#include "metafile/GdiMapping.h"
#include "metafile/GdiObjects.h"
#include "metafile/Playback.h"
#include "metafile/PlaybackBudget.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>
#include <QSet>
#include <QString>
#include <QTransform>
#include <QVector>

#include <optional>
#include <vector>

class QPainter;
class QFontMetricsF;

class GdiCanvas
{
public:
    // Draws as Playback says; its budget is charged with the shapes drawn
    // and combined.
    explicit GdiCanvas(const Playback &playback);
    ~GdiCanvas();

    // The mapping of logical coordinates, which records set and the state
    // saves with the rest.
    GdiMapping &mapping() { return m_s.mapping; }

    // Objects and attributes.
    void selectPen(const GdiPen &pen);
    void selectBrush(const GdiBrush &brush);
    void selectFont(const GdiFont &font);
    // A pen, brush, font or palette of the object table; nothing for others.
    void selectObject(const GdiObject *object);
    void selectStockObject(std::uint32_t index);
    void setBkMode(int mode) { m_s.bkMode = mode; }
    void setBkColor(QColor c) { m_s.bkColor = c; }
    void setTextColor(QColor c) { m_s.textColor = c; }
    void setTextAlign(std::uint32_t align) { m_s.textAlign = align; }
    void setPolyFillMode(int mode) { m_s.fillMode = mode; }
    void setRop2(int rop) { m_s.rop2 = rop; }
    void setArcDirection(int direction) { m_s.arcClockwise = direction == ArcClockwise; }
    void setTextCharExtra(double extra) { m_s.charExtra = extra; }
    // GM_ADVANCED: text turns with the world transform.
    void setTextFollowsWorld(bool follows) { m_s.textFollowsWorld = follows; }
    QColor textColor() const { return m_s.textColor; }
    QColor bkColor() const { return m_s.bkColor; }
    const GdiBrush &brush() const { return m_s.brush; }
    const GdiFont &font() const { return m_s.font; }

    // Palettes: a colour reference whose high byte is 1 names an entry of
    // the palette selected now; other colour references are plain RGB.
    void selectPalette(const QVector<QRgb> &entries) { m_s.palette = entries; }
    void setPaletteEntries(int start, const QVector<QRgb> &entries);
    QColor resolve(std::uint32_t colorRef) const;
    void setMiterLimit(double limit) { m_s.miterLimit = limit; }

    void saveDC();
    void restoreDC(int which);

    // Drawing, logical coordinates.
    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const QPolygonF &points);
    void polylineTo(const QPolygonF &points);
    void polygon(const QPolygonF &points);
    void polyPolygon(const std::vector<QPolygonF> &polygons);
    void polyPolyline(const std::vector<QPolygonF> &polylines);
    void polyBezier(const QPolygonF &points);
    void polyBezierTo(const QPolygonF &points);
    void rectangle(const QRectF &r);
    void roundRect(const QRectF &r, QSizeF corner);
    void ellipse(const QRectF &r);
    void arc(const QRectF &box, QPointF start, QPointF end);
    void arcTo(const QRectF &box, QPointF start, QPointF end);
    void chord(const QRectF &box, QPointF start, QPointF end);
    void pie(const QRectF &box, QPointF start, QPointF end);
    void angleArc(QPointF centre, double radius, double startAngle, double sweepAngle);
    void setPixel(QPointF p, QColor c);
    // Options: ETO_OPAQUE 2, ETO_CLIPPED 4. Dx: advance of each character;
    // rises: with ETO_PDY, how far each character lifts the next.
    void textOut(QPointF reference, const QString &text, const std::vector<double> &dx, std::uint32_t options,
                 std::optional<QRectF> rect, const std::vector<double> &rises = {});

    // Paths.
    void beginPath();
    void endPath();
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void selectClipPath(int mode);

    // Clipping.
    void intersectClipRect(const QRectF &r);
    void excludeClipRect(const QRectF &r);
    // Rectangles in reference-device pixels; none with RGN_COPY resets.
    void selectClipRegion(const std::vector<QRectF> &deviceRects, int mode);
    // A region in logical coordinates; none resets the clip.
    void selectClipRegion(const std::optional<QPainterPath> &logical);
    void offsetClipRegion(QPointF logicalDelta);

    // Regions in logical coordinates.
    void fillRegion(const QPainterPath &logical, const GdiBrush &brush);
    void frameRegion(const QPainterPath &logical, const GdiBrush &brush, QSizeF logicalFrame);
    void invertRegion(const QPainterPath &logical);
    void widenPath();
    // A linear gradient over a logical rectangle, across or down.
    void gradientRect(const QRectF &logical, QColor from, QColor to, bool vertical);
    void gradientTriangle(const QPolygonF &logical, const QColor (&colors)[3]);

    // Bitmaps. Dest in logical coordinates, Source in the image's pixels.
    void drawImage(const QRectF &dest, const QImage &image, const QRectF &source, std::uint32_t rop,
                   double opacity = 1.0);
    // A bitmap mapped onto the parallelogram of three logical corners:
    // upper left, upper right, lower left.
    void drawImageOnto(const QPolygonF &corners, const QImage &image, const QRectF &source);
    // A raster operation without a source bitmap (PATCOPY, BLACKNESS, ...).
    void patBlt(const QRectF &dest, std::uint32_t rop);

private:
    struct State {
        GdiMapping mapping;
        GdiPen pen;
        GdiBrush brush;
        GdiFont font;
        QFont face; // the face the font is drawn in, resolved when it is selected
        int bkMode = BkModeOpaque;
        QColor bkColor = Qt::white;
        QColor textColor = Qt::black;
        std::uint32_t textAlign = 0;
        int fillMode = PolyFillAlternate;
        int rop2 = Rop2::CopyPen;
        double charExtra = 0;
        bool textFollowsWorld = false;
        QVector<QRgb> palette;
        bool arcClockwise = false;
        double miterLimit = 10;
        QPointF position{0, 0};
        Clip clip;
        Clip naturalClip; // the same in natural pixels, to count its cost by
    };

    QTransform toTarget() const; // logical -> target
    QPainterPath mapped(const QPainterPath &logical) const;
    double targetPenWidth() const;
    QPen qtPen() const;
    void setCapsAndJoins(QPen &pen) const;
    QColor colorUnderRop2(QColor color) const;
    QFont qtFont(double xScale, double yScale, bool *visible) const;
    bool affordsFont(const QString &key);
    double deviceDpi() const;
    double emPixels(const QFont &font) const; // the font's size in target pixels
    qint64 glyphWork(const QFont &font, qsizetype count) const;
    bool affordsImage(const QRectF &targetBounds, const QImage &image);
    double exactSizeFit(const QFont &font, const QFontMetricsF &metrics, const QString &text) const;
    std::vector<double> advancesOf(const QString &text, const std::vector<double> &dx, const QFontMetricsF &metrics,
                                   double fit, double xScale) const;
    QPointF alignmentOffset(const QFontMetricsF &metrics, double width) const;
    QBrush qtBrush() const;
    bool beginDraw(); // false: the drawing mode draws nothing
    void endDraw();
    void draw(const QPainterPath &targetPath, bool fill, bool stroke);
    void addOrDraw(const QPainterPath &logical, bool fill, bool stroke);
    void applyClip();
    QPainterPath takeDonePath(); // ends a path being defined and hands it over
    void combineClip(const QPainterPath &path, int mode);
    void combineClip(const QPainterPath &path, const QPainterPath &natural, int mode);
    void combineClip(const QRegion &pixels, const QRegion &natural, int mode);
    QTransform targetToNatural() const;
    QRectF naturalFrame() const;
    void setPainterClip(const QRegion &pixels);
    void combineClipRect(const QRectF &logical, int mode);
    void resetClip();
    QPainterPath arcPath(const QRectF &box, QPointF start, QPointF end, int closeKind, bool connect) const;

    QPainter &m_painter;
    PlaybackBudget &m_budget;
    QRectF m_target;
    QTransform m_deviceToTarget;
    QPointF m_strokeShift;
    double m_pixelsPerMm;
    double m_zoom;
    State m_s;
    std::vector<State> m_saved;
    std::optional<QPainterPath> m_path; // target coordinates, while a path is being defined
    QPainterPath m_donePath;            // the last path ended
    bool m_inPath = false;
    QSet<QString> m_fontsSeen; // fonts this playback has counted
};
