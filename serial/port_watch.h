// PortWatch: waits for a lost serial device to be there again, at almost no
// cost: it looks when the system says devices have changed (DeviceEvents),
// and otherwise once a second, for systems and drivers that never say.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class DeviceEvents;

class PortWatch : public QObject
{
    Q_OBJECT

public:
    // How often it looks without word from the system.
    static constexpr int kLookIntervalMs = 1000;
    // The first look again after the device was there and yet not taken,
    // doubled at each further miss up to kLookIntervalMs: a device just
    // plugged in may be busy or closed to the user for a moment, until the
    // system has finished setting it up.
    static constexpr int kSettlingLookMs = 100;

    explicit PortWatch(QObject *parent = nullptr);
    ~PortWatch() override;

    // Starts waiting, anew: present() says whether the device is there.
    // Nothing is looked at before the first interval has passed.
    void start(std::function<bool()> present);
    // Ends the wait; nothing is emitted after this.
    void stop();
    bool isActive() const { return bool(m_present); }

signals:
    // The device is there. Emitted again, more and more slowly, while it is
    // there and the wait has not been stopped (its owner has not got it yet).
    void deviceBack();

private:
    void look();
    void lookWithin(int ms);

    std::function<bool()> m_present;
    QTimer m_timer;
    std::unique_ptr<DeviceEvents> m_events;
    int m_misses = 0; // looks in a row that found the device but did not end the wait
};
