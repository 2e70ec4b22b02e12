// Signals to the event loop through a socket pair: the handler only writes a
// byte, which is all a signal handler may safely do; the window is closed from
// the event loop.
#include "app/orderly_exit.h"

#include "serial/serial_port.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cstdlib>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

MSComm *g_portToRelease = nullptr;

// Runs at exit(), which Qt calls itself when the X connection breaks: the
// window is never destroyed then, so the port would keep its lock file.
void releasePortAtExit()
{
    if (g_portToRelease)
        g_portToRelease->setPortOpen(false);
}

#ifdef Q_OS_UNIX
int g_signalSockets[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalSockets[0], &byte, 1);
    errno = savedErrno;
}
#endif

} // namespace

OrderlyExit::OrderlyExit(QWidget *window, MSComm *port, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    static const bool atExitRegistered = std::atexit(releasePortAtExit) == 0;
    Q_UNUSED(atExitRegistered)
    g_portToRelease = port;

#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalSockets) != 0)
        return;
    m_notifier = new QSocketNotifier(g_signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &OrderlyExit::handleSignal);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
#endif
}

OrderlyExit::~OrderlyExit()
{
    g_portToRelease = nullptr;
#ifdef Q_OS_UNIX
    if (!m_notifier)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    delete m_notifier;
    ::close(g_signalSockets[0]);
    ::close(g_signalSockets[1]);
    g_signalSockets[0] = g_signalSockets[1] = -1;
#endif
}

void OrderlyExit::handleSignal()
{
#ifdef Q_OS_UNIX
    char byte = 0;
    [[maybe_unused]] const ssize_t read = ::read(g_signalSockets[1], &byte, 1);
#endif
    m_requested = true;
    // A warning box still open belongs to an opening procedure: answering it
    // lets that procedure finish before the window goes.
    if (QWidget *box = QApplication::activeModalWidget())
        box->close();
    m_window->close();
    QCoreApplication::exit(0);
}
