// Test doubles for the serial line: a pseudo-terminal pair whose far end plays
// the microcontroller board, and a port locator that maps COMn onto such pairs.
#pragma once

#include "serial/port_locator.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

// Runs the event loop (at full speed, not in sleep-and-poll steps) until the
// condition holds or timeoutMs has passed; returns whether it holds. For the
// waits while the line floods, and inside a handler, where QTest::qWaitFor's
// sleeps of 10 ms between looks would hold the line back; elsewhere
// QTest::qWaitFor does.
bool spinEventLoopUntil(const std::function<bool()> &condition, int timeoutMs = 5000);

// A pseudo-terminal pair in raw mode: the program under test opens
// slavePath(), the board sits on the master side.
//
// The board reads everything the program sends (received()) and, in echo
// mode (the default), sends every byte straight back. It keeps a descriptor
// of its own to the slave side, so the line is not hung up while the program
// has its port closed; hangUp() closes the master side, which the program
// sees as the device going away. Everything runs in the thread's event loop.
//
// A benchmark that works the far end from threads of its own, with blocking
// calls as a real board would, makes the board with FarEnd::ForThreads: it
// then neither reads nor echoes, and farEnd() blocks.
class PtyBoard : public QObject
{
    Q_OBJECT

public:
    enum class FarEnd { Board, ForThreads };

    explicit PtyBoard(FarEnd farEnd = FarEnd::Board, QObject *parent = nullptr);
    ~PtyBoard() override;

    // False when no pseudo-terminal could be created.
    bool isValid() const { return m_masterFd >= 0 && !m_slavePath.isEmpty(); }

    // The device the program opens, such as "/dev/pts/3".
    QString slavePath() const { return m_slavePath; }
    // The master side, for FarEnd::ForThreads.
    int farEnd() const { return m_masterFd; }

    // Whether the board sends back what it receives.
    void setEcho(bool echo) { m_echo = echo; }
    bool echo() const { return m_echo; }

    // Everything the program has sent so far, in order.
    QByteArray received() const { return m_received; }
    void clearReceived() { m_received.clear(); }

    // Waits, running the event loop, until at least byteCount bytes have been
    // received in total.
    bool waitForReceived(qsizetype byteCount, int timeoutMs = 5000);

    // Puts the bytes on the line towards the program. Returns at once, without
    // running the event loop, when the system takes them all; otherwise runs
    // the event loop until the program has read enough for the rest to fit.
    // False on timeout or when the line is hung up.
    bool send(const QByteArray &bytes, int timeoutMs = 30000);

    // Bytes the system holds on the program's side, not yet read by it
    // (-1 after releaseSlave() or hangUp()).
    qsizetype pendingForProgram() const;

    // Waits WITHOUT running the event loop until the system holds at least
    // byteCount bytes for the program, so they are there but still unread.
    bool waitForPendingForProgram(qsizetype byteCount, int timeoutMs = 5000) const;

    // Closes the master side: the program's port is hung up. Bytes still
    // unread by the program are lost, as with a real unplugged device.
    void hangUp();
    bool isHungUp() const { return m_masterFd < 0; }

    // Closes the board's own descriptor to the slave side.
    void releaseSlave();

signals:
    // Bytes just received from the program.
    void bytesReceived(const QByteArray &bytes);

private:
    void readFromLine();
    void writePending();

    int m_masterFd = -1;
    int m_slaveFd = -1;
    QString m_slavePath;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_received;
    QByteArray m_outgoing; // accepted by send() or echo, not yet taken by the system
    bool m_echo = true;
    bool m_sendFailed = false;
};

// A locator that maps port numbers to pseudo-terminal paths (for example
// {{1, board.slavePath()}}); any other number has no device, so a test can
// never reach a real serial port.
PortLocator ptyLocator(const QMap<int, QString> &devices);

// Puts a terminal in raw mode: bytes pass unchanged, one at a time.
bool makeRaw(int fd);
