// A device's node and its permissions on Linux.
#include "serial/port_failure_platform.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool deviceNodeGone(const QString &device)
{
    return !device.isEmpty() && !QFileInfo::exists(device);
}

bool deviceAccessDenied(const QString &device)
{
    const QByteArray path = QFile::encodeName(device);
    return ::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES;
}
