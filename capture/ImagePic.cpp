#include "capture/ImagePic.h"

#include "base/WorkerPool.h"
#include "picture/FloodFill.h"
#include "ui/DevicePointer.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QThreadPool>

#include <cmath>

namespace {

// Device pixels are whole numbers; a transform's offsets may carry rounding
// noise far below this.
constexpr qreal SamePlace = 1e-6;
// Room for a device pixel more when matching Qt's rounded places.
constexpr qreal RoundingSlack = 0.5;

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
    // The window system's places are kept from the first event on.
    DevicePointer::instance();
    connect(&m_tiles, &MetafileTiles::tilesArrived, this, qOverload<const QRect &>(&QWidget::update));
    connect(&m_tiles, &MetafileTiles::tilesArrived, this, &ImagePicWidget::tellIfDrawnInPart);
}

QString ImagePicWidget::drawnInPartMessage()
{
    return QStringLiteral("This picture needs more drawing work than a picture may take: part of it is not shown");
}

// The tiles are drawn on the workers; the picture knows, once one of them
// ran out of work, that what shows lacks the rest.
void ImagePicWidget::tellIfDrawnInPart()
{
    if (!m_toldDrawnInPart && m_picture.drawnInPart()) {
        m_toldDrawnInPart = true;
        emit pictureDrawnInPart();
    }
}

int ImagePicWidget::controlCoordinate(qreal pixel, int offset, qreal ratio)
{
    return int(std::floor((pixel + 0.5) / ratio)) - offset;
}

void ImagePicWidget::setPicture(Picture picture)
{
    m_firstView = QImage();
    // A large picture takes a while to give back to the system: the worker
    // that ends the last copy of it does so.
    workerPool()->start([old = std::exchange(m_picture, std::move(picture))] {});
    m_toldDrawnInPart = false;
    showOnTiles();
    m_doubled = false;
    applySize();
    update();
}

void ImagePicWidget::showFirstView(const QImage &reduced, QSize fullSize)
{
    m_firstView = reduced;
    resize(fullSize);
    update();
}

void ImagePicWidget::dropFirstView()
{
    m_firstView = QImage();
    applySize();
    update();
}

void ImagePicWidget::useBlankBitmapIfEmpty()
{
    if (!hasPicture()) {
        m_picture = Picture::blankBitmap(size());
        showOnTiles();
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
    if (!m_firstView.isNull()) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), m_firstView);
        return;
    }
    if (m_picture.isEmpty())
        return;
    QPainter painter(this);
    if (painter.deviceTransform().type() > QTransform::TxScale) {
        m_picture.draw(painter, rect(), event->rect());
        return;
    }
    if (m_picture.kind() == Picture::Kind::Metafile) {
        m_tiles.paint(painter, event->rect().intersected(rect()), size());
        return;
    }
    paintPixels(painter, event->rect().intersected(rect()));
}

void ImagePicWidget::showOnTiles()
{
    if (m_picture.kind() != Picture::Kind::Metafile) {
        m_tiles.setRenderer({});
        return;
    }
    // The workers draw from a copy of their own, which shares the bytes.
    m_tiles.setRenderer(
        [picture = m_picture](QPainter &tile, const QRectF &target) { picture.drawScaled(tile, target); });
}

