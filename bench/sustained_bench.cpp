// An hour of a 9600-baud line in one go: 3.456 MB of mixed text (ASCII lines,
// Chinese lines in code page 936, long runs with no line break) fed as fast as
// possible over a pseudo-terminal into the real Form1, then 20 s more at line
// speed (960 bytes/s). Prints the time per character at the start, middle and
// end of the fast feed, the delay from each byte written to its character in
// the receive box at line speed, and whether the box holds exactly what was
// sent.
//
// Run from a Release build:  build-rel/bench/sustained_bench
#include "app/main_window.h"
#include "bench_support.h"
#include "controls/receive_view.h"
#include "pty_board.h"
#include "serial/gbk.h"
#include "serial/serial_port.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr qsizetype kHourOfBytes = 960 * 3600;
constexpr int kLineSpeedBytesPerSecond = 960; // bytes per second at 9600 baud, 8N1
constexpr int kLineSpeedSeconds = 20;
constexpr qsizetype kBlockCharacters = 100000;

const QString kChinese = QStringLiteral(
    "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下"
    "过子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两"
    "体制机当使点从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关各重新线"
    "内数正心反你明看原又么利比或但质气第向道命此变条只没结解问意建月公无系军很情者最立代想已通并"
    "提直题党程展五果料象员革位入常文总次品式活设及管特件长求老头基资边流路级少图山统接知较将组见"
    "串口通信测试程序接收发送数据窗继电器清屏状态打开成功失败波特率，。！？：；");

// Text of the given kinds, as a board's log might send it, in code page 936
// bytes up to about the given size.
class MixedText
{
public:
    QString next(qsizetype bytes)
    {
        QString text;
        qsizetype size = 0;
        while (size < bytes) {
            const QString piece = nextPiece();
            text += piece;
            size += Gbk::encode(piece).size();
        }
        return text;
    }

private:
    QString nextPiece()
    {
        const int kind = int(m_random() % 10);
        QString piece;
        if (kind < 5) { // an ASCII line
            piece = QStringLiteral("%1 T=%2.%3C U=%4mV status OK, count %5")
                        .arg(m_line++, 6, 10, QLatin1Char('0'))
                        .arg(m_random() % 100)
                        .arg(m_random() % 10)
                        .arg(3000 + m_random() % 400)
                        .arg(m_random() % 100000);
            piece += QStringLiteral("\r\n");
        } else if (kind < 9) { // a Chinese line, some ASCII in it
            const int length = 10 + int(m_random() % 40);
            for (int i = 0; i < length; ++i)
                piece += kChinese.at(qsizetype(m_random() % std::uint32_t(kChinese.size())));
            piece += QStringLiteral(" %1\r\n").arg(m_line++);
        } else { // a long run with no line break
            const int length = 2000 + int(m_random() % 8000);
            for (int i = 0; i < length; ++i)
                piece += m_random() % 3 == 0
                             ? kChinese.at(qsizetype(m_random() % std::uint32_t(kChinese.size())))
                             : QChar(char16_t(0x21 + m_random() % 94));
        }
        return piece;
    }

    std::mt19937 m_random {9600};
    int m_line = 0;
};

struct Mark
{
    qint64 ns = 0;
    qint64 cpuNs = 0;
};

// Runs the event loop until the box holds target characters, calling
// arrived() after each character the program's handler has appended.
bool runUntil(const Form1Controls &c, qsizetype target, const std::function<void()> &arrived)
{
    QEventLoop loop;
    QObject::connect(c.MSComm1, &MSComm::OnComm, &loop, [&] {
        arrived();
        if (c.fssj1->length() >= target)
            loop.quit();
    });
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    if (c.fssj1->length() < target)
        loop.exec();
    return c.fssj1->length() >= target;
}

