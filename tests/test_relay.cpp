// The relay switch: K and G in turn, with the lamps.
#include "app/main_window.h"
#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "pty_board.h"
#include "serial/serial_port.h"
#include "test_helpers.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

class TestRelay : public QObject
{
    Q_OBJECT

private slots:
    void pressesAlternateBetweenKAndG();
    void pressAfterAPortSelection();
    void pressWithNoPortOpen();
};

void TestRelay::pressesAlternateBetweenKAndG()
{
    PtyBoard board;
    Form1 form(ptyLocator({{1, board.slavePath()}}));
    form.load();
    QVERIFY(showAndActivate(form));
    const Form1Controls &c = form.controls();
    QCOMPARE(shownLamps(c), QStringLiteral("RGM"));

    QTest::mouseClick(c.Command1, Qt::LeftButton);
    QVERIFY(board.waitForReceived(1));
    QCOMPARE(board.received(), QByteArray("K"));
    QCOMPARE(form.module1().relayState, true);
    QCOMPARE(shownLamps(c), QStringLiteral("R--"));
    QCOMPARE(QApplication::focusWidget(), c.fssj0);

    QTest::mouseClick(c.Command1, Qt::LeftButton);
    QVERIFY(board.waitForReceived(2));
    QCOMPARE(form.module1().relayState, false);
    QCOMPARE(shownLamps(c), QStringLiteral("-G-"));

    QTest::mouseClick(c.Command1, Qt::LeftButton);
    QVERIFY(board.waitForReceived(3));
    QCOMPARE(board.received(), QByteArray("KGK"));
    QCOMPARE(shownLamps(c), QStringLiteral("R--"));
    // The press moved the focus but did not unlock the send box.
    QVERIFY(c.fssj0->isReadOnly());
}

void TestRelay::pressAfterAPortSelection()
{
    PtyBoard com1;
    PtyBoard com2;
    Form1 form(ptyLocator({{1, com1.slavePath()}, {2, com2.slavePath()}}));
    form.load();
    form.showCentred();
    const Form1Controls &c = form.controls();

    c.Command1->click();
    QVERIFY(com1.waitForReceived(1));
    QCOMPARE(shownLamps(c), QStringLiteral("R--"));

    c.comdk->setCurrentIndex(1);
    emit c.comdk->activated(1);
    QCOMPARE(shownLamps(c), QStringLiteral("-G-"));
    QCOMPARE(form.module1().relayState, true);

    // The flag still says "on", so the next press switches the relay off.
    c.Command1->click();
    QVERIFY(com2.waitForReceived(1));
    QCOMPARE(com2.received(), QByteArray("G"));
    QCOMPARE(shownLamps(c), QStringLiteral("-G-"));
    QCOMPARE(com1.received(), QByteArray("K"));
}

void TestRelay::pressWithNoPortOpen()
{
    Form1 form(ptyLocator({}));
    form.showCentred();
    const Form1Controls &c = form.controls();
    QVERIFY(!c.MSComm1->PortOpen());
    c.Command1->click();
    QCOMPARE(form.module1().relayState, true);
    QCOMPARE(shownLamps(c), QStringLiteral("R--"));
    c.Command1->click();
    QCOMPARE(shownLamps(c), QStringLiteral("-G-"));
}

QTEST_MAIN(TestRelay)
#include "test_relay.moc"
