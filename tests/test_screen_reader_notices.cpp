// What a screen reader is told as notices of what changes away from the
// focus: the board's echo and floods from it (bounded, spaced out, nothing
// lost from the count), the status line and the lamp seen, once per change,
// and only while the window is the active one. Run on a real X server (Xvfb).
#include "accessible_events.h"
#include "fixture.h"
#include "test_helpers.h"

#include "controls/arrival_notices.h"

#include <QAccessible>
#include <QRegularExpression>
#include <QTest>

#include <memory>

class TestScreenReaderNotices : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void arrivalsAsTold_data();
    void arrivalsAsTold();
    void echoIsTold();
    void floodIsToldInFewBoundedNotices();
    void lampAndStatusAreToldOncePerChange();
    void statusWaitsForTheWindowToBeActive();

private:
    std::unique_ptr<FormFixture> m_f;
    std::unique_ptr<AccessibleEventsKept> m_events;
};

void TestScreenReaderNotices::init()
{
    m_events = std::make_unique<AccessibleEventsKept>();
    QTRY_VERIFY(QAccessible::isActive());
    m_f = std::make_unique<FormFixture>();
    QVERIFY(m_f->start(FormFixture::Loaded));
    // Shown and given the X input focus, as a window manager would.
    m_f->form.showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(&m_f->form));
    m_f->form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m_f->form));
    QVERIFY(m_f->unlockSendBox());
    m_events->waitForNotice(); // the status line, told as the window shows
    QCOMPARE(m_events->takeNotices(), QStringList({openedStatus(1)}));
}

void TestScreenReaderNotices::cleanup()
{
    m_f.reset();
    m_events.reset();
}

void TestScreenReaderNotices::arrivalsAsTold_data()
{
    QTest::addColumn<QString>("arrived");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("told");
    const QString forty(40, u'x');
    QTest::newRow("one character") << "q" << 1 << "q";
    QTest::newRow("Chinese") << "中文" << 2 << "中文";
    QTest::newRow("line breaks as spaces") << "ab\r\ncd\r\n" << 8 << "ab cd";
    QTest::newRow("control characters as spaces") << "a\x01\x7f\tb" << 5 << "a b";
    QTest::newRow("a line break alone") << "\r\n" << 2 << "";
    QTest::newRow("longer than a notice") << QString(50, u'x') << 50 << forty + "……（共50个字符）";
    QTest::newRow("only blanks past the cut") << forty + "\r\n" << 42 << forty;
    QTest::newRow("more arrived than read") << "abc" << 1000 << "abc……（共1000个字符）";
    QTest::newRow("a pair across the cut")
        << QString(39, u'a') + "😀b" << 42 << QString(39, u'a') + "……（共42个字符）";
    QTest::newRow("a space at the cut")
        << QString(39, u'a') + " bc" << 42 << QString(39, u'a') + "……（共42个字符）";
}

void TestScreenReaderNotices::arrivalsAsTold()
{
    QFETCH(QString, arrived);
    QFETCH(int, count);
    QFETCH(QString, told);
    QCOMPARE(ArrivalNotices::noticeText(arrived, count), told);
}

void TestScreenReaderNotices::echoIsTold()
{
    QTest::keyClick(m_f->c.fssj0, Qt::Key_Q);
    QVERIFY(m_f->board().waitForReceived(1));
    QVERIFY(m_events->waitForNotice());
    QCOMPARE(m_events->takeNotices(), QStringList({"q"}));
}

// A second of text pouring in: one notice soon, bounded in length, then none
// until it has been said, then the rest; the counts add up to all that came.
void TestScreenReaderNotices::floodIsToldInFewBoundedNotices()
{
    const QByteArray lines = numberedLines(100 * 400);
    for (int chunk = 0; chunk < 100; ++chunk) {
        QVERIFY(m_f->board().send(lines.mid(chunk * 400, 400)));
        QTest::qWait(10);
    }
    QTRY_COMPARE(m_f->c.fssj1->length(), lines.size());
    QTest::qWait(500);
    QStringList notices = m_events->takeNotices();
    QCOMPARE(notices.size(), 1);
    QVERIFY(m_events->waitForNotice(10000));
    notices += m_events->takeNotices();
    QCOMPARE(notices.size(), 2);

    const QRegularExpression told(QStringLiteral("^(.{1,40})……（共(\\d+)个字符）$"));
    int total = 0;
    for (const QString &notice : notices) {
        const QRegularExpressionMatch m = told.match(notice);
        QVERIFY2(m.hasMatch(), qPrintable(notice));
        total += m.captured(2).toInt();
    }
    QVERIFY(notices.first().startsWith(QString::fromLatin1(lines.left(20))));
    QCOMPARE(total, lines.size());
}

// Each press of 继电器 tells the lamp now seen, once, however many lamps it
// showed and hid, and presses within one pass only the lamp they leave,
// unless it is the one told last; the status line is told when it changes,
// not when it is set to what it already says.
void TestScreenReaderNotices::lampAndStatusAreToldOncePerChange()
{
    const Form1Controls &c = m_f->c;
    QTest::mouseClick(c.Command1, Qt::LeftButton);
    QVERIFY(m_events->waitForNotice());
    QCOMPARE(m_events->takeNotices(), QStringList({"指示灯：红灯亮"}));
    QVERIFY(m_f->board().waitForReceived(1));
    QVERIFY(m_events->waitForNotice()); // the board's echo of K
    QCOMPARE(m_events->takeNotices(), QStringList({"K"}));

    QTest::mouseClick(c.Command1, Qt::LeftButton);
    QVERIFY(m_events->waitForNotice());
    QCOMPARE(m_events->takeNotices(), QStringList({"指示灯：绿灯亮"}));

    // Two presses in one pass: back to green, which was told already.
    QVERIFY(m_events->waitForNotice()); // the board's echo of G
    QCOMPARE(m_events->takeNotices(), QStringList({"G"}));
    c.Command1->click();
    c.Command1->click();
    QVERIFY(m_f->board().waitForReceived(4));
    QVERIFY(m_events->waitForNotice()); // the board's echo of K and G
    QCOMPARE(m_events->takeNotices(), QStringList({"KG"}));

    c.zttext->setText(c.zttext->text());
    m_f->board().hangUp();
    QVERIFY(m_events->waitForNotice());
    QTest::qWait(200);
    const QStringList notices = m_events->takeNotices();
    QVERIFY(notices.contains(lostStatus(1)));
    QVERIFY(!notices.contains(openedStatus(1)));
}

// A change while another window is active is told once the user is back.
void TestScreenReaderNotices::statusWaitsForTheWindowToBeActive()
{
    QWidget other;
    other.setWindowTitle(QStringLiteral("other"));
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));

    m_f->board().hangUp();
    QTRY_COMPARE(m_f->c.zttext->text(), lostStatus(1));
    QTest::qWait(300);
    QCOMPARE(m_events->takeNotices(), QStringList());

    m_f->form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m_f->form));
    QVERIFY(m_events->waitForNotice());
    QCOMPARE(m_events->takeNotices(), QStringList({lostStatus(1)}));
}

QTEST_MAIN(TestScreenReaderNotices)
#include "test_screen_reader_notices.moc"