bool ImagePicWidget::viewComplete() const
{
    if (!m_firstView.isNull())
        return false;
    return m_picture.kind() != Picture::Kind::Metafile || m_tiles.complete();
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

QPoint ImagePicWidget::positionAt(QPointF global, QPointF windowOrigin, QPoint offset, qreal ratio)
{
    // The device pixel in the window is a whole number; the logical places
    // carry it exactly but for rounding noise at scales like 1.25.
    const QPointF inWindow = (global - windowOrigin) * ratio;
    return {controlCoordinate(std::round(inWindow.x()), offset.x(), ratio),
            controlCoordinate(std::round(inWindow.y()), offset.y(), ratio)};
}

QPoint ImagePicWidget::positionOf(const QSinglePointEvent *event, const QWidget *receiver)
{
    m_pointerOver = true;
    m_lastGlobal = event->globalPosition();
    // The event's place in the receiver is cut to whole units; its place in
    // the window is exact, and with the global place tells where the
    // window's first device pixel lies. Qt makes up some events itself (the
    // move that comes with entering a control) with no place in the window:
    // those take the window's place from an earlier event.
    const QPointF inReceiver = event->scenePosition() - QPointF(receiver->mapTo(window(), QPoint(0, 0)));
    const QPointF delta = inReceiver - event->position();
    if (std::abs(delta.x()) < 1 && std::abs(delta.y()) < 1)
        m_windowOrigin = event->globalPosition() - event->scenePosition();
    if (const std::optional<PointerSample> sample = windowSample(event))
        return positionOfDevicePixel(sample->inWindow);
    const QPointF origin = m_windowOrigin.value_or(QPointF(window()->mapToGlobal(QPoint(0, 0))));
    return positionAt(event->globalPosition(), origin, mapTo(window(), QPoint(0, 0)), devicePixelRatioF());
}

std::optional<PointerSample> ImagePicWidget::windowSample(const QSinglePointEvent *event) const
{
    const QWidget *top = window();
    if (!top->internalWinId())
        return std::nullopt;
    // Qt's global place and the window's logical place are each rounded to
    // half a logical pixel at most.
    const qreal ratio = devicePixelRatioF();
    const QPointF approx = (event->globalPosition() - QPointF(top->mapToGlobal(QPoint(0, 0)))) * ratio;
    return DevicePointer::instance().trail().match(std::uint32_t(top->internalWinId()), event->timestamp(), approx,
                                                   ratio + RoundingSlack);
}

QPoint ImagePicWidget::positionOfDevicePixel(QPointF inWindow) const
{
    const QPoint offset = mapTo(window(), QPoint(0, 0));
    const qreal ratio = devicePixelRatioF();
    return {controlCoordinate(std::floor(inWindow.x()), offset.x(), ratio),
            controlCoordinate(std::floor(inWindow.y()), offset.y(), ratio)};
}

void ImagePicWidget::followPointer()
{
    // The view moved or changed under a pointer that stayed where it was:
    // the pixel under it is another one now.
    if (!m_pointerOver)
        return;
    const QWidget *top = window();
    std::optional<PointerSample> sample;
    if (top->internalWinId())
        sample = DevicePointer::instance().trail().latest(std::uint32_t(top->internalWinId()));
    if (sample)
        pointerMoved(positionOfDevicePixel(sample->inWindow));
    else if (m_lastGlobal && m_windowOrigin)
        pointerMoved(positionAt(*m_lastGlobal, *m_windowOrigin, mapTo(top, QPoint(0, 0)), devicePixelRatioF()));
}

void ImagePicWidget::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    followPointer();
}

void ImagePicWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    followPointer();
}

bool ImagePicWidget::event(QEvent *event)
{
    // The pointer on the right or bottom half of the last device pixel of a
    // column or row at some scales reaches the control's parent: Qt rounds
    // where we take the pixel the screen shows there.
    if (event->type() == QEvent::ParentAboutToChange && parentWidget())
        parentWidget()->removeEventFilter(this);
    if (event->type() == QEvent::ParentChange && parentWidget()) {
        parentWidget()->installEventFilter(this);
        parentWidget()->setMouseTracking(true);
    }
    return QWidget::event(event);
}

bool ImagePicWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != parentWidget())
        return QWidget::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type == QEvent::Leave)
        m_pointerOver = false;
    if (type == QEvent::Enter) {
        m_pointerOver = true;
        followPointer();
    }
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint position = positionOf(mouse, parentWidget());
    if (type == QEvent::MouseMove)
        pointerMoved(position);
    else if (type == QEvent::MouseButtonPress && rect().contains(position))
        buttonPressed(mouse->button());
    else if (type == QEvent::MouseButtonRelease)
        buttonReleased(mouse->button(), position);
    return false;
}

void ImagePicWidget::enterEvent(QEnterEvent *event)
{
    // The pointer comes back after a menu or a modal window, under which
    // the view may have changed: the read-out names the pixel under it.
    positionOf(event, this);
    followPointer();
    QWidget::enterEvent(event);
}

void ImagePicWidget::mousePressEvent(QMouseEvent *event)
{
    buttonPressed(event->button());
    QWidget::mousePressEvent(event);
}

void ImagePicWidget::mouseMoveEvent(QMouseEvent *event)
{
    pointerMoved(positionOf(event, this));
}

void ImagePicWidget::mouseReleaseEvent(QMouseEvent *event)
{
    buttonReleased(event->button(), positionOf(event, this));
}

void ImagePicWidget::buttonPressed(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_leftHeld = true;
}

void ImagePicWidget::pointerMoved(QPoint position)
{
    // Another button held down also keeps the pointer here, but only the
    // left one tracks it outside the control.
    if (rect().contains(position) || m_leftHeld)
        emit mouseMoved(pictureCoordinate(position));
}

QPoint ImagePicWidget::pictureCoordinate(QPoint position) const
{
    return m_doubled ? QPoint(position.x() / 2, position.y() / 2) : position;
}

void ImagePicWidget::buttonReleased(Qt::MouseButton button, QPoint position)
{
    const bool counts = rect().contains(position) || m_leftHeld;
    // The click is where the release is, whatever the moves before told.
    if (counts)
        emit mouseMoved(pictureCoordinate(position));
    if (button == Qt::LeftButton)
        m_leftHeld = false;
    if (counts)
        emit mouseReleased(button, pictureCoordinate(position));
}
