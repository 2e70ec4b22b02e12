// Starts the RS-232 echo test tool: one window, opening COM1 as it loads.
#include "app/program.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    return runProgram(systemPortLocator());
}
