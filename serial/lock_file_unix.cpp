// Lock files looked at with lstat() and read with a bound.
#include "serial/lock_file.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// QSerialPort's lock folders, in its order.
const QStringList &lockFolders()
{
    static const QStringList folders {QStringLiteral("/var/lock"),
                                      QStringLiteral("/etc/locks"),
                                      QStringLiteral("/var/spool/locks"),
                                      QStringLiteral("/var/spool/uucp"),
                                      QStringLiteral("/tmp"),
                                      QStringLiteral("/var/tmp"),
                                      QStringLiteral("/var/lock/lockdev"),
                                      QStringLiteral("/run/lock")};
    return folders;
}

// "LCK..ttyS0" for "/dev/ttyS0", "LCK..pts_3" for "/dev/pts/3".
QString lockFileName(const QString &device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QLatin1String("LCK..") + name;
}

// Whether anything is at path, a dangling symbolic link included.
bool entryExists(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

LockFileInfo::State stateOf(const struct stat &info)
{
    if (!S_ISREG(info.st_mode))
        return LockFileInfo::State::NotRegular;
    if (info.st_size > kMaxLockFileBytes)
        return LockFileInfo::State::TooLarge;
    return LockFileInfo::State::Lock;
}

// Opens path without following a link and without blocking, and reads at
// most kMaxLockFileBytes + 1 bytes if it is a regular file; returns the state
// of what was opened (Absent when it went in the meantime).
LockFileInfo::State readBounded(const QByteArray &path, QByteArray *text)
{
    const int fd =
        ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return LockFileInfo::State::Absent;
        return errno == ELOOP ? LockFileInfo::State::NotRegular : LockFileInfo::State::Unreadable;
    }
    // It may have been replaced since lstat() looked: judged again by what
    // was opened.
    struct stat info = {};
    LockFileInfo::State state =
        ::fstat(fd, &info) == 0 ? stateOf(info) : LockFileInfo::State::Unreadable;
    if (state == LockFileInfo::State::Lock) {
        text->resize(kMaxLockFileBytes + 1);
        qsizetype size = 0;
        while (size < text->size()) {
            const ssize_t count = ::read(fd, text->data() + size, size_t(text->size() - size));
            if (count > 0)
                size += count;
            else if (count == 0 || errno != EINTR)
                break;
        }
        text->truncate(size);
        if (size > kMaxLockFileBytes)
            state = LockFileInfo::State::TooLarge; // grew since it was looked at
    }
    ::close(fd);
    return state;
}

// The pid on the first line: Qt's "1234\n...", or the UUCP "      1234\n".
qint64 pidOf(const QByteArray &text)
{
    const qsizetype end = text.indexOf('\n');
    bool ok = false;
    const qint64 pid = text.left(end < 0 ? text.size() : end).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

} // namespace

QString qtLockFilePath(const QString &device)
{
    const QString name = lockFileName(device);
    for (const QString &folder : lockFolders()) {
        const QFileInfo folderInfo(folder);
        QString path = folder + QLatin1Char('/') + name;
        if (folderInfo.isReadable() && (entryExists(path) || folderInfo.isWritable()))
            return path;
    }
    return {};
}

QStringList lockFilePaths(const QString &device)
{
    const QString name = lockFileName(device);
    QStringList paths;
    for (const QString &folder : lockFolders())
        paths.append(folder + QLatin1Char('/') + name);
    return paths;
}

LockFileInfo inspectLockFile(const QString &path)
{
    LockFileInfo lock;
    lock.path = path;
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info = {};
    if (::lstat(encoded.constData(), &info) != 0) {
        lock.state =
            errno == EACCES ? LockFileInfo::State::Unreadable : LockFileInfo::State::Absent;
        return lock;
    }
    lock.state = stateOf(info);
    if (lock.state != LockFileInfo::State::Lock)
        return lock;
    QByteArray text;
    lock.state = readBounded(encoded, &text);
    if (lock.state == LockFileInfo::State::Lock)
        lock.pid = pidOf(text);
    return lock;
}
