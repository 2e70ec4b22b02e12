// A board streaming at 1 MB/s, as one on a USB CDC-ACM link can, for 10 s:
// text with CR LF after every 80 characters, written over a pseudo-terminal
// in 1000-byte pieces once a millisecond into the real Form1. Prints the GUI
// thread's share of a core, how far the receive box is behind the line when
// the writer stops, and the longest stall of the event loop (the worst
// lateness of a 1 ms timer) with the part of it that is the program's own
// work, and how much memory grew, medians over several processes, each with
// its target and PASS or FAIL. With a screen reader's bridge on:
//   QT_QPA_PLATFORM=xcb xvfb-run -a tests/with_accessibility.sh build-rel/bench/stream_bench
//
// Run from a Release build:  build-rel/bench/stream_bench
#include "app/main_window.h"
#include "bench_support.h"
#include "controls/receive_view.h"
#include "pty_board.h"
#include "serial/serial_port.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

constexpr qint64 kBytesPerSecond = 1000 * 1000;
constexpr int kSeconds = 10;
constexpr int kChunkBytes = 1000; // one write a millisecond
constexpr int kRounds = 3; // processes
constexpr double kMostCpuPercent = 15;
constexpr double kMostBehindMs = 50;
// The wait of a 1 ms timer, the machine's other load included.
constexpr double kMostStallMs = 10;
// One pass of the event loop, the program's own work: a key typed waits no longer.
constexpr double kMostPassMs = 5;
// The receive box holds the 10 MB it was sent, two bytes a character.
constexpr double kMostRssGrowthMiB = 25;
// Memory the text fills is taken a block at a time, not a page at a time:
// 2 MB of characters a megabyte take 512 faults of 4 KiB pages.
constexpr double kMostFaultsPerMB = 128;
constexpr int kTickMs = 1;

