// Appends one character at a time to the receive box, as the program does with
// every received character, at several amounts already held; prints the rates
// and the memory used per held character.
#include "controls/receive_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int runs = 7;
constexpr int appendsPerRun = 100000;
constexpr int appendsBetweenEvents = 1000;

// Processor time of this process: unlike the wall clock it hardly changes
// with whatever else the machine is running.
qint64 cpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

long peakRssKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Printable ASCII over and over, as an echo test sends it, with CR LF after
// every 80 characters when lines are wanted.
class Source
{
public:
    explicit Source(bool lines)
        : m_lines(lines)
    {
    }

    QChar next()
    {
        if (m_lines && m_column == 80) {
            m_column = 81;
            return QChar(u'\r');
        }
        if (m_column == 81) {
            m_column = 0;
            return QChar(u'\n');
        }
        ++m_column;
        return QChar(char16_t(0x20 + m_count++ % 95));
    }

private:
    bool m_lines = false;
    int m_column = 0;
    qint64 m_count = 0;
};

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

    Source source(lines);
    QString chunk;
    while (view.length() < held) {
        chunk.clear();
        for (int i = 0; i < 4096 && view.length() + chunk.size() < held; ++i)
            chunk += source.next();
        view.appendText(chunk);
    }
    chunk = QString();
    QCoreApplication::processEvents();

    std::vector<double> nsPerChar;
    std::vector<double> cpuNsPerChar;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const qint64 cpuStart = cpuNs();
        for (int i = 1; i <= appendsPerRun; ++i) {
            const QChar c = source.next();
            view.appendText(QStringView(&c, 1));
            if (i % appendsBetweenEvents == 0) {
                if (follow)
                    view.setCursorPosition(view.length());
                QCoreApplication::processEvents();
            }
        }
        nsPerChar.push_back(double(timer.nsecsElapsed()) / appendsPerRun);
        cpuNsPerChar.push_back(double(cpuNs() - cpuStart) / appendsPerRun);
    }
    std::sort(nsPerChar.begin(), nsPerChar.end());
    std::sort(cpuNsPerChar.begin(), cpuNsPerChar.end());
    const double bytes = double(peakRssKiB() - emptyKiB) * 1024 / double(view.length());
    std::printf("%f %f %f %f\n", nsPerChar[runs / 2], cpuNsPerChar[runs / 2], nsPerChar.back(),
                bytes);
    return 0;
}

Result measure(const QString &program, qsizetype held, bool lines, bool follow)
{
    QProcess child;
    child.start(program, {QStringLiteral("--case"), QString::number(held),
                          lines ? QStringLiteral("lines") : QStringLiteral("none"),
                          follow ? QStringLiteral("follow") : QStringLiteral("stay")});
    child.waitForFinished(-1);
    const QList<QByteArray> fields = child.readAllStandardOutput().simplified().split(' ');
    if (fields.size() != 4) {
        std::fprintf(stderr, "case failed: %s\n", child.readAllStandardError().constData());
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
    const QString program = QCoreApplication::applicationFilePath();
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
                runs, appendsPerRun, appendsBetweenEvents);
    std::printf("%-11s %-13s %-10s %10s %8s %8s %10s %8s %10s\n", "breaks", "held before", "view",
                "chars/s", "us/char", "CPU us", "worst run", "vs at 0", "RSS B/char");
    for (const bool lines : {true, false}) {
        for (const bool follow : {false, true}) {
            double emptyCpuNs = 0;
            for (const auto &amount : amounts) {
                const Result result = measure(program, amount.held, lines, follow);
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
