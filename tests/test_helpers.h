// Small helpers shared by the test programs, QtCore only: an idle event loop,
// the process's CPU time, and text to send.
#pragma once

#include <QByteArray>

// Runs the event loop for ms with nothing to wake it but one timer.
void idleFor(int ms);

// CPU seconds used so far by the whole process.
double processCpuSeconds();

// Whether the process, its event loop idling for ms, stays under a quarter
// of a core: a guard against busy loops only, ten times what an idle program
// may take. bench/idle_cpu_bench measures the real figures.
bool idlesWithoutBusyLoop(int ms = 1000);

// Numbered ASCII lines ending in CR LF, byteCount bytes in all.
QByteArray numberedLines(qsizetype byteCount);
