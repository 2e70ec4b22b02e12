// Holders found through the lock file and /proc: each process's open
// descriptors compared with the device by device number, so a process that
// reached the device by another path (/dev/serial/by-id/..., a node of its
// own) is found as well.
#include "serial/device_holder.h"

#include "serial/lock_file.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a descriptor must lead to, to be on the device.
struct DeviceId
{
    bool valid = false;
    bool character = false;
    dev_t rdev = 0; // for a character device: its number
    dev_t dev = 0; // otherwise: the file itself
    ino_t ino = 0;

    bool matches(const struct stat &info) const
    {
        if (character)
            return S_ISCHR(info.st_mode) && info.st_rdev == rdev;
        return info.st_dev == dev && info.st_ino == ino;
    }
};

DeviceId deviceId(const QString &device)
{
    DeviceId id;
    struct stat info = {};
    if (::stat(QFile::encodeName(device).constData(), &info) != 0)
        return id;
    id.valid = true;
    id.character = S_ISCHR(info.st_mode);
    id.rdev = info.st_rdev;
    id.dev = info.st_dev;
    id.ino = info.st_ino;
    return id;
}

// Whether process pid has the device open. stat() through /proc/PID/fd/N
// looks at what the descriptor leads to without opening it.
bool hasOpen(qint64 pid, const DeviceId &id)
{
    const QByteArray folder = "/proc/" + QByteArray::number(pid) + "/fd";
    DIR *fds = ::opendir(folder.constData());
    if (!fds)
        return false;
    bool found = false;
    while (const dirent *entry = ::readdir(fds)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat info = {};
        if (::fstatat(::dirfd(fds), entry->d_name, &info, 0) == 0 && id.matches(info)) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

// The first other process with the device open, 0 when none.
qint64 firstOpener(const DeviceId &id)
{
    const qint64 self = QCoreApplication::applicationPid();
    DIR *processes = ::opendir("/proc");
    if (!processes)
        return 0;
    qint64 opener = 0;
    while (const dirent *entry = ::readdir(processes)) {
        char *end = nullptr;
        const long long pid = std::strtoll(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        if (hasOpen(pid, id)) {
            opener = pid;
            break;
        }
    }
    ::closedir(processes);
    return opener;
}

// The process's own name (at most 15 bytes, from /proc/PID/comm).
QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    QByteArray name = comm.read(64);
    if (name.endsWith('\n'))
        name.chop(1);
    return QString::fromLocal8Bit(name);
}

bool processExists(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

DeviceHolder findDeviceHolder(const QString &device)
{
    // The lock file QSerialPort takes: when it is no lock file at all, it is
    // why the device cannot be opened, and whoever put it there is unknown.
    const LockFileInfo qtLock = inspectLockFile(qtLockFilePath(device));
    if (qtLock.state == LockFileInfo::State::NotRegular)
        return {DeviceHolder::Kind::OddLockFile, 0, {}, qtLock.path};
    if (qtLock.state == LockFileInfo::State::TooLarge)
        return {DeviceHolder::Kind::OversizedLockFile, 0, {}, qtLock.path};

    // The first pid a lock file records, in the usual folders: other
    // programs may keep theirs elsewhere than Qt does.
    LockFileInfo lock;
    for (const QString &path : lockFilePaths(device)) {
        const LockFileInfo found = path == qtLock.path ? qtLock : inspectLockFile(path);
        if (found.pid > 0) {
            lock = found;
            break;
        }
    }

    const DeviceId id = deviceId(device);
    if (id.valid) {
        if (lock.pid > 0 && hasOpen(lock.pid, id))
            return {DeviceHolder::Kind::Process, lock.pid, processName(lock.pid), lock.path};
        if (const qint64 opener = firstOpener(id))
            return {DeviceHolder::Kind::Process, opener, processName(opener), {}};
    }
    if (lock.pid > 0) {
        const auto kind =
            processExists(lock.pid) ? DeviceHolder::Kind::LockedBy : DeviceHolder::Kind::StaleLock;
        return {kind, lock.pid, {}, lock.path};
    }
    return {};
}
