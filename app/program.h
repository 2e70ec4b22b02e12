// The program's start-up, once the application object exists: the look and
// the font the window was laid out for, Form1 opening COM1 as it loads, then
// the event loop until the window is closed or a signal ends the program.
// app/main.cpp and bench/startup_probe.cpp both run it.
#pragma once

#include "serial/port_locator.h"

// Returns the program's exit status.
int runProgram(const PortLocator &locator);
