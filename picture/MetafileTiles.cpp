#include "picture/MetafileTiles.h"

#include "base/WorkerPool.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QPainter>
#include <QRunnable>
#include <QThreadPool>

#include <cmath>

namespace {

// Tiles shown are drawn before those ahead.
constexpr int ShownPriority = 1;
constexpr int AheadPriority = 0;

QSize scaled(QSize logical, qreal scale)
{
    return QSize(int(std::ceil(logical.width() * scale)), int(std::ceil(logical.height() * scale)));
}

QRect pixelsOf(const QRect &tiles, QSize deviceSize)
{
    return QRect(tiles.topLeft() * MetafileTiles::TileSide, tiles.size() * MetafileTiles::TileSide)
        .intersected(QRect(QPoint(0, 0), deviceSize));
}

} // namespace

// What the window and the workers share: the generation shown, and the
// tiles still wanted in it.
struct MetafileTiles::Shared {
    QMutex mutex;
    int generation = 0;
    QSet<QPoint> wanted;
};

// One run of tiles of one row, drawn in one playback.
class MetafileTiles::Job : public QRunnable
{
public:
    Job(MetafileTiles *owner, int generation, QRect run)
        : m_owner(owner), m_reply(owner->m_reply.handle()), m_shared(owner->m_shared), m_generation(generation),
          m_run(run), m_deviceSize(owner->m_deviceSize), m_render(owner->m_render)
    {}

    void run() override
    {
        yieldToTheWindow();
        const bool wanted = stillWanted();
        Delivery tiles;
        if (wanted)
            tiles = draw();
        m_reply.post([owner = m_owner, generation = m_generation, run = m_run, tiles = std::move(tiles), wanted] {
            owner->accept(generation, run, tiles, wanted);
        });
    }

private:
    bool stillWanted() const
    {
        QMutexLocker lock(&m_shared->mutex);
        if (m_shared->generation != m_generation)
            return false;
        for (int i = m_run.left(); i <= m_run.right(); ++i) {
            if (m_shared->wanted.contains(QPoint(i, m_run.top())))
                return true;
        }
        return false;
    }

    Delivery draw() const
    {
        const QRect pixels = pixelsOf(m_run, m_deviceSize);
        QImage canvas(pixels.size(), QImage::Format_RGB32);
        Delivery tiles;
        if (canvas.isNull())
            return tiles;
        // The picture area is white; the records draw over it as over the window.
        canvas.fill(Qt::white);
        {
            QPainter painter(&canvas);
            painter.translate(-pixels.topLeft());
            m_render(painter, QRectF(QPointF(0, 0), QSizeF(m_deviceSize)));
        }
        for (int i = m_run.left(); i <= m_run.right(); ++i) {
            const QPoint index(i, m_run.top());
            const QRect place = QRect(index * TileSide - pixels.topLeft(), QSize(TileSide, TileSide));
            tiles.emplace_back(index, canvas.copy(place.intersected(canvas.rect())));
        }
        return tiles;
    }

    MetafileTiles *m_owner; // only touched through the reply, on its thread
    ReplyChannel::Handle m_reply;
    std::shared_ptr<Shared> m_shared;
    int m_generation;
    QRect m_run;
    QSize m_deviceSize;
    Renderer m_render;
};

MetafileTiles::MetafileTiles(qint64 budgetBytes, QObject *parent)
    : QObject(parent), m_reply(this), m_shared(std::make_shared<Shared>()), m_budget(budgetBytes)
{}

// Work not started yet finds itself unwanted; work in flight finds the
// reply closed. Neither is waited for.
MetafileTiles::~MetafileTiles()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->generation = -1;
}

void MetafileTiles::setRenderer(Renderer render)
{
    m_render = std::move(render);
    m_scale = 0;
    m_deviceSize = QSize();
    m_lastShown = QRect();
    startGeneration(false);
}

void MetafileTiles::startGeneration(bool keepAsStand)
{
    m_stand.tiles.clear();
    if (keepAsStand && !m_tiles.isEmpty()) {
        m_stand.deviceSize = m_deviceSize;
        for (auto it = m_tiles.cbegin(); it != m_tiles.cend(); ++it)
            m_stand.tiles.insert(it.key(), it->image);
    }
    m_tiles.clear();
    m_ages.clear();
    m_requested.clear();
    m_bytes = 0;
    for (const QImage &image : std::as_const(m_stand.tiles))
        m_bytes += image.sizeInBytes();
    ++m_generation;
    QMutexLocker lock(&m_shared->mutex);
    m_shared->generation = m_generation;
    m_shared->wanted.clear();
}

