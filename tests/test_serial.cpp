// Opening, settings, locking and sending of MSComm, driven through real
// pseudo-terminals with PtyBoard playing the board.

#include "pty_board.h"
#include "serial/comm_error.h"
#include "serial/serial_port.h"

#include <QEventLoop>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
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

// Runs the event loop for a while with nothing to wake it but one timer.
void idleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A board on COM1 and a control pointed at it.
struct Line
{
    PtyBoard board;
    MSComm comm {ptyLocator({{1, board.slavePath()}})};

    bool open()
    {
        comm.setPortOpen(true);
        return board.isValid() && comm.PortOpen();
    }
};

} // namespace

class TestSerial : public QObject
{
    Q_OBJECT

private slots:
    void openAndClose();
    void openFails_data();
    void openFails();
    void secondControlInProcessCannotOpen();
    void secondProcessCannotOpen();
    void deviceLockedByAnotherProgram();
    void malformedSettings_data();
    void malformedSettings();
    void settingsReachTheDevice_data();
    void settingsReachTheDevice();
    void noChangesWhileOpen();
    void rejectsInvalidValues();
    void outputBytesExact_data();
    void outputBytesExact();
    void outputWithoutOpenPortSendsNothing();
};

void TestSerial::openAndClose()
{
    Line line;
    QVERIFY(line.board.isValid());
    QCOMPARE(line.comm.deviceName(1), line.board.slavePath());
    QVERIFY(!line.comm.PortOpen());
    QVERIFY(line.open());
    QVERIFY(!commErrorOf([&] { line.comm.setPortOpen(true); }).isEmpty());
    QVERIFY(line.comm.PortOpen());
    line.comm.setPortOpen(false);
    QVERIFY(!line.comm.PortOpen());
    line.comm.setPortOpen(false); // closing a closed port is allowed
    QVERIFY(line.open());
}

void TestSerial::openFails_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("mentioned");

    QTest::newRow("no device for the port number") << QString() << 2 << QStringLiteral("COM2");
    QTest::newRow("device does not exist") << QStringLiteral("/dev/pts/no-such-device") << 1
                                           << QStringLiteral("/dev/pts/no-such-device");
    QTest::newRow("not a serial device")
        << QStringLiteral("/dev/null") << 1 << QStringLiteral("/dev/null");
}

void TestSerial::openFails()
{
    QFETCH(QString, device);
    QFETCH(int, port);
    QFETCH(QString, mentioned);

    MSComm comm(ptyLocator({{1, device}}));
    comm.setCommPort(port);
    const QString message = commErrorOf([&] { comm.setPortOpen(true); });
    QVERIFY(!message.isEmpty());
    QVERIFY2(message.contains(mentioned), qPrintable(message));
    QVERIFY(!comm.PortOpen());
}

void TestSerial::secondControlInProcessCannotOpen()
{
    Line line;
    QVERIFY(line.open());
    MSComm second(ptyLocator({{1, line.board.slavePath()}}));
    const QString message = commErrorOf([&] { second.setPortOpen(true); });
    QVERIFY2(message.contains(line.board.slavePath()), qPrintable(message));
    QVERIFY(!second.PortOpen());
    line.comm.setPortOpen(false);
    second.setPortOpen(true);
    QVERIFY(second.PortOpen());
}

void TestSerial::secondProcessCannotOpen()
{
    PtyBoard board;
    QProcess holder;
    holder.start(QStringLiteral(PORT_HOLDER_PATH), {board.slavePath()});
    QVERIFY(holder.waitForStarted());
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readAllStandardOutput().trimmed(), QByteArray("ready"));

    MSComm comm(ptyLocator({{1, board.slavePath()}}));
    const QString message = commErrorOf([&] { comm.setPortOpen(true); });
    QVERIFY2(message.contains(board.slavePath()), qPrintable(message));
    QVERIFY(!comm.PortOpen());

    // Once the holder is gone (killed, so it leaves its lock file behind) the
    // device can be opened again.
    holder.kill();
    QVERIFY(holder.waitForFinished());
    comm.setPortOpen(true);
    QVERIFY(comm.PortOpen());
}

void TestSerial::deviceLockedByAnotherProgram()
{
    // A program that locks the device itself (flock) and not through a lock file.
    PtyBoard board;
    const int fd = ::open(qPrintable(board.slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    MSComm comm(ptyLocator({{1, board.slavePath()}}));
    const QString message = commErrorOf([&] { comm.setPortOpen(true); });
    ::close(fd);
    QVERIFY2(message.contains(board.slavePath()), qPrintable(message));
    QVERIFY(!comm.PortOpen());
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
    QVERIFY(!commErrorOf([&] { comm.setSettings(settings); }).isEmpty());
    QCOMPARE(comm.settings(), QStringLiteral("9600,N,8,1"));
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
    QTest::newRow("300,O,5,1") << "300,O,5,1" << int(B300) << false;
    QTest::newRow("19200,M,8,1") << "19200,M,8,1" << int(B19200) << false;
    QTest::newRow("lower case parity") << "4800,s,6,2" << int(B4800) << true;
}

void TestSerial::settingsReachTheDevice()
{
    QFETCH(QString, settings);
    QFETCH(int, speed);
    QFETCH(bool, twoStopBits);

    Line line;
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

void TestSerial::noChangesWhileOpen()
{
    Line line;
    QVERIFY(line.open());
    QVERIFY(!commErrorOf([&] { line.comm.setCommPort(2); }).isEmpty());
    QCOMPARE(line.comm.commPort(), 1);
    QVERIFY(!commErrorOf([&] { line.comm.setSettings("4800,N,8,1"); }).isEmpty());
    QCOMPARE(line.comm.settings(), QStringLiteral("9600,N,8,1"));
    QVERIFY(line.comm.PortOpen());

    line.comm.setPortOpen(false);
    line.comm.setCommPort(2);
    line.comm.setSettings("4800,N,8,1");
    QCOMPARE(line.comm.commPort(), 2);
    QCOMPARE(line.comm.settings(), QStringLiteral("4800,N,8,1"));
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

void TestSerial::outputBytesExact_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("abc") << QStringLiteral("abc") << QByteArray("\x61\x62\x63");
    QTest::newRow("zhong") << QStringLiteral("中") << QByteArray("\xD6\xD0");
    QTest::newRow("line ends unchanged") << QStringLiteral("a\r\nb\n") << QByteArray("a\r\nb\n");
    QTest::newRow("unmappable left out")
        << (QStringLiteral("a😀b한") + QChar(0x00A0) + QStringLiteral("c")) << QByteArray("abc");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestSerial::outputBytesExact()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    Line line;
    line.board.setEcho(false);
    QVERIFY(line.open());
    line.comm.setOutput(text);
    line.comm.setOutput(QStringLiteral("|")); // everything before it has arrived
    QVERIFY(line.board.waitForReceived(bytes.size() + 1));
    idleFor(50);
    QCOMPARE(line.board.received(), bytes + "|");
}

void TestSerial::outputWithoutOpenPortSendsNothing()
{
    Line line;
    line.board.setEcho(false);
    line.comm.setOutput(QStringLiteral("abc")); // no port: nothing, and no error
    QVERIFY(line.open());
    line.comm.setOutput(QStringLiteral("Z"));
    QVERIFY(line.board.waitForReceived(1));
    idleFor(50);
    QCOMPARE(line.board.received(), QByteArray("Z"));
}

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
