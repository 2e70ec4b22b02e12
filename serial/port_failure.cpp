// Why a port failed: from the device node, its permissions and the holder the
// system knows of (serial/device_holder).
#include "serial/port_failure.h"

#include "serial/device_holder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MSComm", text);
}

CommError inUse(const QString &message, const QString &device)
{
    CommError error(message, CommError::Reason::InUse, device);
    error.setHolder(findDeviceHolder(device));
    return error;
}

// Whether this user may read and write the device (judged by the effective
// ids, as open() is).
bool accessDenied(const QString &device)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(device);
    return ::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES;
#else
    Q_UNUSED(device)
    return false;
#endif
}

} // namespace

CommError openFailure(int portNumber, const QString &device, OpenRefusal refusal,
                      const QString &detail)
{
    const QString message =
        tr("Cannot open COM%1 (%2): %3").arg(QString::number(portNumber), device, detail);
#ifdef Q_OS_UNIX
    const bool present = QFileInfo::exists(device);
#else
    const bool present = true;
#endif
    if (refusal == OpenRefusal::NoDevice || !present)
        return CommError(message, CommError::Reason::NoDevice, device);
    if (accessDenied(device))
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
    return inUse(tr("Cannot open COM%1 (%2): the device is in use by another program.")
                     .arg(QString::number(portNumber), device),
                 device);
}

CommError lostLine(int portNumber, const QString &device)
{
#ifdef Q_OS_UNIX
    if (!device.isEmpty() && !QFileInfo::exists(device))
        return CommError(tr("COM%1 (%2) was unplugged.").arg(QString::number(portNumber), device),
                         CommError::Reason::NoDevice, device);
#endif
    return CommError(tr("COM%1 (%2) was hung up.").arg(QString::number(portNumber), device),
                     CommError::Reason::HungUp, device);
}
