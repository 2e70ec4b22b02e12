// Why a port could not be opened or was lost, found out from the system: the
// device node, its permissions, and who holds it.
#pragma once

#include "serial/comm_error.h"

#include <QString>

// How the system turned an opening down.
enum class OpenRefusal {
    NoDevice, // no such device
    Refused, // the device exists but may not be opened now: a lock, or exclusive use
    Other,
};

// The error for a failed opening of device as COMn; detail is the system's
// own text.
CommError openFailure(int portNumber, const QString &device, OpenRefusal refusal,
                      const QString &detail);

// The error for a device that another program holds (an exclusive lock).
CommError deviceInUse(int portNumber, const QString &device);

// The error for an open line that went away: unplugged or hung up.
CommError lostLine(int portNumber, const QString &device);
