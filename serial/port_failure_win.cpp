// Windows' ports have no node to look at: a name that cannot be opened is
// missing or held, which the opening's own error tells.
#include "serial/port_failure_platform.h"

bool deviceNodeGone(const QString &device)
{
    Q_UNUSED(device)
    return false;
}

bool deviceAccessDenied(const QString &device)
{
    Q_UNUSED(device)
    return false;
}
