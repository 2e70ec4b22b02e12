// Reception by MSComm: OnComm delivery, decoding, clearing and losing the
// line, driven through real pseudo-terminals with PtyBoard playing the board.

#include "pty_board.h"
#include "serial/gbk.h"
#include "serial/serial_port.h"
#include "test_helpers.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>

namespace {

// A board on COM1 and an open control pointed at it, raising OnComm for
// every character.
struct Line
{
    PtyBoard board;
    MSComm comm {ptyLocator({{1, board.slavePath()}})};

    bool open(int inputLen = 1)
    {
        board.setEcho(false);
        comm.setRThreshold(1);
        comm.setInputLen(inputLen);
        comm.setPortOpen(true);
        return board.isValid() && comm.PortOpen();
    }
};

} // namespace

class TestSerialReceive : public QObject
{
    Q_OBJECT

private slots:
    void oneNotificationPerCharacter();
    void noNotificationInsideAnother();
    void splitDoubleByteCharIsOneCharacter();
    void longBurstLosesNothing_data();
    void longBurstLosesNothing();
    void clearingDiscardsQueueAndOwedNotifications();
    void clearingDiscardsWhatTheSystemHolds();
    void clearingWhileBytesArriveKeepsListening();
    void hangUpClosesPortOnce_data();
    void hangUpClosesPortOnce();
    void hangUpKeepsDecodedCharacters();
};

void TestSerialReceive::oneNotificationPerCharacter()
{
    Line line;
    QList<int> events;
    QStringList inputs;
    connect(&line.comm, &MSComm::OnComm, this, [&] {
        events.append(line.comm.CommEvent());
        inputs.append(line.comm.Input());
    });
    QVERIFY(line.open());
    QVERIFY(line.board.send("abc"));
    QVERIFY(spinEventLoopUntil([&] { return inputs.size() >= 3; }));
    idleFor(50);
    QCOMPARE(inputs, (QStringList {"a", "b", "c"}));
    QCOMPARE(events, (QList<int> {2, 2, 2}));
    QCOMPARE(line.comm.Input(), QString());
}

void TestSerialReceive::noNotificationInsideAnother()
{
    Line line;
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
    QVERIFY(spinEventLoopUntil([&] { return inputs.size() >= 6; }));
    QCOMPARE(inputs, QStringLiteral("abcxyz"));
    QCOMPARE(deepest, 1);
}

void TestSerialReceive::splitDoubleByteCharIsOneCharacter()
{
    Line line;
    QStringList inputs;
    connect(&line.comm, &MSComm::OnComm, this, [&] { inputs.append(line.comm.Input()); });
    QVERIFY(line.open(0));
    QVERIFY(line.board.send("\xD6"));
    QVERIFY(line.board.waitForPendingForProgram(1));
    QVERIFY(spinEventLoopUntil([&] { return line.board.pendingForProgram() == 0; }));
    idleFor(20);
    QCOMPARE(inputs, QStringList());
    QVERIFY(line.board.send("\xD0"));
    QVERIFY(spinEventLoopUntil([&] { return !inputs.isEmpty(); }));
    idleFor(20);
    QCOMPARE(inputs, QStringList {QStringLiteral("中")});
}

void TestSerialReceive::longBurstLosesNothing_data()
{
    QTest::addColumn<int>("inputLen");
    QTest::newRow("one character per Input") << 1;
    QTest::newRow("everything waiting per Input") << 0;
}

void TestSerialReceive::longBurstLosesNothing()
{
    QFETCH(int, inputLen);

    QString expected;
    for (int i = 0; expected.size() < 200000; ++i)
        expected += QStringLiteral("%1 中文 ABC\n").arg(i);
    const QByteArray bytes = Gbk::encode(expected);

    Line line;
    QString inputs;
    inputs.reserve(expected.size());
    int notifications = 0;
    connect(&line.comm, &MSComm::OnComm, this, [&] {
        ++notifications;
        inputs += line.comm.Input();
    });
    QVERIFY(line.open(inputLen));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(line.board.send(bytes, 120000));
    QVERIFY(spinEventLoopUntil([&] { return notifications >= expected.size(); }, 120000));
    const qint64 elapsed = std::max<qint64>(clock.elapsed(), 1);
    qInfo("%lld characters (%lld bytes) through OnComm in %lld ms: %lld characters/s",
          qint64(expected.size()), qint64(bytes.size()), elapsed,
          qint64(expected.size()) * 1000 / elapsed);
    QCOMPARE(inputs.size(), expected.size());
    QVERIFY(inputs == expected);
    idleFor(20);
    QCOMPARE(notifications, expected.size());
}

void TestSerialReceive::clearingDiscardsQueueAndOwedNotifications()
{
    Line line;
    int notifications = 0;
    connect(&line.comm, &MSComm::OnComm, this, [&] {
        if (++notifications == 1)
            line.comm.setInBufferCount(0);
    });
    QVERIFY(line.open());
    QVERIFY(line.board.send("abcdef\xD6")); // ends with half a character
    QVERIFY(line.board.waitForPendingForProgram(7));
    QVERIFY(spinEventLoopUntil([&] { return notifications >= 1; }));
    idleFor(50);
    QCOMPARE(notifications, 1);
    QCOMPARE(line.comm.inBufferCount(), 0);
    QCOMPARE(line.comm.Input(), QString());

    // The dangling lead byte went too: the next byte starts afresh.
    QVERIFY(line.board.send("z"));
    QVERIFY(spinEventLoopUntil([&] { return notifications >= 2; }));
    QCOMPARE(line.comm.Input(), QStringLiteral("z"));
}

