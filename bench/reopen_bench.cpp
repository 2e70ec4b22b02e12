// How soon a board that was unplugged is opened again once it is back, and
// what the wait for it costs: the window with COM1 on a pseudo-terminal
// board that hangs up and, after a while away, is back as a new one. Two
// ways back: a node in /dev/pts, which only the once-a-second look finds,
// and (as root) a name made in /dev, which the system tells of as it does of
// a device plugged in. Prints the median and worst time from the return to
// the status line saying the port is open, over 10 returns each, and the
// process's CPU while the board was away, with PASS or FAIL for each target;
// exits non-zero if one is missed.
#include "bench_support.h"
#include "fixture.h"

#include <QApplication>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kReturns = 10;
constexpr double kMaxReopenMs = 2000;
constexpr double kMaxAwayCpuPercent = 1;

struct Figures
{
    std::vector<double> reopenMs;
    double awayCpuNs = 0;
    double awayNs = 0;
};

// Each return after 1 to 2 s away, spread over the once-a-second look, with
// COM1 on the board's node (viaDev false) or on a name of its own in /dev
// made anew for each board.
bool measure(bool viaDev, Figures &figures)
{
    const QString devNode = QStringLiteral("/dev/rs232-reopen-bench-%1").arg(::getpid());
    auto board = std::make_unique<PtyBoard>();
    QString device;
    const auto plugIn = [&] {
        if (!viaDev) {
            device = board->slavePath();
            return true;
        }
        // A terminal's slave opens only through its own node in /dev/pts,
        // so the name in /dev is a link to it, as udev's names are.
        QFile::remove(devNode);
        device = devNode;
        return QFile::link(board->slavePath(), devNode);
    };
    if (!plugIn())
        return false;
    Form1 form([&device](int portNumber) { return portNumber == 1 ? device : QString(); });
    const Form1Controls &c = form.controls();
    form.load();
    form.showCentred();
    const QString opened = openedStatus(1);
    bool ok = c.zttext->text() == opened;
    for (int i = 0; ok && i < kReturns; ++i) {
        board->hangUp();
        ok = spinEventLoopUntil([&] { return c.zttext->text() == lostStatus(1); });
        const qint64 awayFrom = monotonicNs();
        const qint64 cpuFrom = processCpuNs();
        idleFor(1000 + 100 * i);
        board = std::make_unique<PtyBoard>();
        ok = ok && plugIn();
        const qint64 backAt = monotonicNs();
        figures.awayCpuNs += double(processCpuNs() - cpuFrom);
        figures.awayNs += double(backAt - awayFrom);
        ok = ok && spinEventLoopUntil([&] { return c.zttext->text() == opened; }, 10000);
        figures.reopenMs.push_back(double(monotonicNs() - backAt) / 1e6);
    }
    if (viaDev)
        QFile::remove(devNode);
    return ok;
}

bool report(const char *how, const Figures &figures)
{
    const double worst = *std::max_element(figures.reopenMs.begin(), figures.reopenMs.end());
    const double cpu = 100 * figures.awayCpuNs / figures.awayNs;
    const bool reopenPass = worst <= kMaxReopenMs;
    const bool cpuPass = cpu < kMaxAwayCpuPercent;
    std::printf("%s  %-34s median %6.0f ms, worst %6.0f ms (target: within %.0f)\n",
                verdict(reopenPass), how, median(figures.reopenMs), worst, kMaxReopenMs);
    std::printf("%s  %-34s %6.3f %% of a core while away (target under %.0f %%)\n",
                verdict(cpuPass), "", cpu, kMaxAwayCpuPercent);
    return reopenPass && cpuPass;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("From a board's return to COM1 opened again, %d returns after 1-2 s away:\n",
                kReturns);
    bool pass = true;
    Figures looked;
    if (!measure(false, looked)) {
        std::fprintf(stderr, "reopen_bench: the board on /dev/pts was not opened again\n");
        return 2;
    }
    pass &= report("back in /dev/pts (looked for):", looked);
    if (::geteuid() != 0) {
        std::printf("SKIP  back in /dev (told of): making a name in /dev needs root\n");
        return pass ? 0 : 1;
    }
    Figures told;
    if (!measure(true, told)) {
        std::fprintf(stderr, "reopen_bench: the board on a name in /dev was not opened again\n");
        return 2;
    }
    pass &= report("back in /dev (told of):", told);
    return pass ? 0 : 1;
}
