// The one exception type the serial control throws; only the port-opening
// procedures catch it (at start-up, on a choice from the list, and when a lost
// port's device is back).
#pragma once

#include "serial/device_holder.h"

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

    // What went wrong in words a user can read (the system's own among them).
    QString message() const { return m_message; }
    Reason reason() const { return m_reason; }
    // The device concerned, such as "/dev/ttyUSB0"; empty when COMn has none.
    QString device() const { return m_device; }

    // Who holds the device, when the reason is InUse (Unknown otherwise).
    const DeviceHolder &holder() const { return m_holder; }
    void setHolder(const DeviceHolder &holder) { m_holder = holder; }

private:
    QString m_message;
    Reason m_reason = Reason::Other;
    QString m_device;
    DeviceHolder m_holder;
};
