// Faults a user meets with the whole program: the board hanging up in the
// middle of a burst and coming back, COM1 held by another program and a
// flood of typed keys; Form1 and MSComm over pseudo-terminals.
#include "app/main_window.h"
#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "controls/receive_view.h"
#include "modal_box_closer.h"
#include "pty_board.h"
#include "serial/serial_port.h"
#include "test_helpers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString kOpenedCom1 = QStringLiteral("串口COM1打开成功！ 波特率：9600bps");
const QString kWarning =
    QStringLiteral("RS232串口无法打开！可能该串口被其它程序占用或该串口无效，请重新设置通信端口。");

// COMn mapped through a table the test can change while the window runs, as
// when an adapter is plugged back in and gets a new device.
struct Devices
{
    std::shared_ptr<QMap<int, QString>> table = std::make_shared<QMap<int, QString>>();

    PortLocator locator() const
    {
        return [table = table](int portNumber) { return table->value(portNumber); };
    }
};

// Numbered ASCII lines, byteCount bytes in all.
QByteArray numberedLines(qsizetype byteCount)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < byteCount; ++i)
        bytes += QByteArray::number(i).rightJustified(6, '0') + " the quick brown fox\r\n";
    bytes.truncate(byteCount);
    return bytes;
}

// Keys a person might type: letters, digits and spaces, and when lineLength
// is not 0 an Enter after every lineLength characters.
QByteArray typedText(int keyCount, int lineLength)
{
    static const char keys[] = "the quick brown fox jumps over 13 lazy dogs ";
    QByteArray text;
    for (int i = 0; i < keyCount; ++i)
        text += lineLength > 0 && i % (lineLength + 1) == lineLength ? '\r'
                                                                     : keys[i % (sizeof keys - 1)];
    return text;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void hangUpInTheMiddleOfABurst();
    void comingBackAfterAHangUp();
    void portHeldByAnotherProgram();
    void typingFlood_data();
    void typingFlood();

private:
    void unlockSendBox(Form1 &form);
};

void TestFaults::unlockSendBox(Form1 &form)
{
    QTest::mouseClick(form.controls().fssj0->viewport(), Qt::LeftButton);
    QVERIFY(!form.controls().fssj0->isReadOnly());
    QCOMPARE(QApplication::focusWidget(), form.controls().fssj0);
}

void TestFaults::hangUpInTheMiddleOfABurst()
{
    PtyBoard board;
    board.setEcho(false);
    Form1 form(ptyLocator({{1, board.slavePath()}}));
    form.load();
    QVERIFY(showAndActivate(form));
    const Form1Controls &c = form.controls();
    QCOMPARE(c.zttext->text(), kOpenedCom1);

    const QByteArray burst = numberedLines(100 * 1024);
    // Once everything has reached the program (decoded, as ASCII, one
    // character per byte) while the receive box is still being given it one
    // character per notification, the line goes away with notifications owed.
    qsizetype shownAtHangUp = -1;
    connect(c.MSComm1, &MSComm::OnComm, &board, [&] {
        const qsizetype waiting = c.MSComm1->inBufferCount();
        if (shownAtHangUp < 0 && waiting > 0 && c.fssj1->length() + waiting == burst.size()) {
            shownAtHangUp = c.fssj1->length();
            board.hangUp();
        }
    });
    board.send(burst, 120000); // false when the hang-up comes first

    QTRY_COMPARE_WITH_TIMEOUT(c.zttext->text(), QStringLiteral("串口COM1已断开！"), 10000);
    QVERIFY(!c.MSComm1->PortOpen());
    QVERIFY(spinEventLoopUntil([&] { return c.fssj1->length() >= burst.size(); }, 120000));
    QCOMPARE(c.fssj1->length(), burst.size());
    QVERIFY(c.fssj1->text() == QString::fromLatin1(burst));
    qInfo("%lld of %lld characters were in the box at the hang-up", qint64(shownAtHangUp),
          qint64(burst.size()));

    // The lost port leaves nothing running: no busy loop, no stray warning.
    const double cpu = cpuWhileIdle(2000);
    qInfo("%.1f ms of CPU in 2 s after the hang-up", cpu * 1000);
    QVERIFY2(cpu < 0.05, qPrintable(QStringLiteral("%1 s of CPU after the hang-up").arg(cpu)));
    QCOMPARE(c.fssj1->length(), burst.size());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(c.zttext->text(), QStringLiteral("串口COM1已断开！"));
}

