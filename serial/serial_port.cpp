// MSComm: the serial control over QSerialPort.
#include "serial/serial_port.h"

#include "serial/comm_error.h"
#include "serial/port_failure.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QPointer>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

// Longest run of notifications in one event-loop pass: long enough that the
// pass itself costs little next to the notifications, short enough that a key
// or a click waits for it unnoticed and painting keeps its frame rate.
constexpr qint64 kBatchNs = 3'000'000;
// The clock is read once per this many notifications, a cost too small to see.
constexpr int kNotificationsPerClockCheck = 64;
// What QSerialPort takes from the device at a time; once that much waits in
// its buffer it stops reading until it is read from, which is what holds the
// sender back while the program catches up.
constexpr qint64 kReadChunkBytes = 16 * 1024;

} // namespace

MSComm::MSComm(PortLocator locator, QObject *parent)
    : QObject(parent)
    , m_locator(std::move(locator))
{
    connect(&m_port, &QSerialPort::readyRead, this, &MSComm::readArrivedBytes);
    connect(&m_port, &QSerialPort::errorOccurred, this, &MSComm::handleError);
    // A zero-interval timer runs once in every pass of the event loop, so
    // other events are handled between two batches, and it costs no wake-up
    // of its own.
    m_notificationTimer.setInterval(0);
    connect(&m_notificationTimer, &QTimer::timeout, this, &MSComm::deliverNotifications);
}

MSComm::~MSComm()
{
    // The port outlives the members declared after it, so it must not call
    // back into this object while it is being torn down.
    disconnect(&m_port, nullptr, this, nullptr);
    closePort();
}

QString MSComm::deviceName(int portNumber) const
{
    return m_locator ? m_locator(portNumber) : QString();
}

void MSComm::setCommPort(int portNumber)
{
    if (m_port.isOpen())
        throw CommError(tr("The port number cannot change while COM%1 is open.").arg(m_commPort));
    if (portNumber < 1)
        throw CommError(tr("%1 is not a valid port number.").arg(portNumber));
    m_commPort = portNumber;
}

void MSComm::setSettings(const QString &settings)
{
    if (m_port.isOpen())
        throw CommError(tr("The settings cannot change while COM%1 is open.").arg(m_commPort));
    const std::optional<LineSettings> parsed = parseLineSettings(settings);
    if (!parsed)
        throw CommError(tr("\"%1\" is not a valid setting; expected for example \"9600,N,8,1\".")
                            .arg(settings));
    m_settings = settings;
    m_lineSettings = *parsed;
}

void MSComm::setRThreshold(int characters)
{
    if (characters < 0)
        throw CommError(tr("RThreshold cannot be negative."));
    m_rThreshold = characters;
}

void MSComm::setInputLen(int characters)
{
    if (characters < 0)
        throw CommError(tr("InputLen cannot be negative."));
    m_inputLen = characters;
}

bool MSComm::PortOpen() const
{
    return m_port.isOpen();
}

void MSComm::setPortOpen(bool open)
{
    ++m_opening;
    if (!open) {
        if (m_port.isOpen()) {
            closePort();
            discardReceived();
        }
        return;
    }

    if (m_port.isOpen())
        throw CommError(tr("COM%1 is already open.").arg(m_commPort));

    const QString device = deviceName(m_commPort);
    if (device.isEmpty())
        throw CommError(tr("COM%1 does not exist on this computer.").arg(m_commPort),
                        CommError::Reason::NoDevice);

    m_port.setPortName(device);
    m_port.setBaudRate(m_lineSettings.baudRate);
    m_port.setParity(m_lineSettings.parity);
    m_port.setDataBits(m_lineSettings.dataBits);
    m_port.setStopBits(m_lineSettings.stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(kReadChunkBytes);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        const QString reason = m_port.errorString();
        m_port.clearError();
        throw openFailure(m_commPort, device, error, reason);
    }
    m_device = device;

#ifdef Q_OS_UNIX
    // Qt's lock file only guards the name the device was opened by; a lock on
    // the device itself also keeps out programs that reach it by another name
    // or that use flock() the way several terminal programs do.
    if (::flock(int(m_port.handle()), LOCK_EX | LOCK_NB) != 0) {
        closePort();
        throw deviceInUse(m_commPort, device);
    }
#endif

    // A port starts with nothing received, as a UART that nobody had open
    // would; the system may still hold bytes from before.
    m_port.clear(QSerialPort::Input);
    discardReceived();
}

void MSComm::setInBufferCount(int count)
{
    if (count != 0)
        throw CommError(tr("InBufferCount can only be set to 0."));
    if (m_port.isOpen()) {
        m_port.clear(QSerialPort::Input);
        m_port.readAll();
    }
    discardReceived();
}

int MSComm::inBufferCount() const
{
    return int(m_received.size() - m_readPos);
}

void MSComm::setOutput(const QString &text)
{
    if (!m_port.isOpen())
        return;
    const QByteArray bytes = Gbk::encode(text);
    if (bytes.isEmpty())
        return;
    // A line that takes nothing has gone away; it is closed like a hung-up one
    // rather than raising an error into a handler that has no recovery.
    if (m_port.write(bytes) != bytes.size()) {
        closeLostPort();
        return;
    }
    // Hand the bytes to the system now rather than on the next event loop pass.
    m_port.flush();
}

