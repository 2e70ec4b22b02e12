// MSComm over real pseudo-terminals with PtyBoard playing the board: opening,
// locking, settings and sending; OnComm delivery, decoding, clearing and
// losing the line.
#include "line_fixture.h"
#include "serial/comm_error.h"

#include <QProcess>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The message of the CommError the operation throws ("" when it succeeds).
QString commErrorOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const CommError &error) {
        return error.message();
    }
    return {};
}

} // namespace

class TestSerial : public QObject
{
    Q_OBJECT

private slots:
    void openAndClose();
    void openFails_data();
    void openFails();
    void heldPortCannotBeOpened_data();
    void heldPortCannotBeOpened();
    void malformedSettings_data();
    void malformedSettings();
    void settingsReachTheDevice_data();
    void settingsReachTheDevice();
    void rejectsInvalidValues();
    void openingDropsWhatCameBefore();
    void noNotificationInsideAnother();
    void clearingDiscardsQueueAndOwedNotifications();
    void thresholdZeroInAHandlerStopsTheBatch();
    void clearingDiscardsWhatTheSystemHolds();
    void clearingWhileBytesArriveKeepsListening();
    void hangUpClosesPortOnce_data();
    void hangUpClosesPortOnce();
    void deviceIsPresent();
    void lostPortIsAwaitedUntilItsDeviceIsBack();
    void deviceBackButBusyIsTriedAgainSoon();
    void waitEndsWithAnyOpeningOrClosing_data();
    void waitEndsWithAnyOpeningOrClosing();
};

// Open twice is an error, close twice is not; port and settings are fixed
// while open.
void TestSerial::openAndClose()
{
    LineFixture line;
    line.comm.setSettings("9600,N,8,1");
    QCOMPARE(line.comm.deviceName(1), line.board.slavePath());
    QVERIFY(!line.comm.PortOpen());
    QVERIFY(line.open());
    QVERIFY(!commErrorOf([&] { line.comm.setPortOpen(true); }).isEmpty());
    QVERIFY(!commErrorOf([&] { line.comm.setCommPort(2); }).isEmpty());
    QVERIFY(!commErrorOf([&] { line.comm.setSettings("4800,N,8,1"); }).isEmpty());
    QCOMPARE(line.comm.commPort(), 1);
    QCOMPARE(line.comm.settings(), QStringLiteral("9600,N,8,1"));
    QVERIFY(line.comm.PortOpen());

    line.comm.setPortOpen(false);
    QVERIFY(!line.comm.PortOpen());
    line.comm.setPortOpen(false);
    line.comm.setCommPort(2);
    line.comm.setSettings("4800,N,8,1");
    QCOMPARE(line.comm.commPort(), 2);
    QCOMPARE(line.comm.settings(), QStringLiteral("4800,N,8,1"));
}

// No device for COMn at all: tests/test_port_opening.
void TestSerial::openFails_data()
{
    QTest::addColumn<QString>("device");
    QTest::newRow("device does not exist") << QStringLiteral("/dev/pts/no-such-device");
    QTest::newRow("not a serial device") << QStringLiteral("/dev/null");
}

void TestSerial::openFails()
{
    QFETCH(QString, device);
    MSComm comm(ptyLocator({{1, device}}));
    const QString message = commErrorOf([&] { comm.setPortOpen(true); });
    QVERIFY2(message.contains(device), qPrintable(message));
    QVERIFY(!comm.PortOpen());
}

// Another control of this process holding the port: tests/test_port_opening.
void TestSerial::heldPortCannotBeOpened_data()
{
    QTest::addColumn<bool>("byProcess");
    // Killed, it leaves its lock file behind.
    QTest::newRow("another process, then killed") << true;
    QTest::newRow("a program that flocks the device") << false;
}

