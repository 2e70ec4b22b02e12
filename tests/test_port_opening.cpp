// Opening the serial line at start-up and on a choice from the port list,
// against pseudo-terminals standing in for COM1-COM8.
#include "app/main_window.h"
#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "controls/receive_view.h"
#include "modal_box_closer.h"
#include "pty_board.h"
#include "serial/serial_port.h"
#include "test_helpers.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

const QString kWarning =
    QStringLiteral("RS232串口无法打开！可能该串口被其它程序占用或该串口无效，请重新设置通信端口。");

} // namespace

class TestPortOpening : public QObject
{
    Q_OBJECT

private slots:
    void startupWithCom1Present();
    void startupWithCom1Absent();
    void choosingAFreePort();
    void choosingAMissingPortAfterAnOpenOne();
    void choosingTheOpenPortAgainDiscardsPendingData();
    void successAfterFailureHidesTheUnlitLamp();
    void numberBeyondTheEightPortsLeavesThePortAlone();
    void hangUpIsReportedInTheStatusLine();
    void itemsNameTheirDevices();
};

void TestPortOpening::startupWithCom1Present()
{
    PtyBoard com1;
    Form1 form(ptyLocator({{1, com1.slavePath()}}));
    ModalBoxCloser boxes(&form);
    form.load();
    const Form1Controls &c = form.controls();
    QCOMPARE(c.zttext->text(), QStringLiteral("串口COM1打开成功！ 波特率：9600bps"));
    QCOMPARE(c.comdk->currentText(), QStringLiteral("COM1"));
    QCOMPARE(shownLamps(c), QStringLiteral("RGM")); // as the window made them
    QCOMPARE(form.module1().portNo, quint8(1));
    QVERIFY(c.MSComm1->PortOpen());
    QCOMPARE(c.MSComm1->settings(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(c.MSComm1->rThreshold(), 1);
    QCOMPARE(c.MSComm1->inputLen(), 1);
    QVERIFY(boxes.seen().isEmpty());
}

void TestPortOpening::startupWithCom1Absent()
{
    Form1 form(ptyLocator({}));
    ModalBoxCloser boxes(&form);
    form.load();
    const Form1Controls &c = form.controls();
    QCOMPARE(boxes.seen().size(), 1);
    const SeenBox &box = boxes.seen().first();
    QCOMPARE(box.title, QStringLiteral("警告"));
    QCOMPARE(box.text, kWarning);
    QCOMPARE(box.buttons, QStringList {QStringLiteral("确定")});
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QVERIFY(!box.windowVisible); // the warning comes before the window

    QCOMPARE(c.zttext->text(), QStringLiteral("串口COM1打开失败！"));
    QCOMPARE(shownLamps(c), QStringLiteral("-GM"));
    QVERIFY(!c.MSComm1->PortOpen());

    // The window then works without a port.
    form.showCentred();
    c.Command1->click();
    QCOMPARE(shownLamps(c), QStringLiteral("R--"));
}

void TestPortOpening::choosingAFreePort()
{
    PtyBoard com1;
    PtyBoard com2;
    Form1 form(ptyLocator({{1, com1.slavePath()}, {2, com2.slavePath()}}));
    ModalBoxCloser boxes(&form);
    form.load();
    form.showCentred();
    const Form1Controls &c = form.controls();

    choose(c.comdk, 1);
    QCOMPARE(c.zttext->text(), QStringLiteral("串口COM2打开成功！ 波特率：9600bps"));
    QCOMPARE(form.module1().portNo, quint8(2));
    QCOMPARE(shownLamps(c), QStringLiteral("-G-"));
    QVERIFY(boxes.seen().isEmpty());

    // The line now goes to COM2 and COM1 is free again.
    c.Command1->click();
    QVERIFY(com2.waitForReceived(1));
    QCOMPARE(com1.received(), QByteArray());
    com2.send("2");
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("K2")); // the echoed K, then 2
    MSComm other(ptyLocator({{1, com1.slavePath()}}));
    other.setPortOpen(true);
    QVERIFY(other.PortOpen());
}

void TestPortOpening::choosingAMissingPortAfterAnOpenOne()
{
    PtyBoard com1;
    Form1 form(ptyLocator({{1, com1.slavePath()}}));
    ModalBoxCloser boxes(&form);
    form.load();
    form.showCentred();
    const Form1Controls &c = form.controls();

    choose(c.comdk, 2);
    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(boxes.seen().first().text, kWarning);
    QCOMPARE(c.zttext->text(), QStringLiteral("串口COM3打开失败！"));
    QCOMPARE(form.module1().portNo, quint8(3));
    QCOMPARE(shownLamps(c), QStringLiteral("-GM"));
    // COM1 was closed first and stays closed.
    QVERIFY(!c.MSComm1->PortOpen());
    c.Command1->click();
    QTest::qWait(50);
    QCOMPARE(com1.received(), QByteArray());
}

void TestPortOpening::choosingTheOpenPortAgainDiscardsPendingData()
{
    PtyBoard com1;
    Form1 form(ptyLocator({{1, com1.slavePath()}}));
    form.load();
    form.showCentred();
    const Form1Controls &c = form.controls();

    // Data that reaches the line but is not yet read when COM1 is chosen again.
    com1.send("stale");
    QThread::msleep(50);
    c.comdk->setCurrentIndex(0);
    emit c.comdk->activated(0);
    QCOMPARE(c.zttext->text(), QStringLiteral("串口COM1打开成功！ 波特率：9600bps"));
    QVERIFY(c.MSComm1->PortOpen());
    QTest::qWait(100);
    QCOMPARE(c.fssj1->text(), QString());

    com1.send("fresh");
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("fresh"));
}

