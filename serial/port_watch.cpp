// PortWatch: the wait for a lost device, looking on the system's word and
// once a second.
#include "serial/port_watch.h"

#include "serial/device_events.h"

#include <QPointer>

#include <algorithm>

namespace {

// How soon it looks after word from the system: one look for the several
// events of one device coming (node made, owner and mode set).
constexpr int kAfterEventMs = 50;

} // namespace

PortWatch::PortWatch(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PortWatch::look);
}

PortWatch::~PortWatch() = default;

void PortWatch::start(std::function<bool()> present)
{
    m_present = std::move(present);
    m_misses = 0;
    if (!m_events) {
        m_events = std::make_unique<DeviceEvents>();
        connect(m_events.get(), &DeviceEvents::changed, this,
                [this] { lookWithin(kAfterEventMs); });
    }
    m_timer.start(kLookIntervalMs);
}

void PortWatch::stop()
{
    m_present = nullptr;
    m_timer.stop();
    m_events.reset();
}

void PortWatch::look()
{
    if (!m_present)
        return;
    if (!m_present()) {
        m_misses = 0;
        m_timer.start(kLookIntervalMs);
        return;
    }
    const QPointer<PortWatch> self(this);
    emit deviceBack();
    if (!self || !isActive())
        return;
    // There, but not taken: most likely still being set up.
    const int shift = std::min(m_misses, 4);
    ++m_misses;
    m_timer.start(std::min(kSettlingLookMs << shift, kLookIntervalMs));
}

void PortWatch::lookWithin(int ms)
{
    if (isActive() && m_timer.remainingTime() > ms)
        m_timer.start(ms);
}