void TestSerial::heldPortCannotBeOpened()
{
    QFETCH(bool, byProcess);

    PtyBoard board;
    const QString path = board.slavePath();
    QProcess process;
    int fd = -1;
    if (byProcess) {
        process.start(QStringLiteral(PORT_HOLDER_PATH), {path});
        QVERIFY(process.waitForReadyRead(10000));
        QCOMPARE(process.readAllStandardOutput().trimmed(), QByteArray("ready"));
    } else {
        fd = ::open(qPrintable(path), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    }

    MSComm comm(ptyLocator({{1, path}}));
    const QString message = commErrorOf([&] { comm.setPortOpen(true); });
    QVERIFY2(message.contains(path), qPrintable(message));
    QVERIFY(!comm.PortOpen());

    process.kill();
    process.waitForFinished();
    if (fd >= 0)
        ::close(fd);
    comm.setPortOpen(true);
    QVERIFY(comm.PortOpen());
}

void TestSerial::malformedSettings_data()
{
    QTest::addColumn<QString>("settings");
    const QStringList rows[] = {
        {"empty", ""},
        {"three fields", "9600,N,8"},
        {"five fields", "9600,N,8,1,1"},
        {"baud not a number", "fast,N,8,1"},
        {"signed baud", "+9600,N,8,1"},
        {"zero baud", "0,N,8,1"},
        {"baud too large", "99999999999,N,8,1"},
        {"unknown parity", "9600,X,8,1"},
        {"parity as a word", "9600,None,8,1"},
        {"four data bits", "9600,N,4,1"},
        {"nine data bits", "9600,N,9,1"},
        {"three stop bits", "9600,N,8,3"},
        {"odd stop bits", "9600,N,8,1.2"},
        {"spaces", "9600, N, 8, 1"},
        {"empty field", "9600,,8,1"},
        {"semicolons", "9600;N;8;1"},
    };
    for (const QStringList &row : rows)
        QTest::newRow(qPrintable(row.at(0))) << row.at(1);
}

void TestSerial::malformedSettings()
{
    QFETCH(QString, settings);
    MSComm comm(ptyLocator({}));
    const QString before = comm.settings();
    QVERIFY(!commErrorOf([&] { comm.setSettings(settings); }).isEmpty());
    QCOMPARE(comm.settings(), before);
}

void TestSerial::settingsReachTheDevice_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("twoStopBits");

    // A pseudo-terminal always reports 8 data bits and no parity whatever is
    // asked for, so only the speed and the stop bits can be checked here.
    QTest::newRow("9600,N,8,1") << "9600,N,8,1" << int(B9600) << false;
    QTest::newRow("115200,E,7,2") << "115200,E,7,2" << int(B115200) << true;
    QTest::newRow("lower case parity") << "4800,s,6,2" << int(B4800) << true;
}

void TestSerial::settingsReachTheDevice()
{
    QFETCH(QString, settings);
    QFETCH(int, speed);
    QFETCH(bool, twoStopBits);

    LineFixture line;
    line.comm.setSettings(settings);
    QCOMPARE(line.comm.settings(), settings);
    QVERIFY(line.open());

    // The line's attributes are shared by every descriptor of the device.
    const int fd = ::open(qPrintable(line.board.slavePath()), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 && errno == EBUSY)
        QSKIP("Only root can look past the port's exclusive mode");
    QVERIFY(fd >= 0);
    termios attributes {};
    const bool gotAttributes = ::tcgetattr(fd, &attributes) == 0;
    ::close(fd);
    QVERIFY(gotAttributes);
    QCOMPARE(int(cfgetospeed(&attributes)), speed);
    QCOMPARE(bool(attributes.c_cflag & CSTOPB), twoStopBits);
}

void TestSerial::rejectsInvalidValues()
{
    MSComm comm(ptyLocator({}));
    QVERIFY(!commErrorOf([&] { comm.setCommPort(0); }).isEmpty());
    QVERIFY(!commErrorOf([&] { comm.setRThreshold(-1); }).isEmpty());
    QVERIFY(!commErrorOf([&] { comm.setInputLen(-1); }).isEmpty());
    QVERIFY(!commErrorOf([&] { comm.setInBufferCount(1); }).isEmpty());
    QVERIFY(!commErrorOf([&] { comm.setInBufferCount(-1); }).isEmpty());
    QVERIFY(commErrorOf([&] { comm.setInBufferCount(0); }).isEmpty());
}

