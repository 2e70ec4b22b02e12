#include "pty_board.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

void addFlags(int fd, int fdFlags, int statusFlags)
{
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | fdFlags);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | statusFlags);
}

void closeDescriptor(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

bool spinEventLoopUntil(const std::function<bool()> &condition, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return condition();
}

PtyBoard::PtyBoard(FarEnd farEnd, QObject *parent)
    : QObject(parent)
{
    char name[256] = {};
    if (::openpty(&m_masterFd, &m_slaveFd, name, nullptr, nullptr) != 0) {
        m_masterFd = m_slaveFd = -1;
        return;
    }
    // Close-on-exec keeps helper processes the tests start from holding the
    // line open behind the board's back.
    addFlags(m_masterFd, FD_CLOEXEC, farEnd == FarEnd::Board ? O_NONBLOCK : 0);
    addFlags(m_slaveFd, FD_CLOEXEC, 0);
    if (!makeRaw(m_masterFd) || !makeRaw(m_slaveFd)) {
        closeDescriptor(m_masterFd);
        closeDescriptor(m_slaveFd);
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    if (farEnd == FarEnd::ForThreads)
        return;

    m_readNotifier = new QSocketNotifier(m_masterFd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyBoard::readFromLine);
    m_writeNotifier = new QSocketNotifier(m_masterFd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyBoard::writePending);
}

PtyBoard::~PtyBoard()
{
    hangUp();
    releaseSlave();
}

bool PtyBoard::waitForReceived(qsizetype byteCount, int timeoutMs)
{
    return spinEventLoopUntil([&] { return m_received.size() >= byteCount; }, timeoutMs);
}

bool PtyBoard::send(const QByteArray &bytes, int timeoutMs)
{
    if (isHungUp())
        return false;
    m_sendFailed = false;
    m_outgoing += bytes;
    writePending();
    return spinEventLoopUntil([&] { return m_outgoing.isEmpty() || isHungUp(); }, timeoutMs)
           && !isHungUp() && !m_sendFailed;
}

qsizetype PtyBoard::pendingForProgram() const
{
    int count = 0;
    if (m_slaveFd < 0 || ::ioctl(m_slaveFd, TIOCINQ, &count) != 0)
        return -1;
    return count;
}

bool PtyBoard::waitForPendingForProgram(qsizetype byteCount, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (pendingForProgram() < byteCount) {
        if (deadline.hasExpired())
            return false;
        QThread::usleep(500);
    }
    return true;
}

void PtyBoard::hangUp()
{
    // Deferred deletion: a test may hang up from within bytesReceived().
    for (QSocketNotifier *notifier : {m_readNotifier, m_writeNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    m_outgoing.clear();
    closeDescriptor(m_masterFd);
}

void PtyBoard::releaseSlave()
{
    closeDescriptor(m_slaveFd);
}

void PtyBoard::readFromLine()
{
    char buffer[65536];
    QByteArray chunk;
    for (;;) {
        const ssize_t count = ::read(m_masterFd, buffer, sizeof buffer);
        if (count > 0) {
            chunk.append(buffer, count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // Every slave descriptor is closed (only possible after
            // releaseSlave()): the master reports that without end, so stop
            // listening rather than spin.
            m_readNotifier->setEnabled(false);
        }
        break;
    }
    if (chunk.isEmpty())
        return;
    m_received += chunk;
    if (m_echo) {
        m_outgoing += chunk;
        writePending();
    }
    emit bytesReceived(chunk);
}

void PtyBoard::writePending()
{
    while (!m_outgoing.isEmpty() && m_masterFd >= 0) {
        const ssize_t count = ::write(m_masterFd, m_outgoing.constData(), m_outgoing.size());
        if (count > 0) {
            m_outgoing.remove(0, count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            m_outgoing.clear(); // nobody on the slave side: the bytes go nowhere
            m_sendFailed = true;
        }
        break; // when full, carry on once the line is writable again
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_outgoing.isEmpty());
}

PortLocator ptyLocator(const QMap<int, QString> &devices)
{
    return [devices](int portNumber) { return devices.value(portNumber); };
}

bool makeRaw(int fd)
{
    termios attributes {};
    if (::tcgetattr(fd, &attributes) != 0)
        return false;
    ::cfmakeraw(&attributes);
    return ::tcsetattr(fd, TCSANOW, &attributes) == 0;
}
