// What port_failure.cpp asks of the platform about a device it could not
// open or lost: port_failure_unix.cpp and port_failure_win.cpp answer.
#pragma once

#include <QString>

// Whether the device's node is gone (always false where ports have no node).
bool deviceNodeGone(const QString &device);

// Whether this user may not read and write the device (judged by the
// effective ids, as opening is; always false on Windows, where a refusal
// means the port is held).
bool deviceAccessDenied(const QString &device);