void TestPortOpening::successAfterFailureHidesTheUnlitLamp()
{
    PtyBoard com2;
    Form1 form(ptyLocator({{2, com2.slavePath()}}));
    ModalBoxCloser boxes(&form);
    form.load();
    QCOMPARE(shownLamps(form.controls()), QStringLiteral("-GM"));
    form.showCentred();
    choose(form.controls().comdk, 1);
    QCOMPARE(boxes.seen().size(), 1); // only the start-up warning
    QCOMPARE(shownLamps(form.controls()), QStringLiteral("-G-"));
    QCOMPARE(form.controls().zttext->text(), QStringLiteral("串口COM2打开成功！ 波特率：9600bps"));
}

void TestPortOpening::numberBeyondTheEightPortsLeavesThePortAlone()
{
    PtyBoard com1;
    PtyBoard com9;
    Form1 form(ptyLocator({{1, com1.slavePath()}, {9, com9.slavePath()}}));
    ModalBoxCloser boxes(&form);
    form.load();
    form.showCentred();
    const Form1Controls &c = form.controls();
    c.comdk->addItem(QStringLiteral("COM9"));

    choose(c.comdk, 8);
    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(c.zttext->text(), QStringLiteral("串口COM9打开失败！"));
    QCOMPARE(shownLamps(c), QStringLiteral("-GM"));
    // The port was not touched: COM1 is still open and still used.
    QVERIFY(c.MSComm1->PortOpen());
    c.Command1->click();
    QVERIFY(com1.waitForReceived(1));
}

void TestPortOpening::hangUpIsReportedInTheStatusLine()
{
    auto com1 = std::make_unique<PtyBoard>();
    Form1 form(ptyLocator({{1, com1->slavePath()}}));
    ModalBoxCloser boxes(&form);
    form.load();
    form.showCentred();
    const Form1Controls &c = form.controls();
    com1->hangUp();
    QTRY_COMPARE(c.zttext->text(), QStringLiteral("串口COM1已断开！"));
    QVERIFY(!c.MSComm1->PortOpen());
    QVERIFY(boxes.seen().isEmpty());
    QCOMPARE(shownLamps(c), QStringLiteral("RGM"));
    // Keys and relay presses meet a closed port and the program carries on.
    c.Command1->click();
    QTest::keyClick(c.fssj0, Qt::Key_A);
}

void TestPortOpening::itemsNameTheirDevices()
{
    PtyBoard com1;
    Form1 form(ptyLocator({{1, com1.slavePath()}}));
    form.showCentred();
    PortList *list = form.controls().comdk;
    list->showPopup();
    QCOMPARE(list->itemData(0, Qt::ToolTipRole).toString(), com1.slavePath());
    QVERIFY(!list->itemData(1, Qt::ToolTipRole).toString().isEmpty());
    QVERIFY(!list->itemData(1, Qt::ToolTipRole).toString().startsWith(QLatin1String("/dev")));
    list->hidePopup();
}

QTEST_MAIN(TestPortOpening)
#include "test_port_opening.moc"
