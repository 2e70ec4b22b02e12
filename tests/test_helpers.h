// Small helpers shared by the test programs: the lamps as the user sees them,
// showing the window, choosing from the port list, and an idle event loop.
#pragma once

#include <QByteArray>
#include <QString>

class Form1;
struct Form1Controls;
class PortList;

// The visible lamps as three letters, red, green and unlit: "RGM", "-G-"...
QString shownLamps(const Form1Controls &form);

// The three code boxes, character, decimal and hexadecimal: "z 122 7AH".
QString shownCodes(const Form1Controls &form);

// Shows the window centred and makes it the active one, as when the user
// starts the program; false if it never became active.
bool showAndActivate(Form1 &form);

// Chooses an item the way a user does: drop the list down, pick, press Enter.
void choose(PortList *list, int index);

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
