#pragma once
// The picture control: shows one picture at natural size or doubled, and
// reports pointer movement and button releases in picture coordinates.
//
// A position is the control's pixel column and row that the screen shows
// under the pointer, at any display scale: the device pixel the pointer is
// on belongs to the logical pixel that holds its centre, and bitmaps are
// painted by the same rule, so every device pixel shows exactly one picture
// pixel and the position names the pixel the user sees.

#include "picture/MetafileTiles.h"
#include "picture/Picture.h"

#include <QWidget>

class QSinglePointEvent;
struct PointerSample;

#include <optional>

class ImagePicWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool viewComplete READ viewComplete)
public:
    // Size of the empty control before any picture is opened.
    static constexpr QSize EmptySize{216, 31};

    explicit ImagePicWidget(QWidget *parent = nullptr);

    const Picture &picture() const { return m_picture; }
    bool hasPicture() const { return !m_picture.isEmpty(); }

    // The flash paints on a bitmap: with no picture open, a white one of the
    // control's size takes its place (size and zoom stay as they are).
    void useBlankBitmapIfEmpty();
    // The colour of bitmap pixel At, 0 outside the bitmap. Like the fill,
    // refuses icons and metafiles ("Can only modify an image if it contains
    // a bitmap").
    QRgb bitmapPixel(QPoint at);
    // Fills the area of colour From around At with To and repaints.
    void floodFill(QPoint at, QRgb from, QRgb to);

    // Takes a new picture at natural size.
    void setPicture(Picture picture);

    // A reduced view of a picture of FullSize still being opened, shown
    // stretched at natural size until the picture comes or is dropped.
    void showFirstView(const QImage &reduced, QSize fullSize);
    void dropFirstView();
    bool showingFirstView() const { return !m_firstView.isNull(); }

    // Natural size or doubled; sizes the control to the picture.
    void setDoubled(bool doubled);

    // Whether what was painted last shows the picture whole: metafile tiles
    // still being drawn show a stand-in until they arrive.
    bool viewComplete() const;

    // The control coordinate that window device pixel Pixel (its left or top
    // edge) falls in, for a control whose logical offset in its window is
    // Offset, at device pixel ratio Ratio.
    static int controlCoordinate(qreal pixel, int offset, qreal ratio);

    // The control position of the device pixel under a pointer at Global,
    // in a window whose first device pixel lies at WindowOrigin (both in
    // logical units), for a control at logical Offset in that window. The
    // read-out, the capture and the flash all take their pixel from here.
    static QPoint positionAt(QPointF global, QPointF windowOrigin, QPoint offset, qreal ratio);

    // The text telling that a picture is shown in part.
    static QString drawnInPartMessage();

    // The picture coordinate that control position Position shows: halved
    // (toward zero) when doubled, so outside the control it may be negative
    // or past the picture's edge.
    QPoint pictureCoordinate(QPoint position) const;

signals:
    // The picture coordinate under the pointer, after every move (of the
    // pointer or of the view under it).
    void mouseMoved(QPoint pictureAt);
    // Once a picture: its drawing needed more work than a picture may take,
    // and what shows lacks the rest.
    void pictureDrawnInPart();
    // A button was released with the pointer at picture coordinate PictureAt.
    void mouseReleased(Qt::MouseButton button, QPoint pictureAt);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applySize();
    QPoint positionOf(const QSinglePointEvent *event, const QWidget *receiver);
    // The window system's own record of the event's place, where it has one.
    std::optional<PointerSample> windowSample(const QSinglePointEvent *event) const;
    QPoint positionOfDevicePixel(QPointF inWindow) const;
    // Reports the pixel under a resting pointer after the view moved.
    void followPointer();
    void buttonPressed(Qt::MouseButton button);
    void pointerMoved(QPoint position);
    void buttonReleased(Qt::MouseButton button, QPoint position);
    void paintPixels(QPainter &painter, const QRect &exposed);
    void showOnTiles();
    void tellIfDrawnInPart();

    Picture m_picture;
    QImage m_firstView;
    // Metafiles as drawn at the current zoom and display scale.
    MetafileTiles m_tiles;
    bool m_doubled = false;
    // A left press on the control holds the pointer until the left release:
    // movement and a release outside still count.
    bool m_leftHeld = false;
    // Where the window's first device pixel lies on the screen, in logical
    // units, as the last event with a place in the window told.
    std::optional<QPointF> m_windowOrigin;
    // The pointer's last global place, and whether it is over the picture
    // area (this control or its parent) since.
    std::optional<QPointF> m_lastGlobal;
    bool m_pointerOver = false;
    bool m_toldDrawnInPart = false;
};
