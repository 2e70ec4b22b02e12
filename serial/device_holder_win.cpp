// Windows names no holder of a device: a refused opening says only that it
// is in use.
#include "serial/device_holder.h"

DeviceHolder findDeviceHolder(const QString &device)
{
    Q_UNUSED(device)
    return {};
}
