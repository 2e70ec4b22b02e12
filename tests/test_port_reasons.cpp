// The port list's tooltips (one survey of the system per drop-down) and the
// reason for a failed or lost port in the status box's tooltip, while the
// status line and the warning stay as they are.
#include "fixture.h"
#include "serial/comm_error.h"
#include "serial/port_failure.h"

#include <QApplication>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The status line, the warnings and the tooltip after choosing COM(index + 1).
struct Outcome
{
    QString status;
    QStringList warnings;
    QString reason;
};

Outcome chooseAndSee(FormFixture &f, int index)
{
    const qsizetype earlier = f.boxes.seen().size();
    choose(f.c.comdk, index);
    Outcome outcome {f.c.zttext->text(), {}, f.c.zttext->toolTip()};
    for (const SeenBox &box : f.boxes.seen().mid(earlier))
        outcome.warnings.append(box.text);
    return outcome;
}

} // namespace

class TestPortReasons : public QObject
{
    Q_OBJECT

private slots:
    void itemTooltipsComeFromOneSurvey();
    void failureReasons();
    void permissionDeniedNamesTheGroupAndTheCommand();
    void lostLineReason();
};

void TestPortReasons::itemTooltipsComeFromOneSurvey()
{
    int surveys = 0;
    SerialDevice adapter {QStringLiteral("/dev/ttyUSB0"),
                          QStringLiteral("FT232R USB UART"),
                          QStringLiteral("FTDI"),
                          QStringLiteral("A50285BI"),
                          quint16(0x0403),
                          quint16(0x6001)};
    const PortLocator locator = PortLocator::fromSurvey([&surveys, adapter] {
        ++surveys;
        return QList<SerialDevice> {{QStringLiteral("/dev/ttyS0"), {}, {}, {}, {}, {}}, adapter};
    });
    // Hand-written: the fixture's locator is a table of boards, not a survey to count.
    Form1 form(locator);
    form.showCentred();
    PortList *list = form.controls().comdk;
    list->showPopup();
    QCOMPARE(surveys, 1);
    QCOMPARE(list->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(list->itemData(1, Qt::ToolTipRole).toString(),
             QStringLiteral("/dev/ttyUSB0\nFT232R USB UART\n制造商：FTDI\nVID:PID 0403:6001\n"
                            "序列号：A50285BI"));
    for (int i = 2; i < 8; ++i)
        QCOMPARE(list->itemData(i, Qt::ToolTipRole).toString(),
                 QStringLiteral("没有对应的串口设备"));
    list->hidePopup();
    list->showPopup();
    QCOMPARE(surveys, 2);
    list->hidePopup();
}

void TestPortReasons::failureReasons()
{
    FormFixture f;
    const PtyBoard &com1 = f.board();
    const QString missing = QStringLiteral("/dev/rs232test-unplugged");
    f.setDevice(2, com1.slavePath());
    f.setDevice(4, missing);
    f.form.showCentred();

    Outcome none = chooseAndSee(f, 2);
    QCOMPARE(none.status, failedStatus(3));
    QCOMPARE(none.warnings, QStringList {kWarningText});
    QCOMPARE(none.reason, QStringLiteral("COM3没有对应的串口设备。"));

    Outcome unplugged = chooseAndSee(f, 3);
    QCOMPARE(unplugged.status, failedStatus(4));
    QCOMPARE(unplugged.reason, QStringLiteral("设备%1不存在，可能已被拔出。").arg(missing));

    // COM2 is the device COM1 is, held by the window's own COM1: the lock
    // file names this process.
    const Outcome opened = chooseAndSee(f, 0);
    QCOMPARE(opened.status, openedStatus(1));
    QCOMPARE(opened.reason, QString());
    MSComm other(ptyLocator({{1, com1.slavePath()}}));
    try {
        other.setPortOpen(true);
        QFAIL("a held device was opened");
    } catch (const CommError &error) {
        QCOMPARE(error.reason(), CommError::Reason::InUse);
        QCOMPARE(error.device(), com1.slavePath());
        QCOMPARE(error.holderPid(), QCoreApplication::applicationPid());
    }
    f.c.MSComm1->setPortOpen(false);
    other.setPortOpen(true);
    Outcome inUse = chooseAndSee(f, 1);
    QCOMPARE(inUse.status, failedStatus(2));
    QCOMPARE(inUse.warnings, QStringList {kWarningText});
    QVERIFY2(inUse.reason.startsWith(com1.slavePath() + QStringLiteral("正被其它程序占用")),
             qPrintable(inUse.reason));
    QVERIFY2(inUse.reason.contains(QString::number(QCoreApplication::applicationPid())),
             qPrintable(inUse.reason));
}

void TestPortReasons::permissionDeniedNamesTheGroupAndTheCommand()
{
    FormFixture f;
    const PtyBoard &com1 = f.board();
    f.form.showCentred();
    const QByteArray slave = QFile::encodeName(com1.slavePath());
    // A device of another user's (root's, mode 0600) opened by nobody; a user
    // who is not root closes their own pseudo-terminal to themselves.
    const bool root = ::geteuid() == 0;
    QCOMPARE(::chmod(slave.constData(), root ? 0600 : 0), 0);
    if (root)
        QCOMPARE(::seteuid(65534), 0);
    const Outcome denied = chooseAndSee(f, 0);
    if (root)
        QCOMPARE(::seteuid(0), 0);
    QCOMPARE(denied.status, failedStatus(1));
    QCOMPARE(denied.warnings, QStringList {kWarningText});
    QVERIFY2(denied.reason.contains(com1.slavePath()), qPrintable(denied.reason));
    QVERIFY2(denied.reason.contains(QStringLiteral("没有打开")), qPrintable(denied.reason));
    QVERIFY2(denied.reason.contains(QStringLiteral("dialout组")), qPrintable(denied.reason));
    QVERIFY2(denied.reason.contains(QStringLiteral("sudo usermod -aG dialout $USER")),
             qPrintable(denied.reason));
}

void TestPortReasons::lostLineReason()
{
    FormFixture f;
    const QString device = f.board().slavePath();
    QVERIFY(f.start(FormFixture::Loaded));
    f.form.showCentred();
    QCOMPARE(f.c.zttext->toolTip(), QString());
    f.board().hangUp();
    QTRY_COMPARE(f.c.zttext->text(), lostStatus(1));
    // A pseudo-terminal's node goes with its master, as an adapter's does
    // when it is unplugged.
    QCOMPARE(f.c.zttext->toolTip(), QStringLiteral("设备%1不存在，可能已被拔出。").arg(device));
    QVERIFY(f.boxes.seen().isEmpty());
    // A device still there was hung up.
    const CommError hungUp = lostLine(1, QStringLiteral("/dev/null"));
    QCOMPARE(hungUp.reason(), CommError::Reason::HungUp);
    QCOMPARE(hungUp.device(), QStringLiteral("/dev/null"));
}

QTEST_MAIN(TestPortReasons)
#include "test_port_reasons.moc"
