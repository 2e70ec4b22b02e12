// Shared by the benchmarks that drive the program over a serial line: a
// pseudo-terminal whose far end is worked from threads of its own with blocking
// calls, as a real board would, and the few statistics the benchmarks print.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>
#include <vector>

// Nanoseconds on the monotonic clock, comparable across threads and processes.
qint64 monotonicNs();
// Processor time used by the calling thread, in nanoseconds.
qint64 threadCpuNs();
// Peak resident memory of this process so far, in KiB.
long peakRssKiB();

double median(std::vector<double> values);
// The p-th percentile (0 to 100) by nearest rank.
double percentile(std::vector<double> values, double p);

// A pseudo-terminal pair in raw mode: the program opens slavePath(), the
// benchmark works farEnd(), whose calls block. A descriptor of its own to the
// slave side keeps the line up while the program has its port closed.
class PtyLine
{
public:
    PtyLine();
    ~PtyLine();
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    bool isValid() const { return m_masterFd >= 0; }
    QString slavePath() const { return m_slavePath; }
    int farEnd() const { return m_masterFd; }

private:
    int m_masterFd = -1;
    int m_slaveFd = -1;
    QString m_slavePath;
};

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
