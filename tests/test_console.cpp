// The echo console end to end: keys typed in the window go out on a
// pseudo-terminal whose other end echoes like the board, and come back into
// the receive box.
#include "app/main_window.h"
#include "controls/receive_view.h"
#include "pty_board.h"
#include "serial/serial_port.h"
#include "test_helpers.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstKeyClearsThePromptAndIsNotSent();
    void typedKeysEchoBack();
    void controlKeysAndTheirCodes();
    void chineseFromAnInputMethod();
    void characterOutsideTheCodePageIsNotSent();
    void keyInTheReceiveBox();
    void clicks();
    void receivedTextIsKeptAsItArrives();
    void doubleByteCharacterSplitAcrossReads();
    void burstGivesOneNotificationPerCharacter();
    void clearingEmptiesBothBoxes();
    void keysWithNoPortOpen();

private:
    void startWindow();
    void unlockSendBox();
    void commit(QWidget *box, const QString &text);

    std::unique_ptr<PtyBoard> m_board;
    std::unique_ptr<Form1> m_form;
};

void TestConsole::init()
{
    m_board = std::make_unique<PtyBoard>();
    m_board->setEcho(true);
    m_form = std::make_unique<Form1>(ptyLocator({{1, m_board->slavePath()}}));
}

void TestConsole::cleanup()
{
    m_form.reset();
    m_board.reset();
}

void TestConsole::startWindow()
{
    m_form->load();
    QVERIFY(m_form->controls().MSComm1->PortOpen());
    QVERIFY(showAndActivate(*m_form));
}

void TestConsole::unlockSendBox()
{
    QTest::mouseClick(m_form->controls().fssj0->viewport(), Qt::LeftButton);
    QVERIFY(!m_form->controls().fssj0->isReadOnly());
}

void TestConsole::commit(QWidget *box, const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

void TestConsole::firstKeyClearsThePromptAndIsNotSent()
{
    startWindow();
    const Form1Controls &c = m_form->controls();
    QVERIFY(c.fssj0->isReadOnly());
    QTest::keyClick(c.fssj0, Qt::Key_X);
    QVERIFY(!c.fssj0->isReadOnly());
    QCOMPARE(m_form->module1().keyChar, QStringLiteral("x"));
    QCOMPARE(c.Text1->text(), QString());
    // The box enters the key once it is editable.
    QCOMPARE(c.fssj0->toPlainText(), QStringLiteral("x"));
    QTest::qWait(50);
    QCOMPARE(m_board->received(), QByteArray());

    QTest::keyClick(c.fssj0, Qt::Key_Y);
    QVERIFY(m_board->waitForReceived(1));
    QCOMPARE(m_board->received(), QByteArray("y"));
}

void TestConsole::typedKeysEchoBack()
{
    startWindow();
    unlockSendBox();
    const Form1Controls &c = m_form->controls();
    QTest::keyClicks(c.fssj0, QStringLiteral("abc"));
    QVERIFY(m_board->waitForReceived(3));
    QCOMPARE(m_board->received(), QByteArray("\x61\x62\x63"));
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("abc"));
    QCOMPARE(c.fssj0->toPlainText(), QStringLiteral("abc"));
    QCOMPARE(c.Text1->text(), QStringLiteral("c"));
    QCOMPARE(c.Text2->text(), QStringLiteral("99"));
    QCOMPARE(c.Text3->text(), QStringLiteral("63H"));
}

void TestConsole::controlKeysAndTheirCodes()
{
    startWindow();
    unlockSendBox();
    const Form1Controls &c = m_form->controls();

    QTest::keyClick(c.fssj0, Qt::Key_Return);
    QVERIFY(m_board->waitForReceived(1));
    QCOMPARE(c.Text1->text(), QStringLiteral("\r"));
    QCOMPARE(c.Text2->text(), QStringLiteral("13"));
    QCOMPARE(c.Text3->text(), QStringLiteral("DH"));

    QTest::keyClick(c.fssj0, Qt::Key_Backspace);
    QVERIFY(m_board->waitForReceived(2));
    QCOMPARE(c.Text2->text(), QStringLiteral("8"));
    QCOMPARE(c.Text3->text(), QStringLiteral("8H"));

    QTest::keyClick(c.fssj0, Qt::Key_Space);
    QTest::keyClick(c.fssj0, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(m_board->waitForReceived(4));
    QCOMPARE(c.Text2->text(), QStringLiteral("3"));
    QCOMPARE(m_board->received(), QByteArray("\r\b \x03"));
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("\r\b \x03"));
}

void TestConsole::chineseFromAnInputMethod()
{
    startWindow();
    unlockSendBox();
    const Form1Controls &c = m_form->controls();
    commit(c.fssj0, QStringLiteral("中文"));
    QVERIFY(m_board->waitForReceived(4));
    QCOMPARE(m_board->received(), QByteArray("\xD6\xD0\xCE\xC4"));
    QCOMPARE(c.Text1->text(), QStringLiteral("文"));
    QCOMPARE(c.Text2->text(), QStringLiteral("-12604"));
    QCOMPARE(c.Text3->text(), QStringLiteral("CEC4H"));
    QCOMPARE(c.fssj0->toPlainText(), QStringLiteral("中文"));
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("中文"));

    commit(c.fssj0, QStringLiteral("中"));
    QCOMPARE(c.Text2->text(), QStringLiteral("-10544"));
    QCOMPARE(c.Text3->text(), QStringLiteral("D6D0H"));
}

