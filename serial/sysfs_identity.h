// Which device a Linux serial port is, read from its entry under
// /sys/class/tty, in a form that stays the same when the device is unplugged
// and plugged back: PortNumbering numbers ports by it.
#pragma once

#include <QString>

// For a port of a USB device: "usb:VID:PID:SERIAL:INTERFACE", or, for a
// device without a serial number, its place on the bus in the serial
// number's stead ("usb:1a86:7523@1-1.2:00"). For any other port (built in,
// on a PCI card, a pseudo-terminal): its location.
//     sysfsIdentity("/sys/class/tty/ttyUSB0", "/dev/ttyUSB0")
QString sysfsIdentity(const QString &classEntry, const QString &location);
