#pragma once
// The one exception type of the program: a failure with a user-facing message.

#include <QString>

#include <stdexcept>

class VantrixError : public std::runtime_error
{
public:
    explicit VantrixError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}

    const QString &message() const { return m_message; }

private:
    QString m_message;
};
