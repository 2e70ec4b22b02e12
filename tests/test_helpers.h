// Small helpers shared by the test programs: the lamps as the user sees them,
// choosing from the port list, and the CPU an idle event loop costs.
#pragma once

#include <QString>

class Form1;
struct Form1Controls;
class PortList;

// The visible lamps as three letters, red, green and unlit: "RGM", "-G-"...
QString shownLamps(const Form1Controls &form);

// Shows the window centred and makes it the active one, as when the user
// starts the program; false if it never became active.
bool showAndActivate(Form1 &form);

// Chooses an item the way a user does: drop the list down, pick, press Enter.
void choose(PortList *list, int index);

// CPU seconds used so far by the whole process.
double processCpuSeconds();

// Runs the event loop for ms with nothing to wake it but one timer.
void idleFor(int ms);

// CPU seconds the process uses while its event loop idles for ms.
double cpuWhileIdle(int ms);
