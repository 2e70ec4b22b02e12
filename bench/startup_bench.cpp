// Start-up time and memory: from starting the program to its window shown, on
// the offscreen platform, with COM1 present and absent; with COM1 absent the
// program shows its warning box before the window, so the time is taken to the
// box shown. Prints medians over several starts and PASS or FAIL per target.
//
// Run as root from a Release build:  build-rel/bench/startup_bench
// Each start runs in a private mount namespace where every /dev/ttyS* is a
// stand-in: "present" puts a pseudo-terminal over /dev/ttyS0 (the device the
// program's own port list makes COM1), "absent" hides the system's tty list
// (/sys/class/tty) so the program finds no port; every other /dev/ttyS* is
// /dev/null, so no start ever opens a real serial port. Two programs are
// timed: rs232test itself, whose first flush to the screen is seen in Qt's
// "qt.widgets.painting" log, and startup_probe, the same start-up steps
// stamping the first exposure of each window itself.
#include "bench_support.h"
#include "pty_board.h"

#include <QByteArray>
#include <QDir>
#include <QList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kStarts = 15; // per case, after one warm-up start

struct Case
{
    const char *program;
    bool probe;
    bool present;
    std::vector<double> ms;
    std::vector<double> toMainMs;
    std::vector<double> rssMB;
    int failures = 0;
    QByteArray lastError;
};

[[noreturn]] void childFailed(const char *what)
{
    std::fprintf(stderr, "startup_bench child: %s: %s\n", what, std::strerror(errno));
    std::_Exit(127);
}

// In the child: the private namespace with stand-in devices, then the program.
[[noreturn]] void startChild(const Case &c, const QByteArray &pty, const QList<QByteArray> &ports)
{
    if (::unshare(CLONE_NEWNS) != 0)
        childFailed("unshare");
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        childFailed("private mounts");
    // A lock folder of its own, so its lock files never meet another run's.
    if (::mount("tmpfs", "/run/lock", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0)
        childFailed("/run/lock");
    for (const QByteArray &port : ports) {
        const char *standIn = c.present && port == "/dev/ttyS0" ? pty.constData() : "/dev/null";
        if (::mount(standIn, port.constData(), nullptr, MS_BIND, nullptr) != 0)
            childFailed(port.constData());
    }
    if (!c.present
        && ::mount("tmpfs", "/sys/class/tty", "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, "size=16k")
               != 0)
        childFailed("/sys/class/tty");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!c.probe)
        ::setenv("QT_LOGGING_RULES", "qt.widgets.painting=true", 1);
    ::execl(c.program, c.program, static_cast<char *>(nullptr));
    childFailed(c.program);
}

// The moment (monotonic ns) the output shows the awaited window, or -1.
qint64 awaitedMoment(const Case &c, const QByteArray &line, qint64 arrival, qint64 *mainAt)
{
    const QByteArray awaited = c.present ? "Form1" : "QMessageBox";
    if (c.probe) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2 && fields[0] == "main")
            *mainAt = fields[1].toLongLong();
        return fields.size() == 2 && fields[0] == awaited ? fields[1].toLongLong() : -1;
    }
    return line.contains("Flushing QRegion") && line.contains(" of " + awaited + "(") ? arrival
                                                                                      : -1;
}

void runOnce(Case &c, const QList<QByteArray> &ports, bool record)
{
    PtyBoard line(PtyBoard::FarEnd::ForThreads);
    int out[2];
    if (!line.isValid() || ::pipe(out) != 0) {
        ++c.failures;
        return;
    }
    const QByteArray pty = line.slavePath().toLocal8Bit();
    std::fflush(stdout);
    const qint64 started = monotonicNs();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(out[1], STDERR_FILENO);
        startChild(c, pty, ports);
    }
    ::close(out[1]);

    qint64 shownAt = -1;
    qint64 mainAt = -1;
    QByteArray pending;
    QByteArray output;
    const qint64 deadline = started + qint64(10) * 1000000000;
    while (shownAt < 0 && monotonicNs() < deadline) {
        pollfd wait {out[0], POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0)
            continue;
        char buffer[65536];
        const ssize_t count = ::read(out[0], buffer, sizeof buffer);
        const qint64 arrival = monotonicNs();
        if (count <= 0)
            break; // the program has ended
        pending.append(buffer, count);
        output.append(buffer, count);
        for (qsizetype end; shownAt < 0 && (end = pending.indexOf('\n')) >= 0;) {
            shownAt = awaitedMoment(c, pending.left(end), arrival, &mainAt);
            pending.remove(0, end + 1);
        }
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    ::close(out[0]);
    if (shownAt < 0) {
        ++c.failures;
        c.lastError = output.right(600);
        return;
    }
    if (!record)
        return;
    c.ms.push_back(double(shownAt - started) / 1e6);
    if (mainAt >= 0)
        c.toMainMs.push_back(double(mainAt - started) / 1e6);
    c.rssMB.push_back(double(usage.ru_maxrss) * 1024 / 1e6);
}

} // namespace

