#include "capture/PictureNotice.h"

#include <QAccessible>
#include <QEvent>
#include <QTimer>

namespace {

constexpr int Margin = 4;

} // namespace

PictureNotice::PictureNotice(QWidget *area) : QLabel(area), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("PictureNotice"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setWordWrap(true);
    setMargin(Margin);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setAutoFillBackground(true);
    m_timer->setSingleShot(true);
    m_timer->setInterval(ShownMs);
    connect(m_timer, &QTimer::timeout, this, &PictureNotice::withdraw);
    area->installEventFilter(this);
    hide();
}

void PictureNotice::tell(const QString &text)
{
    setText(text);
    setAccessibleName(text);
    placeOverArea();
    show();
    raise();
    m_timer->start();
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void PictureNotice::withdraw()
{
    m_timer->stop();
    hide();
}

bool PictureNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        placeOverArea();
    return QLabel::eventFilter(watched, event);
}

void PictureNotice::placeOverArea()
{
    const int width = std::max(0, parentWidget()->width() - 2 * Margin);
    setGeometry(Margin, Margin, width, heightForWidth(width));
}
