#include "ui/ToolTipStyle.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

int ToolTipStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                            QStyleHintReturn *returnData) const
{
    if (hint == QStyle::SH_ToolTip_WakeUpDelay)
        return WakeUpDelay;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

bool ToolTipTimer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && !widget->toolTip().isEmpty()) {
            const auto *help = static_cast<QHelpEvent *>(event);
            QToolTip::showText(help->globalPos(), widget->toolTip(), widget, widget->rect(), ToolTipStyle::DisplayTime);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
