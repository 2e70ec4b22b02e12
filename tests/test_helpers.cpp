// Small helpers shared by the test programs.
#include "test_helpers.h"

#include <QEventLoop>
#include <QTimer>

#include <time.h>

double processCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void idleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool idlesWithoutBusyLoop(int ms)
{
    const double before = processCpuSeconds();
    idleFor(ms);
    const double used = processCpuSeconds() - before;
    if (used < 0.25 * ms / 1000)
        return true;
    qWarning("%.0f ms of CPU in %d ms of idling", used * 1000, ms);
    return false;
}

QByteArray numberedLines(qsizetype byteCount)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < byteCount; ++i)
        bytes += QByteArray::number(i).rightJustified(7, '0') + " the quick brown fox\r\n";
    bytes.truncate(byteCount);
    return bytes;
}
