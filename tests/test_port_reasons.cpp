// The port list's tooltips (one survey of the system per drop-down) and the
// reason for a failed or lost port in the status box's tooltip, while the
// status line and the warning stay as they are: outside text shown as it is,
// the holder of a device named only when it has the device open, and lock
// files that are no lock files never read.
#include "fixture.h"
#include "serial/comm_error.h"
#include "serial/lock_file.h"
#include "serial/port_failure.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
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
    Outcome outcome {f.c.zttext->text(), {}, shownToolTip(f.c.zttext->toolTip())};
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
    void outsideTextShownAsItIs();
    void holderIsTheProcessWithTheDeviceOpen();
    void lockFileOfAnotherProgram();
    void lockFilesThatAreNoLockFiles_data();
    void lockFilesThatAreNoLockFiles();
};

void TestPortReasons::itemTooltipsComeFromOneSurvey()
{
    int surveys = 0;
    SerialDevice adapter {QStringLiteral("/dev/ttyUSB0"),
                          QStringLiteral("FT232R USB UART"),
                          QStringLiteral("FTDI"),
                          QStringLiteral("A50285BI"),
                          quint16(0x0403),
                          quint16(0x6001),
                          {}};
    const PortLocator locator = PortLocator::fromSurvey([&surveys, adapter] {
        ++surveys;
        return QList<SerialDevice> {{QStringLiteral("/dev/ttyS0"), {}, {}, {}, {}, {}, {}},
                                    adapter};
    });
    // Hand-written: the fixture's locator is a table of boards, not a survey to count.
    Form1 form(locator);
    form.showCentred();
    PortList *list = form.controls().comdk;
    list->showPopup();
    QCOMPARE(surveys, 1);
    const auto tip = [list](int i) {
        return shownToolTip(list->itemData(i, Qt::ToolTipRole).toString());
    };
    QCOMPARE(tip(0), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(tip(1),
             QStringLiteral("/dev/ttyUSB0\nFT232R USB UART\n制造商：FTDI\nVID:PID 0403:6001\n"
                            "序列号：A50285BI"));
    for (int i = 2; i < 8; ++i)
        QCOMPARE(tip(i), QStringLiteral("没有对应的串口设备"));
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
        QCOMPARE(error.holder().kind, DeviceHolder::Kind::Process);
        QCOMPARE(error.holder().pid, QCoreApplication::applicationPid());
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
    QCOMPARE(shownToolTip(f.c.zttext->toolTip()),
             QStringLiteral("设备%1不存在，可能已被拔出。").arg(device));
    QVERIFY(f.boxes.seen().isEmpty());
    // A device still there was hung up.
    const CommError hungUp = lostLine(1, QStringLiteral("/dev/null"));
    QCOMPARE(hungUp.reason(), CommError::Reason::HungUp);
    QCOMPARE(hungUp.device(), QStringLiteral("/dev/null"));
}

// Names of devices, ports and processes are outside text: whatever markup
// they hold is shown as it is, never rendered.
void TestPortReasons::outsideTextShownAsItIs()
{
    const SerialDevice adapter {QStringLiteral("/dev/ttyUSB0"),
                                QStringLiteral("<h1>Board</h1><table><tr><td>x"),
                                QStringLiteral("<img src=\"x.png\">FTDI"),
                                QStringLiteral("&lt;b&gt;A50285BI"),
                                {},
                                {},
                                {}};
    Form1 form(PortLocator::fromSurvey([adapter] { return QList<SerialDevice> {adapter}; }));
    form.showCentred();
    PortList *list = form.controls().comdk;
    list->showPopup();
    QCOMPARE(shownToolTip(list->itemData(0, Qt::ToolTipRole).toString()),
             adapter.location + u'\n' + adapter.description + QStringLiteral("\n制造商：")
                 + adapter.manufacturer + QStringLiteral("\n序列号：") + adapter.serialNumber);
    list->hidePopup();

    FormFixture f;
    const QString missing = QStringLiteral("/dev/<b>gone</b><img src=\"x.png\">");
    f.setDevice(2, missing);
    f.form.showCentred();
    const Outcome gone = chooseAndSee(f, 1);
    QCOMPARE(gone.reason,
             QStringLiteral("设备") + missing + QStringLiteral("不存在，可能已被拔出。"));
}

namespace {

// A process of the test's own, killed when it goes.
struct Child
{
    QProcess process;
    ~Child()
    {
        process.kill();
        process.waitForFinished();
    }
    qint64 pid() const { return process.processId(); }
};

// A lock file of the test's making, removed when it goes.
struct MadeLockFile
{
    QString path;
    explicit MadeLockFile(QString lockPath)
        : path(std::move(lockPath))
    {
    }
    ~MadeLockFile() { QFile::remove(path); }
    bool write(const QByteArray &text) const
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
               && file.write(text) == text.size();
    }
};

// An unrelated program that runs for a while: its pid stands for one that a
// lock file still records after the pid was reused.
bool startUnrelated(Child &child)
{
    child.process.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    return child.process.waitForStarted();
}

} // namespace