void TestFaults::comingBackAfterAHangUp()
{
    Devices devices;
    auto first = std::make_unique<PtyBoard>();
    devices.table->insert(1, first->slavePath());
    Form1 form(devices.locator());
    ModalBoxCloser boxes(&form);
    form.load();
    QVERIFY(showAndActivate(form));
    unlockSendBox(form);
    const Form1Controls &c = form.controls();

    QTest::keyClick(c.fssj0, Qt::Key_A);
    QVERIFY(first->waitForReceived(1));
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("a"));

    first->hangUp();
    QTRY_COMPARE(c.zttext->text(), QStringLiteral("串口COM1已断开！"));
    QVERIFY(!c.MSComm1->PortOpen());
    // A key typed while the board is away is shown but goes nowhere.
    QTest::keyClick(c.fssj0, Qt::Key_B);
    QCOMPARE(c.Text1->text(), QStringLiteral("b"));

    // The board comes back as another device; the user picks COM1 again.
    auto second = std::make_unique<PtyBoard>();
    devices.table->insert(1, second->slavePath());
    first.reset();
    choose(c.comdk, 0);
    QCOMPARE(c.zttext->text(), kOpenedCom1);
    QVERIFY(c.MSComm1->PortOpen());
    QCOMPARE(shownLamps(c), QStringLiteral("-G-"));
    QVERIFY(boxes.seen().isEmpty());

    unlockSendBox(form);
    QTest::keyClicks(c.fssj0, QStringLiteral("back"));
    QVERIFY(second->waitForReceived(4));
    QCOMPARE(second->received(), QByteArray("back"));
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("aback"));
    QCOMPARE(c.Text3->text(), QStringLiteral("6BH"));
}

void TestFaults::portHeldByAnotherProgram()
{
    PtyBoard com1;
    PtyBoard com2;
    QProcess holder; // another program with COM1 open
    holder.start(QStringLiteral(PORT_HOLDER_PATH), {com1.slavePath()});
    QVERIFY(holder.waitForStarted());
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readAllStandardOutput().trimmed(), QByteArray("ready"));

    Form1 form(ptyLocator({{1, com1.slavePath()}, {2, com2.slavePath()}}));
    ModalBoxCloser boxes(&form);
    form.load();
    const Form1Controls &c = form.controls();
    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(boxes.seen().first().title, QStringLiteral("警告"));
    QCOMPARE(boxes.seen().first().text, kWarning);
    QCOMPARE(boxes.seen().first().buttons, QStringList {QStringLiteral("确定")});
    QCOMPARE(c.zttext->text(), QStringLiteral("串口COM1打开失败！"));
    QCOMPARE(shownLamps(c), QStringLiteral("-GM"));
    QVERIFY(!c.MSComm1->PortOpen());

    // The window works on without a port: the relay button and keys.
    QVERIFY(showAndActivate(form));
    c.Command1->click();
    QCOMPARE(shownLamps(c), QStringLiteral("R--"));
    QCOMPARE(QApplication::focusWidget(), c.fssj0);
    unlockSendBox(form);
    QTest::keyClick(c.fssj0, Qt::Key_Z);
    QCOMPARE(c.Text1->text(), QStringLiteral("z"));
    QCOMPARE(c.Text2->text(), QStringLiteral("122"));
    QCOMPARE(c.Text3->text(), QStringLiteral("7AH"));
    QCOMPARE(c.fssj0->toPlainText(), QStringLiteral("z"));

    // Another, free port opens and carries the echo and the relay commands.
    choose(c.comdk, 1);
    QCOMPARE(c.zttext->text(), QStringLiteral("串口COM2打开成功！ 波特率：9600bps"));
    QCOMPARE(shownLamps(c), QStringLiteral("-G-"));
    QCOMPARE(boxes.seen().size(), 1);
    unlockSendBox(form);
    QTest::keyClicks(c.fssj0, QStringLiteral("ok"));
    c.Command1->click(); // the second press: "G"
    QVERIFY(com2.waitForReceived(3));
    QCOMPARE(com2.received(), QByteArray("okG"));
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("okG"));
    QCOMPARE(com1.received(), QByteArray());
    QVERIFY(holder.state() == QProcess::Running);
    holder.kill();
    QVERIFY(holder.waitForFinished());
}

void TestFaults::typingFlood_data()
{
    QTest::addColumn<int>("keyCount");
    QTest::addColumn<int>("lineLength");
    // The send box lays its whole paragraph out again for every key, so one
    // line without breaks is kept short enough for the sanitizer build.
    QTest::newRow("10000 keys, Enter every 60") << 10000 << 60;
    QTest::newRow("2000 keys in one line") << 2000 << 0;
}

void TestFaults::typingFlood()
{
    QFETCH(int, keyCount);
    QFETCH(int, lineLength);

    PtyBoard board;
    Form1 form(ptyLocator({{1, board.slavePath()}}));
    form.load();
    QVERIFY(showAndActivate(form));
    unlockSendBox(form);
    const Form1Controls &c = form.controls();

    const QByteArray expected = typedText(keyCount, lineLength);
    QElapsedTimer clock;
    clock.start();
    for (const char key : expected) {
        if (key == '\r')
            QTest::keyClick(c.fssj0, Qt::Key_Return);
        else
            QTest::keyClick(c.fssj0, key);
        // Each key is followed by one pass of the event loop, as when the
        // keyboard is faster than the program.
        QCoreApplication::processEvents();
    }
    const qint64 typed = clock.elapsed();
    QVERIFY(board.waitForReceived(expected.size(), 120000));
    QVERIFY(spinEventLoopUntil([&] { return c.fssj1->length() >= expected.size(); }, 120000));
    qInfo("%lld keys typed in %lld ms, echoed back after %lld ms", qint64(expected.size()), typed,
          clock.elapsed());

    QCOMPARE(board.received().size(), expected.size());
    QVERIFY(board.received() == expected);
    QVERIFY(c.fssj1->text() == QString::fromLatin1(expected));
    QString shown = QString::fromLatin1(expected);
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QVERIFY(c.fssj0->toPlainText() == shown);
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
