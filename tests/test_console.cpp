// The echo console and the relay end to end: keys typed in the window go out
// on a pseudo-terminal whose other end echoes like the board and come back
// into the receive box; the relay button sends K and G in turn.
#include "fixture.h"

#include <QApplication>
#include <QTest>

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void firstKeyOnlyUnlocks_data();
    void firstKeyOnlyUnlocks();
    void typedKeysEchoBackWithTheirCodes();
    void controlKeysAndTheirCodes();
    void chineseFromAnInputMethod();
    void characterOutsideTheCodePageIsShownNotSent();
    void clicks();
    void receivedTextIsKeptAsItArrives();
    void clearingEmptiesBothBoxes();
    void relayPressesAlternateBetweenKAndG();
};

// While the prompt shows, the first key in either box only unlocks the send
// box; the send box then enters it itself.
void TestConsole::firstKeyOnlyUnlocks_data()
{
    QTest::addColumn<bool>("inReceiveBox");
    QTest::newRow("in the send box") << false;
    QTest::newRow("in the receive box") << true;
}

void TestConsole::firstKeyOnlyUnlocks()
{
    QFETCH(bool, inReceiveBox);
    FormFixture f;
    QVERIFY(f.start(FormFixture::Shown));
    QWidget *box = inReceiveBox ? static_cast<QWidget *>(f.c.fssj1) : f.c.fssj0;
    box->setFocus();
    QVERIFY(f.c.fssj0->isReadOnly());
    QTest::keyClick(box, Qt::Key_X);
    QVERIFY(!f.c.fssj0->isReadOnly());
    QCOMPARE(f.state.keyChar, QStringLiteral("x"));
    QCOMPARE(shownCodes(f.c), QStringLiteral("  "));
    QCOMPARE(f.c.fssj0->toPlainText(), inReceiveBox ? QString() : QStringLiteral("x"));

    QTest::keyClick(box, Qt::Key_R);
    QVERIFY(f.board().waitForReceived(1));
    QCOMPARE(f.board().received(), QByteArray("r"));
    QCOMPARE(shownCodes(f.c), QStringLiteral("r 114 72H"));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("r")); // the echo, not the key
    QCOMPARE(f.c.fssj0->toPlainText(), inReceiveBox ? QString() : QStringLiteral("xr"));
}

void TestConsole::typedKeysEchoBackWithTheirCodes()
{
    FormFixture f;
    QVERIFY(f.start());
    QTest::keyClicks(f.c.fssj0, QStringLiteral("abc"));
    QVERIFY(f.board().waitForReceived(3));
    QCOMPARE(f.board().received(), QByteArray("abc"));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("abc"));
    QCOMPARE(f.c.fssj0->toPlainText(), QStringLiteral("abc"));
    QCOMPARE(shownCodes(f.c), QStringLiteral("c 99 63H"));
}

void TestConsole::controlKeysAndTheirCodes()
{
    FormFixture f;
    QVERIFY(f.start());
    QTest::keyClick(f.c.fssj0, Qt::Key_Return);
    QVERIFY(f.board().waitForReceived(1));
    QCOMPARE(shownCodes(f.c), QStringLiteral("\r 13 DH"));

    QTest::keyClick(f.c.fssj0, Qt::Key_Backspace);
    QVERIFY(f.board().waitForReceived(2));
    QCOMPARE(shownCodes(f.c), QStringLiteral("\b 8 8H"));

    QTest::keyClick(f.c.fssj0, Qt::Key_Space);
    QTest::keyClick(f.c.fssj0, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(f.board().waitForReceived(4));
    QCOMPARE(shownCodes(f.c), QStringLiteral("\x03 3 3H"));
    QCOMPARE(f.board().received(), QByteArray("\r\b \x03"));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("\r\b \x03"));
}

void TestConsole::chineseFromAnInputMethod()
{
    FormFixture f;
    QVERIFY(f.start());
    f.commit(QStringLiteral("中文"));
    QVERIFY(f.board().waitForReceived(4));
    QCOMPARE(f.board().received(), QByteArray("\xD6\xD0\xCE\xC4"));
    QCOMPARE(shownCodes(f.c), QStringLiteral("文 -12604 CEC4H"));
    QCOMPARE(f.c.fssj0->toPlainText(), QStringLiteral("中文"));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("中文"));
}

