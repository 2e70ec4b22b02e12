// A flood: 200 MB of text (CR LF after every 80 characters) written over a
// pseudo-terminal into the real Form1 as fast as the program takes it. Prints
// the peak memory, how the writer fared (slowed by the line, never refused),
// the most text the control kept waiting, the longest stall of the event
// loop, and whether the receive box ends holding exactly the last characters
// of the stream up to its own maximum; each with its target and PASS or FAIL.
//
// Run from a Release build:  build-rel/bench/flood_bench
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

constexpr qint64 kTotalBytes = 200 * 1000 * 1000;
constexpr int kChunkBytes = 64 * 1024;
constexpr int kRounds = 3; // processes
constexpr double kMostPeakRssMiB = 100;
constexpr double kMostStallMs = 10; // a 1 ms timer's wait, the machine's load included
constexpr double kMostPassMs = 5; // one pass of the event loop, the program's own work
constexpr int kTickMs = 1;
constexpr qsizetype kCompareChunkBytes = 1024 * 1024;

// Whether the box holds exactly the stream's last characters: the same text
// is made again, its start skipped, and compared a piece at a time, as a copy
// of all the box holds would count as its own memory.
bool endsTheStream(const ReceiveView &box)
{
    const qsizetype held = box.length();
    TextSource source(true);
    for (qint64 skip = kTotalBytes - held; skip > 0; skip -= kCompareChunkBytes)
        source.next(qMin<qint64>(skip, kCompareChunkBytes));
    for (qsizetype at = 0; at < held; at += kCompareChunkBytes) {
        const QByteArray expected = source.next(qMin(kCompareChunkBytes, held - at));
        if (box.mid(at, expected.size()) != QLatin1String(expected))
            return false;
    }
    return true;
}

int runCase()
{
    PtyBoard line(PtyBoard::FarEnd::ForThreads);
    const std::unique_ptr<Form1> form = line.isValid() ? showFormOn(line.slavePath()) : nullptr;
    if (!form)
        return 1;
    const Form1Controls &c = form->controls();

    QEventLoop loop;
    qint64 delivered = 0;
    // Counted by the window's own handler rather than by a connection to
    // OnComm, which would cost every notification a signal emission that the
    // program itself does not make.
    const std::function<void()> windowHandler = c.MSComm1->onCommHandler();
    c.MSComm1->setOnCommHandler([&] {
        windowHandler();
        ++delivered;
    });
    qsizetype mostWaiting = 0;
    LoopTicker tick(kTickMs, [&](qint64) {
        mostWaiting = qMax<qsizetype>(mostWaiting, c.MSComm1->inBufferCount());
        if (delivered >= kTotalBytes)
            loop.quit();
    });
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);

    const qint64 cpuStart = threadCpuNs();
    StreamWriter writer(line.farEnd(), true, kTotalBytes, kChunkBytes);
    tick.start();
    loop.exec();
    const qint64 cpuNs = threadCpuNs() - cpuStart;
    writer.wait();

    const bool intact = delivered == kTotalBytes && endsTheStream(*c.fssj1);
    const double writeNs = double(writer.endNs() - writer.startNs());
    std::printf("%f %lld %d %d %f %f %lld %f %f %f\n", double(peakRssKiB()) / 1024,
                qlonglong(c.fssj1->length()), int(intact), int(writer.failed()),
                double(writer.written()) / writeNs * 1000,
                100 * double(writer.blockedNs()) / writeNs, qlonglong(mostWaiting),
                tick.worstStallMs(), double(cpuNs) / double(kTotalBytes) / 1000,
                tick.worstBusyMs());
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
    std::printf("Form1 on the offscreen platform, COM1 on a pseudo-terminal; %lld bytes (CR LF "
                "every %d characters) in blocking\n%d-byte writes at full speed; %d processes; "
                "the box keeps at most %lld characters, the control stops\nreading while %lld "
                "wait\n\n",
                qlonglong(kTotalBytes), TextSource::kLineCharacters, kChunkBytes, kRounds,
                qlonglong(ReceiveView::kMaxCharacters), qlonglong(MSComm::kMaxWaitingCharacters));
    std::printf("%-8s %9s %10s %6s %8s %9s %9s %11s %9s %10s\n", "process", "peak MiB", "box chars",
                "tail", "refused", "writer MB/s", "blocked %", "most waiting", "stall ms",
                "CPU us/ch");
    double worstRss = 0;
    bool allIntact = true;
    bool anyRefused = false;
    std::vector<double> stallMs;
    std::vector<double> busyMs;
    std::vector<double> blocked;
    for (int round = 0; round < kRounds; ++round) {
        const QList<QByteArray> f = runSelf({QStringLiteral("--case")});
        if (f.size() != 10) {
            allIntact = false;
            std::printf("%-8d failed\n", round + 1);
            continue;
        }
        worstRss = qMax(worstRss, f[0].toDouble());
        allIntact = allIntact && f[2] == "1";
        anyRefused = anyRefused || f[3] == "1";
        blocked.push_back(f[5].toDouble());
        stallMs.push_back(f[7].toDouble());
        busyMs.push_back(f[9].toDouble());
        std::printf("%-8d %9.1f %10lld %6s %8s %11.1f %9.1f %12lld %9.2f %8.2f %10.3f\n", round + 1,
                    f[0].toDouble(), f[1].toLongLong(), f[2] == "1" ? "yes" : "NO",
                    f[3] == "1" ? "YES" : "no", f[4].toDouble(), f[5].toDouble(), f[6].toLongLong(),
                    f[7].toDouble(), f[9].toDouble(), f[8].toDouble());
    }
    std::printf(
        "\npeak MiB: peak resident memory of the process; box chars: held at the end; "
        "tail: they are exactly the\nstream's last characters; refused: a write failed; "
        "writer MB/s: the writer's rate; blocked %%: its time spent\ninside write() "
        "waiting for the line; most waiting: most characters the control held unread "
        "(sampled each\nms); stall ms: worst lateness of a %d ms timer on the GUI "
        "thread; busy ms: most processor time\nthe GUI thread used between two ticks (its own "
        "part of a stall); CPU us/ch: GUI thread per character\n\n",
        kTickMs);
    std::printf("%s  peak memory under %.0f MiB (worst %.1f MiB)\n",
                verdict(worstRss > 0 && worstRss < kMostPeakRssMiB), kMostPeakRssMiB, worstRss);
    std::printf("%s  the writer slowed, never refused (median %.1f %% of its time blocked in "
                "write())\n",
                verdict(!anyRefused && !blocked.empty() && median(blocked) > 0), median(blocked));
    std::printf(
        "%s  the box ends holding exactly the stream's last characters, up to its maximum\n",
        verdict(allIntact && !stallMs.empty()));
    std::printf("%s  longest event-loop stall under %.0f ms (median of the worst %.2f ms)\n",
                verdict(median(stallMs) < kMostStallMs), kMostStallMs, median(stallMs));
    std::printf("%s  longest run of the program's own work between two ticks at most %.0f ms "
                "(median %.2f ms)\n",
                verdict(median(busyMs) <= kMostPassMs), kMostPassMs, median(busyMs));
    return 0;
}
