// The Win32 serial line on an echoing board that tools/windows/test.sh puts
// behind a COM port (RS232_WIN_BOARD_PORT), hung up through the board's
// control FIFO (RS232_WIN_BOARD_CONTROL): a write that fails once the line
// has gone is reported as lost, once, also while nothing is being read.
#include "serial/serial_line.h"

#include <QFile>
#include <QTest>

class TestSerialLineWin : public QObject
{
    Q_OBJECT

private slots:
    void failedWriteIsALoss();
};

void TestSerialLineWin::failedWriteIsALoss()
{
    const QString port = qEnvironmentVariable("RS232_WIN_BOARD_PORT");
    const QString control = qEnvironmentVariable("RS232_WIN_BOARD_CONTROL");
    if (port.isEmpty() || control.isEmpty())
        QSKIP("needs the board of tools/windows/test.sh");

    SerialLine line;
    int lost = 0;
    connect(&line, &SerialLine::lost, this, [&] { ++lost; });
    line.open(3, port, LineSettings {});
    QVERIFY(line.isOpen());
    // The echo of more than the line reads ahead, never taken: reading stops,
    // so only the writes can find the line gone.
    QVERIFY(line.write(QByteArray(SerialLine::kReadAheadBytes + 1024, 'x')));
    QTest::qWait(2000);
    QCOMPARE(lost, 0);

    QFile board(control);
    QVERIFY(board.open(QIODevice::WriteOnly));
    board.write("hangup\n");
    board.close();
    QTest::qWait(500);
    line.write("after the hang-up");
    line.write("and once more");
    QTRY_COMPARE_WITH_TIMEOUT(lost, 1, 5000);
    QTest::qWait(500);
    QCOMPARE(lost, 1);
    line.close();
}

QTEST_GUILESS_MAIN(TestSerialLineWin)
#include "test_serial_line_win.moc"