// Bytes the line held while the port was closed are not taken for received
// ones: a port starts empty, as a UART nobody had open would.
void TestSerial::openingDropsWhatCameBefore()
{
    LineFixture line;
    int notifications = 0;
    connect(&line.comm, &MSComm::OnComm, this, [&] { ++notifications; });
    QVERIFY(line.board.send("stale"));
    QVERIFY(line.open(0));
    idleFor(50);
    QCOMPARE(notifications, 0);
    QCOMPARE(line.comm.Input().toString(), QString());

    QVERIFY(line.board.send("fresh"));
    QVERIFY(QTest::qWaitFor([&] { return notifications >= 5; }));
    QCOMPARE(line.comm.Input().toString(), QStringLiteral("fresh"));
}

void TestSerial::noNotificationInsideAnother()
{
    LineFixture line;
    int depth = 0;
    int deepest = 0;
    QString inputs;
    connect(&line.comm, &MSComm::OnComm, this, [&] {
        deepest = std::max(deepest, ++depth);
        inputs += line.comm.Input();
        if (inputs == u"a") {
            // More arrives while this handler runs its own event loop.
            QVERIFY(line.board.send("xyz"));
            spinEventLoopUntil([&] { return line.comm.inBufferCount() >= 5; }, 2000);
            idleFor(20);
        }
        --depth;
    });
    QVERIFY(line.open());
    QVERIFY(line.board.send("abc"));
    QVERIFY(line.board.waitForPendingForProgram(3));
    QVERIFY(QTest::qWaitFor([&] { return inputs.size() >= 6; }));
    QCOMPARE(inputs, QStringLiteral("abcxyz"));
    QCOMPARE(deepest, 1);
}

void TestSerial::clearingDiscardsQueueAndOwedNotifications()
{
    LineFixture line;
    int notifications = 0;
    connect(&line.comm, &MSComm::OnComm, this, [&] {
        if (++notifications == 1)
            line.comm.setInBufferCount(0);
    });
    QVERIFY(line.open());
    QVERIFY(line.board.send("abcdef\xD6")); // ends with half a character
    QVERIFY(line.board.waitForPendingForProgram(7));
    QVERIFY(QTest::qWaitFor([&] { return notifications >= 1; }));
    idleFor(50);
    QCOMPARE(notifications, 1);
    QCOMPARE(line.comm.inBufferCount(), 0);
    QCOMPARE(line.comm.Input().toString(), QString());

    // The dangling lead byte went too: the next byte starts afresh.
    QVERIFY(line.board.send("z"));
    QVERIFY(QTest::qWaitFor([&] { return notifications >= 2; }));
    QCOMPARE(line.comm.Input().toString(), QStringLiteral("z"));
}

// RThreshold set to 0 by a handler takes back the notifications still owed
// for characters already received; the characters stay to be read.
void TestSerial::thresholdZeroInAHandlerStopsTheBatch()
{
    LineFixture line;
    int notifications = 0;
    connect(&line.comm, &MSComm::OnComm, this, [&] {
        ++notifications;
        line.comm.setRThreshold(0);
    });
    QVERIFY(line.open(0));
    QVERIFY(line.board.send("abcdef"));
    QVERIFY(line.board.waitForPendingForProgram(6));
    QVERIFY(QTest::qWaitFor([&] { return notifications >= 1; }));
    idleFor(50);
    QCOMPARE(notifications, 1);
    QCOMPARE(line.comm.Input().toString(), QStringLiteral("abcdef"));
}

void TestSerial::clearingDiscardsWhatTheSystemHolds()
{
    LineFixture line;
    int notifications = 0;
    connect(&line.comm, &MSComm::OnComm, this, [&] { ++notifications; });
    QVERIFY(line.open(0));
    QVERIFY(line.board.send("stale"));
    QVERIFY(line.board.waitForPendingForProgram(5)); // there, but not yet read
    line.comm.setInBufferCount(0);
    QCOMPARE(line.board.pendingForProgram(), 0);
    QVERIFY(line.comm.PortOpen());

    QVERIFY(line.board.send("fresh"));
    QVERIFY(QTest::qWaitFor([&] { return notifications >= 5; }));
    idleFor(20);
    QCOMPARE(notifications, 5);
    QCOMPARE(line.comm.Input().toString(), QStringLiteral("fresh"));
}

