#pragma once
// The drawing state of EMF+ playback and its drawing onto a QPainter: the
// world and page transforms, the clip, the render settings and their saved
// copies, and fills, strokes, images and text through them. Geometry
// arrives in world units; the player reads it from the records.

#include "metafile/Clip.h"
#include "metafile/EmfPlusObjects.h"
#include "metafile/Playback.h"

#include <QBrush>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class QPainter;

class EmfPlusCanvas
{
public:
    explicit EmfPlusCanvas(const Playback &playback);

    // Whether a shape, in target pixels, is something a painter can draw.
    static bool drawable(const QPainterPath &path);

    // Drawing, in world units.
    void fill(const QPainterPath &path, const QBrush &brush);
    void stroke(const QPainterPath &path, const PlusPen &pen);
    // Fills what of Region shows on the target.
    void fillRegion(const PlusRegion &region, const QBrush &brush);
    // Colour over everything inside the clip.
    void clear(QColor colour);
    // Draws the Source part of a bitmap, or a whole metafile, onto the
    // parallelogram of the three Corners.
    void paintImage(const PlusImage &image, const QRectF &source, const QPolygonF &corners);
    // Draws Text in Font, the em size as given in world units, through the
    // whole transform. Alignment < 0 puts the first baseline at Layout's top
    // left; otherwise Layout is the box the text is aligned and wrapped in.
    void paintText(const PlusFont &font, const QBrush &brush, const QRectF &layout, const QString &text, int alignment);

    // GDI records draw from here on as the GDI player draws them, until
    // leaveGdi(), after which the clip they may have changed is set anew.
    void enterGdi();
    void leaveGdi() { m_clipChanged = true; }

    // Render settings.
    void setSmooth(bool on) { m_state.smooth = on; }
    void setSmoothText(bool on) { m_state.smoothText = on; }
    void setSmoothImages(bool on) { m_state.smoothImages = on; }
    // Where pixel centres lie: on whole coordinates (0.5) or on halves (0).
    void setPixelOffset(double offset) { m_state.pixelOffset = offset; }
    // Source copy: what is drawn replaces what lies under it.
    void setSourceCopy(bool on) { m_state.copy = on; }

    // Transforms. The world transform a reset returns to is the one the
    // innermost container began with.
    const QTransform &world() const { return m_state.world; }
    void setWorld(const QTransform &world) { m_state.world = world; }
    void setWorldFromBase(const QTransform &m) { m_state.world = m * m_state.base; }
    void resetWorld() { m_state.world = m_state.base; }
    // M before the world transform, or after it when Appended.
    void multiplyWorld(const QTransform &m, bool appended);
    // Device pixels per world unit.
    void setPageScale(double scale) { m_state.pageScale = scale; }

    // Saved states and containers, under a stack index: a save keeps the
    // transforms, a container maps its source onto its target through
    // ContainerTransform. Restoring drops the states saved after it.
    void save(std::uint32_t index);
    void beginContainer(std::uint32_t index, const QTransform &containerTransform);
    void restore(std::uint32_t index);

    // The clip. Mode is a CombineMode ([MS-EMFPLUS] 2.1.1.4); no shape is
    // everywhere.
    void combineClip(int mode, const std::optional<QPainterPath> &shape);
    void resetClip();
    // Moves the clip by Delta world units.
    void offsetClip(QPointF delta);

private:
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
        bool copy = false;
        // GDI+ puts pixel centres on whole coordinates unless told otherwise.
        double pixelOffset = 0.5;
    };

    // World units to reference-device pixels, and on to the painter's target.
    QTransform toDevice() const;
    QTransform toTarget() const;
    void paintBitmap(const QImage &bitmap, const QRectF &source, const QPolygonF &corners);
    void playNested(const NestedMetafile &metafile, const QRectF &target);
    void applyRenderHints();
    // In source copy, clears the target Area to the transparent picture
    // ground, which shows white, before drawing over it.
    void clearUnder(const QPainterPath &area);
    void pushState(std::uint32_t index, const QTransform &containerTransform);
    // The painter takes the clip before the next drawing: offsets and
    // restores come by the thousand between two drawings.
    void clipIfChanged();
    std::optional<NestedMetafile> openNested(const PlusImage &image);

    QPainter &m_painter;
    PlaybackBudget &m_budget;
    OpenNestedMetafile m_openNested;
    QTransform m_deviceToTarget;
    QRectF m_target;
    double m_zoom;
    State m_state;
    std::vector<std::pair<std::uint32_t, State>> m_saved;
    bool m_clipChanged = false;
};
