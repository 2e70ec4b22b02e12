// The benchmarks' clocks, statistics, child processes and serial line:
// pseudo-terminal, writer and echoing threads.
#include "bench_support.h"

#include "pty_board.h"

#include "app/main_window.h"
#include "serial/serial_port.h"

#include <QCoreApplication>
#include <QProcess>
#include <QWindow>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <linux/perf_event.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t count = ::write(fd, data, size_t(size));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        data += count;
        size -= count;
    }
    return true;
}

qint64 clockNs(clockid_t clock)
{
    timespec now {};
    ::clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

qint64 monotonicNs()
{
    return clockNs(CLOCK_MONOTONIC);
}

qint64 threadCpuNs()
{
    return clockNs(CLOCK_THREAD_CPUTIME_ID);
}

qint64 processCpuNs()
{
    return clockNs(CLOCK_PROCESS_CPUTIME_ID);
}

long peakRssKiB()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// getrusage() would also count the pages the system backs on request.
PageFaultCounter::PageFaultCounter()
{
    perf_event_attr attributes {};
    attributes.size = sizeof attributes;
    attributes.type = PERF_TYPE_SOFTWARE;
    attributes.config = PERF_COUNT_SW_PAGE_FAULTS_MIN;
    attributes.exclude_kernel = 1;
    attributes.exclude_hv = 1;
    m_fd = int(::syscall(SYS_perf_event_open, &attributes, 0, -1, -1, PERF_FLAG_FD_CLOEXEC));
}

PageFaultCounter::~PageFaultCounter()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

long PageFaultCounter::count() const
{
    quint64 value = 0;
    if (m_fd < 0 || ::read(m_fd, &value, sizeof value) != sizeof value)
        return 0;
    return long(value);
}

double median(std::vector<double> values)
{
    return percentile(std::move(values), 50);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = std::size_t(std::ceil(p / 100 * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

const char *verdict(bool pass)
{
    return pass ? "PASS" : "FAIL";
}

LoopTicker::LoopTicker(int tickMs, std::function<void(qint64)> onTick)
    : m_tickMs(tickMs)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(tickMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this, onTick = std::move(onTick)] {
        const qint64 now = monotonicNs();
        const qint64 cpuNow = threadCpuNs();
        if (m_lastNs > 0) {
            m_worstGapNs = qMax(m_worstGapNs, now - m_lastNs);
            m_worstBusyNs = qMax(m_worstBusyNs, cpuNow - m_lastCpuNs);
        }
        m_lastNs = now;
        m_lastCpuNs = cpuNow;
        onTick(now);
    });
}

double LoopTicker::worstStallMs() const
{
    return double(m_worstGapNs - qint64(m_tickMs) * 1000000) / 1e6;
}

QList<QByteArray> runSelf(const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return {};
    return child.readAllStandardOutput().simplified().split(' ');
}

std::unique_ptr<Form1> showFormOn(const QString &device)
{
    auto form =
        std::make_unique<Form1>([device](int port) { return port == 1 ? device : QString(); });
    form->load();
    form->showCentred();
    while (!form->windowHandle() || !form->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    if (!form->controls().MSComm1->PortOpen())
        return nullptr;
    return form;
}

LineWriter::LineWriter(int fd, QByteArray bytes, int bytesPerSecond)
    : m_fd(fd)
    , m_bytes(std::move(bytes))
    , m_bytesPerSecond(bytesPerSecond)
{
    if (m_bytesPerSecond > 0)
        m_writeTimes.reserve(std::size_t(m_bytes.size()));
    m_thread = std::thread([this] { run(); });
}

LineWriter::~LineWriter()
{
    wait();
}

void LineWriter::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

void LineWriter::run()
{
    if (m_bytesPerSecond <= 0) {
        m_failed = !writeAll(m_fd, m_bytes.constData(), m_bytes.size());
        return;
    }
    const qint64 interval = 1000000000 / m_bytesPerSecond;
    qint64 due = monotonicNs();
    for (qsizetype i = 0; i < m_bytes.size(); ++i) {
        const timespec at {time_t(due / 1000000000), long(due % 1000000000)};
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) { }
        if (!writeAll(m_fd, m_bytes.constData() + i, 1)) {
            m_failed = true;
            return;
        }
        m_writeTimes.push_back(monotonicNs());
        due += interval;
    }
}

StreamWriter::StreamWriter(int fd, bool lines, qint64 totalBytes, int chunkBytes,
                           qint64 bytesPerSecond)
    : m_fd(fd)
    , m_source(lines)
    , m_totalBytes(totalBytes)
    , m_chunkBytes(chunkBytes)
    , m_bytesPerSecond(bytesPerSecond)
{
    m_thread = std::thread([this] { run(); });
}

StreamWriter::~StreamWriter()
{
    wait();
}

void StreamWriter::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

void StreamWriter::run()
{
    const qint64 interval =
        m_bytesPerSecond > 0 ? qint64(m_chunkBytes) * 1000000000 / m_bytesPerSecond : 0;
    m_startNs = monotonicNs();
    qint64 due = m_startNs;
    while (m_written < m_totalBytes) {
        if (interval > 0) {
            const timespec at {time_t(due / 1000000000), long(due % 1000000000)};
            while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) { }
            due += interval;
        }
        const QByteArray chunk =
            m_source.next(qMin<qint64>(m_chunkBytes, m_totalBytes - m_written));
        const qint64 before = monotonicNs();
        if (!writeAll(m_fd, chunk.constData(), chunk.size())) {
            m_failed = true;
            break;
        }
        m_blockedNs += monotonicNs() - before;
        m_written += chunk.size();
    }
    m_endNs = monotonicNs();
}

LineEchoer::LineEchoer(int fd)
    : m_fd(fd)
{
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        return;
    m_thread = std::thread([this] { run(); });
}

LineEchoer::~LineEchoer()
{
    if (m_stopPipe[1] >= 0)
        ::close(m_stopPipe[1]); // wakes the thread with end of file
    if (m_thread.joinable())
        m_thread.join();
    if (m_stopPipe[0] >= 0)
        ::close(m_stopPipe[0]);
}

void LineEchoer::run()
{
    char buffer[4096];
    for (;;) {
        pollfd waits[2] = {{m_fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (waits[1].revents != 0 || (waits[0].revents & (POLLERR | POLLNVAL)) != 0)
            return;
        if ((waits[0].revents & POLLIN) == 0) {
            // POLLHUP alone: nobody has the slave side open just now.
            ::usleep(1000);
            continue;
        }
        const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (count <= 0 || !writeAll(m_fd, buffer, count))
            return;
        m_echoed += count;
    }
}