// The device is COM1 by the link udev makes for a USB adapter; the holder
// reached it by a path of its own (as root, in a mount namespace of its own
// where the device is bound over a file of the test's, with a lock folder of
// its own), so no path it has open reads like the link or its target; the
// lock file records the pid of an unrelated program. The holder is found by
// the device number and named as it names itself, markup and "%1" included.
void TestPortReasons::holderIsTheProcessWithTheDeviceOpen()
{
    FormFixture f;
    const QString slave = f.board().slavePath();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("serial/by-id")));
    const QString byId =
        dir.filePath(QStringLiteral("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"));
    QVERIFY(QFile::link(slave, byId));
    const QString node = dir.filePath(QStringLiteral("board"));
    QVERIFY(QFile(node).open(QIODevice::WriteOnly)); // where the device is bound
    // Left by the killed holder when it shares this lock folder.
    const MadeLockFile holderLock(qtLockFilePath(node));

    const QString name = QStringLiteral("<b>%1%2</b>");
    const QString holderProgram = QStringLiteral(PORT_HOLDER_PATH);
    Child holder;
    if (::geteuid() == 0) {
        holder.process.start(
            QStringLiteral("unshare"),
            {QStringLiteral("--mount"), QStringLiteral("sh"), QStringLiteral("-c"),
             QStringLiteral("mount -t tmpfs tmpfs /run/lock && mount --bind \"$1\" \"$2\""
                            " && exec \"$3\" \"$2\" \"$4\""),
             QStringLiteral("sh"), slave, node, holderProgram, name});
    } else {
        holder.process.start(holderProgram, {byId, name});
    }
    QVERIFY(holder.process.waitForReadyRead(10000));
    QCOMPARE(holder.process.readLine().trimmed(), QByteArray("ready"));
    Child unrelated;
    QVERIFY(startUnrelated(unrelated));
    const MadeLockFile lock(qtLockFilePath(byId));
    QVERIFY(lock.write(QByteArray::number(unrelated.pid()) + "\nsleep\n"));

    f.setDevice(1, byId);
    f.form.showCentred();
    const Outcome held = chooseAndSee(f, 0);
    QCOMPARE(held.status, failedStatus(1));
    QCOMPARE(held.warnings, QStringList {kWarningText});
    QCOMPARE(held.reason, byId + QStringLiteral("正被其它程序占用：") + name
                              + QStringLiteral("（进程号") + QString::number(holder.pid())
                              + QStringLiteral("）。"));
}

// A lock file whose pid belongs to a program without the device open (a pid
// reused by another program of that name) names no program, only the pid it
// records; one whose process is gone is stale.
void TestPortReasons::lockFileOfAnotherProgram()
{
    FormFixture f;
    const QString device = f.board().slavePath();
    Child unrelated;
    QVERIFY(startUnrelated(unrelated));
    const MadeLockFile lock(qtLockFilePath(device));
    // Its name as QLockFile records it, so that QSerialPort does not take the
    // lock for stale and over.
    QVERIFY(lock.write(QByteArray::number(unrelated.pid()) + "\nsleep\n"));
    f.form.showCentred();
    const Outcome locked = chooseAndSee(f, 0);
    QCOMPARE(locked.status, failedStatus(1));
    QCOMPARE(locked.reason, device + QStringLiteral("正被其它程序占用：锁文件") + lock.path
                                + QStringLiteral("记录的进程号是")
                                + QString::number(unrelated.pid())
                                + QStringLiteral("，但该进程没有打开此设备。"));

    // QSerialPort takes a stale lock over itself; a holder it cannot see
    // (another user's program with the device locked) leaves it standing.
    Child gone;
    gone.process.start(QStringLiteral("true"), QStringList());
    QVERIFY(gone.process.waitForStarted());
    const qint64 gonePid = gone.pid();
    QVERIFY(gone.process.waitForFinished());
    QVERIFY(lock.write(QByteArray::number(gonePid) + '\n'));
    const CommError stale = deviceInUse(1, device);
    QCOMPARE(stale.holder().kind, DeviceHolder::Kind::StaleLock);
    QCOMPARE(stale.holder().pid, gonePid);
    QCOMPARE(stale.holder().lockFile, lock.path);
}

void TestPortReasons::lockFilesThatAreNoLockFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("link to a FIFO") << QStringLiteral("fifo-link");
    QTest::newRow("link to /dev/zero") << QStringLiteral("zero-link");
    QTest::newRow("300 MB") << QStringLiteral("huge");
}

// A lock file that is no regular file is never opened, and one far larger
// than a lock file is never read: the port is held by someone unknown, and
// the tooltip says why.
void TestPortReasons::lockFilesThatAreNoLockFiles()
{
    QFETCH(QString, kind);
    FormFixture f;
    const QString device = f.board().slavePath();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    const MadeLockFile lock(qtLockFilePath(device));
    const QByteArray lockPath = QFile::encodeName(lock.path);
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(lockPath.constData(), 0600), 0);
    else if (kind == QLatin1String("fifo-link"))
        QCOMPARE(::symlink(fifo.constData(), lockPath.constData()), 0);
    else if (kind == QLatin1String("zero-link"))
        QCOMPARE(::symlink("/dev/zero", lockPath.constData()), 0);
    else
        QVERIFY(lock.write("1\n") && ::truncate(lockPath.constData(), 300 << 20) == 0);

    rusage before = {};
    ::getrusage(RUSAGE_SELF, &before);
    f.form.showCentred();
    const Outcome refused = chooseAndSee(f, 0);
    rusage after = {};
    ::getrusage(RUSAGE_SELF, &after);
    QCOMPARE(refused.status, failedStatus(1));
    QCOMPARE(refused.warnings, QStringList {kWarningText});
    const QString why = kind == QLatin1String("huge")
                            ? QStringLiteral("过大，不是有效的锁文件。")
                            : QStringLiteral("不是普通文件（可能是管道、设备或链接）。");
    QCOMPARE(refused.reason, device + QStringLiteral("正被未知程序占用：锁文件") + lock.path + why);
    // Not read: the peak memory stays well below the file's size.
    const long grownKiB = after.ru_maxrss - before.ru_maxrss;
    QVERIFY2(grownKiB < 64 * 1024,
             qPrintable(QStringLiteral("peak memory grew by %1 KiB").arg(grownKiB)));
}

QTEST_MAIN(TestPortReasons)
#include "test_port_reasons.moc"