int runCase()
{
    PtyBoard line(PtyBoard::FarEnd::ForThreads);
    const std::unique_ptr<Form1> form = line.isValid() ? showFormOn(line.slavePath()) : nullptr;
    if (!form)
        return 1;
    const Form1Controls &c = form->controls();
    const qint64 total = kBytesPerSecond * kSeconds; // ASCII: one character a byte
    const long rssBeforeKiB = peakRssKiB();

    // The timer both measures the stalls and notices, to the millisecond,
    // when the box holds everything: nothing is added per character.
    QEventLoop loop;
    qint64 doneNs = 0;
    LoopTicker tick(kTickMs, [&](qint64 now) {
        if (c.fssj1->length() >= total) {
            doneNs = now;
            loop.quit();
        }
    });
    QTimer::singleShot(kSeconds * 1000 * 6, &loop, &QEventLoop::quit);

    const PageFaultCounter faults;
    const qint64 cpuStart = threadCpuNs();
    StreamWriter writer(line.farEnd(), true, total, kChunkBytes, kBytesPerSecond);
    tick.start();
    loop.exec();
    const qint64 cpuNs = threadCpuNs() - cpuStart;
    writer.wait();
    // Before the check below, which holds copies of the whole text.
    const double rssGrowthMiB = double(peakRssKiB() - rssBeforeKiB) / 1024;
    const double faultsPerMB = faults.isValid() ? double(faults.count()) * 1e6 / double(total) : -1;

    const bool intact = doneNs > 0 && !writer.failed()
                        && c.fssj1->text() == QString::fromLatin1(TextSource(true).next(total));
    const double wallNs = double(qMax(doneNs, writer.endNs()) - writer.startNs());
    std::printf("%f %f %f %f %f %f %d\n", 100 * double(cpuNs) / wallNs,
                double(qMax<qint64>(0, doneNs - writer.endNs())) / 1e6, tick.worstStallMs(),
                tick.worstBusyMs(), rssGrowthMiB, faultsPerMB, int(intact));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 2 && qstrcmp(argv[1], "--case") == 0) {
        QApplication app(argc, argv);
        QApplication::setFont(form1Font());
        return runCase();
    }

    QCoreApplication app(argc, argv);
    std::vector<double> cpuPercent;
    std::vector<double> behindMs;
    std::vector<double> stallMs;
    std::vector<double> busyMs;
    std::vector<double> rssGrowthMiB;
    std::vector<double> faultsPerMB;
    bool intact = true;
    std::printf("Form1 on the offscreen platform, COM1 on a pseudo-terminal; %lld bytes/s for %d s "
                "(CR LF every %d characters),\n%d-byte writes; %d processes\n\n",
                qlonglong(kBytesPerSecond), kSeconds, TextSource::kLineCharacters, kChunkBytes,
                kRounds);
    std::printf("%-8s %10s %12s %10s %10s %10s %10s %7s\n", "process", "CPU %", "behind ms",
                "stall ms", "busy ms", "RSS MiB", "faults/MB", "intact");
    for (int round = 0; round < kRounds; ++round) {
        const QList<QByteArray> f = runSelf({QStringLiteral("--case")});
        if (f.size() != 7) {
            intact = false;
            std::printf("%-8d failed\n", round + 1);
            continue;
        }
        cpuPercent.push_back(f[0].toDouble());
        behindMs.push_back(f[1].toDouble());
        stallMs.push_back(f[2].toDouble());
        busyMs.push_back(f[3].toDouble());
        rssGrowthMiB.push_back(f[4].toDouble());
        faultsPerMB.push_back(f[5].toDouble());
        intact = intact && f[6] == "1";
        std::printf("%-8d %10.1f %12.1f %10.2f %10.2f %10.1f %10.0f %7s\n", round + 1,
                    cpuPercent.back(), behindMs.back(), stallMs.back(), busyMs.back(),
                    rssGrowthMiB.back(), faultsPerMB.back(), f[6] == "1" ? "yes" : "NO");
    }
    std::printf(
        "\nCPU %%: the GUI thread's processor time over the wall time from the first write "
        "to the box holding everything\nbehind ms: from the writer's last write to the box "
        "holding its last character (1 ms resolution)\nstall ms: worst lateness of a %d ms "
        "timer on the GUI thread while the stream runs; busy ms: most processor time the GUI "
        "thread\nused between two of its ticks (the part of a stall that is the program's own "
        "work, not the machine's other load)\nRSS MiB: how much the peak resident memory grew "
        "while streaming\nfaults/MB: page faults the GUI thread took per megabyte received\n"
        "intact: the box holds exactly what was sent\n\n",
        kTickMs);
    const double cpu = median(cpuPercent);
    const double behind = median(behindMs);
    const double stall = median(stallMs);
    std::printf("%s  CPU at most %.0f %% of a core (median %.1f %%)\n",
                verdict(cpu <= kMostCpuPercent), kMostCpuPercent, cpu);
    std::printf("%s  box at most %.0f ms behind the line at the end (median %.1f ms)\n",
                verdict(behind <= kMostBehindMs), kMostBehindMs, behind);
    std::printf("%s  longest event-loop stall under %.0f ms (median of the worst %.2f ms)\n",
                verdict(stall < kMostStallMs), kMostStallMs, stall);
    std::printf("%s  longest run of the program's own work between two ticks at most %.0f ms "
                "(median %.2f ms)\n",
                verdict(median(busyMs) <= kMostPassMs), kMostPassMs, median(busyMs));
    std::printf("%s  peak memory grew at most %.0f MiB (median %.1f MiB)\n",
                verdict(median(rssGrowthMiB) <= kMostRssGrowthMiB), kMostRssGrowthMiB,
                median(rssGrowthMiB));
    if (median(faultsPerMB) < 0)
        std::printf("SKIP  page faults: this system counts none\n");
    else
        std::printf("%s  at most %.0f page faults per megabyte received (median %.0f)\n",
                    verdict(median(faultsPerMB) <= kMostFaultsPerMB), kMostFaultsPerMB,
                    median(faultsPerMB));
    std::printf("%s  nothing lost\n", verdict(intact && !cpuPercent.empty()));
    return 0;
}
