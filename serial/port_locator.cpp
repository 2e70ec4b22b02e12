// Maps COMn to a device: one number at a time or from one survey of the system.
#include "serial/port_locator.h"

#include "serial/port_numbering.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <memory>

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

PortLocator PortLocator::numbered(Survey survey)
{
    auto numbering = std::make_shared<PortNumbering>();
    return fromSurvey(
        [survey = std::move(survey), numbering] { return numbering->number(survey()); });
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
            listed.append(
                SerialDevice {m_lookup ? m_lookup(n) : QString(), {}, {}, {}, {}, {}, {}});
    }
    return listed;
}