void TestConsole::characterOutsideTheCodePageIsShownNotSent()
{
    FormFixture f;
    QVERIFY(f.start());
    f.commit(QStringLiteral("A"));
    f.commit(QStringLiteral("😀"));
    QCOMPARE(shownCodes(f.c), QStringLiteral("😀  "));
    f.commit(QStringLiteral("B"));
    QVERIFY(f.board().waitForReceived(2));
    QCOMPARE(f.board().received(), QByteArray("AB"));
}

void TestConsole::clicks()
{
    FormFixture f;
    QVERIFY(f.start());
    QTest::keyClicks(f.c.fssj0, QStringLiteral("hello"));
    QTest::mouseClick(f.c.fssj0->viewport(), Qt::LeftButton);
    QCOMPARE(f.c.fssj0->toPlainText(), QString());

    QTest::mouseClick(f.c.fssj1, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), f.c.fssj0);
    // A right click is no click.
    f.c.fssj0->setPlainText(QStringLiteral("kept"));
    QTest::mouseClick(f.c.fssj0->viewport(), Qt::RightButton);
    QCOMPARE(f.c.fssj0->toPlainText(), QStringLiteral("kept"));
}

void TestConsole::receivedTextIsKeptAsItArrives()
{
    FormFixture f;
    QVERIFY(f.start(FormFixture::Loaded));
    const QByteArray line("one\r\ntwo\rthree\nfour\x01\x00five", 24);
    QVERIFY(f.board().send(line));
    QTRY_COMPARE(f.c.fssj1->text(), QString::fromLatin1(line));
    // CR LF starts one new line; lone CR and LF start one each.
    QCOMPARE(f.c.fssj1->visualLineCount(), 4);
}

void TestConsole::clearingEmptiesBothBoxes()
{
    FormFixture f;
    QVERIFY(f.start(FormFixture::Shown));
    QVERIFY(f.board().send("before"));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("before"));
    f.c.Command2->setFocus();
    QTest::mouseClick(f.c.Command2, Qt::LeftButton);
    QCOMPARE(f.c.fssj0->toPlainText(), QString());
    QCOMPARE(f.c.fssj1->text(), QString());
    QCOMPARE(QApplication::focusWidget(), f.c.fssj0);
    // The prompt's lock stays: the next key only unlocks the empty box.
    QVERIFY(f.c.fssj0->isReadOnly());

    QVERIFY(f.board().send("after"));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("after"));
}

void TestConsole::relayPressesAlternateBetweenKAndG()
{
    FormFixture f;
    QVERIFY(f.start(FormFixture::Shown));
    QCOMPARE(shownLamps(f.c), QStringLiteral("RGM"));

    QTest::mouseClick(f.c.Command1, Qt::LeftButton);
    QVERIFY(f.board().waitForReceived(1));
    QCOMPARE(f.state.relayState, true);
    QCOMPARE(shownLamps(f.c), QStringLiteral("R--"));
    QCOMPARE(QApplication::focusWidget(), f.c.fssj0);

    QTest::mouseClick(f.c.Command1, Qt::LeftButton);
    QVERIFY(f.board().waitForReceived(2));
    QCOMPARE(f.state.relayState, false);
    QCOMPARE(shownLamps(f.c), QStringLiteral("-G-"));

    QTest::mouseClick(f.c.Command1, Qt::LeftButton);
    QVERIFY(f.board().waitForReceived(3));
    QTRY_COMPARE(f.c.fssj1->text(), QStringLiteral("KGK"));
    QCOMPARE(f.board().received(), QByteArray("KGK"));
    QCOMPARE(shownLamps(f.c), QStringLiteral("R--"));
    // The press moved the focus but did not unlock the send box.
    QVERIFY(f.c.fssj0->isReadOnly());
}

QTEST_MAIN(TestConsole)
#include "test_console.moc"