void TestConsole::characterOutsideTheCodePageIsNotSent()
{
    startWindow();
    unlockSendBox();
    const Form1Controls &c = m_form->controls();
    commit(c.fssj0, QStringLiteral("A"));
    commit(c.fssj0, QString::fromUtf8("😀"));
    QCOMPARE(c.Text1->text(), QString::fromUtf8("😀"));
    QCOMPARE(c.Text2->text(), QString());
    QCOMPARE(c.Text3->text(), QString());
    commit(c.fssj0, QString(QChar(0x00A0)) + QStringLiteral("B"));
    QVERIFY(m_board->waitForReceived(2));
    QTest::qWait(50);
    QCOMPARE(m_board->received(), QByteArray("AB"));
}

void TestConsole::keyInTheReceiveBox()
{
    startWindow();
    const Form1Controls &c = m_form->controls();
    // While the prompt shows, a key in the receive box only unlocks the send box.
    c.fssj1->setFocus();
    QTest::keyClick(c.fssj1, Qt::Key_Q);
    QVERIFY(!c.fssj0->isReadOnly());
    QCOMPARE(c.fssj0->toPlainText(), QString());

    QTest::keyClick(c.fssj1, Qt::Key_R);
    QVERIFY(m_board->waitForReceived(1));
    QCOMPARE(m_board->received(), QByteArray("r"));
    QCOMPARE(c.Text2->text(), QStringLiteral("114"));
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("r")); // the echo, not the key
    QCOMPARE(c.fssj0->toPlainText(), QString());
}

void TestConsole::clicks()
{
    startWindow();
    unlockSendBox();
    const Form1Controls &c = m_form->controls();
    QTest::keyClicks(c.fssj0, QStringLiteral("hello"));
    QTest::mouseClick(c.fssj0->viewport(), Qt::LeftButton);
    QCOMPARE(c.fssj0->toPlainText(), QString());

    QTest::mouseClick(c.fssj1, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), c.fssj0);
    // A right click is no click.
    c.fssj0->setPlainText(QStringLiteral("kept"));
    QTest::mouseClick(c.fssj0->viewport(), Qt::RightButton);
    QCOMPARE(c.fssj0->toPlainText(), QStringLiteral("kept"));
}

void TestConsole::receivedTextIsKeptAsItArrives()
{
    startWindow();
    const char raw[] = "one\r\ntwo\rthree\nfour\x01\x00"
                       "five";
    const QByteArray line(raw, sizeof raw - 1);
    m_board->send(line);
    ReceiveView *box = m_form->controls().fssj1;
    QTRY_COMPARE(box->text(), QString::fromLatin1(line));
    // CR LF starts one new line; lone CR and LF start one each.
    QCOMPARE(box->visualLineCount(), 4);
}

void TestConsole::doubleByteCharacterSplitAcrossReads()
{
    startWindow();
    ReceiveView *box = m_form->controls().fssj1;
    m_board->send("A\xD6");
    QTRY_COMPARE(box->text(), QStringLiteral("A"));
    QTest::qWait(50);
    m_board->send("\xD0"
                  "B");
    QTRY_COMPARE(box->text(), QStringLiteral("A中B"));
}

void TestConsole::burstGivesOneNotificationPerCharacter()
{
    startWindow();
    QSignalSpy notified(m_form->controls().MSComm1, &MSComm::OnComm);
    QVERIFY(notified.isValid());
    m_board->send("xyz");
    QTRY_COMPARE(m_form->controls().fssj1->text(), QStringLiteral("xyz"));
    QCOMPARE(notified.count(), 3);
}

void TestConsole::clearingEmptiesBothBoxes()
{
    startWindow();
    const Form1Controls &c = m_form->controls();
    m_board->send("before");
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("before"));
    c.Command2->setFocus();
    QTest::mouseClick(c.Command2, Qt::LeftButton);
    QCOMPARE(c.fssj0->toPlainText(), QString());
    QCOMPARE(c.fssj1->text(), QString());
    QCOMPARE(QApplication::focusWidget(), c.fssj0);
    // The prompt's lock stays: the next key only unlocks the empty box.
    QVERIFY(c.fssj0->isReadOnly());

    m_board->send("after");
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("after"));
}

void TestConsole::keysWithNoPortOpen()
{
    m_form = std::make_unique<Form1>(ptyLocator({}));
    m_form->showCentred(); // without the start-up opening: no port, no warning
    const Form1Controls &c = m_form->controls();
    QVERIFY(!c.MSComm1->PortOpen());
    QTest::mouseClick(c.fssj0->viewport(), Qt::LeftButton);
    QTest::keyClicks(c.fssj0, QStringLiteral("A"));
    QCOMPARE(c.Text1->text(), QStringLiteral("A"));
    QCOMPARE(c.Text2->text(), QStringLiteral("65"));
    QCOMPARE(c.Text3->text(), QStringLiteral("41H"));
    QCOMPARE(c.fssj0->toPlainText(), QStringLiteral("A"));
}

QTEST_MAIN(TestConsole)
#include "test_console.moc"