double usPerChar(const Mark &from, const Mark &to, qsizetype characters, bool cpu)
{
    return double(cpu ? to.cpuNs - from.cpuNs : to.ns - from.ns) / 1000 / double(characters);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(form1Font());

    PtyBoard line(PtyBoard::FarEnd::ForThreads);
    const std::unique_ptr<Form1> form = line.isValid() ? showFormOn(line.slavePath()) : nullptr;
    if (!form) {
        std::fprintf(stderr, "COM1 not open\n");
        return 1;
    }
    const Form1Controls &c = form->controls();

    MixedText source;
    const QString fastText = source.next(kHourOfBytes);
    const QByteArray fastBytes = Gbk::encode(fastText);
    const qsizetype total = fastText.size();

    // Marks at every block of characters, and one block before the end.
    std::vector<Mark> marks;
    Mark beforeLast;
    qsizetype nextMark = kBlockCharacters;
    const Mark start {monotonicNs(), threadCpuNs()};
    LineWriter fastWriter(line.farEnd(), fastBytes);
    const bool fastDone = runUntil(c, total, [&] {
        const qsizetype length = c.fssj1->length();
        if (length == total - kBlockCharacters)
            beforeLast = {monotonicNs(), threadCpuNs()};
        if (length == nextMark || length == total) {
            marks.push_back({monotonicNs(), threadCpuNs()});
            nextMark += kBlockCharacters;
        }
    });
    const Mark end = marks.empty() ? start : marks.back();
    fastWriter.wait();
    const bool fastIntact = fastDone && c.fssj1->text() == fastText;

    // Line speed: each byte written on time; each character timed from its
    // last byte's write to its appearance in the box.
    const QString slowText = source.next(qsizetype(kLineSpeedBytesPerSecond) * kLineSpeedSeconds);
    std::vector<qsizetype> lastByteOf;
    QByteArray slowBytes;
    for (qsizetype i = 0; i < slowText.size(); ++i) {
        slowBytes += Gbk::encode(QStringView(slowText).sliced(i, 1));
        lastByteOf.push_back(slowBytes.size() - 1);
    }
    std::vector<qint64> appeared;
    appeared.reserve(std::size_t(slowText.size()));
    const Mark slowStart {monotonicNs(), threadCpuNs()};
    LineWriter slowWriter(line.farEnd(), slowBytes, kLineSpeedBytesPerSecond);
    const bool slowDone = runUntil(c, total + slowText.size(), [&] {
        while (qsizetype(appeared.size()) < c.fssj1->length() - total)
            appeared.push_back(monotonicNs());
    });
    const Mark slowEnd {monotonicNs(), threadCpuNs()};
    slowWriter.wait();
    const bool allIntact = fastIntact && slowDone && c.fssj1->text() == fastText + slowText;

    std::vector<double> latencyUs;
    for (std::size_t i = 0; i < appeared.size() && i < lastByteOf.size(); ++i)
        latencyUs.push_back(
            double(appeared[i] - slowWriter.writeTimes()[std::size_t(lastByteOf[i])]) / 1000);

    std::printf("Form1 on the offscreen platform, COM1 on a pseudo-terminal; %lld bytes "
                "(%lld characters) of mixed\nASCII lines, Chinese lines and unbroken runs at "
                "full speed, then %d s at %d bytes/s (%lld characters)\n\n",
                qlonglong(fastBytes.size()), qlonglong(total), kLineSpeedSeconds,
                kLineSpeedBytesPerSecond, qlonglong(slowText.size()));
    std::printf("%-38s %10s %10s\n", "fast feed", "us/char", "CPU us");
    const qsizetype middle = marks.size() / 2;
    double slowestBlock = 0;
    for (std::size_t i = 0; i + 1 < marks.size(); ++i) // the last, partial block left out
        slowestBlock = std::max(slowestBlock, usPerChar(i == 0 ? start : marks[i - 1], marks[i],
                                                        kBlockCharacters, false));
    const Mark &first = marks.empty() ? start : marks.front();
    std::printf("%-38s %10.3f %10.3f\n", "first 100k characters",
                usPerChar(start, first, kBlockCharacters, false),
                usPerChar(start, first, kBlockCharacters, true));
    if (middle > 0)
        std::printf("%-38s %10.3f %10.3f\n", "100k characters in the middle",
                    usPerChar(marks[middle - 1], marks[middle], kBlockCharacters, false),
                    usPerChar(marks[middle - 1], marks[middle], kBlockCharacters, true));
    std::printf("%-38s %10.3f %10.3f\n", "last 100k characters",
                usPerChar(beforeLast, end, kBlockCharacters, false),
                usPerChar(beforeLast, end, kBlockCharacters, true));
    std::printf("%-38s %10.3f %10.3f\n", "whole fast feed", usPerChar(start, end, total, false),
                usPerChar(start, end, total, true));
    std::printf("%-38s %10.3f\n", "slowest 100k block", slowestBlock);
    std::printf("us/char: wall clock; CPU us: the GUI thread's processor time\n\n");

    std::printf("line speed: delay from a character's last byte written to the character in the "
                "box\n%10s %10s %10s %10s %10s %12s\n",
                "chars", "median us", "p99 us", "max us", "CPU us/ch", "chars/s kept");
    std::printf("%10zu %10.1f %10.1f %10.1f %10.3f %12.1f\n", latencyUs.size(), median(latencyUs),
                percentile(latencyUs, 99), percentile(latencyUs, 100),
                usPerChar(slowStart, slowEnd, slowText.size(), true),
                double(slowText.size()) * 1e9 / double(slowEnd.ns - slowStart.ns));
    std::printf("CPU us/ch: the GUI thread's processor time per character at line speed, waking "
                "for every byte included\n\n");

    const double ratio = usPerChar(beforeLast, end, kBlockCharacters, false)
                         / usPerChar(start, first, kBlockCharacters, false);
    std::printf("%s  nothing lost: the box holds exactly the %lld characters sent\n",
                allIntact ? "PASS" : "FAIL", qlonglong(total + slowText.size()));
    std::printf("%s  last 100k characters within 1.5x the time per character of the first "
                "(%.2fx)\n",
                ratio <= 1.5 ? "PASS" : "FAIL", ratio);
    std::printf("%s  at line speed, 99th percentile of the delay under 5 ms (%.3f ms)\n",
                percentile(latencyUs, 99) < 5000 ? "PASS" : "FAIL",
                percentile(latencyUs, 99) / 1000);
    return 0;
}
