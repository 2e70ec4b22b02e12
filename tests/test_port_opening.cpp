// Opening the serial line at start-up and on a choice from the port list,
// against pseudo-terminals standing in for COM1-COM8.
#include "fixture.h"

#include <QApplication>
#include <QHelpEvent>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

class TestPortOpening : public QObject
{
    Q_OBJECT

private slots:
    void startupWithCom1Present();
    void startupFailure_data();
    void startupFailure();
    void choosingAFreePort();
    void choosingAPortThatFails_data();
    void choosingAPortThatFails();
    void choosingTheOpenPortAgainDiscardsPendingData();
    void lostPortReopensByItselfWhenItsDeviceIsBack();
    void choosingAPortEndsTheWaitForTheLostOne_data();
    void choosingAPortEndsTheWaitForTheLostOne();
    void itemsNameTheirDevices();
    void portsAboveTheListAreExplained_data();
    void portsAboveTheListAreExplained();
};

void TestPortOpening::startupWithCom1Present()
{
    FormFixture f({1, 2});
    QVERIFY(f.start(FormFixture::Loaded));
    QCOMPARE(f.c.zttext->text(), openedStatus(1));
    QCOMPARE(f.c.comdk->currentText(), QStringLiteral("COM1"));
    QCOMPARE(shownLamps(f.c), QStringLiteral("RGM")); // as the window made them
    QCOMPARE(f.state.portNo, quint8(1));
    QVERIFY(f.c.MSComm1->PortOpen());
    QCOMPARE(f.c.MSComm1->settings(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(f.c.MSComm1->rThreshold(), 1);
    QCOMPARE(f.c.MSComm1->inputLen(), 1);
    QVERIFY(f.boxes.seen().isEmpty());
    f.c.Command1->click();
    QVERIFY(f.board(1).waitForReceived(1));
}

void TestPortOpening::startupFailure_data()
{
    QTest::addColumn<bool>("held");
    QTest::newRow("no device for COM1") << false;
    QTest::newRow("COM1 held by another program") << true;
}

// The warning comes before the window; the window then works without a
// port, and another port can be chosen.
void TestPortOpening::startupFailure()
{
    QFETCH(bool, held);
    FormFixture f(held ? QList<int> {1, 2} : QList<int> {2});
    MSComm holder(ptyLocator({{1, held ? f.board(1).slavePath() : QString()}}));
    if (held)
        holder.setPortOpen(true);

    QVERIFY(f.start(FormFixture::Loaded));
    QCOMPARE(f.boxes.seen().size(), 1);
    const SeenBox &box = f.boxes.seen().first();
    QCOMPARE(box.title, QStringLiteral("警告"));
    QCOMPARE(box.text, kWarningText);
    QCOMPARE(box.buttons, QStringList {QStringLiteral("确定")});
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QVERIFY(!box.windowVisible);
    QCOMPARE(f.c.zttext->text(), failedStatus(1));
    QCOMPARE(shownLamps(f.c), QStringLiteral("-GM"));
    QVERIFY(!f.c.MSComm1->PortOpen());

    QVERIFY(f.start(FormFixture::Shown));
    f.c.Command1->click(); // "K" to nowhere
    QCOMPARE(shownLamps(f.c), QStringLiteral("R--"));
    QCOMPARE(QApplication::focusWidget(), f.c.fssj0);
    QVERIFY(f.unlockSendBox());
    QTest::keyClick(f.c.fssj0, Qt::Key_Z);
    QCOMPARE(shownCodes(f.c), QStringLiteral("z 122 7AH"));
    QCOMPARE(f.c.fssj0->toPlainText(), QStringLiteral("z"));

    choose(f.c.comdk, 1);
    QCOMPARE(f.c.zttext->text(), openedStatus(2));
    QCOMPARE(shownLamps(f.c), QStringLiteral("-G-"));
    QCOMPARE(f.boxes.seen().size(), 1);
    QVERIFY(f.unlockSendBox());
    QTest::keyClicks(f.c.fssj0, QStringLiteral("ok"));
    f.c.Command1->click(); // the second press: "G"
    QVERIFY(f.board(2).waitForReceived(3));
    QCOMPARE(f.board(2).received(), QByteArray("okG"));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("okG"));
    if (held)
        QCOMPARE(f.board(1).received(), QByteArray());
}

// The relay is switched on over COM1, then COM2 is chosen.
void TestPortOpening::choosingAFreePort()
{
    FormFixture f({1, 2});
    QVERIFY(f.start(FormFixture::Shown));
    f.c.Command1->click();
    QVERIFY(f.board(1).waitForReceived(1));
    // An echo still on its way when the port closes is gone with it; wait for
    // this one to be shown before leaving COM1.
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("K"));
    choose(f.c.comdk, 1);
    QCOMPARE(f.c.zttext->text(), openedStatus(2));
    QCOMPARE(f.state.portNo, quint8(2));
    QCOMPARE(shownLamps(f.c), QStringLiteral("-G-"));
    QVERIFY(f.boxes.seen().isEmpty());

    // The line now goes to COM2 and COM1 is free again. The relay flag still
    // says "on", so the next press switches the relay off.
    QCOMPARE(f.state.relayState, true);
    f.c.Command1->click();
    QVERIFY(f.board(2).waitForReceived(1));
    QVERIFY(f.board(2).send("2"));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("KG2")); // the echoes, then 2
    QCOMPARE(f.board(1).received(), QByteArray("K"));
    QCOMPARE(shownLamps(f.c), QStringLiteral("-G-"));
    MSComm other(ptyLocator({{1, f.board(1).slavePath()}}));
    other.setPortOpen(true);
    QVERIFY(other.PortOpen());
}

