// Feeds text at full speed over a pseudo-terminal into the real Form1 (COM1 on
// the line, one OnComm per character, Input, the receive box's append) with
// 0, 1 Mi and 10 Mi characters already in the box, for text with a line break
// every 80 characters and for text with none. Prints characters per second,
// microseconds per character, peak memory per character held, and PASS or
// FAIL for each target.
//
// Run from a Release build:  build-rel/bench/receive_bench
// Each case runs in a process of its own (the program runs itself again with
// --case) so that its peak memory is its own; an empty program is measured the
// same way as the baseline.
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

constexpr int kRounds = 3; // processes per case, the cases taking turns
constexpr int kRuns = 5; // per process
constexpr qsizetype kCharactersPerRun = 200000;
constexpr qsizetype kWarmUpCharacters = 10000;
// Processor time per character: below CuteCom's best case, within 2x of a
// terminal emulator with no per-character callbacks.
constexpr double kMostCpuUsPerChar = 0.15;
constexpr double kAimCpuUsPerChar = 0.10;

struct Run
{
    double ns = 0;
    double cpuNs = 0;
    bool intact = false;
};

// Puts the bytes on the line and runs the event loop until the box holds them
// all; checks that it then ends with exactly those characters.
Run feed(const Form1Controls &c, int farEnd, const QByteArray &bytes)
{
    ReceiveView *box = c.fssj1;
    const qsizetype target = box->length() + bytes.size();
    QEventLoop loop;
    // Looked at once a millisecond rather than at every character, so that
    // the program's own work per character is all that is measured.
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (box->length() >= target)
            loop.quit();
    });
    check.start();
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);

    Run run;
    const qint64 cpuStart = threadCpuNs();
    const qint64 start = monotonicNs();
    LineWriter writer(farEnd, bytes);
    if (box->length() < target)
        loop.exec();
    run.ns = double(monotonicNs() - start) / double(bytes.size());
    run.cpuNs = double(threadCpuNs() - cpuStart) / double(bytes.size());
    writer.wait();
    // Only the end is copied out: a copy of all the box holds would count as
    // its own memory.
    run.intact = !writer.failed() && box->length() == target
                 && box->mid(target - bytes.size(), bytes.size()) == QLatin1String(bytes);
    return run;
}