QString MSComm::Input()
{
    const qsizetype waiting = m_received.size() - m_readPos;
    if (waiting <= 0)
        return {};
    const qsizetype count = m_inputLen > 0 ? std::min<qsizetype>(m_inputLen, waiting) : waiting;
    const qsizetype from = m_readPos;
    m_readPos += count;
    if (count == 1) {
        // The program's usual read: the one-character string handed out last
        // time is reused once its reader has let go of it, so nothing is
        // allocated (data() makes a copy of its own only while it is shared).
        if (m_oneCharacter.size() != 1)
            m_oneCharacter.resize(1);
        m_oneCharacter.data()[0] = m_received.at(from);
        dropRead();
        return m_oneCharacter;
    }
    QString text = m_received.mid(from, count);
    dropRead();
    return text;
}

// Drops what has been read once it is at least half of the string, so the
// store never grows beyond twice what is actually waiting; and lets reading
// resume in the next pass once the backlog is small again.
void MSComm::dropRead()
{
    if (m_readPos == m_received.size()) {
        m_received.resize(0);
        m_readPos = 0;
    } else if (m_readPos > m_received.size() / 2) {
        m_received.remove(0, m_readPos);
        m_readPos = 0;
    }
    if (m_readingPaused && !m_notificationTimer.isActive())
        m_notificationTimer.start();
}

void MSComm::readArrivedBytes()
{
    // Past the limit the bytes stay with QSerialPort until its buffer is full
    // and it stops reading, and then with the system, which holds the sender
    // back; resumeReading() takes them once the backlog has drained.
    if (inBufferCount() >= kMaxWaitingCharacters) {
        m_readingPaused = true;
        return;
    }
    appendReceived(m_port.readAll());
}

void MSComm::resumeReading()
{
    if (!m_readingPaused || inBufferCount() >= kMaxWaitingCharacters)
        return;
    m_readingPaused = false;
    if (m_port.isOpen())
        appendReceived(m_port.readAll()); // also lets QSerialPort read again
}

void MSComm::appendReceived(QByteArrayView bytes)
{
    const QString text = m_decoder.decode(bytes);
    if (text.isEmpty())
        return;
    m_received += text;
    if (m_rThreshold > 0) {
        m_notificationsOwed += text.size();
        scheduleNotification();
    }
}

void MSComm::handleError(QSerialPort::SerialPortError error)
{
    if (m_closing || !m_port.isOpen())
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
        && error != QSerialPort::WriteError)
        return;
    // A failed read is not always a lost line: the readiness Qt acted on may
    // be stale after the input was flushed. Only a line that has gone away
    // gets closed.
    if (drainLine())
        m_port.clearError();
    else
        closeLostPort();
}

// Keeps every byte the line still has to give; returns false when the line
// has gone away.
bool MSComm::drainLine()
{
    appendReceived(m_port.readAll());
#ifdef Q_OS_UNIX
    const int fd = int(m_port.handle());
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            appendReceived(QByteArrayView(buffer, count));
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
#else
    return false;
#endif
}

void MSComm::closeLostPort()
{
    closePort();
    // Reported from the event loop, as the port may be lost inside a handler;
    // by then the program may have opened or closed a port, and the notice
    // belongs to the opening that was lost.
    const quint64 opening = m_opening;
    QMetaObject::invokeMethod(
        this, [this, opening] { reportLoss(opening); }, Qt::QueuedConnection);
}

void MSComm::reportLoss(quint64 opening)
{
    if (opening == m_opening && !m_port.isOpen())
        emit portLost();
}

void MSComm::closePort()
{
    if (!m_port.isOpen())
        return;
    // Closing a port whose line is gone makes Qt report more errors; they
    // must not come back here.
    m_closing = true;
    m_port.close();
    m_port.clearError();
    m_closing = false;
    m_readingPaused = false;
}

void MSComm::discardReceived()
{
    m_received.clear();
    m_readPos = 0;
    m_notificationsOwed = 0;
    m_readingPaused = false;
    m_decoder.reset();
}

void MSComm::scheduleNotification()
{
    if (m_inNotification || m_notificationsOwed <= 0 || m_notificationTimer.isActive())
        return;
    m_notificationTimer.start();
}

// Delivers what is owed in one batch, one OnComm per character, until the
// batch has taken its time; the rest waits for the next pass.
void MSComm::deliverNotifications()
{
    // Reached from an event loop run inside an OnComm handler: the batch whose
    // handler is still running goes on when it returns.
    if (m_inNotification) {
        m_notificationTimer.stop();
        return;
    }
    if (m_rThreshold <= 0)
        m_notificationsOwed = 0;

    const QPointer<MSComm> self(this);
    QElapsedTimer clock;
    clock.start();
    int sinceClockCheck = 0;
    while (m_notificationsOwed > 0) {
        --m_notificationsOwed;
        m_commEvent = kComEvReceive;
        m_inNotification = true;
        emit OnComm();
        if (!self)
            return; // the handler deleted the control
        m_inNotification = false;
        // A handler that cleared the input, closed the port or set RThreshold
        // to 0 has already taken back what was owed.
        if (m_rThreshold <= 0)
            m_notificationsOwed = 0;
        if (++sinceClockCheck == kNotificationsPerClockCheck) {
            sinceClockCheck = 0;
            if (clock.nsecsElapsed() >= kBatchNs)
                break;
        }
    }

    resumeReading();
    if (m_notificationsOwed <= 0)
        m_notificationTimer.stop();
    else if (!m_notificationTimer.isActive())
        m_notificationTimer.start();
}
