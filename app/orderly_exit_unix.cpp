// Signals to the event loop through a socket pair: the handler only writes a
// byte, which is all a signal handler may safely do; the window is closed from
// the event loop.
#include "app/orderly_exit.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalSockets[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalSockets[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

void OrderlyExit::listen()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalSockets) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalSockets[1], QSocketNotifier::Read, this);
    m_listener = notifier;
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(g_signalSockets[1], &byte, 1);
        endProgram();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

void OrderlyExit::stopListening()
{
    if (!m_listener)
        return;
    // After a request the process is on its way out with status 0: a signal
    // repeated now (a service manager sending TERM again, Ctrl+C pressed
    // twice) must not cut that short.
    struct sigaction action = {};
    action.sa_handler = m_requested ? SIG_IGN : SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    delete m_listener;
    m_listener = nullptr;
    ::close(g_signalSockets[0]);
    ::close(g_signalSockets[1]);
    g_signalSockets[0] = g_signalSockets[1] = -1;
}