void TestSerialReceive::clearingDiscardsWhatTheSystemHolds()
{
    Line line;
    int notifications = 0;
    connect(&line.comm, &MSComm::OnComm, this, [&] { ++notifications; });
    QVERIFY(line.open(0));
    QVERIFY(line.board.send("stale"));
    QVERIFY(line.board.waitForPendingForProgram(5)); // there, but not yet read
    line.comm.setInBufferCount(0);
    QCOMPARE(line.board.pendingForProgram(), 0);
    idleFor(100);
    QCOMPARE(notifications, 0);
    QCOMPARE(line.comm.Input(), QString());
    QVERIFY(line.comm.PortOpen());

    QVERIFY(line.board.send("fresh"));
    QVERIFY(spinEventLoopUntil([&] { return notifications >= 5; }));
    QCOMPARE(line.comm.Input(), QStringLiteral("fresh"));
}

void TestSerialReceive::clearingWhileBytesArriveKeepsListening()
{
    // The second notification and the arrival of "cd" fall into the same
    // event loop pass; clearing in that handler leaves the port with a stale
    // "readable" that turns into a failed read, which must not be taken for
    // a lost line nor stop reception.
    Line line;
    int notifications = 0;
    int lost = 0;
    connect(&line.comm, &MSComm::portLost, this, [&] { ++lost; });
    connect(&line.comm, &MSComm::OnComm, this, [&] {
        ++notifications;
        if (notifications == 1) {
            QVERIFY(line.board.send("cd"));
            QVERIFY(line.board.waitForPendingForProgram(2));
        } else if (notifications == 2) {
            line.comm.setInBufferCount(0);
        }
    });
    QVERIFY(line.open(0));
    QVERIFY(line.board.send("ab"));
    QVERIFY(line.board.waitForPendingForProgram(2));
    QVERIFY(spinEventLoopUntil([&] { return notifications >= 2; }));
    idleFor(50);
    QCOMPARE(notifications, 2);
    QCOMPARE(line.comm.Input(), QString());
    QVERIFY(line.comm.PortOpen());

    QVERIFY(line.board.send("z"));
    QVERIFY(spinEventLoopUntil([&] { return notifications >= 3; }));
    QCOMPARE(line.comm.Input(), QStringLiteral("z"));
    QCOMPARE(lost, 0);
}

void TestSerialReceive::hangUpClosesPortOnce_data()
{
    QTest::addColumn<bool>("boardKeepsSlave");
    QTest::newRow("board keeps its own slave descriptor") << true;
    QTest::newRow("board released its slave descriptor") << false;
}

void TestSerialReceive::hangUpClosesPortOnce()
{
    QFETCH(bool, boardKeepsSlave);

    Line line;
    int lost = 0;
    connect(&line.comm, &MSComm::portLost, this, [&] { ++lost; });
    QVERIFY(line.open(0));
    line.comm.setRThreshold(0);
    if (!boardKeepsSlave)
        line.board.releaseSlave();
    QVERIFY(line.board.send("xy"));
    QVERIFY(spinEventLoopUntil([&] { return line.comm.inBufferCount() == 2; }));
    // An open port with nothing arriving costs next to no CPU.
    const double cpuOpen = cpuWhileIdle(500);
    QVERIFY2(cpuOpen < 0.05, qPrintable(QStringLiteral("%1 s of CPU while idle").arg(cpuOpen)));

    line.board.hangUp();
    QVERIFY(spinEventLoopUntil([&] { return lost > 0; }));
    QVERIFY(!line.comm.PortOpen());

    // No busy loop left behind by the lost port either.
    const double cpuLost = cpuWhileIdle(1000);
    QVERIFY2(cpuLost < 0.1, qPrintable(QStringLiteral("%1 s of CPU after hang-up").arg(cpuLost)));

    QCOMPARE(lost, 1);
    QCOMPARE(line.comm.Input(), QStringLiteral("xy"));
    line.comm.setOutput(QStringLiteral("after")); // no port: nothing sent, no error
    line.comm.setPortOpen(false);
}

void TestSerialReceive::hangUpKeepsDecodedCharacters()
{
    Line line;
    int lost = 0;
    QString inputs;
    connect(&line.comm, &MSComm::portLost, this, [&] { ++lost; });
    connect(&line.comm, &MSComm::OnComm, this, [&] {
        inputs += line.comm.Input();
        if (inputs == u"a")
            line.board.hangUp(); // the rest is decoded but not yet notified
    });
    QVERIFY(line.open());
    QVERIFY(line.board.send("abc"));
    QVERIFY(line.board.waitForPendingForProgram(3));
    QVERIFY(spinEventLoopUntil([&] { return lost > 0 && inputs.size() >= 3; }));
    QCOMPARE(inputs, QStringLiteral("abc"));
    QVERIFY(!line.comm.PortOpen());
    idleFor(50);
    QCOMPARE(lost, 1);
}

QTEST_GUILESS_MAIN(TestSerialReceive)
#include "test_serial_receive.moc"
