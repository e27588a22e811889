#pragma once
// What a metafile looked like at the current zoom and display scale, kept
// as tiles of device pixels. Tiles are drawn on worker threads, those shown
// first, then the ones around them, so that the window never waits for a
// playback: until a tile arrives its place shows the same area as drawn at
// the zoom or scale before, stretched, or else the picture area's white.
// Work for a picture, zoom or scale no longer shown is dropped, and a tile
// of one never shows. The tiles' memory has a bound; the least recently
// shown go first.

#include "base/ReplyChannel.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSet>
#include <QSize>

#include <functional>
#include <list>
#include <memory>
#include <vector>

class QPainter;

class MetafileTiles : public QObject
{
    Q_OBJECT
public:
    // Side of a tile in device pixels.
    static constexpr int TileSide = 256;
    // Tiles of one row drawn in one playback, at most.
    static constexpr int RunTiles = 4;
    // Tiles drawn ahead around what is shown, so that a scroll step finds them.
    static constexpr int MarginTiles = 2;
    // Most memory the tiles may take.
    static constexpr qint64 DefaultBudgetBytes = qint64(256) << 20;

    // Draws the picture, scaled to Target (device pixels), onto a painter
    // whose origin is the target's top left. Called on worker threads, also
    // at once: it may only read what it holds itself.
    using Renderer = std::function<void(QPainter &painter, const QRectF &target)>;

    explicit MetafileTiles(qint64 budgetBytes = DefaultBudgetBytes, QObject *parent = nullptr);
    ~MetafileTiles() override;

    // A new picture, drawn by Render (none: nothing to draw). Forgets every
    // tile and drops the work in flight.
    void setRenderer(Renderer render);

    // Paints the part Exposed (in the painter's logical coordinates, the
    // picture's top left at 0, 0) of a picture of LogicalSize at the
    // painter's device pixel ratio, from the tiles at hand, and asks for
    // those missing.
    void paint(QPainter &painter, const QRect &exposed, QSize logicalSize);

    // Whether every tile of the last paint is at hand.
    bool complete() const;
    // Runs the event loop until complete, for at most TimeoutMs.
    bool waitUntilComplete(int timeoutMs);

    // Tiles asked for and not arrived yet.
    int pendingTiles() const { return int(m_requested.size()); }
    qint64 bytes() const { return m_bytes; }
    int tileCount() const { return int(m_tiles.size()); }
    // How often the records were played, for tests and benchmarks.
    int playbacks() const { return m_playbacks; }

signals:
    // Tiles arrived for this area, in the painter's logical coordinates.
    void tilesArrived(const QRect &area);

private:
    struct Tile {
        QImage image;
        std::list<QPoint>::iterator age;
    };
    // What was drawn at another zoom or scale, to show until the new arrives.
    struct Stand {
        QSize deviceSize;
        QHash<QPoint, QImage> tiles;
    };
    struct Shared;
    class Job;
    using Delivery = std::vector<std::pair<QPoint, QImage>>;

    void startGeneration(bool keepAsStand);
    void request(const QRect &tiles, int priority);
    void accept(int generation, const QRect &run, const Delivery &tiles, bool played);
    void drawStandIn(QPainter &painter, const QRect &pixels) const;
    void keep(QPoint index, QImage image, bool shown);
    void touch(Tile &tile, QPoint index);
    void evictTo(qint64 budget);

    ReplyChannel m_reply;
    std::shared_ptr<Shared> m_shared;
    Renderer m_render;
    qint64 m_budget;
    qint64 m_bytes = 0;
    int m_playbacks = 0;
    int m_generation = 0;
    // The scale and size the tiles are drawn at: a change starts anew.
    qreal m_scale = 0;
    QSize m_deviceSize;
    QRect m_lastShown; // in tiles
    QHash<QPoint, Tile> m_tiles;
    QSet<QPoint> m_requested;
    std::list<QPoint> m_ages; // least recently shown first
    Stand m_stand;
};
