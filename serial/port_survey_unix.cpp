// The system's serial ports on Linux, from QSerialPortInfo, in COM order.
#include "serial/port_locator.h"

#include <QSerialPortInfo>

#include <algorithm>

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
    return device;
}

// Every port the system reports, in COM order.
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

} // namespace

PortLocator systemPortLocator()
{
    return PortLocator::fromSurvey(surveySystemPorts);
}
