#pragma once
// What a metafile looked like at the current zoom and display scale, kept
// as tiles of device pixels: a repaint copies tiles and plays the records
// again only for what was never drawn. The tiles' memory has a bound; the
// least recently shown go first.

#include <QHash>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <functional>
#include <list>

class QPainter;

class MetafileTiles
{
public:
    // Side of a tile in device pixels.
    static constexpr int TileSide = 256;
    // Most memory the tiles may take.
    static constexpr qint64 DefaultBudgetBytes = qint64(256) << 20;

    // Draws the picture, scaled to Target (device pixels), onto a painter
    // whose origin is the target's top left.
    using Renderer = std::function<void(QPainter &painter, const QRectF &target)>;

    explicit MetafileTiles(qint64 budgetBytes = DefaultBudgetBytes) : m_budget(budgetBytes) {}

    // Forgets every tile: a new picture.
    void clear();

    // Paints the part Exposed (in the painter's logical coordinates, the
    // picture's top left at 0, 0) of a picture of LogicalSize, drawn by
    // Render, at the painter's device pixel ratio. Tiles never drawn within
    // Exposed are drawn in one playback.
    void paint(QPainter &painter, const QRect &exposed, QSize logicalSize, const Renderer &render);

    // Draws the tiles around what was shown last, so that a scroll step
    // finds them; for when nothing else waits. False when all were there.
    bool drawAhead(const Renderer &render);

    qint64 bytes() const { return m_bytes; }
    int tileCount() const { return int(m_tiles.size()); }
    // How often the records were played, for tests and benchmarks.
    int playbacks() const { return m_playbacks; }

private:
    struct Tile {
        QImage image;
        std::list<QPoint>::iterator age;
    };

    void renderMissing(const QRect &wanted, const QRect &shown, QSize deviceSize, const Renderer &render);
    void keep(QPoint index, QImage image);
    void touch(Tile &tile, QPoint index);
    void evictTo(qint64 budget);

    qint64 m_budget;
    qint64 m_bytes = 0;
    int m_playbacks = 0;
    // The scale the tiles were drawn at: a change forgets them all.
    qreal m_scale = 0;
    QSize m_deviceSize;
    QRect m_lastShown; // in tiles
    QRect m_lastTile;
    QHash<QPoint, Tile> m_tiles;
    std::list<QPoint> m_ages; // least recently shown first
};
