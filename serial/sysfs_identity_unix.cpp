// A serial port's identity from sysfs: the USB interface its tty hangs off,
// and the USB device that interface belongs to.
#include "serial/sysfs_identity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The first line of a sysfs attribute, "" when there is none.
QString attribute(const QString &folder, const char *name)
{
    QFile file(folder + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readLine(256)).trimmed();
}

} // namespace

QString sysfsIdentity(const QString &classEntry, const QString &location)
{
    // ttyACM0's device is the USB interface itself; ttyUSB0's is a port of
    // the USB serial driver, below the interface.
    QString folder = QFileInfo(classEntry + QStringLiteral("/device")).canonicalFilePath();
    for (int depth = 0; depth < 4 && !folder.isEmpty(); ++depth) {
        if (QFileInfo::exists(folder + QStringLiteral("/bInterfaceNumber"))) {
            const QString usbDevice = QFileInfo(folder).path();
            const QString vendor = attribute(usbDevice, "idVendor");
            const QString product = attribute(usbDevice, "idProduct");
            if (vendor.isEmpty() || product.isEmpty())
                break;
            const QString serial = attribute(usbDevice, "serial");
            const QString where = serial.isEmpty()
                                      ? QLatin1Char('@') + QFileInfo(usbDevice).fileName()
                                      : QLatin1Char(':') + serial;
            return QStringLiteral("usb:%1:%2%3:%4")
                .arg(vendor, product, where, attribute(folder, "bInterfaceNumber"));
        }
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    return location;
}
