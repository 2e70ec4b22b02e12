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

PortLocator systemPortLocator()
{
    return [](int portNumber) -> QString {
        if (portNumber < 1)
            return {};
#ifdef Q_OS_WIN
        return QStringLiteral("COM%1").arg(portNumber);
#else
        QStringList locations;
        const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &info : ports)
            locations.append(info.systemLocation());
        const QStringList ordered = orderedPortLocations(locations);
        return portNumber <= ordered.size() ? ordered.at(portNumber - 1) : QString();
#endif
    };
}
