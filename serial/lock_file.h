// The lock files serial programs leave while they have a device open
// ("/var/lock/LCK..ttyS0"), looked at without trusting them: a lock folder
// that others may write can hold a FIFO, a device or a symbolic link under
// that name, or a file of any size. Linux only.
#pragma once

#include <QString>
#include <QStringList>

struct LockFileInfo
{
    enum class State {
        Absent,
        Lock, // a regular file of a lock file's size; pid from its first line (0: none)
        NotRegular, // a FIFO, device, socket, folder or symbolic link: never opened
        TooLarge, // a regular file far larger than a lock file: never read
        Unreadable, // there, but this user may not read it
    };
    State state = State::Absent;
    QString path;
    qint64 pid = 0;
};

// Most bytes a lock file may hold: a pid and a few short lines.
constexpr qint64 kMaxLockFileBytes = 4096;

// The lock file QSerialPort takes for device, by Qt's own rule: in the first
// of its lock folders that can be read and either holds the file or can be
// written. Empty when there is none.
QString qtLockFilePath(const QString &device);

// Every usual place of device's lock file, in the order Qt looks.
QStringList lockFilePaths(const QString &device);

// What is at path: looked at with lstat(), opened only when a regular file
// (without following a link, without blocking), and at most
// kMaxLockFileBytes read.
LockFileInfo inspectLockFile(const QString &path);
