// Why a port could not be opened or was lost, found out from the system: the
// device node, its permissions, and who holds it.
#pragma once

#include "serial/comm_error.h"

#include <QSerialPort>
#include <QString>

// The error for a failed opening of device as COMn; error is what QSerialPort
// reported and detail its text.
CommError openFailure(int portNumber, const QString &device, QSerialPort::SerialPortError error,
                      const QString &detail);

// The error for a device that another program holds (an exclusive lock).
CommError deviceInUse(int portNumber, const QString &device);

// The error for an open line that went away: unplugged or hung up.
CommError lostLine(int portNumber, const QString &device);
