#include "capture/ImagePic.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

ImagePicWidget::ImagePicWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ImagePic"));
    setMouseTracking(true);
    setCursor(Qt::WhatsThisCursor);
    setFocusPolicy(Qt::NoFocus);
    resize(EmptySize);
}

void ImagePicWidget::setPicture(Picture picture)
{
    m_picture = std::move(picture);
    m_doubled = false;
    applySize();
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
    m_picture.draw(painter, rect(), event->rect());
}

void ImagePicWidget::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved(event->position().toPoint());
}

void ImagePicWidget::mouseReleaseEvent(QMouseEvent *event)
{
    emit mouseReleased(event->button());
}
