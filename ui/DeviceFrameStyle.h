#pragma once
// Frames whole at any display scale. At a scale like 1.25 or 1.5 a frame's
// one-unit lines fall between device pixels: Qt draws them half a pixel
// outside the control, where nothing shows, or the control's children,
// placed by rounding, paint over them. Here such a frame fills, ring by
// ring, the device pixels between the control's edge and its inside, in
// the colours the underlying style gives each side.

#include <QProxyStyle>
#include <QWidget>

#include <array>
#include <vector>

class QFrame;

class DeviceFrameStyle : public QProxyStyle
{
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;

    // The colours of a frame's rings from the outside in: left, top, right
    // and bottom.
    using Rings = std::vector<std::array<QRgb, 4>>;

    // Whether a painter with this device transform meets device pixels at
    // every whole logical unit, so that frames need no help.
    static bool onDevicePixels(const QTransform &device);
    // The rings of a frame drawn on a small sample image, Count deep.
    static Rings ringsOf(const QImage &sample, int count);
    // Fills the rings around the logical rectangle Rect, where Qt places
    // a control and its inside on the device.
    static void paintRings(QPainter &painter, const QRect &rect, const Rings &rings);
    // The rings of a frame of Frame's shape, shadow and widths.
    static Rings ringsOf(const QFrame &frame);
};

// A transparent layer over a frame with children (a list and its scroll
// bars), drawn after them, that keeps the frame whole at fractional scales.
class FrameOverlay : public QWidget
{
    Q_OBJECT
public:
    static FrameOverlay *attach(QFrame *frame);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    explicit FrameOverlay(QFrame *frame);

    QFrame *m_frame;
    DeviceFrameStyle::Rings m_rings; // sampled at the first fractional paint
};
