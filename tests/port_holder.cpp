// Holds a serial device open with MSComm until it is killed, so a test can
// check that a second process cannot open the same device meanwhile, and
// which process it is told holds it.
// Usage: port_holder DEVICE [NAME]; prints "ready" once the device is open.
// NAME (at most 15 bytes) becomes the process's own name, as /proc shows it.

#include "serial/comm_error.h"
#include "serial/serial_port.h"

#include <QCoreApplication>

#include <cstdio>
#include <sys/prctl.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: port_holder DEVICE [NAME]\n");
        return 2;
    }
    if (argc == 3 && ::prctl(PR_SET_NAME, argv[2], 0, 0, 0) != 0) {
        std::perror("prctl");
        return 2;
    }
    const QString device = QString::fromLocal8Bit(argv[1]);
    MSComm comm([device](int portNumber) { return portNumber == 1 ? device : QString(); });
    try {
        comm.setPortOpen(true);
    } catch (const CommError &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