void TestPortOpening::choosingAPortThatFails_data()
{
    QTest::addColumn<int>("port");
    QTest::newRow("COM3, no device: COM1 is closed first") << 3;
    QTest::newRow("COM9, a device beyond the eight: COM1 is left alone") << 9;
}

void TestPortOpening::choosingAPortThatFails()
{
    QFETCH(int, port);
    FormFixture f({1, 9});
    QVERIFY(f.start(FormFixture::Shown));
    f.c.comdk->addItem(QStringLiteral("COM9"));
    choose(f.c.comdk, port - 1);
    QCOMPARE(f.boxes.seen().size(), 1);
    QCOMPARE(f.boxes.seen().first().text, kWarningText);
    QCOMPARE(f.c.zttext->text(), failedStatus(port));
    QCOMPARE(f.state.portNo, quint8(port));
    QCOMPARE(shownLamps(f.c), QStringLiteral("-GM"));
    QCOMPARE(f.c.MSComm1->PortOpen(), port == 9);
    if (port == 9) {
        f.c.Command1->click();
        QVERIFY(f.board(1).waitForReceived(1));
    }
}

void TestPortOpening::choosingTheOpenPortAgainDiscardsPendingData()
{
    FormFixture f;
    QVERIFY(f.start(FormFixture::Shown));
    // Data that reaches the line but is not yet read when COM1 is chosen again.
    QVERIFY(f.board().send("stale"));
    QVERIFY(f.board().waitForPendingForProgram(5));
    choose(f.c.comdk, 0);
    QCOMPARE(f.c.zttext->text(), openedStatus(1));
    QVERIFY(f.c.MSComm1->PortOpen());

    QVERIFY(f.board().send("fresh"));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("fresh"));
}

// The board is unplugged and plugged back (reset, reflashed): COM1 is opened
// again without a choice from the list. Until then the status line says it
// was lost and nothing is asked, also while the device is back but held for
// a moment by another program. What the board said before the opening is
// not shown.
void TestPortOpening::lostPortReopensByItselfWhenItsDeviceIsBack()
{
    FormFixture f;
    QVERIFY(f.start());
    f.c.Command1->click(); // the relay on: "K", red lamp
    QVERIFY(f.board().waitForReceived(1));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("K"));
    f.board().hangUp();
    QTRY_COMPARE(f.c.zttext->text(), lostStatus(1));
    const QString lostReason = f.c.zttext->toolTip();

    PtyBoard &back = f.addBoard(1);
    QVERIFY(back.send("boot messages\r\n"));
    const int holder = ::open(qPrintable(back.slavePath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(holder >= 0);
    QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    QVERIFY(idlesWithoutBusyLoop(3 * PortWatch::kLookIntervalMs));
    QVERIFY(f.c.MSComm1->awaitsReturn());
    QVERIFY(f.boxes.seen().isEmpty());
    QCOMPARE(f.c.zttext->text(), lostStatus(1));
    QCOMPARE(f.c.zttext->toolTip(), lostReason);
    QCOMPARE(shownLamps(f.c), QStringLiteral("R--"));

    ::close(holder);
    QTRY_COMPARE_WITH_TIMEOUT(f.c.zttext->text(), openedStatus(1), 3 * PortWatch::kLookIntervalMs);
    QVERIFY(f.c.zttext->toolTip().isEmpty());
    QCOMPARE(shownLamps(f.c), QStringLiteral("-G-"));
    QCOMPARE(f.state.portNo, quint8(1));
    QCOMPARE(f.state.relayState, true);
    QVERIFY(!f.c.MSComm1->awaitsReturn());
    QVERIFY(f.boxes.seen().isEmpty());

    QTest::keyClicks(f.c.fssj0, QStringLiteral("ab"));
    f.c.Command1->click(); // the flag still says on: "G"
    QVERIFY(back.waitForReceived(3));
    QCOMPARE(back.received(), QByteArray("abG"));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("KabG"));
}

