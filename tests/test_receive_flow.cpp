// How received text flows through MSComm and the window under load: bursts
// delivered in batches with other events between them, a reader that falls
// behind holding the sender back, the loss notice of a port that has been
// replaced, and the last half character of a lost line; Form1 and MSComm over
// pseudo-terminals.
#include "fixture.h"

#include <QKeyEvent>
#include <QTest>

namespace {

// Runs a choice from the port list when the next queued call reaches the
// control, that is after a lost port has been noticed and before its notice
// is delivered: both in the same event-loop pass.
class ChoiceBeforeNotice : public QObject
{
public:
    ChoiceBeforeNotice(PortList *list, int index)
        : m_list(list)
        , m_index(index)
    {
    }
    bool done = false;

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MetaCall && !done) {
            done = true;
            m_list->setCurrentIndex(m_index);
            emit m_list->activated(m_index);
        }
        return false;
    }

private:
    PortList *m_list;
    int m_index;
};

} // namespace

class TestReceiveFlow : public QObject
{
    Q_OBJECT

private slots:
    void burstInOrderWithAKeyPressHandledMeanwhile();
    void readerBehindHoldsTheSenderBack_data();
    void readerBehindHoldsTheSenderBack();
    void lossNoticeOfAReplacedPortChangesNothing_data();
    void lossNoticeOfAReplacedPortChangesNothing();
    void leadByteOfALostLineIsShown_data();
    void leadByteOfALostLineIsShown();
};

