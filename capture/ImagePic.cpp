#include "capture/ImagePic.h"

#include "capture/FloodFill.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <cmath>

namespace {

// Device pixels are whole numbers; a transform's offsets may carry rounding
// noise far below this.
constexpr qreal SamePlace = 1e-6;

// Picture coordinates for device pixels First, First + 1, ... Count - 1 of
// one axis: the control coordinate each falls in, divided by Factor. Only
// the run that lands on the picture is kept; First moves to its start.
std::vector<int> pictureCoordinates(int &first, int count, qreal windowShift, int offset, qreal ratio, int factor,
                                    int pictureSide)
{
    std::vector<int> coordinates;
    coordinates.reserve(std::size_t(std::max(count, 0)));
    int start = first;
    for (int d = first; d < first + count; ++d) {
        const int control = ImagePicWidget::controlCoordinate(d + windowShift, offset, ratio);
        if (control < 0) {
            start = d + 1;
            continue;
        }
        const int at = control / factor;
        if (at >= pictureSide)
            break;
        coordinates.push_back(at);
    }
    first = start;
    return coordinates;
}

} // namespace

ImagePicWidget::ImagePicWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ImagePic"));
    setAccessibleName(QStringLiteral("Figuur"));
    setMouseTracking(true);
    setCursor(Qt::WhatsThisCursor);
    setFocusPolicy(Qt::NoFocus);
    resize(EmptySize);
}

int ImagePicWidget::controlCoordinate(qreal pixel, int offset, qreal ratio)
{
    return int(std::floor((pixel + 0.5) / ratio)) - offset;
}

void ImagePicWidget::setPicture(Picture picture)
{
    m_picture = std::move(picture);
    m_tiles.clear();
    m_doubled = false;
    applySize();
    update();
}

void ImagePicWidget::useBlankBitmapIfEmpty()
{
    if (!hasPicture()) {
        m_picture = Picture::blankBitmap(size());
        m_tiles.clear();
    }
}

QRgb ImagePicWidget::bitmapPixel(QPoint at)
{
    const QImage &bitmap = m_picture.bitmap();
    return bitmap.valid(at) ? bitmap.pixel(at) : 0;
}

void ImagePicWidget::floodFill(QPoint at, QRgb from, QRgb to)
{
    ::floodFill(m_picture.bitmap(), at, from, to);
    update();
}

void ImagePicWidget::setDoubled(bool doubled)
{
    m_doubled = doubled;
    applySize();
    update();
}

void ImagePicWidget::applySize()
{
    const int factor = m_doubled ? 2 : 1;
    const QSize size = m_picture.size();
    resize(size.width() * factor, size.height() * factor);
}

void ImagePicWidget::paintEvent(QPaintEvent *event)
{
    if (m_picture.isEmpty())
        return;
    QPainter painter(this);
    if (painter.deviceTransform().type() > QTransform::TxScale) {
        m_picture.draw(painter, rect(), event->rect());
        return;
    }
    if (m_picture.kind() == Picture::Kind::Metafile) {
        m_tiles.paint(painter, event->rect().intersected(rect()), size(), metafileRenderer());
        // Once the window has shown it, the tiles around are drawn ahead.
        if (!m_drawAheadPending) {
            m_drawAheadPending = true;
            QTimer::singleShot(0, this, [this] {
                m_drawAheadPending = false;
                m_tiles.drawAhead(metafileRenderer());
            });
        }
        return;
    }
    paintPixels(painter, event->rect().intersected(rect()));
}

MetafileTiles::Renderer ImagePicWidget::metafileRenderer() const
{
    return [this](QPainter &tile, const QRectF &target) { m_picture.drawScaled(tile, target); };
}

void ImagePicWidget::paintPixels(QPainter &painter, const QRect &exposed)
{
    if (exposed.isEmpty())
        return;
    const QTransform device = painter.deviceTransform();
    const qreal ratio = device.m11();
    const QPoint offset = mapTo(window(), QPoint(0, 0));
    // On screen the painter's device is the window's, and a device pixel is
    // the window's own; rendered elsewhere, it is shifted to where the
    // window would have it.
    const QPointF origin = device.map(QPointF(0, 0));
    QPointF shift = QPointF(offset) * ratio - origin;
    if (std::abs(shift.x()) < SamePlace)
        shift.setX(0);
    if (std::abs(shift.y()) < SamePlace)
        shift.setY(0);

    const QRect pixels = device.mapRect(QRectF(exposed)).toAlignedRect();
    const int factor = m_doubled ? 2 : 1;
    int left = pixels.left();
    int top = pixels.top();
    const std::vector<int> columns =
        pictureCoordinates(left, pixels.width(), shift.x(), offset.x(), ratio, factor, m_picture.size().width());
    const std::vector<int> rows = pictureCoordinates(top, pixels.height(), shift.y(), offset.y(), device.m22(), factor,
                                                     m_picture.size().height());
    m_picture.drawPixels(painter, QPoint(left, top), columns, rows);
}

QPoint ImagePicWidget::exactPosition(QPointF inWindow) const
{
    // A place in the window is exact, in logical units, and names a whole
    // device pixel.
    const qreal ratio = devicePixelRatioF();
    const QPoint offset = mapTo(window(), QPoint(0, 0));
    return {controlCoordinate(std::round(inWindow.x() * ratio), offset.x(), ratio),
            controlCoordinate(std::round(inWindow.y() * ratio), offset.y(), ratio)};
}

QPoint ImagePicWidget::controlPosition(const QMouseEvent *event) const
{
    // An event's place in the control is cut to whole units; its place in
    // the window is exact. The move that comes with entering the control
    // has no place in the window, but the entering itself had one.
    const QPointF inControl = event->scenePosition() - QPointF(mapTo(window(), QPoint(0, 0)));
    if (std::abs(inControl.x() - event->position().x()) < 1 && std::abs(inControl.y() - event->position().y()) < 1)
        return exactPosition(event->scenePosition());
    if (m_entered && m_entered->first == event->globalPosition())
        return m_entered->second;
    return event->position().toPoint();
}

void ImagePicWidget::enterEvent(QEnterEvent *event)
{
    m_entered = {event->globalPosition(), exactPosition(event->scenePosition())};
    QWidget::enterEvent(event);
}

void ImagePicWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_leftHeld = true;
    QWidget::mousePressEvent(event);
}

void ImagePicWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint position = controlPosition(event);
    // Another button held down also keeps the pointer here, but only the
    // left one tracks it outside the control.
    if (rect().contains(position) || m_leftHeld)
        emit mouseMoved(position);
}

void ImagePicWidget::mouseReleaseEvent(QMouseEvent *event)
{
    const bool counts = rect().contains(controlPosition(event)) || m_leftHeld;
    if (event->button() == Qt::LeftButton)
        m_leftHeld = false;
    if (counts)
        emit mouseReleased(event->button());
}