void TestPortOpening::choosingAPortEndsTheWaitForTheLostOne_data()
{
    QTest::addColumn<int>("chosen");
    QTest::newRow("another port, opened") << 2;
    QTest::newRow("the lost port, not there yet") << 1;
}

// Whatever is chosen from the list ends the wait for the lost port: its
// device coming back changes nothing.
void TestPortOpening::choosingAPortEndsTheWaitForTheLostOne()
{
    QFETCH(int, chosen);
    FormFixture f({1, 2});
    QVERIFY(f.start());
    f.board(1).hangUp();
    QTRY_COMPARE(f.c.zttext->text(), lostStatus(1));
    choose(f.c.comdk, chosen - 1);
    const QString status = chosen == 2 ? openedStatus(2) : failedStatus(1);
    QCOMPARE(f.c.zttext->text(), status);
    QCOMPARE(f.boxes.seen().size(), chosen == 2 ? 0 : 1);
    QVERIFY(!f.c.MSComm1->awaitsReturn());

    PtyBoard &back = f.addBoard(1);
    QVERIFY(idlesWithoutBusyLoop(2 * PortWatch::kLookIntervalMs + 200));
    QCOMPARE(f.c.zttext->text(), status);
    QCOMPARE(f.c.MSComm1->PortOpen(), chosen == 2);
    QTest::keyClick(f.c.fssj0, Qt::Key_X);
    if (chosen == 2)
        QVERIFY(f.board(2).waitForReceived(1));
    idleFor(50);
    QCOMPARE(back.received(), QByteArray());
}

// Losing the line in a burst: tests/test_faults.
void TestPortOpening::itemsNameTheirDevices()
{
    FormFixture f;
    f.form.showCentred();
    PortList *list = f.c.comdk;
    list->showPopup();
    QCOMPARE(shownToolTip(list->itemData(0, Qt::ToolTipRole).toString()), f.board().slavePath());
    const QString none = list->itemData(1, Qt::ToolTipRole).toString();
    QVERIFY(!none.isEmpty() && !none.startsWith(QLatin1String("/dev")));
    list->hidePopup();
}

void TestPortOpening::portsAboveTheListAreExplained_data()
{
    QTest::addColumn<QList<int>>("boards");
    QTest::addColumn<QString>("named"); // what COM12 leads to; empty: nothing
    QTest::addColumn<QStringList>("told"); // parts of the list's tooltip

    QTest::newRow("none above COM8") << QList<int> {1, 8} << QString() << QStringList();
    QTest::newRow("a device numbered COM9")
        << QList<int> {1, 9} << QString() << QStringList {"COM9（/dev/", "重新启动本程序"};
    QTest::newRow("COM12 named by the system")
        << QList<int> {} << QStringLiteral("COM12")
        << QStringList {"COM12不在列表中", "设备管理器 › 端口（COM 和 LPT） › 该端口 › 属性 › "
                                           "端口设置 › 高级 › COM 端口号"};
}

// The list's own tooltip says how to bring a port above COM8 into it.
void TestPortOpening::portsAboveTheListAreExplained()
{
    QFETCH(QList<int>, boards);
    QFETCH(QString, named);
    QFETCH(QStringList, told);
    FormFixture f(boards);
    if (!named.isEmpty())
        f.setDevice(12, named);
    f.form.showCentred();
    PortList *list = f.c.comdk;
    const QPoint at = list->rect().center();
    QHelpEvent help(QEvent::ToolTip, at, list->mapToGlobal(at));
    QApplication::sendEvent(list, &help);
    const QString shown = shownToolTip(list->toolTip());
    QCOMPARE(shown.isEmpty(), told.isEmpty());
    for (const QString &part : told)
        QVERIFY2(shown.contains(part), qPrintable(shown));
    QCOMPARE(list->accessibleDescription(), shown);
}

QTEST_MAIN(TestPortOpening)
#include "test_port_opening.moc"
