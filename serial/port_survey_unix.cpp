// The system's serial ports on Linux, from QSerialPortInfo, in COM order.
#include "serial/port_locator.h"

#include "serial/sysfs_identity.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

SerialDevice describe(const QSerialPortInfo &info, const QString &location)
{
    SerialDevice device;
    device.location = location;
    device.description = info.description();
    device.manufacturer = info.manufacturer();
    device.serialNumber = info.serialNumber();
    if (info.hasVendorIdentifier())
        device.vendorId = info.vendorIdentifier();
    if (info.hasProductIdentifier())
        device.productId = info.productIdentifier();
    device.identity =
        sysfsIdentity(QStringLiteral("/sys/class/tty/") + QFileInfo(location).fileName(), location);
    return device;
}

// Every port the system reports, in the order new ones are numbered in.
QList<SerialDevice> surveySystemPorts()
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    QList<SerialDevice> devices;
    QStringList locations;
    for (const QSerialPortInfo &info : ports)
        locations.append(info.systemLocation());
    for (const QString &location : orderedPortLocations(locations)) {
        const auto info = std::find_if(ports.cbegin(), ports.cend(), [&](const auto &port) {
            return port.systemLocation() == location;
        });
        devices.append(describe(*info, location));
    }
    return devices;
}

// Whether a name under /sys/class/tty is one of the system's virtual
// terminals or consoles, which are never serial ports.
bool isVirtualTerminal(const char *name)
{
    if (std::strcmp(name, "console") == 0 || std::strcmp(name, "ptmx") == 0)
        return true;
    if (std::strncmp(name, "tty", 3) != 0)
        return false;
    const char *rest = name + 3;
    while (*rest >= '0' && *rest <= '9')
        ++rest;
    return *rest == '\0';
}

// What tells one state of the system's ports from another at a small part of
// a survey's cost: every terminal device the kernel has (a port plugged in or
// out adds or removes one), each with the identity of its entry in sysfs (a
// device plugged in again gets an entry of its own, even under the same
// name). Empty when it cannot be told.
QByteArray portsFingerprint()
{
    static const QByteArray classFolder("/sys/class/tty/");
    DIR *const dir = ::opendir(classFolder.constData());
    if (!dir)
        return {};
    QByteArrayList names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' && !isVirtualTerminal(entry->d_name))
            names.append(QByteArray(entry->d_name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());

    QByteArray fingerprint;
    for (const QByteArray &name : std::as_const(names)) {
        struct stat entry = {};
        if (::lstat((classFolder + name).constData(), &entry) != 0)
            entry = {};
        const qint64 identity[] = {qint64(entry.st_ino), qint64(entry.st_ctim.tv_sec),
                                   qint64(entry.st_ctim.tv_nsec)};
        fingerprint += name;
        fingerprint += '\0';
        fingerprint.append(reinterpret_cast<const char *>(identity), sizeof identity);
    }
    return fingerprint;
}

// A survey made again only when the system's ports have changed since the
// last one: each drop-down of the port list and each opening asks for one.
QList<SerialDevice> surveyChangedSystemPorts()
{
    static QByteArray lastFingerprint;
    static QList<SerialDevice> lastDevices;
    const QByteArray fingerprint = portsFingerprint();
    if (fingerprint.isEmpty() || fingerprint != lastFingerprint) {
        lastDevices = surveySystemPorts();
        lastFingerprint = fingerprint;
    }
    return lastDevices;
}

} // namespace

PortLocator systemPortLocator()
{
    return PortLocator::numbered(surveyChangedSystemPorts);
}
