// MSComm's receive path: reading and decoding what arrives, holding the
// sender back while much waits unread, and raising OnComm once per character
// in batches.
#include "serial/serial_port.h"

#include <QElapsedTimer>
#include <QMetaMethod>
#include <QPointer>

#include <algorithm>

namespace {

// Longest run of notifications in one event-loop pass: long enough that the
// pass itself costs little next to the notifications, short enough that a key
// or a click waits for it unnoticed and painting keeps its frame rate.
constexpr qint64 kBatchNs = 3'000'000;
// The clock is read once per this many notifications, a cost too small to see.
constexpr int kNotificationsPerClockCheck = 64;

} // namespace

QStringView MSComm::Input()
{
    if (!m_incoming.isEmpty())
        takeIncoming();
    const qsizetype waiting = m_received.size() - m_readPos;
    if (waiting <= 0)
        return {};
    const qsizetype count = m_inputLen > 0 ? std::min<qsizetype>(m_inputLen, waiting) : waiting;
    const QStringView text = QStringView(m_received).sliced(m_readPos, count);
    m_readPos += count;
    // Reading resumes in the next pass once the backlog is small again.
    if (m_readingPaused && !m_notificationTimer.isActive())
        m_notificationTimer.start();
    return text;
}

// Adds what arrived since the last read to the waiting text, dropping what
// has been read; no text handed out before is kept valid.
void MSComm::takeIncoming()
{
    if (m_readPos == m_received.size()) {
        m_received = std::move(m_incoming); // everything read: no copy
        m_readPos = 0;
    } else {
        m_received.remove(0, m_readPos);
        m_readPos = 0;
        m_received += m_incoming;
    }
    m_incoming.clear();
}

void MSComm::readArrivedBytes()
{
    // Past the limit the bytes stay with the line until it has read its fill
    // ahead and stops reading, and then with the system, which holds the
    // sender back; resumeReading() takes them once the backlog has drained.
    if (inBufferCount() >= kMaxWaitingCharacters) {
        m_readingPaused = true;
        return;
    }
    appendReceived(m_line.readAll());
}

void MSComm::resumeReading()
{
    if (!m_readingPaused || inBufferCount() >= kMaxWaitingCharacters)
        return;
    m_readingPaused = false;
    if (m_line.isOpen())
        appendReceived(m_line.readAll()); // also lets the line read again
}

void MSComm::appendReceived(QByteArrayView bytes)
{
    appendDecoded(m_decoder.decode(bytes));
}

void MSComm::appendDecoded(const QString &text)
{
    if (text.isEmpty())
        return;
    m_incoming += text; // shares text when nothing else waits there
    if (m_rThreshold > 0) {
        m_notificationsOwed += text.size();
        scheduleNotification();
    }
}

void MSComm::scheduleNotification()
{
    if (m_notificationsOwed <= 0 || m_notificationTimer.isActive())
        return;
    m_notificationTimer.start();
}

// Delivers what is owed in one batch, one OnComm per character, until the
// batch has taken its time; the rest waits for the next pass. Never inside
// the handler of another OnComm: the timer stays active through the batch,
// so bytes arriving meanwhile only add to what is owed, and Qt does not fire
// a timer again from an event loop run inside its own timeout.
void MSComm::deliverNotifications()
{
    if (m_rThreshold <= 0)
        m_notificationsOwed = 0;

    // Asked once a batch: asking for every notification would cost more than
    // the rest of the notification. A receiver connected by a handler during
    // a batch hears from the next one on.
    const bool signalHeard = isSignalConnected(QMetaMethod::fromSignal(&MSComm::OnComm));
    const QPointer<MSComm> self(this);
    QElapsedTimer clock;
    clock.start();
    int sinceClockCheck = 0;
    while (m_notificationsOwed > 0) {
        --m_notificationsOwed;
        m_commEvent = kComEvReceive;
        if (m_onCommHandler) {
            m_onCommHandler();
            if (!self)
                return; // the handler deleted the control
        }
        if (signalHeard) {
            emit OnComm();
            if (!self)
                return;
        }
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