void TestSerial::clearingWhileBytesArriveKeepsListening()
{
    // The event loop has seen the port readable, and a call queued before
    // the port's turn in that pass clears the input: the port's readiness is
    // then stale and its read fails, which must not be taken for a lost line
    // nor stop reception.
    LineFixture line;
    int notifications = 0;
    int lost = 0;
    connect(&line.comm, &MSComm::portLost, this, [&] { ++lost; });
    connect(&line.comm, &MSComm::OnComm, this, [&] { ++notifications; });
    QVERIFY(line.open(0));
    QVERIFY(line.board.send("ab"));
    QVERIFY(line.board.waitForPendingForProgram(2));
    QMetaObject::invokeMethod(
        &line.comm, [&] { line.comm.setInBufferCount(0); }, Qt::QueuedConnection);
    idleFor(50);
    QCOMPARE(notifications, 0);
    QCOMPARE(line.comm.Input().toString(), QString());
    QVERIFY(line.comm.PortOpen());

    QVERIFY(line.board.send("z"));
    QVERIFY(QTest::qWaitFor([&] { return notifications >= 1; }));
    QCOMPARE(line.comm.Input().toString(), QStringLiteral("z"));
    QCOMPARE(lost, 0);
}

void TestSerial::hangUpClosesPortOnce_data()
{
    QTest::addColumn<bool>("boardKeepsSlave");
    QTest::newRow("board keeps its own slave descriptor") << true;
    QTest::newRow("board released its slave descriptor") << false;
}

void TestSerial::hangUpClosesPortOnce()
{
    QFETCH(bool, boardKeepsSlave);

    LineFixture line;
    int lost = 0;
    connect(&line.comm, &MSComm::portLost, this, [&] { ++lost; });
    QVERIFY(line.open(0));
    line.comm.setRThreshold(0);
    if (!boardKeepsSlave)
        line.board.releaseSlave();
    QVERIFY(line.board.send("xy"));
    QVERIFY(QTest::qWaitFor([&] { return line.comm.inBufferCount() == 2; }));
    QVERIFY(idlesWithoutBusyLoop(500));

    line.board.hangUp();
    QVERIFY(QTest::qWaitFor([&] { return lost > 0; }));
    QVERIFY(!line.comm.PortOpen());
    QVERIFY(idlesWithoutBusyLoop());
    QCOMPARE(lost, 1);
    QCOMPARE(line.comm.Input().toString(), QStringLiteral("xy"));
    line.comm.setOutput(QStringLiteral("after")); // no port: nothing sent, no error
    line.comm.setPortOpen(false);
}

// A control whose COM1 is whatever device the test says, as a port plugged
// back may be another node than before.
struct MovingLine
{
    std::unique_ptr<PtyBoard> board = std::make_unique<PtyBoard>();
    QString device = board->slavePath();
    MSComm comm {[this](int portNumber) { return portNumber == 1 ? device : QString(); }};
    int lost = 0;
    int returned = 0;

    MovingLine()
    {
        QObject::connect(&comm, &MSComm::portLost, &comm, [this] { ++lost; });
        QObject::connect(&comm, &MSComm::portReturned, &comm, [this] { ++returned; });
    }
    // Opens COM1, then hangs the board up: the node goes with it.
    bool openAndLose()
    {
        comm.setPortOpen(true);
        board->hangUp();
        return QTest::qWaitFor([this] { return lost == 1; }) && !comm.PortOpen();
    }
    // A new board for COM1.
    void plugBack()
    {
        board = std::make_unique<PtyBoard>();
        device = board->slavePath();
    }
};

