// What ending on the system's request shares across platforms: the port
// released at exit(), and the window closed from the event loop.
#include "app/orderly_exit.h"

#include "serial/serial_port.h"

#include <QApplication>
#include <QWidget>

#include <cstdlib>

namespace {

MSComm *g_portToRelease = nullptr;

// Runs at exit(), which Qt calls itself when the X connection breaks: the
// window is never destroyed then, so the port would keep its lock file.
void releasePortAtExit()
{
    if (g_portToRelease)
        g_portToRelease->setPortOpen(false);
}

} // namespace

OrderlyExit::OrderlyExit(QObject *parent)
    : QObject(parent)
{
    static const bool atExitRegistered = std::atexit(releasePortAtExit) == 0;
    Q_UNUSED(atExitRegistered)
    listen();
}

OrderlyExit::~OrderlyExit()
{
    g_portToRelease = nullptr;
    stopListening();
}

void OrderlyExit::watch(QWidget *window, MSComm *port)
{
    m_window = window;
    g_portToRelease = port;
    // The window closes its port as it goes; after that there is nothing to
    // release.
    connect(port, &QObject::destroyed, this, [port] {
        if (g_portToRelease == port)
            g_portToRelease = nullptr;
    });
}

void OrderlyExit::releasePort()
{
    releasePortAtExit();
}

void OrderlyExit::endProgram()
{
    if (m_requested)
        return; // the program is already ending
    m_requested = true;
    // A warning box still open belongs to an opening procedure: answering it
    // lets that procedure finish before the window goes.
    if (QWidget *box = QApplication::activeModalWidget())
        box->close();
    if (m_window)
        m_window->close();
    QCoreApplication::exit(0);
}
