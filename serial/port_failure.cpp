// Why a port failed: from the device node, its permissions and the holder the
// system knows of (serial/device_holder).
#include "serial/port_failure.h"

#include "serial/device_holder.h"
#include "serial/port_failure_platform.h"

namespace {

const QString kCannotOpen = QStringLiteral("无法打开COM%1（%2）：%3");
const QString kHeld = QStringLiteral("无法打开COM%1（%2）：该设备正被其它程序占用。");
const QString kUnplugged = QStringLiteral("COM%1（%2）已被拔出。");
const QString kHungUp = QStringLiteral("COM%1（%2）的线路已挂断。");

CommError inUse(const QString &message, const QString &device)
{
    CommError error(message, CommError::Reason::InUse, device);
    error.setHolder(findDeviceHolder(device));
    return error;
}

} // namespace

CommError openFailure(int portNumber, const QString &device, OpenRefusal refusal,
                      const QString &detail)
{
    const QString message = kCannotOpen.arg(QString::number(portNumber), device, detail);
    if (refusal == OpenRefusal::NoDevice || deviceNodeGone(device))
        return CommError(message, CommError::Reason::NoDevice, device);
    if (deviceAccessDenied(device))
        return CommError(message, CommError::Reason::PermissionDenied, device);
    // The device may be opened, so the refusal came from a lock: Qt's lock
    // file, the terminal's exclusive mode or Windows' exclusive opening, all
    // held by another program.
    if (refusal == OpenRefusal::Refused)
        return inUse(message, device);
    return CommError(message, CommError::Reason::Other, device);
}

CommError deviceInUse(int portNumber, const QString &device)
{
    return inUse(kHeld.arg(QString::number(portNumber), device), device);
}

CommError lostLine(int portNumber, const QString &device)
{
    if (deviceNodeGone(device))
        return CommError(kUnplugged.arg(QString::number(portNumber), device),
                         CommError::Reason::NoDevice, device);
    return CommError(kHungUp.arg(QString::number(portNumber), device), CommError::Reason::HungUp,
                     device);
}
