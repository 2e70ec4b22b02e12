// Which device COMn is on Linux: numbers given at first sight and kept while
// devices come and go, the identity read from sysfs that a device keeps when
// it is plugged back, and the serial control going on with the same device.
#include "line_fixture.h"
#include "serial/port_numbering.h"
#include "serial/sysfs_identity.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

namespace {

SerialDevice device(const QString &location, const QString &identity = {})
{
    SerialDevice device;
    device.location = location;
    device.identity = identity;
    return device;
}

// The locations of COM1, COM2, ... as one string: "/dev/ttyS0 - /dev/ttyACM0".
QString numbered(const QList<SerialDevice> &devices)
{
    QStringList locations;
    for (const SerialDevice &device : devices)
        locations.append(device.location.isEmpty() ? QStringLiteral("-") : device.location);
    return locations.join(QLatin1Char(' '));
}

// A piece of sysfs, made of folders, attribute files and the links that
// /sys/class/tty holds.
class FakeSysfs
{
public:
    bool isValid() const { return m_root.isValid(); }
    QString path(const QString &relative) const { return m_root.filePath(relative); }

    void addAttribute(const QString &folder, const QString &name, const QByteArray &value)
    {
        QDir().mkpath(path(folder));
        QFile file(path(folder + QLatin1Char('/') + name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(value + '\n');
    }
    // class/tty/NAME/device leading to the folder of the device.
    void addTty(const QString &name, const QString &deviceFolder)
    {
        QDir().mkpath(path(deviceFolder));
        QDir().mkpath(path(QStringLiteral("class/tty/") + name));
        QVERIFY(
            QFile::link(path(deviceFolder), path(QStringLiteral("class/tty/%1/device").arg(name))));
    }
    QString identity(const QString &name) const
    {
        return sysfsIdentity(path(QStringLiteral("class/tty/") + name),
                             QStringLiteral("/dev/") + name);
    }

private:
    QTemporaryDir m_root;
};

// A USB device at place (its folder name, such as "1-1.2") with one
// interface; serial empty: none.
void addUsbDevice(FakeSysfs &sysfs, const QString &place, const QByteArray &serial,
                  const QString &tty, bool usbSerialDriver)
{
    const QString usb = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/") + place;
    sysfs.addAttribute(usb, QStringLiteral("idVendor"), "1a86");
    sysfs.addAttribute(usb, QStringLiteral("idProduct"), "7523");
    if (!serial.isEmpty())
        sysfs.addAttribute(usb, QStringLiteral("serial"), serial);
    const QString interface = usb + QLatin1Char('/') + place + QStringLiteral(":1.0");
    sysfs.addAttribute(interface, QStringLiteral("bInterfaceNumber"), "00");
    // ttyUSB hangs off a port of the USB serial driver, ttyACM off the interface.
    sysfs.addTty(tty, usbSerialDriver ? interface + QLatin1Char('/') + tty : interface);
}

} // namespace

class TestPortNumbering : public QObject
{
    Q_OBJECT

private slots:
    void numbersAreKeptWhileDevicesComeAndGo_data();
    void numbersAreKeptWhileDevicesComeAndGo();
    void identityFromSysfs();
    void openAndLostPortsKeepTheirDevice();
};

void TestPortNumbering::numbersAreKeptWhileDevicesComeAndGo_data()
{
    // Surveys one after another: "location=identity" of the devices present,
    // in the survey's order; then COM1, COM2, ... after the last one.
    QTest::addColumn<QStringList>("surveys");
    QTest::addColumn<QString>("ports");
    QTest::newRow("at start-up, in the survey's order")
        << QStringList {"/dev/ttyS0 /dev/ttyUSB0=a /dev/ttyACM0=b"}
        << "/dev/ttyS0 /dev/ttyUSB0 /dev/ttyACM0";
    QTest::newRow("an earlier device goes: the later ones keep their numbers")
        << QStringList {"/dev/ttyUSB0=a /dev/ttyUSB1=b", "/dev/ttyUSB0=b"} << "- /dev/ttyUSB0";
    QTest::newRow("a new device takes a number none has had")
        << QStringList {"/dev/ttyUSB0=a /dev/ttyUSB1=b", "/dev/ttyUSB1=b",
                        "/dev/ttyUSB0=c /dev/ttyUSB1=b"}
        << "- /dev/ttyUSB1 /dev/ttyUSB0";
    QTest::newRow("a device plugged back, at another node, has its number again")
        << QStringList {"/dev/ttyUSB0=a /dev/ttyUSB1=b", "/dev/ttyUSB1=b",
                        "/dev/ttyUSB0=b /dev/ttyUSB1=a"}
        << "/dev/ttyUSB1 /dev/ttyUSB0";
    QTest::newRow("two adapters alike are told apart by their place")
        << QStringList {"/dev/ttyUSB0=a /dev/ttyUSB1=a"} << "/dev/ttyUSB0 /dev/ttyUSB1";
    QTest::newRow("no devices at all") << QStringList {""} << "";
}

void TestPortNumbering::numbersAreKeptWhileDevicesComeAndGo()
{
    QFETCH(QStringList, surveys);
    QFETCH(QString, ports);
    PortNumbering numbering;
    QList<SerialDevice> last;
    for (const QString &survey : surveys) {
        QList<SerialDevice> present;
        for (const QString &entry : survey.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            present.append(
                device(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1)));
        last = numbering.number(present);
    }
    QCOMPARE(numbered(last), ports);
}

// A USB port is named by the device and its interface, wherever it is
// plugged in, or by its place when the device has no serial number; any
// other port by its node.
void TestPortNumbering::identityFromSysfs()
{
    FakeSysfs sysfs;
    QVERIFY(sysfs.isValid());
    addUsbDevice(sysfs, QStringLiteral("1-1"), "A50285BI", QStringLiteral("ttyUSB0"), true);
    addUsbDevice(sysfs, QStringLiteral("1-2"), "A50285BI", QStringLiteral("ttyUSB1"), true);
    addUsbDevice(sysfs, QStringLiteral("1-3.4"), {}, QStringLiteral("ttyACM0"), false);
    addUsbDevice(sysfs, QStringLiteral("1-4"), {}, QStringLiteral("ttyACM1"), false);
    sysfs.addTty(QStringLiteral("ttyS0"), QStringLiteral("devices/pnp0/00:04/00:04:0/00:04:0.0"));

    QCOMPARE(sysfs.identity(QStringLiteral("ttyUSB0")),
             QStringLiteral("usb:1a86:7523:A50285BI:00"));
    // The same adapter in another socket.
    QCOMPARE(sysfs.identity(QStringLiteral("ttyUSB1")), sysfs.identity(QStringLiteral("ttyUSB0")));
    QCOMPARE(sysfs.identity(QStringLiteral("ttyACM0")), QStringLiteral("usb:1a86:7523@1-3.4:00"));
    QVERIFY(sysfs.identity(QStringLiteral("ttyACM1")) != sysfs.identity(QStringLiteral("ttyACM0")));
    QCOMPARE(sysfs.identity(QStringLiteral("ttyS0")), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(sysfs.identity(QStringLiteral("ttyS9")), QStringLiteral("/dev/ttyS9")); // no entry
}

// COM2 is open on one board and COM1's board goes, another comes: COM2 is
// still the same board. Then COM2's board goes too, more come and go, and
// when it is back, at another node, COM2 is opened on it again.
void TestPortNumbering::openAndLostPortsKeepTheirDevice()
{
    // Boards by identity; the survey finds those in present, in that order.
    std::map<QString, std::unique_ptr<PtyBoard>> boards;
    QStringList present;
    const auto plugIn = [&](const QString &identity) {
        boards[identity] = std::make_unique<PtyBoard>();
        boards[identity]->setEcho(false);
        present.append(identity);
    };
    const auto unplug = [&](const QString &identity) {
        boards.at(identity)->hangUp();
        present.removeAll(identity);
    };
    MSComm comm(PortLocator::numbered([&] {
        QList<SerialDevice> devices;
        for (const QString &identity : std::as_const(present))
            devices.append(device(boards.at(identity)->slavePath(), identity));
        return devices;
    }));
    int lost = 0;
    connect(&comm, &MSComm::portLost, this, [&] { ++lost; });
    connect(&comm, &MSComm::portReturned, this, [&] { comm.setPortOpen(true); });

    plugIn(QStringLiteral("a"));
    plugIn(QStringLiteral("b"));
    comm.setCommPort(2);
    comm.setPortOpen(true);
    QCOMPARE(comm.openedDevice(), boards.at(QStringLiteral("b"))->slavePath());

    unplug(QStringLiteral("a"));
    plugIn(QStringLiteral("c"));
    QCOMPARE(comm.deviceName(1), QString());
    QCOMPARE(comm.deviceName(2), boards.at(QStringLiteral("b"))->slavePath());
    QCOMPARE(comm.deviceName(3), boards.at(QStringLiteral("c"))->slavePath());
    comm.setOutput(QStringLiteral("b1"));
    QVERIFY(boards.at(QStringLiteral("b"))->waitForReceived(2));

    unplug(QStringLiteral("b"));
    QVERIFY(QTest::qWaitFor([&] { return lost == 1; }));
    unplug(QStringLiteral("c"));
    plugIn(QStringLiteral("d"));
    plugIn(QStringLiteral("a"));
    QCOMPARE(comm.deviceName(1), boards.at(QStringLiteral("a"))->slavePath());
    QCOMPARE(comm.deviceName(2), QString());
    QCOMPARE(comm.deviceName(4), boards.at(QStringLiteral("d"))->slavePath());
    idleFor(PortWatch::kLookIntervalMs + 200);
    QVERIFY(!comm.PortOpen());

    plugIn(QStringLiteral("b"));
    QVERIFY(QTest::qWaitFor([&] { return comm.PortOpen(); }, 3 * PortWatch::kLookIntervalMs));
    QCOMPARE(comm.commPort(), 2);
    QCOMPARE(comm.openedDevice(), boards.at(QStringLiteral("b"))->slavePath());
    comm.setOutput(QStringLiteral("b2"));
    QVERIFY(boards.at(QStringLiteral("b"))->waitForReceived(2));
    QCOMPARE(boards.at(QStringLiteral("b"))->received(), QByteArray("b2"));
    for (const QString &other : {QStringLiteral("a"), QStringLiteral("d")})
        QCOMPARE(boards.at(other)->received(), QByteArray());
}

QTEST_GUILESS_MAIN(TestPortNumbering)
#include "test_port_numbering.moc"