void MetafileTiles::paint(QPainter &painter, const QRect &exposed, QSize logicalSize)
{
    if (!m_render)
        return;
    const QTransform device = painter.deviceTransform();
    const qreal scale = device.m11();
    const QSize deviceSize = scaled(logicalSize, scale);
    if (scale != m_scale || deviceSize != m_deviceSize) {
        startGeneration(m_scale != 0);
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
    const QRect ahead = tiles.adjusted(-MarginTiles, -MarginTiles, MarginTiles, MarginTiles).intersected(lastTile);
    m_lastShown = tiles;
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->wanted.clear();
        for (int j = ahead.top(); j <= ahead.bottom(); ++j)
            for (int i = ahead.left(); i <= ahead.right(); ++i)
                m_shared->wanted.insert(QPoint(i, j));
    }
    request(tiles, ShownPriority);
    // Drawn ahead only where the bound leaves room for them beside those shown.
    const qint64 tileBytes = qint64(TileSide) * TileSide * 4;
    if (qint64(ahead.width()) * ahead.height() * tileBytes <= m_budget)
        request(ahead, AheadPriority);

    // One unit a device pixel, the picture's corner on a whole pixel.
    painter.save();
    const QPointF corner = device.map(QPointF(0, 0));
    painter.setWorldTransform(QTransform::fromTranslate(std::round(corner.x()), std::round(corner.y())) *
                              device.inverted() * painter.worldTransform());
    for (int j = tiles.top(); j <= tiles.bottom(); ++j) {
        for (int i = tiles.left(); i <= tiles.right(); ++i) {
            const QPoint index(i, j);
            auto found = m_tiles.find(index);
            if (found == m_tiles.end()) {
                drawStandIn(painter, pixelsOf(QRect(index, QSize(1, 1)), deviceSize));
                continue;
            }
            touch(*found, index);
            painter.drawImage(index * TileSide, found->image);
        }
    }
    painter.restore();
}

// The tiles of Tiles neither kept nor asked for yet, asked for in runs of
// one row.
void MetafileTiles::request(const QRect &tiles, int priority)
{
    for (int j = tiles.top(); j <= tiles.bottom(); ++j) {
        QRect run;
        const auto flush = [&] {
            if (run.isEmpty())
                return;
            for (int i = run.left(); i <= run.right(); ++i)
                m_requested.insert(QPoint(i, j));
            workerPool()->start(new Job(this, m_generation, run), priority);
            run = QRect();
        };
        for (int i = tiles.left(); i <= tiles.right(); ++i) {
            const QPoint index(i, j);
            if (m_tiles.contains(index) || m_requested.contains(index)) {
                flush();
                continue;
            }
            run |= QRect(index, QSize(1, 1));
            if (run.width() == RunTiles)
                flush();
        }
        flush();
    }
}

void MetafileTiles::accept(int generation, const QRect &run, const Delivery &tiles, bool played)
{
    if (generation != m_generation)
        return;
    for (int i = run.left(); i <= run.right(); ++i)
        m_requested.remove(QPoint(i, run.top()));
    if (!played)
        return;
    ++m_playbacks;
    for (const auto &[index, image] : tiles) {
        if (!m_tiles.contains(index))
            keep(index, image, m_lastShown.contains(index));
    }
    const QRect pixels = pixelsOf(run, m_deviceSize);
    emit tilesArrived(
        QRectF(pixels.x() / m_scale, pixels.y() / m_scale, pixels.width() / m_scale, pixels.height() / m_scale)
            .toAlignedRect());
}

// Until its tile arrives, an area shows what was drawn at the zoom or scale
// before, stretched, or the picture area's white.
void MetafileTiles::drawStandIn(QPainter &painter, const QRect &pixels) const
{
    painter.fillRect(pixels, Qt::white);
    if (m_stand.tiles.isEmpty() || m_stand.deviceSize.isEmpty())
        return;
    const qreal fx = qreal(m_deviceSize.width()) / m_stand.deviceSize.width();
    const qreal fy = qreal(m_deviceSize.height()) / m_stand.deviceSize.height();
    const QRectF old(pixels.x() / fx, pixels.y() / fy, pixels.width() / fx, pixels.height() / fy);
    const QRect oldTiles = old.toAlignedRect();
    painter.save();
    painter.setClipRect(pixels);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int j = oldTiles.top() / TileSide; j <= oldTiles.bottom() / TileSide; ++j) {
        for (int i = oldTiles.left() / TileSide; i <= oldTiles.right() / TileSide; ++i) {
            const auto found = m_stand.tiles.constFind(QPoint(i, j));
            if (found == m_stand.tiles.cend())
                continue;
            const QRectF place(i * TileSide * fx, j * TileSide * fy, found->width() * fx, found->height() * fy);
            painter.drawImage(place, *found);
        }
    }
    painter.restore();
}

bool MetafileTiles::complete() const
{
    for (int j = m_lastShown.top(); j <= m_lastShown.bottom(); ++j)
        for (int i = m_lastShown.left(); i <= m_lastShown.right(); ++i)
            if (!m_tiles.contains(QPoint(i, j)))
                return false;
    return true;
}

bool MetafileTiles::waitUntilComplete(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!complete() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return complete();
}

void MetafileTiles::keep(QPoint index, QImage image, bool shown)
{
    const qint64 size = image.sizeInBytes();
    // The stand-in goes first: it is only there until its tiles arrive.
    if (m_bytes + size > m_budget && !m_stand.tiles.isEmpty()) {
        for (const QImage &old : std::as_const(m_stand.tiles))
            m_bytes -= old.sizeInBytes();
        m_stand.tiles.clear();
    }
    evictTo(m_budget - size);
    // A tile ahead never pushes out one shown.
    if (m_bytes + size > m_budget && !shown)
        return;
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

// The least recently shown go first; those shown last stay.
void MetafileTiles::evictTo(qint64 budget)
{
    for (auto age = m_ages.begin(); m_bytes > budget && age != m_ages.end();) {
        if (m_lastShown.contains(*age)) {
            ++age;
            continue;
        }
        const auto oldest = m_tiles.find(*age);
        m_bytes -= oldest->image.sizeInBytes();
        m_tiles.erase(oldest);
        age = m_ages.erase(age);
    }
}
