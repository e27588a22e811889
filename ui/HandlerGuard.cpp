#include "ui/HandlerGuard.h"

#include "base/Environment.h"
#include "base/Failure.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

QString failureMessage(const std::exception &failure)
{
    if (const auto *ours = dynamic_cast<const VantrixError *>(&failure))
        return ours->message();
    return QString::fromLocal8Bit(failure.what());
}

QString failureText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void showFailure(const QString &message)
{
    // A grab in progress would keep the pointer from reaching the box.
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QMessageBox box(QMessageBox::Critical, ApplicationTitle, failureText(message), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("FailureBox"));
    box.exec();
}
