// Decides which serial device "COMn" stands for. The control is given one, so
// tests can point COMn at pseudo-terminals instead of the machine's ports.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QSerialPortInfo;

// Returns the device (a system location such as "/dev/ttyS0", or "COM3" on
// Windows) for port number n >= 1, or an empty string when there is none.
using PortLocator = std::function<QString(int portNumber)>;

// The program's own mapping: the native "COMn" on Windows; on Linux the n-th
// port that QSerialPortInfo reports, built-in ttyS ports first, then the
// others (ttyUSB, ttyACM, ...), each group in numeric order.
PortLocator systemPortLocator();

// The ordering used by systemPortLocator(), as a pure function of the system
// locations, so it can be tested without hardware.
QStringList orderedPortLocations(const QStringList &systemLocations);
