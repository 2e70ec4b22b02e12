// Appends one character at a time to the receive box, as the program does with
// every received character, at several amounts already held; prints the rates
// and the memory used per held character.
#include "bench_support.h"
#include "controls/receive_view.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 7;
constexpr int kAppendsPerRun = 100000;
constexpr int kAppendsBetweenEvents = 1000;

struct Result
{
    double medianNsPerChar = 0;
    double medianCpuNsPerChar = 0;
    double worstNsPerChar = 0;
    double bytesPerChar = 0;
};

// One measurement, in a process of its own so that its peak memory is its own.
// When following, the caret is put at the end before events are processed,
// so that the view shows (and paints) the newest text every time.
int runCase(qsizetype held, bool lines, bool follow)
{
    ReceiveView view;
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(12);
    view.setFont(font);
    view.resize(400, 130);
    view.show();
    QCoreApplication::processEvents();
    const long emptyKiB = peakRssKiB();

    TextSource source(lines);
    QString chunk;
    while (view.length() < held) {
        chunk.clear();
        for (int i = 0; i < 4096 && view.length() + chunk.size() < held; ++i)
            chunk += QLatin1Char(source.next());
        view.appendText(chunk);
    }
    chunk = QString();
    QCoreApplication::processEvents();

    std::vector<double> nsPerChar;
    std::vector<double> cpuNsPerChar;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        const qint64 cpuStart = processCpuNs();
        for (int i = 1; i <= kAppendsPerRun; ++i) {
            const QChar c = QLatin1Char(source.next());
            view.appendText(QStringView(&c, 1));
            if (i % kAppendsBetweenEvents == 0) {
                if (follow)
                    view.setCursorPosition(view.length());
                QCoreApplication::processEvents();
            }
        }
        nsPerChar.push_back(double(timer.nsecsElapsed()) / kAppendsPerRun);
        cpuNsPerChar.push_back(double(processCpuNs() - cpuStart) / kAppendsPerRun);
    }
    std::sort(nsPerChar.begin(), nsPerChar.end());
    std::sort(cpuNsPerChar.begin(), cpuNsPerChar.end());
    const double bytes = double(peakRssKiB() - emptyKiB) * 1024 / double(view.length());
    std::printf("%f %f %f %f\n", nsPerChar[kRuns / 2], cpuNsPerChar[kRuns / 2], nsPerChar.back(),
                bytes);
    return 0;
}

Result measure(qsizetype held, bool lines, bool follow)
{
    const QList<QByteArray> fields =
        runSelf({QStringLiteral("--case"), QString::number(held),
                 lines ? QStringLiteral("lines") : QStringLiteral("none"),
                 follow ? QStringLiteral("follow") : QStringLiteral("stay")});
    if (fields.size() != 4) {
        std::fprintf(stderr, "case failed\n");
        return {};
    }
    return {fields[0].toDouble(), fields[1].toDouble(), fields[2].toDouble(), fields[3].toDouble()};
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 5 && qstrcmp(argv[1], "--case") == 0) {
        QApplication app(argc, argv);
        return runCase(QByteArray(argv[2]).toLongLong(), qstrcmp(argv[3], "lines") == 0,
                       qstrcmp(argv[4], "follow") == 0);
    }

    QCoreApplication app(argc, argv);
    const struct
    {
        const char *name;
        qsizetype held;
    } amounts[] = {{"0", 0},
                   {"1 Mi", qsizetype(1) << 20},
                   {"10 Mi", qsizetype(10) << 20},
                   {"16 Mi (full)", ReceiveView::kMaxCharacters}};

    std::printf("ReceiveView 400x130, one character per append, %d runs of %d appends, "
                "events processed every %d appends\n"
                "view: as the program leaves it (stays put), or following: caret put at the end "
                "before each event pass, so the newest text is painted\n\n",
                kRuns, kAppendsPerRun, kAppendsBetweenEvents);
    std::printf("%-11s %-13s %-10s %10s %8s %8s %10s %8s %10s\n", "breaks", "held before", "view",
                "chars/s", "us/char", "CPU us", "worst run", "vs at 0", "RSS B/char");
    for (const bool lines : {true, false}) {
        for (const bool follow : {false, true}) {
            double emptyCpuNs = 0;
            for (const auto &amount : amounts) {
                const Result result = measure(amount.held, lines, follow);
                if (amount.held == 0)
                    emptyCpuNs = result.medianCpuNsPerChar;
                std::printf("%-11s %-13s %-10s %10.0f %8.3f %8.3f %10.3f %7.2fx %10.2f\n",
                            lines ? "every 80" : "none", amount.name,
                            follow ? "following" : "stays", 1e9 / result.medianNsPerChar,
                            result.medianNsPerChar / 1000, result.medianCpuNsPerChar / 1000,
                            result.worstNsPerChar / 1000, result.medianCpuNsPerChar / emptyCpuNs,
                            result.bytesPerChar);
            }
        }
    }
    std::printf("\nus/char and chars/s: wall clock, median run; CPU us: processor time, median "
                "run;\nworst run: wall clock; vs at 0: CPU time against the same case with "
                "nothing held;\nRSS: peak resident memory above the empty shown box, per "
                "character held at the end\n");
    return 0;
}
