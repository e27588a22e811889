#pragma once
// The picture control: shows one picture at natural size or doubled, and
// reports pointer movement and button releases in its own coordinates.

#include "capture/Picture.h"

#include <QWidget>

class ImagePicWidget : public QWidget
{
    Q_OBJECT
public:
    // Size of the empty control before any picture is opened.
    static constexpr QSize EmptySize{216, 31};

    explicit ImagePicWidget(QWidget *parent = nullptr);

    Picture &picture() { return m_picture; }
    const Picture &picture() const { return m_picture; }
    bool hasPicture() const { return !m_picture.isEmpty(); }

    // Takes a new picture at natural size.
    void setPicture(Picture picture);

    // Natural size or doubled; sizes the control to the picture.
    void setDoubled(bool doubled);
    bool isDoubled() const { return m_doubled; }

signals:
    void mouseMoved(QPoint position);
    void mouseReleased(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void applySize();

    Picture m_picture;
    bool m_doubled = false;
};
