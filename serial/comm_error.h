// The one exception type the serial control throws; only the two port-opening
// procedures catch it.
#pragma once

#include <QString>

#include <stdexcept>

class CommError : public std::runtime_error
{
public:
    explicit CommError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }

    QString message() const { return m_message; }

private:
    QString m_message;
};
