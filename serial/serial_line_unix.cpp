// SerialLine over QSerialPort: Qt's lock file plus flock() on the device,
// termios settings, and telling a hung-up line from a stale readiness.
#include "serial/serial_line.h"

#include "serial/comm_error.h"
#include "serial/lock_file.h"
#include "serial/port_failure.h"

#include <QFile>
#include <QSerialPort>

#include <cerrno>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QSerialPort::Parity toQt(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    case LineSettings::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(LineSettings::StopBits stopBits)
{
    switch (stopBits) {
    case LineSettings::StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case LineSettings::StopBits::Two:
        return QSerialPort::TwoStop;
    case LineSettings::StopBits::One:
        break;
    }
    return QSerialPort::OneStop;
}

OpenRefusal refusal(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return OpenRefusal::NoDevice;
    case QSerialPort::PermissionError:
        return OpenRefusal::Refused;
    default:
        return OpenRefusal::Other;
    }
}

} // namespace

struct SerialLine::Private
{
    bool drainLine();

    QSerialPort port;
    QByteArray drained; // read while checking the line after an error
    bool closing = false;
};

SerialLine::SerialLine(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    connect(&d->port, &QSerialPort::readyRead, this, &SerialLine::readyRead);
    connect(&d->port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) {
                if (d->closing || !d->port.isOpen())
                    return;
                if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
                    && error != QSerialPort::WriteError)
                    return;
                // A failed read is not always a lost line: the readiness Qt acted on
                // may be stale after the input was flushed. Only a line that has gone
                // away is reported.
                if (!d->drainLine()) {
                    emit lost();
                    return;
                }
                d->port.clearError();
                if (!d->drained.isEmpty())
                    emit readyRead();
            });
}

SerialLine::~SerialLine()
{
    disconnect(&d->port, nullptr, this, nullptr);
    close();
}

bool SerialLine::isPresent(const QString &device)
{
    struct stat node = {};
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &node) != 0
        || !S_ISCHR(node.st_mode))
        return false;
    // A node of another kind of device (/dev/null, say) can be no serial
    // port. Pseudo-terminals have no entry under /sys/dev/char, so only an
    // entry of another subsystem tells.
    const QString subsystem = QFile::symLinkTarget(QStringLiteral("/sys/dev/char/%1:%2/subsystem")
                                                       .arg(major(node.st_rdev))
                                                       .arg(minor(node.st_rdev)));
    return subsystem.isEmpty() || subsystem.endsWith(QLatin1String("/tty"));
}

void SerialLine::open(int portNumber, const QString &device, const LineSettings &settings)
{
    QSerialPort &port = d->port;
    port.setPortName(device);
    port.setBaudRate(settings.baudRate);
    port.setParity(toQt(settings.parity));
    port.setDataBits(QSerialPort::DataBits(settings.dataBits));
    port.setStopBits(toQt(settings.stopBits));
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.setReadBufferSize(kReadAheadBytes);
    // QLockFile reads whatever bears the lock file's name, to see whether it
    // is stale: a FIFO there blocks it for good, /dev/zero never ends, a
    // huge file is read whole. Such a file is a lock held by someone
    // unknown, and Qt never gets to it.
    const LockFileInfo lock = inspectLockFile(qtLockFilePath(device));
    if (lock.state == LockFileInfo::State::NotRegular
        || lock.state == LockFileInfo::State::TooLarge)
        throw deviceInUse(portNumber, device);
    if (!port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port.error();
        const QString reason = port.errorString();
        port.clearError();
        throw openFailure(portNumber, device, refusal(error), reason);
    }
    // Qt's lock file only guards the name the device was opened by; a lock on
    // the device itself also keeps out programs that reach it by another name
    // or that use flock() the way several terminal programs do.
    if (::flock(int(port.handle()), LOCK_EX | LOCK_NB) != 0) {
        close();
        throw deviceInUse(portNumber, device);
    }
}

void SerialLine::close()
{
    d->drained.clear();
    if (!d->port.isOpen())
        return;
    // Closing a port whose line is gone makes Qt report more errors; they
    // must not come back here.
    d->closing = true;
    d->port.close();
    d->port.clearError();
    d->closing = false;
}

bool SerialLine::isOpen() const
{
    return d->port.isOpen();
}

QByteArray SerialLine::readAll()
{
    QByteArray bytes = std::move(d->drained);
    d->drained = QByteArray();
    if (d->port.isOpen())
        bytes += d->port.readAll(); // also lets QSerialPort read again
    return bytes;
}

void SerialLine::clearInput()
{
    d->drained.clear();
    if (!d->port.isOpen())
        return;
    d->port.clear(QSerialPort::Input);
    d->port.readAll();
}

bool SerialLine::write(const QByteArray &bytes)
{
    if (d->port.write(bytes) != bytes.size())
        return false;
    // Hand the bytes to the system now rather than on the next event loop pass.
    d->port.flush();
    return true;
}

// Keeps every byte the line still has to give; returns false when the line
// has gone away.
bool SerialLine::Private::drainLine()
{
    drained += port.readAll();
    const int fd = int(port.handle());
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            drained.append(buffer, count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        break;
    }
    // In raw mode a tty reads 0 bytes both when it is merely idle and when it
    // has been hung up; only poll() tells the two apart.
    pollfd line {fd, POLLIN, 0};
    while (::poll(&line, 1, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return (line.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}