void TestReceiveFlow::burstInOrderWithAKeyPressHandledMeanwhile()
{
    FormFixture f;
    f.board().setEcho(false);
    QVERIFY(f.start(FormFixture::Shown));
    const Form1Controls &c = f.c;

    // A key pressed at the first character of the burst; noted at the first
    // notification after the keyboard handler has run.
    const QByteArray burst = numberedLines(60000);
    qsizetype shownWhenKeyHandled = -1;
    bool keyPressed = false;
    connect(c.MSComm1, &MSComm::OnComm, &f.board(), [&] {
        if (!keyPressed) {
            keyPressed = true;
            QCoreApplication::postEvent(
                c.fssj0, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
        } else if (shownWhenKeyHandled < 0 && f.state.keyChar == u"a") {
            shownWhenKeyHandled = c.fssj1->length();
        }
    });
    QVERIFY(f.board().send(burst, 60000));
    QVERIFY(spinEventLoopUntil([&] { return c.fssj1->length() >= burst.size(); }, 60000));
    QVERIFY2(shownWhenKeyHandled > 0 && shownWhenKeyHandled < burst.size(),
             qPrintable(QString::number(shownWhenKeyHandled)));
    QVERIFY(c.fssj1->text() == QString::fromLatin1(burst));
}

void TestReceiveFlow::readerBehindHoldsTheSenderBack_data()
{
    QTest::addColumn<bool>("hangUp");
    QTest::newRow("the reader catches up") << false;
    QTest::newRow("the board hangs up while held back") << true;
}

void TestReceiveFlow::readerBehindHoldsTheSenderBack()
{
    QFETCH(bool, hangUp);

    LineFixture line;
    line.board.setEcho(false);
    int lost = 0;
    connect(&line.comm, &MSComm::portLost, this, [&] { ++lost; });
    line.comm.setInputLen(0);
    line.comm.setPortOpen(true); // RThreshold 0: no notifications, nothing read
    QVERIFY(line.comm.PortOpen());

    // Far more than the system and the control hold together: the board
    // cannot put it all on the line while nobody reads.
    const QByteArray bytes = numberedLines(2 * 1024 * 1024);
    QVERIFY(!line.board.send(bytes, 1000));
    QVERIFY(line.board.pendingForProgram() > 0);
    QVERIFY(line.comm.inBufferCount() >= MSComm::kMaxWaitingCharacters);
    QVERIFY(line.comm.inBufferCount() <= 2 * MSComm::kMaxWaitingCharacters);
    if (hangUp)
        line.board.hangUp();

    // Reading lets the rest through, every byte in order; a line that went
    // away meanwhile is noticed once reading resumes, what it gave kept.
    QByteArray received;
    while (received.size() < bytes.size()) {
        const QString part = line.comm.Input().toString();
        received += part.toLatin1();
        if (part.isEmpty()
            && !spinEventLoopUntil([&] { return line.comm.inBufferCount() > 0; }, 1000))
            break;
    }
    QVERIFY(bytes.startsWith(received));
    QCOMPARE(received.size() == bytes.size(), !hangUp);
    QCOMPARE(line.comm.PortOpen(), !hangUp);
    QCOMPARE(lost, int(hangUp));
}

void TestReceiveFlow::lossNoticeOfAReplacedPortChangesNothing_data()
{
    QTest::addColumn<bool>("noticedFirst");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("status");
    QTest::newRow("hang-up noticed, then COM2 chosen in the same pass")
        << true << 1 << openedStatus(2);
    QTest::newRow("hang-up noticed, then a missing COM3 chosen in the same pass")
        << true << 2 << failedStatus(3);
    QTest::newRow("COM2 chosen before the hang-up is noticed") << false << 1 << openedStatus(2);
}

void TestReceiveFlow::lossNoticeOfAReplacedPortChangesNothing()
{
    QFETCH(bool, noticedFirst);
    QFETCH(int, chosen);
    QFETCH(QString, status);

    FormFixture f({1, 2});
    QVERIFY(f.start(FormFixture::Loaded));
    f.form.showCentred();
    const Form1Controls &c = f.c;
    QVERIFY(c.MSComm1->PortOpen());

    ChoiceBeforeNotice choice(c.comdk, chosen);
    f.board(1).hangUp();
    if (noticedFirst) {
        c.MSComm1->installEventFilter(&choice);
        QVERIFY(QTest::qWaitFor([&] { return choice.done; }));
    } else {
        c.comdk->setCurrentIndex(chosen);
        emit c.comdk->activated(chosen);
    }
    idleFor(100);
    QCOMPARE(c.zttext->text(), status);
    QCOMPARE(c.MSComm1->PortOpen(), chosen == 1);
}

void TestReceiveFlow::leadByteOfALostLineIsShown_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    const QString bad(QChar::ReplacementCharacter);
    QTest::newRow("a lead byte after text") << QByteArray("ok\xD6") << QStringLiteral("ok") + bad;
    QTest::newRow("lead bytes pairing up to the last one")
        << QByteArray("\xD6\xD0\x81\x81\x81") << QStringLiteral("\u4E2D\u4E96") + bad;
    QTest::newRow("a lead byte alone") << QByteArray("\xFE") << bad;
    QTest::newRow("whole characters only: nothing added")
        << QByteArray("ok\xD6\xD0") << QStringLiteral("ok\u4E2D");
}

// A lead byte still waiting for its second byte when the board hangs up is
// shown as a bad character, not dropped without a trace.
void TestReceiveFlow::leadByteOfALostLineIsShown()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);

    FormFixture f;
    f.board().setEcho(false);
    QVERIFY(f.start(FormFixture::Shown));
    const Form1Controls &c = f.c;
    int lost = 0;
    connect(c.MSComm1, &MSComm::portLost, this, [&] { ++lost; });
    QVERIFY(f.board().send(bytes));
    // Every byte read and every whole character shown: a lead byte waits.
    QVERIFY(QTest::qWaitFor(
        [&] { return f.board().pendingForProgram() == 0 && c.MSComm1->inBufferCount() == 0; }));
    idleFor(50);
    QCOMPARE(c.fssj1->text(), shown.chopped(shown.endsWith(QChar::ReplacementCharacter)));
    f.board().hangUp();
    QVERIFY(QTest::qWaitFor([&] { return lost > 0; }));
    idleFor(50);
    QCOMPARE(c.fssj1->text(), shown);
    QVERIFY(!c.MSComm1->PortOpen());
}

QTEST_MAIN(TestReceiveFlow)
#include "test_receive_flow.moc"
