// DeviceEvents: word from the system that devices have come or changed, so
// that a wait for a device costs nothing until then. device_events_unix.cpp
// (inotify on /dev) and device_events_win.cpp (WM_DEVICECHANGE) implement it.
#pragma once

#include <QObject>

#include <memory>

class DeviceEvents : public QObject
{
    Q_OBJECT

public:
    explicit DeviceEvents(QObject *parent = nullptr);
    ~DeviceEvents() override;

signals:
    // A device node was made or changed (Linux), a port or device interface
    // arrived (Windows). Emitted from the event loop, never while the system
    // waits for the answer.
    void changed();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
