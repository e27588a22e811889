#include "ui/DeviceFrameStyle.h"

#include <QEvent>
#include <QFrame>
#include <QImage>
#include <QPainter>
#include <QStyleOptionFrame>

#include <algorithm>
#include <cmath>

namespace {

// Offsets of whole device pixels may carry rounding noise far below this.
constexpr qreal SamePlace = 1e-6;
// Frames deeper than this are drawn by the style alone.
constexpr int MostRings = 4;
// Room inside a sample's rings, so that each side is read in its middle.
constexpr int SampleInside = 6;

bool whole(qreal value)
{
    return std::abs(value - std::round(value)) < SamePlace;
}

// Where Qt places a control of logical rectangle Rect, and clips it: each
// edge on the device pixel its place, rounded, falls on.
QRect placed(const QTransform &device, const QRect &rect)
{
    const QPointF topLeft = device.map(QPointF(rect.topLeft()));
    const QPointF bottomRight = device.map(QPointF(rect.x() + rect.width(), rect.y() + rect.height()));
    return QRect(QPoint(qRound(topLeft.x()), qRound(topLeft.y())),
                 QPoint(qRound(bottomRight.x()) - 1, qRound(bottomRight.y()) - 1));
}

int sampleSide(int rings)
{
    return 2 * rings + SampleInside;
}

} // namespace

bool DeviceFrameStyle::onDevicePixels(const QTransform &device)
{
    return device.type() <= QTransform::TxScale && whole(device.m11()) && whole(device.m22()) && whole(device.dx()) &&
           whole(device.dy());
}

DeviceFrameStyle::Rings DeviceFrameStyle::ringsOf(const QImage &sample, int count)
{
    Rings rings;
    const int last = sample.width() - 1;
    const int middle = sample.width() / 2;
    for (int ring = 0; ring < count; ++ring)
        rings.push_back({sample.pixel(ring, middle), sample.pixel(middle, ring), sample.pixel(last - ring, middle),
                         sample.pixel(middle, last - ring)});
    return rings;
}

void DeviceFrameStyle::paintRings(QPainter &painter, const QRect &rect, const Rings &rings)
{
    const QTransform device = painter.deviceTransform();
    painter.save();
    // From here on one unit is one device pixel.
    painter.setWorldTransform(device.inverted() * painter.worldTransform());
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Each ring ends where a control inside it would start, but takes one
    // device pixel at least: a child that rounds onto it is painted over.
    QRect outer = placed(device, rect);
    for (int ring = 0; ring < int(rings.size()); ++ring) {
        const auto &[left, top, right, bottom] = rings[std::size_t(ring)];
        QRect inner = placed(device, rect.adjusted(ring + 1, ring + 1, -ring - 1, -ring - 1));
        inner.setCoords(std::max(inner.left(), outer.left() + 1), std::max(inner.top(), outer.top() + 1),
                        std::min(inner.right(), outer.right() - 1), std::min(inner.bottom(), outer.bottom() - 1));
        painter.fillRect(QRect(outer.topLeft(), QPoint(outer.right(), inner.top() - 1)), QColor::fromRgba(top));
        painter.fillRect(QRect(QPoint(outer.left(), inner.bottom() + 1), outer.bottomRight()),
                         QColor::fromRgba(bottom));
        painter.fillRect(QRect(QPoint(outer.left(), inner.top()), QPoint(inner.left() - 1, inner.bottom())),
                         QColor::fromRgba(left));
        painter.fillRect(QRect(QPoint(inner.right() + 1, inner.top()), QPoint(outer.right(), inner.bottom())),
                         QColor::fromRgba(right));
        outer = inner;
    }
    painter.restore();
}

DeviceFrameStyle::Rings DeviceFrameStyle::ringsOf(const QFrame &frame)
{
    const int count = frame.frameWidth();
    if (count < 1 || count > MostRings)
        return {};
    QFrame sampler;
    sampler.setFrameStyle(frame.frameStyle());
    sampler.setLineWidth(frame.lineWidth());
    sampler.setMidLineWidth(frame.midLineWidth());
    sampler.setPalette(frame.palette());
    sampler.setStyle(frame.style());
    const int side = sampleSide(count);
    sampler.resize(side, side);
    QImage sample(side, side, QImage::Format_ARGB32_Premultiplied);
    sample.fill(Qt::transparent);
    sampler.render(&sample, QPoint(), QRegion(), QWidget::DrawChildren);
    return ringsOf(sample, count);
}

void DeviceFrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                     const QWidget *widget) const
{
    const auto *frame = element == PE_Frame ? qstyleoption_cast<const QStyleOptionFrame *>(option) : nullptr;
    if (!frame || !painter || onDevicePixels(painter->deviceTransform()) || frame->lineWidth > MostRings) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const int count = std::max(frame->lineWidth, 1);
    QStyleOptionFrame sampleOption = *frame;
    const int side = sampleSide(count);
    QImage sample(side, side, QImage::Format_ARGB32_Premultiplied);
    sample.fill(Qt::transparent);
    sampleOption.rect = sample.rect();
    {
        QPainter samplePainter(&sample);
        QProxyStyle::drawPrimitive(PE_Frame, &sampleOption, &samplePainter, widget);
    }
    paintRings(*painter, option->rect, ringsOf(sample, count));
}

FrameOverlay *FrameOverlay::attach(QFrame *frame)
{
    return new FrameOverlay(frame);
}

FrameOverlay::FrameOverlay(QFrame *frame) : QWidget(frame), m_frame(frame)
{
    setObjectName(frame->objectName() + QStringLiteral("FrameOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(frame->rect());
    frame->installEventFilter(this);
    raise();
    show();
}

bool FrameOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_frame) {
        switch (event->type()) {
        case QEvent::Resize:
            setGeometry(m_frame->rect());
            break;
        case QEvent::ChildAdded:
            raise();
            break;
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
            m_rings.clear();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrameOverlay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (DeviceFrameStyle::onDevicePixels(painter.deviceTransform()))
        return; // the frame draws itself whole
    if (m_rings.empty())
        m_rings = DeviceFrameStyle::ringsOf(*m_frame);
    DeviceFrameStyle::paintRings(painter, m_frame->frameRect(), m_rings);
}
