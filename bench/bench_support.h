// Shared by the benchmarks: clocks, memory and statistics; the text they feed;
// running a case in a process of its own; and, for those that drive the
// program over a serial line (a PtyBoard made for threads), the far end
// worked from threads of their own with blocking calls, as a real board would.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class Form1;

// Nanoseconds on the monotonic clock, comparable across threads and processes.
qint64 monotonicNs();
// Processor time used by the calling thread, in nanoseconds.
qint64 threadCpuNs();
// Processor time used by the whole process, in nanoseconds.
qint64 processCpuNs();
// Peak resident memory of this process so far, in KiB.
long peakRssKiB();
// Page faults the calling thread takes from now on that need no disk, each
// an exception taken when memory is first touched; pages the program asks the
// system to back in advance are not among them. Counts nothing (isValid()
// false) where the system offers no such counter.
class PageFaultCounter
{
public:
    PageFaultCounter();
    ~PageFaultCounter();
    PageFaultCounter(const PageFaultCounter &) = delete;
    PageFaultCounter &operator=(const PageFaultCounter &) = delete;
    bool isValid() const { return m_fd >= 0; }
    long count() const;

private:
    int m_fd = -1;
};

double median(std::vector<double> values);
// The p-th percentile (0 to 100) by nearest rank.
double percentile(std::vector<double> values, double p);

const char *verdict(bool pass); // "PASS" or "FAIL"

// Runs this program again with the given arguments (a case in a process of
// its own, so that its peak memory and its clocks are its own) and returns
// the words it printed; empty when it failed.
QList<QByteArray> runSelf(const QStringList &arguments);

// Ticks every tickMs on the calling thread's event loop and keeps how late
// the worst tick came (the longest the loop was kept from it) and the most
// processor time the thread used between two ticks; onTick runs after each.
class LoopTicker
{
public:
    LoopTicker(int tickMs, std::function<void(qint64 nowNs)> onTick);
    void start() { m_timer.start(); }
    double worstStallMs() const;
    double worstBusyMs() const { return double(m_worstBusyNs) / 1e6; }

private:
    QTimer m_timer;
    int m_tickMs;
    qint64 m_lastNs = 0;
    qint64 m_lastCpuNs = 0;
    qint64 m_worstGapNs = 0;
    qint64 m_worstBusyNs = 0;
};

// Printable ASCII over and over, as an echo test sends it, with CR LF after
// every kLineCharacters characters when lines are wanted. Two sources made
// alike give the same text.
class TextSource
{
public:
    static constexpr int kLineCharacters = 80;

    explicit TextSource(bool lines)
        : m_lines(lines)
    {
    }

    char next()
    {
        if (m_column == kLineCharacters && m_lines) {
            m_column = kLineCharacters + 1;
            return '\r';
        }
        if (m_column == kLineCharacters + 1) {
            m_column = 0;
            return '\n';
        }
        ++m_column;
        return char(0x20 + m_count++ % 95);
    }

    QByteArray next(qsizetype count)
    {
        QByteArray bytes(count, Qt::Uninitialized);
        for (char &byte : bytes)
            byte = next();
        return bytes;
    }

private:
    bool m_lines = false;
    int m_column = 0;
    qint64 m_count = 0;
};

// Form1 with COM1 on the given device, loaded and shown; null when COM1 did
// not open.
std::unique_ptr<Form1> showFormOn(const QString &device);

// Puts bytes on the line from a thread of its own with blocking writes. At
// full speed (no pace) the line stays full whenever the program is the slower
// side; with a pace, one byte goes out every 1/bytesPerSecond seconds and the
// moment each one was handed to the system is kept.
class LineWriter
{
public:
    LineWriter(int fd, QByteArray bytes, int bytesPerSecond = 0);
    ~LineWriter();
    LineWriter(const LineWriter &) = delete;
    LineWriter &operator=(const LineWriter &) = delete;

    // Waits until every byte has been written (or writing failed).
    void wait();
    bool failed() const { return m_failed; }
    // After wait(), paced only: monotonicNs() just after each byte's write.
    const std::vector<qint64> &writeTimes() const { return m_writeTimes; }

private:
    void run();

    int m_fd;
    QByteArray m_bytes;
    int m_bytesPerSecond;
    std::vector<qint64> m_writeTimes;
    std::atomic<bool> m_failed {false};
    std::thread m_thread;
};

// Puts a long text from a TextSource on the line from a thread of its own,
// made piece by piece so that it need not be held, with blocking writes of
// chunkBytes: at full speed (no pace), or one chunk each chunkBytes /
// bytesPerSecond seconds.
class StreamWriter
{
public:
    StreamWriter(int fd, bool lines, qint64 totalBytes, int chunkBytes, qint64 bytesPerSecond = 0);
    ~StreamWriter();
    StreamWriter(const StreamWriter &) = delete;
    StreamWriter &operator=(const StreamWriter &) = delete;

    void wait();
    bool failed() const { return m_failed; }
    qint64 written() const { return m_written; }
    // After wait(): monotonicNs() when the first write started and just after
    // the last one, and the time spent inside write() calls.
    qint64 startNs() const { return m_startNs; }
    qint64 endNs() const { return m_endNs; }
    qint64 blockedNs() const { return m_blockedNs; }

private:
    void run();

    int m_fd;
    TextSource m_source;
    qint64 m_totalBytes;
    int m_chunkBytes;
    qint64 m_bytesPerSecond;
    std::atomic<qint64> m_written {0};
    std::atomic<bool> m_failed {false};
    qint64 m_startNs = 0;
    qint64 m_endNs = 0;
    qint64 m_blockedNs = 0;
    std::thread m_thread;
};

// Sends back everything that arrives on the line at once, from a thread of
// its own: a blocking wait for input, a read, a write.
class LineEchoer
{
public:
    explicit LineEchoer(int fd);
    ~LineEchoer();
    LineEchoer(const LineEchoer &) = delete;
    LineEchoer &operator=(const LineEchoer &) = delete;

    qint64 bytesEchoed() const { return m_echoed; }

private:
    void run();

    int m_fd;
    int m_stopPipe[2] = {-1, -1};
    std::atomic<qint64> m_echoed {0};
    std::thread m_thread;
};