// What counts as a device there to be opened, without opening it.
void TestSerial::deviceIsPresent()
{
    PtyBoard board;
    PtyBoard gone;
    const QString gonePath = gone.slavePath();
    gone.hangUp();
    QVERIFY(SerialLine::isPresent(board.slavePath()));
    QVERIFY(!SerialLine::isPresent(gonePath)); // its node went with its master
    QVERIFY(!SerialLine::isPresent(QStringLiteral("/dev/null"))); // a device, but not a terminal
    QVERIFY(!SerialLine::isPresent(QStringLiteral(PORT_HOLDER_PATH))); // a file
    QVERIFY(!SerialLine::isPresent(QString()));
}

// Nothing while COM1 has no device; once it has, portReturned, and again and
// again while it is not opened; opening it ends the wait.
void TestSerial::lostPortIsAwaitedUntilItsDeviceIsBack()
{
    MovingLine line;
    QVERIFY(!line.comm.awaitsReturn());
    QVERIFY(line.openAndLose());
    QVERIFY(line.comm.awaitsReturn());
    QVERIFY(idlesWithoutBusyLoop(2 * PortWatch::kLookIntervalMs + 200));
    QCOMPARE(line.returned, 0);

    line.plugBack();
    QVERIFY(QTest::qWaitFor([&] { return line.returned == 1; }, 3 * PortWatch::kLookIntervalMs));
    QVERIFY(QTest::qWaitFor([&] { return line.returned == 3; }, 3 * PortWatch::kLookIntervalMs));

    QObject::connect(&line.comm, &MSComm::portReturned, &line.comm,
                     [&] { line.comm.setPortOpen(true); });
    QVERIFY(QTest::qWaitFor([&] { return line.comm.PortOpen(); }));
    QVERIFY(!line.comm.awaitsReturn());
    const int returned = line.returned;
    line.board->setEcho(false);
    line.comm.setOutput(QStringLiteral("back"));
    QVERIFY(line.board->waitForReceived(4));
    QCOMPARE(line.board->received(), QByteArray("back"));
    idleFor(2 * PortWatch::kLookIntervalMs);
    QCOMPARE(line.returned, returned);
}

// A device just plugged in may be held for a moment (by the system setting
// it up, or a modem manager probing it): the tries come quickly at first,
// and the port opens as soon as the device is free.
void TestSerial::deviceBackButBusyIsTriedAgainSoon()
{
    MovingLine line;
    QVERIFY(line.openAndLose());
    line.plugBack();
    const int fd = ::open(qPrintable(line.device), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    QStringList refusals;
    QObject::connect(&line.comm, &MSComm::portReturned, &line.comm, [&] {
        const QString message = commErrorOf([&] { line.comm.setPortOpen(true); });
        if (!message.isEmpty())
            refusals.append(message);
    });
    // The first look comes a second after the loss, the next ones after
    // 0.1, 0.2 and 0.4 s.
    QVERIFY(QTest::qWaitFor([&] { return refusals.size() == 4; },
                            2 * PortWatch::kLookIntervalMs + 700));
    ::close(fd);
    QVERIFY(QTest::qWaitFor([&] { return line.comm.PortOpen(); }, 2 * PortWatch::kLookIntervalMs));
    QVERIFY(!line.comm.awaitsReturn());
}

void TestSerial::waitEndsWithAnyOpeningOrClosing_data()
{
    QTest::addColumn<int>("ending");
    QTest::newRow("the wait stopped (another port chosen)") << 0;
    QTest::newRow("the port closed") << 1;
    QTest::newRow("another port opened") << 2;
}

void TestSerial::waitEndsWithAnyOpeningOrClosing()
{
    QFETCH(int, ending);
    MovingLine line;
    PtyBoard other;
    QVERIFY(line.openAndLose());
    if (ending == 0) {
        line.comm.stopAwaitingReturn();
    } else if (ending == 1) {
        line.comm.setPortOpen(false);
    } else {
        line.device = other.slavePath();
        line.comm.setPortOpen(true);
        line.device.clear();
        QVERIFY(line.comm.PortOpen());
    }
    QVERIFY(!line.comm.awaitsReturn());
    line.plugBack();
    idleFor(2 * PortWatch::kLookIntervalMs + 200);
    QCOMPARE(line.returned, 0);
}

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
