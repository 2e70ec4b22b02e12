// Holds a serial device open with MSComm until it is killed, so a test can
// check that a second process cannot open the same device meanwhile.
// Usage: port_holder DEVICE; prints "ready" once the device is open.

#include "serial/comm_error.h"
#include "serial/serial_port.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: port_holder DEVICE\n");
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
