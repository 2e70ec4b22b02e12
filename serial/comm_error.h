// The one exception type the serial control throws; only the two port-opening
// procedures catch it.
#pragma once

#include <QString>

#include <stdexcept>

class CommError : public std::runtime_error
{
public:
    // What went wrong, in terms a message to the user can be chosen by.
    enum class Reason {
        Other, // see message()
        NoDevice, // no device for COMn, or its device node is gone
        PermissionDenied, // the user may not open the device
        InUse, // another program holds the device
        HungUp, // the line was hung up while open
    };

    explicit CommError(const QString &message, Reason reason = Reason::Other,
                       const QString &device = {})
        : std::runtime_error(message.toStdString())
        , m_message(message)
        , m_reason(reason)
        , m_device(device)
    {
    }

    QString message() const { return m_message; }
    Reason reason() const { return m_reason; }
    // The device concerned, such as "/dev/ttyUSB0"; empty when COMn has none.
    QString device() const { return m_device; }

    // The program holding the device, when the reason is InUse and the
    // system says which (0 and empty otherwise).
    qint64 holderPid() const { return m_holderPid; }
    QString holderName() const { return m_holderName; }
    void setHolder(qint64 pid, const QString &name)
    {
        m_holderPid = pid;
        m_holderName = name;
    }

private:
    QString m_message;
    Reason m_reason = Reason::Other;
    QString m_device;
    qint64 m_holderPid = 0;
    QString m_holderName;
};
