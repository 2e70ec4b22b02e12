// Starts the RS-232 echo test tool: one window, opening COM1 as it loads.
#include "app/program.h"
#include "app/running_mark.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // From the start: the installer must not replace files this process uses.
    markProgramRunning();
    QApplication app(argc, argv);
    return runProgram(systemPortLocator());
}