int runCase(qsizetype held, const QByteArray &shape)
{
    PtyBoard line(PtyBoard::FarEnd::ForThreads);
    if (!line.isValid())
        return 1;
    const std::unique_ptr<Form1> form = showFormOn(line.slavePath());
    if (!form)
        return 1;
    const Form1Controls &c = form->controls();
    const long emptyKiB = peakRssKiB();
    if (shape == "empty") {
        std::printf("%ld\n", emptyKiB);
        return 0;
    }

    TextSource source(shape == "lines");
    while (c.fssj1->length() < held)
        c.fssj1->appendText(
            QString::fromLatin1(source.next(qMin<qsizetype>(65536, held - c.fssj1->length()))));
    QCoreApplication::processEvents();
    bool intact = feed(c, line.farEnd(), source.next(kWarmUpCharacters)).intact;

    std::vector<double> ns;
    std::vector<double> cpuNs;
    for (int i = 0; i < kRuns; ++i) {
        const Run run = feed(c, line.farEnd(), source.next(kCharactersPerRun));
        ns.push_back(run.ns);
        cpuNs.push_back(run.cpuNs);
        intact = intact && run.intact;
    }
    std::printf("%ld %lld %d", peakRssKiB(), qlonglong(c.fssj1->length()), int(intact));
    for (const std::vector<double> *values : {&ns, &cpuNs}) {
        for (const double value : *values)
            std::printf(" %f", value);
    }
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && qstrcmp(argv[1], "--case") == 0) {
        QApplication app(argc, argv);
        QApplication::setFont(form1Font());
        return runCase(QByteArray(argv[2]).toLongLong(), argv[3]);
    }

    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // in order with the cases' messages
    const auto runCaseProcess = [](qsizetype held, const char *shape) {
        return runSelf(
            {QStringLiteral("--case"), QString::number(held), QString::fromLatin1(shape)});
    };
    std::vector<double> baselines;
    for (int i = 0; i < 3; ++i) {
        const QList<QByteArray> fields = runCaseProcess(0, "empty");
        if (fields.size() == 1)
            baselines.push_back(fields[0].toDouble());
    }
    const double baselineKiB = median(baselines);

    const struct
    {
        const char *name;
        qsizetype held;
    } amounts[] = {{"0", 0}, {"1 Mi", qsizetype(1) << 20}, {"10 Mi", qsizetype(10) << 20}};
    struct Case
    {
        const char *shape;
        qsizetype held;
        std::vector<double> ns;
        std::vector<double> cpuNs;
        double bytesPerChar = 0;
        bool intact = true;
    };
    std::vector<Case> cases;
    for (const char *shape : {"lines", "none"}) {
        for (const auto &amount : amounts)
            cases.push_back({shape, amount.held, {}, {}, 0, true});
    }
    for (int round = 0; round < kRounds; ++round) {
        for (Case &c : cases) {
            const QList<QByteArray> f = runCaseProcess(c.held, c.shape);
            if (f.size() != 3 + 2 * kRuns) {
                c.intact = false;
                continue;
            }
            const double bytes = (f[0].toDouble() - baselineKiB) * 1024 / f[1].toDouble();
            c.bytesPerChar = qMax(c.bytesPerChar, bytes);
            c.intact = c.intact && f[2] == "1";
            for (int i = 0; i < kRuns; ++i) {
                c.ns.push_back(f[3 + i].toDouble());
                c.cpuNs.push_back(f[3 + kRuns + i].toDouble());
            }
        }
    }

    std::printf("Form1 on the offscreen platform, COM1 on a pseudo-terminal fed at full speed by a "
                "writer thread\n(blocking writes); per case %d processes (the cases taking turns) "
                "of %d runs of %lld characters,\nafter %lld warm-up characters; empty program peak "
                "RSS %.0f KiB\n\n",
                kRounds, kRuns, qlonglong(kCharactersPerRun), qlonglong(kWarmUpCharacters),
                baselineKiB);
    std::printf("%-9s %-6s %9s %8s %8s %9s %8s %8s %10s %7s\n", "breaks", "held", "chars/s",
                "us/char", "CPU us", "worst us", "vs at 0", "CPU vs 0", "RSS B/char", "intact");
    double slowestRate = 1e30;
    double worstRatio = 0;
    double worstBytes = 0;
    bool allIntact = true;
    double nsAtZero = 0;
    double cpuAtZero = 0;
    double worstCpuNs = 0;
    for (const Case &c : cases) {
        const double ns = median(c.ns);
        const double cpuNs = median(c.cpuNs);
        if (c.held == 0) {
            nsAtZero = ns;
            cpuAtZero = cpuNs;
        }
        slowestRate = qMin(slowestRate, 1e9 / ns);
        if (c.held == amounts[2].held)
            worstRatio = qMax(worstRatio, ns / nsAtZero);
        worstBytes = qMax(worstBytes, c.bytesPerChar);
        worstCpuNs = qMax(worstCpuNs, cpuNs);
        allIntact = allIntact && c.intact && !c.ns.empty();
        const char *held = c.held == 0                 ? amounts[0].name
                           : c.held == amounts[1].held ? amounts[1].name
                                                       : amounts[2].name;
        std::printf("%-9s %-6s %9.0f %8.3f %8.3f %9.3f %7.2fx %7.2fx %10.2f %7s\n",
                    qstrcmp(c.shape, "lines") == 0 ? "every 80" : "none", held, 1e9 / ns, ns / 1000,
                    cpuNs / 1000, percentile(c.ns, 100) / 1000, ns / nsAtZero, cpuNs / cpuAtZero,
                    c.bytesPerChar, c.intact ? "yes" : "NO");
    }
    std::printf(
        "\nchars/s, us/char: wall clock from the first byte written to the last "
        "character in the box (to 1 ms), median of all runs\nCPU us: the GUI thread's processor "
        "time per character, median of all runs; worst us: slowest run\nvs at 0: against "
        "the same breaks with an empty box\nRSS B/char: peak resident memory above the "
        "empty program per character held at the end, largest process\nintact: the box "
        "ends with exactly what was sent, every run\n\n");
    std::printf("%s  at least 100000 chars/s in every case (slowest %.0f)\n",
                verdict(slowestRate >= 100000), slowestRate);
    std::printf("%s  us/char at 10 Mi held within 1.5x of an empty box (worst %.2fx)\n",
                verdict(worstRatio <= 1.5), worstRatio);
    std::printf("%s  CPU per character at most %.2f us in every case, median (worst case %.3f us; "
                "aim %.2f: %s)\n",
                verdict(worstCpuNs / 1000 <= kMostCpuUsPerChar), kMostCpuUsPerChar,
                worstCpuNs / 1000, kAimCpuUsPerChar,
                worstCpuNs / 1000 <= kAimCpuUsPerChar ? "met" : "not met");
    std::printf("%s  no character lost\n", verdict(allIntact));
    std::printf("%s  peak memory under 4 bytes per character held (worst %.2f)\n",
                verdict(worstBytes < 4), worstBytes);
    return 0;
}
