// Who holds a serial device that could not be opened, as far as the system
// tells: the process that has it open, or what its lock file says.
#pragma once

#include <QString>

struct DeviceHolder
{
    enum class Kind {
        Unknown, // nobody the system names
        Process, // pid (and name, when readable) of a process with the device open
        LockedBy, // pid from the lock file, a process without the device open
        StaleLock, // pid from the lock file, of a process that is gone
        OddLockFile, // the lock file is no regular file: never opened
        OversizedLockFile, // the lock file is far larger than a lock file: never read
    };
    Kind kind = Kind::Unknown;
    qint64 pid = 0;
    QString name; // the process's own name: outside text, shown only as plain text
    QString lockFile; // for the kinds that come from the lock file
};

// Finds who holds device: a process is named only when it has the device
// open (any of its descriptors on the same device number, whatever path it
// took there), so a lock file's pid that now belongs to another program is
// never taken for the holder. Never blocks on what it finds.
DeviceHolder findDeviceHolder(const QString &device);
