#include "serial/port_locator.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <limits>

namespace {

// A system location split for natural ordering: "/dev/ttyUSB10" becomes the
// stem "/dev/ttyUSB" and the number 10 (-1 when there are no digits).
struct SortKey
{
    bool builtIn = false;
    QString stem;
    qint64 number = -1;
};

SortKey sortKey(const QString &location)
{
    qsizetype digitsStart = location.size();
    while (digitsStart > 0 && location.at(digitsStart - 1).isDigit())
        --digitsStart;

    SortKey key;
    key.stem = location.left(digitsStart);
    if (digitsStart < location.size()) {
        bool ok = false;
        key.number = QStringView(location).sliced(digitsStart).toLongLong(&ok);
        if (!ok)
            key.number = std::numeric_limits<qint64>::max();
    }
    key.builtIn = QFileInfo(key.stem).fileName() == QLatin1String("ttyS");
    return key;
}

bool comesBefore(const SortKey &a, const SortKey &b)
{
    if (a.builtIn != b.builtIn)
        return a.builtIn;
    if (a.stem != b.stem)
        return a.stem < b.stem;
    return a.number < b.number;
}

} // namespace

QStringList orderedPortLocations(const QStringList &systemLocations)
{
    QList<std::pair<SortKey, QString>> keyed;
    keyed.reserve(systemLocations.size());
    for (const QString &location : systemLocations)
        keyed.append({sortKey(location), location});

    std::stable_sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        if (comesBefore(a.first, b.first))
            return true;
        if (comesBefore(b.first, a.first))
            return false;
        return a.second < b.second;
    });

    QStringList ordered;
    ordered.reserve(keyed.size());
    for (const auto &entry : keyed)
        ordered.append(entry.second);
    return ordered;
}

PortLocator PortLocator::fromSurvey(Survey survey)
{
    PortLocator locator;
    locator.m_survey = std::move(survey);
    return locator;
}

QString PortLocator::operator()(int portNumber) const
{
    if (portNumber < 1)
        return {};
    if (m_survey) {
        const QList<SerialDevice> all = m_survey();
        return portNumber <= all.size() ? all.at(portNumber - 1).location : QString();
    }
    return m_lookup ? m_lookup(portNumber) : QString();
}

QList<SerialDevice> PortLocator::devices(int count) const
{
    QList<SerialDevice> listed;
    if (m_survey) {
        listed = m_survey();
        listed.resize(std::max<qsizetype>(count, 0));
    } else {
        for (int n = 1; n <= count; ++n)
            listed.append(SerialDevice {m_lookup ? m_lookup(n) : QString(), {}, {}, {}, {}, {}});
    }
    return listed;
}

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
#ifdef Q_OS_WIN
    // COMn is the port of that name, listed or not.
    constexpr int kHighestComNumber = 256;
    for (int n = 1; n <= kHighestComNumber; ++n)
        devices.append(SerialDevice {QStringLiteral("COM%1").arg(n), {}, {}, {}, {}, {}});
    for (const QSerialPortInfo &info : ports) {
        if (!info.portName().startsWith(QLatin1String("COM")))
            continue;
        bool ok = false;
        const int n = QStringView(info.portName()).sliced(3).toInt(&ok);
        if (ok && n >= 1 && n <= kHighestComNumber)
            devices[n - 1] = describe(info, info.portName());
    }
#else
    QStringList locations;
    for (const QSerialPortInfo &info : ports)
        locations.append(info.systemLocation());
    for (const QString &location : orderedPortLocations(locations)) {
        const auto info = std::find_if(ports.cbegin(), ports.cend(), [&](const auto &port) {
            return port.systemLocation() == location;
        });
        devices.append(describe(*info, location));
    }
#endif
    return devices;
}

} // namespace

PortLocator systemPortLocator()
{
    return PortLocator::fromSurvey(surveySystemPorts);
}
