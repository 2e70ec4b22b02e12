// Lets the Windows installer and uninstaller see that the program is running,
// so that they ask for it to be closed before they replace or remove its files.
#pragma once

// Marks this process as a running copy of the program for as long as it lives.
// The platform's part: a named mutex on Windows (running_mark_win.cpp), which
// dist/windows/NSIS.template.in looks for; nothing on Linux
// (running_mark_unix.cpp).
void markProgramRunning();
