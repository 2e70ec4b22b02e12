// Ends the program the normal way when the system asks it to: SIGTERM (kill),
// SIGINT (Ctrl+C) and SIGHUP (logging out) close the window, so the port is
// closed, its lock released, and the exit status is 0. The port is also
// released when Qt ends the process with exit(), as it does when the
// connection to the X server breaks.
#pragma once

#include <QObject>

class MSComm;
class QSocketNotifier;
class QWidget;

class OrderlyExit : public QObject
{
    Q_OBJECT

public:
    // One at a time: it owns the process's handlers of these signals.
    OrderlyExit(QWidget *window, MSComm *port, QObject *parent = nullptr);
    ~OrderlyExit() override;

    // Whether a signal asked the program to end.
    bool requested() const { return m_requested; }

private:
    void handleSignal();

    QWidget *m_window;
    QSocketNotifier *m_notifier = nullptr;
    bool m_requested = false;
};
