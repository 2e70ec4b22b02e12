// MSComm: settings, opening and closing, sending, and a lost line.
// Receiving is in serial_receive.cpp.
#include "serial/serial_port.h"

#include "serial/comm_error.h"

#include <QMetaObject>

namespace {

const QString kNumberWhileOpen = QStringLiteral("COM%1打开时不能更改端口号。");
const QString kBadNumber = QStringLiteral("%1不是有效的端口号。");
const QString kSettingsWhileOpen = QStringLiteral("COM%1打开时不能更改通信参数。");
const QString kBadSettings = QStringLiteral("“%1”不是有效的通信参数，应为例如“9600,N,8,1”。");
const QString kNegativeThreshold = QStringLiteral("RThreshold不能为负数。");
const QString kNegativeInputLen = QStringLiteral("InputLen不能为负数。");
const QString kAlreadyOpen = QStringLiteral("COM%1已经打开。");
const QString kNoDevice = QStringLiteral("COM%1没有对应的串口设备。");
const QString kOnlyClearing = QStringLiteral("InBufferCount只能设为0。");

} // namespace

MSComm::MSComm(PortLocator locator, QObject *parent)
    : QObject(parent)
    , m_locator(std::move(locator))
{
    connect(&m_line, &SerialLine::readyRead, this, &MSComm::readArrivedBytes);
    // What the line still gave is kept, then the port is closed as lost.
    connect(&m_line, &SerialLine::lost, this, [this] {
        appendReceived(m_line.readAll());
        closeLostPort();
    });
    // A zero-interval timer runs once in every pass of the event loop, so
    // other events are handled between two batches, and it costs no wake-up
    // of its own.
    m_notificationTimer.setInterval(0);
    connect(&m_notificationTimer, &QTimer::timeout, this, &MSComm::deliverNotifications);
    connect(&m_returnWatch, &PortWatch::deviceBack, this, &MSComm::portReturned);
}

MSComm::~MSComm()
{
    // The line outlives the members declared after it, so it must not call
    // back into this object while it is being torn down.
    disconnect(&m_line, nullptr, this, nullptr);
    closePort();
}

QString MSComm::deviceName(int portNumber) const
{
    return m_locator ? m_locator(portNumber) : QString();
}

void MSComm::setCommPort(int portNumber)
{
    if (m_line.isOpen())
        throw CommError(kNumberWhileOpen.arg(m_commPort));
    if (portNumber < 1)
        throw CommError(kBadNumber.arg(portNumber));
    m_commPort = portNumber;
}

void MSComm::setSettings(const QString &settings)
{
    if (m_line.isOpen())
        throw CommError(kSettingsWhileOpen.arg(m_commPort));
    const std::optional<LineSettings> parsed = parseLineSettings(settings);
    if (!parsed)
        throw CommError(kBadSettings.arg(settings));
    m_settings = settings;
    m_lineSettings = *parsed;
}

void MSComm::setRThreshold(int characters)
{
    if (characters < 0)
        throw CommError(kNegativeThreshold);
    m_rThreshold = characters;
}

void MSComm::setInputLen(int characters)
{
    if (characters < 0)
        throw CommError(kNegativeInputLen);
    m_inputLen = characters;
}

bool MSComm::PortOpen() const
{
    return m_line.isOpen();
}

void MSComm::setPortOpen(bool open)
{
    ++m_opening;
    if (!open) {
        m_returnWatch.stop();
        if (m_line.isOpen()) {
            closePort();
            discardReceived();
        }
        return;
    }

    if (m_line.isOpen())
        throw CommError(kAlreadyOpen.arg(m_commPort));

    const QString device = deviceName(m_commPort);
    if (device.isEmpty())
        throw CommError(kNoDevice.arg(m_commPort), CommError::Reason::NoDevice);

    m_line.open(m_commPort, device, m_lineSettings);
    m_device = device;
    m_returnWatch.stop();

    // A port starts with nothing received, as a UART that nobody had open
    // would; the system may still hold bytes from before.
    m_line.clearInput();
    discardReceived();
}

void MSComm::setInBufferCount(int count)
{
    if (count != 0)
        throw CommError(kOnlyClearing);
    m_line.clearInput();
    discardReceived();
}

int MSComm::inBufferCount() const
{
    return int(m_received.size() - m_readPos + m_incoming.size());
}

void MSComm::setOutput(const QString &text)
{
    if (!m_line.isOpen())
        return;
    const QByteArray bytes = Gbk::encode(text);
    if (bytes.isEmpty())
        return;
    // A line that takes nothing has gone away; it is closed like a hung-up one
    // rather than raising an error into a handler that has no recovery.
    if (!m_line.write(bytes))
        closeLostPort();
}

void MSComm::closeLostPort()
{
    // A lead byte that was still waiting for its second byte will never get
    // it: it is shown as a bad character rather than vanishing.
    appendDecoded(m_decoder.flush());
    closePort();
    awaitReturnOf(m_commPort);
    // Reported from the event loop, as the port may be lost inside a handler;
    // by then the program may have opened or closed a port, and the notice
    // belongs to the opening that was lost.
    const quint64 opening = m_opening;
    QMetaObject::invokeMethod(
        this, [this, opening] { reportLoss(opening); }, Qt::QueuedConnection);
}

void MSComm::reportLoss(quint64 opening)
{
    if (opening == m_opening && !m_line.isOpen())
        emit portLost();
}

// The port number stands for the same device for as long as the locator
// says so (on Linux the device, on Windows the port name): the wait is over
// when that number has a device again.
void MSComm::awaitReturnOf(int portNumber)
{
    m_returnWatch.start(
        [this, portNumber] { return SerialLine::isPresent(deviceName(portNumber)); });
}

void MSComm::closePort()
{
    m_line.close();
    m_readingPaused = false;
}

void MSComm::discardReceived()
{
    m_received.clear();
    m_readPos = 0;
    m_incoming.clear();
    m_notificationsOwed = 0;
    m_readingPaused = false;
    m_decoder.reset();
}
