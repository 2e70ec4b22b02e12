// Ends the program the normal way when the system asks it to. On Linux
// SIGTERM (kill), SIGINT (Ctrl+C) and SIGHUP (logging out), on Windows the
// end of the session (logging off, shutting down) close the window, so the
// port is closed, its lock released, and the exit status is 0. Made before
// the window and destroyed after it, it handles the requests until the port
// is closed; a request repeated while the program ends changes nothing. The
// port is also released when Qt ends the process with exit(), as it does
// when the connection to the X server breaks.
#pragma once

#include <QObject>
#include <QPointer>

class MSComm;
class QWidget;

class OrderlyExit : public QObject
{
    Q_OBJECT

public:
    // One at a time: it owns the process's handlers of these requests, and
    // listens from here on.
    explicit OrderlyExit(QObject *parent = nullptr);
    ~OrderlyExit() override;

    // The window a request closes and the port to release at exit().
    void watch(QWidget *window, MSComm *port);

    // Whether the system asked the program to end.
    bool requested() const { return m_requested; }

private:
    // The platform's part (orderly_exit_unix.cpp, orderly_exit_win.cpp):
    // starts and stops listening for the system's requests. Once a request
    // came, stopping leaves later ones without effect rather than fatal.
    void listen();
    void stopListening();

    // Closes any warning box and the window, and leaves the event loop.
    void endProgram();
    // Closes the port at once, for a system that ends the process soon after.
    static void releasePort();

    QPointer<QWidget> m_window;
    QObject *m_listener = nullptr; // the platform's, a child of this object
    bool m_requested = false;
};
