#pragma once
// Tool-button tooltips: shown after 500 ms, hidden again after 2500 ms.

#include <QObject>
#include <QProxyStyle>

class ToolTipStyle : public QProxyStyle
{
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    static constexpr int WakeUpDelay = 500;
    static constexpr int DisplayTime = 2500;

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};

// Installed on a widget, shows its tooltip for DisplayTime only.
class ToolTipTimer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
