// PortNumbering: which COM number each serial device has. A device gets its
// number the first time it is seen and keeps it, so that COMn goes on
// standing for one device while others come and go.
#pragma once

#include "serial/port_locator.h"

#include <QList>
#include <QStringList>

class PortNumbering
{
public:
    // The devices present now, those not seen before in the order they are
    // to be numbered in; returns element n - 1 for COMn, an empty device
    // where COMn's device is not present. A new device takes the lowest
    // number no device has had.
    QList<SerialDevice> number(const QList<SerialDevice> &present);

private:
    QStringList m_identities; // element n - 1: the device COMn was given to
};
