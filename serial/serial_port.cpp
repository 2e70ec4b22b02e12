// MSComm: the serial control over QSerialPort: settings, opening and
// closing, sending, and a lost line. Receiving is in serial_receive.cpp.
#include "serial/serial_port.h"

#include "serial/comm_error.h"
#include "serial/port_failure.h"

#include <QMetaObject>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#endif

namespace {

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
