#include "capture/MetafileTiles.h"

#include <QPainter>

#include <cmath>

namespace {

// Tiles drawn ahead around what is shown, so that a scroll step finds them.
constexpr int MarginTiles = 2;

QSize scaled(QSize logical, qreal scale)
{
    return QSize(int(std::ceil(logical.width() * scale)), int(std::ceil(logical.height() * scale)));
}

} // namespace

void MetafileTiles::clear()
{
    m_tiles.clear();
    m_ages.clear();
    m_bytes = 0;
    m_scale = 0;
    m_lastShown = QRect();
}

void MetafileTiles::paint(QPainter &painter, const QRect &exposed, QSize logicalSize, const Renderer &render)
{
    const QTransform device = painter.deviceTransform();
    const qreal scale = device.m11();
    const QSize deviceSize = scaled(logicalSize, scale);
    if (scale != m_scale || deviceSize != m_deviceSize) {
        clear();
        m_scale = scale;
        m_deviceSize = deviceSize;
    }
    const QRect all(QPoint(0, 0), deviceSize);
    const QRect shown =
        QRectF(exposed.x() * scale, exposed.y() * scale, exposed.width() * scale, exposed.height() * scale)
            .toAlignedRect()
            .intersected(all);
    if (shown.isEmpty())
        return;
    const QRect tiles(QPoint(shown.left() / TileSide, shown.top() / TileSide),
                      QPoint(shown.right() / TileSide, shown.bottom() / TileSide));
    const QRect lastTile(QPoint(0, 0), QPoint((all.width() - 1) / TileSide, (all.height() - 1) / TileSide));
    m_lastShown = tiles;
    m_lastTile = lastTile;
    renderMissing(tiles, tiles, deviceSize, render);

    // One unit a device pixel, the picture's corner on a whole pixel.
    painter.save();
    const QPointF corner = device.map(QPointF(0, 0));
    painter.setWorldTransform(QTransform::fromTranslate(std::round(corner.x()), std::round(corner.y())) *
                              device.inverted() * painter.worldTransform());
    for (int j = tiles.top(); j <= tiles.bottom(); ++j) {
        for (int i = tiles.left(); i <= tiles.right(); ++i) {
            auto found = m_tiles.find(QPoint(i, j));
            if (found == m_tiles.end())
                continue;
            touch(*found, QPoint(i, j));
            painter.drawImage(QPoint(i * TileSide, j * TileSide), found->image);
        }
    }
    painter.restore();
}

bool MetafileTiles::drawAhead(const Renderer &render)
{
    if (m_lastShown.isEmpty())
        return false;
    const int before = m_playbacks;
    const QRect ahead =
        m_lastShown.adjusted(-MarginTiles, -MarginTiles, MarginTiles, MarginTiles).intersected(m_lastTile);
    renderMissing(ahead, m_lastShown, m_deviceSize, render);
    return m_playbacks != before;
}

// The tiles of Wanted not kept yet, drawn in one playback of their bounds.
void MetafileTiles::renderMissing(const QRect &wanted, const QRect &shown, QSize deviceSize, const Renderer &render)
{
    QRect missing;
    for (int j = wanted.top(); j <= wanted.bottom(); ++j)
        for (int i = wanted.left(); i <= wanted.right(); ++i)
            if (!m_tiles.contains(QPoint(i, j)))
                missing |= QRect(i, j, 1, 1);
    if (missing.isEmpty())
        return;
    const QRect pixels =
        QRect(missing.topLeft() * TileSide, missing.size() * TileSide).intersected(QRect(QPoint(0, 0), deviceSize));
    QImage canvas(pixels.size(), QImage::Format_RGB32);
    if (canvas.isNull())
        return;
    // The picture area is white; the records draw over it as over the window.
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.translate(-pixels.topLeft());
        render(painter, QRectF(QPointF(0, 0), QSizeF(deviceSize)));
    }
    ++m_playbacks;
    // The tiles drawn ahead are kept first, those shown last: when the
    // bound is tight, it is the ones ahead that give way.
    for (const bool shownNow : {false, true}) {
        for (int j = missing.top(); j <= missing.bottom(); ++j) {
            for (int i = missing.left(); i <= missing.right(); ++i) {
                const QPoint index(i, j);
                if (shown.contains(index) != shownNow || m_tiles.contains(index))
                    continue;
                const QRect place = QRect(index * TileSide - pixels.topLeft(), QSize(TileSide, TileSide));
                keep(index, canvas.copy(place.intersected(canvas.rect())));
            }
        }
    }
}

void MetafileTiles::keep(QPoint index, QImage image)
{
    const qint64 size = image.sizeInBytes();
    evictTo(m_budget - size);
    m_ages.push_back(index);
    m_tiles.insert(index, Tile{std::move(image), std::prev(m_ages.end())});
    m_bytes += size;
}

void MetafileTiles::touch(Tile &tile, QPoint index)
{
    m_ages.erase(tile.age);
    m_ages.push_back(index);
    tile.age = std::prev(m_ages.end());
}

void MetafileTiles::evictTo(qint64 budget)
{
    while (m_bytes > budget && !m_ages.empty()) {
        const auto oldest = m_tiles.find(m_ages.front());
        m_bytes -= oldest->image.sizeInBytes();
        m_tiles.erase(oldest);
        m_ages.pop_front();
    }
}
