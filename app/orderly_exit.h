// Ends the program the normal way when the system asks it to. On Linux
// SIGTERM (kill), SIGINT (Ctrl+C) and SIGHUP (logging out), on Windows the
// end of the session (logging off, shutting down) close the window, so the
// port is closed, its lock released, and the exit status is 0. The port is
// also released when Qt ends the process with exit(), as it does when the
// connection to the X server breaks.
#pragma once

#include <QObject>

class MSComm;
class QWidget;

class OrderlyExit : public QObject
{
    Q_OBJECT

public:
    // One at a time: it owns the process's handlers of these requests.
    OrderlyExit(QWidget *window, MSComm *port, QObject *parent = nullptr);
    ~OrderlyExit() override;

    // Whether the system asked the program to end.
    bool requested() const { return m_requested; }

private:
    // The platform's part (orderly_exit_unix.cpp, orderly_exit_win.cpp):
    // starts and stops listening for the system's requests.
    void listen();
    void stopListening();

    // Closes any warning box and the window, and leaves the event loop.
    void endProgram();
    // Closes the port at once, for a system that ends the process soon after.
    static void releasePort();

    QWidget *m_window;
    QObject *m_listener = nullptr; // the platform's, a child of this object
    bool m_requested = false;
};