int main()
{
    if (::geteuid() != 0) {
        std::fprintf(stderr, "needs root for the private mount namespaces\n");
        return 1;
    }
    QList<QByteArray> ports;
    const QStringList names =
        QDir(QStringLiteral("/dev"))
            .entryList({QStringLiteral("ttyS*")}, QDir::System | QDir::Files | QDir::NoSymLinks);
    for (const QString &name : names)
        ports.append("/dev/" + name.toLocal8Bit());
    if (!ports.contains("/dev/ttyS0"))
        std::printf("no /dev/ttyS0 here: the \"present\" starts have no device to stand in for\n");

    std::vector<Case> cases = {{RS232TEST_PATH, false, true, {}, {}, {}, 0, {}},
                               {RS232TEST_PATH, false, false, {}, {}, {}, 0, {}},
                               {STARTUP_PROBE_PATH, true, true, {}, {}, {}, 0, {}},
                               {STARTUP_PROBE_PATH, true, false, {}, {}, {}, 0, {}}};
    for (int round = 0; round <= kStarts; ++round) {
        for (Case &c : cases)
            runOnce(c, ports, round > 0);
    }

    std::printf("Offscreen platform, %d starts per case after one warm-up start, cases "
                "interleaved;\ntime from fork() to the window (or warning box) shown; "
                "peak RSS: ru_maxrss of the process, in MB of 10^6 bytes\n\n",
                kStarts);
    std::printf("%-14s %-8s %-12s %5s %9s %7s %7s %8s %13s %5s\n", "program", "COM1", "until",
                "runs", "median ms", "min ms", "max ms", "to main", "RSS MB", "fail");
    double worstMedian = 0;
    double worstRss = 0;
    bool anyFailed = false;
    for (const Case &c : cases) {
        const QByteArray name = QByteArray(c.program).split('/').last();
        const double rssMedian = median(c.rssMB);
        const double rssMax = percentile(c.rssMB, 100);
        std::printf(
            "%-14s %-8s %-12s %5zu %9.1f %7.1f %7.1f %8s %6.1f/%-6.1f %5d\n", name.constData(),
            c.present ? "present" : "absent", c.present ? "window" : "warning box", c.ms.size(),
            median(c.ms), percentile(c.ms, 0), percentile(c.ms, 100),
            c.toMainMs.empty() ? "-" : QByteArray::number(median(c.toMainMs), 'f', 1).constData(),
            rssMedian, rssMax, c.failures);
        if (c.failures > 0)
            std::printf("  last failed start's output:\n%s\n", c.lastError.constData());
        anyFailed = anyFailed || c.failures > 0 || c.ms.empty();
        if (!c.probe) {
            worstMedian = std::max(worstMedian, median(c.ms));
            worstRss = std::max(worstRss, rssMax);
        }
    }
    std::printf("\nto main: median time to the probe's main(); RSS: median/max; the rs232test "
                "rows include\nwriting Qt's painting log, which is how the flush is seen from "
                "outside\n\n");
    std::printf("%s  rs232test shown within 150 ms, median, both cases (worst %.1f ms)\n",
                worstMedian < 150 && !anyFailed ? "PASS" : "FAIL", worstMedian);
    std::printf("%s  rs232test peak resident memory under 60 MB, every start (worst %.1f MB)\n",
                worstRss < 60 && !anyFailed ? "PASS" : "FAIL", worstRss);
    return 0;
}
