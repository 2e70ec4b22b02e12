// An idle program: the window shown with COM1 open on a pseudo-terminal and
// nothing arriving costs next to no CPU. A process of its own, so that what
// earlier tests left in the heap and the caches does not count.
#include "app/main_window.h"
#include "controls/receive_view.h"
#include "pty_board.h"
#include "serial/serial_port.h"
#include "test_helpers.h"

#include <QApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

namespace {

// Lets the window settle, then returns the CPU seconds the whole process
// uses while its event loop runs for ms.
double cpuWhileSettledAndIdle(int ms)
{
    idleFor(500);
    // Idle pooled threads (image scaling uses them) end on their own after a
    // while; they must not do so during the measurement.
    QThreadPool::globalInstance()->waitForDone();
    const double before = processCpuSeconds();
    idleFor(ms);
    return processCpuSeconds() - before;
}

} // namespace

class TestFaultsIdle : public QObject
{
    Q_OBJECT

private slots:
    void idleWithThePortOpen();
};

void TestFaultsIdle::idleWithThePortOpen()
{
    PtyBoard board;
    Form1 form(ptyLocator({{1, board.slavePath()}}));
    form.load();
    QVERIFY(showAndActivate(form));
    const Form1Controls &c = form.controls();
    QTest::mouseClick(c.fssj0->viewport(), Qt::LeftButton);
    QVERIFY(!c.fssj0->isReadOnly());
    QVERIFY(c.MSComm1->PortOpen());
    QTest::keyClicks(c.fssj0, QStringLiteral("hi"));
    QTRY_COMPARE(c.fssj1->text(), QStringLiteral("hi"));
    QCOMPARE(QApplication::focusWidget(), c.fssj0);

    // The caret blinking in the send box wakes the program twice a second;
    // that is measured and reported, and only checked for a busy loop.
    const double blinking = cpuWhileSettledAndIdle(5000);
    qInfo("%.2f ms of CPU per second, idle, caret blinking in the send box", blinking * 200);

    // Without the blinking nothing at all should wake the program.
    const int flashTime = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0);
    c.Command2->setFocus(); // the send box reads the flash time on focus
    c.fssj0->setFocus();
    QCOMPARE(QApplication::focusWidget(), c.fssj0);
    const double still = cpuWhileSettledAndIdle(5000);
    QApplication::setCursorFlashTime(flashTime);
    qInfo("%.2f ms of CPU per second, idle, caret not blinking", still * 200);

    QVERIFY2(still < 0.005, qPrintable(QStringLiteral("%1 s of CPU in 5 s").arg(still)));
    QVERIFY2(blinking < 0.025, qPrintable(QStringLiteral("%1 s of CPU in 5 s").arg(blinking)));
    QVERIFY(c.MSComm1->PortOpen());
    QCOMPARE(board.received(), QByteArray("hi"));
}

QTEST_MAIN(TestFaultsIdle)
#include "test_faults_idle.moc"
