#include "ui/HandlerGuard.h"

#include "base/Environment.h"
#include "base/Failure.h"
#include "ui/MessageBoxes.h"

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
    showMessage(
        MessageOptions::oneButton(ApplicationTitle, QString(), failureText(message), MessageType::Error, QString()),
        MessageDialog::Failure);
}
