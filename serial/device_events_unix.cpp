// DeviceEvents on Linux: an inotify watch on /dev, which the kernel fills as
// devices come (a node made) and udev finishes with them (owner and mode set).
#include "serial/device_events.h"

#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

struct DeviceEvents::Private
{
    ~Private()
    {
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
    }

    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
};

DeviceEvents::DeviceEvents(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (d->fd < 0)
        return; // no events: the waiter's own retries still find the device
    // Only nodes made, moved in or given their owner and mode; not writes,
    // which every program writing to /dev/null would report.
    if (::inotify_add_watch(d->fd, "/dev", IN_CREATE | IN_ATTRIB | IN_MOVED_TO) < 0) {
        ::close(d->fd);
        d->fd = -1;
        return;
    }
    d->notifier = std::make_unique<QSocketNotifier>(d->fd, QSocketNotifier::Read);
    connect(d->notifier.get(), &QSocketNotifier::activated, this, [this] {
        alignas(inotify_event) char buffer[4096];
        bool any = false;
        while (::read(d->fd, buffer, sizeof buffer) > 0)
            any = true;
        if (any)
            emit changed();
    });
}

DeviceEvents::~DeviceEvents() = default;
