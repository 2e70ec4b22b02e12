// PortNumbering: numbers given at first sight and kept.
#include "serial/port_numbering.h"

#include <QSet>

QList<SerialDevice> PortNumbering::number(const QList<SerialDevice> &present)
{
    QList<SerialDevice> numbered(m_identities.size());
    QSet<QString> taken; // identities of this survey's devices
    for (const SerialDevice &device : present) {
        QString identity = device.identity.isEmpty() ? device.location : device.identity;
        // Two devices alike (adapters that share a serial number) are told
        // apart by where they are.
        if (taken.contains(identity))
            identity += QLatin1Char('@') + device.location;
        taken.insert(identity);

        qsizetype index = m_identities.indexOf(identity);
        if (index < 0) {
            index = m_identities.size();
            m_identities.append(identity);
            numbered.resize(m_identities.size());
        }
        numbered[index] = device;
    }
    return numbered;
}
