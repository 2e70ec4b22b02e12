// Why a port failed: from the device node, its permissions and the holders the
// system knows of (Qt's lock file, then the processes that have it open).
#include "serial/port_failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MSComm", text);
}

struct Holder
{
    qint64 pid = 0;
    QString name;
};

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

// The lock file QSerialPort and other serial programs leave while they have
// the device open: "LCK..ttyS0" in one of the usual lock folders.
Holder lockFileHolder(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList folders {
        QStringLiteral("/var/lock"),       QStringLiteral("/run/lock"),
        QStringLiteral("/etc/locks"),      QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"), QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp")};
    for (const QString &folder : folders) {
        const QString path = folder + QLatin1String("/LCK..") + name;
        if (!QFileInfo::exists(path))
            continue;
        QLockFile lock(path);
        qint64 pid = 0;
        QString host;
        QString application;
        if (lock.getLockInfo(&pid, &host, &application) && pid > 0) {
            const QString running = processName(pid);
            return {pid, running.isEmpty() ? application : running};
        }
    }
    return {};
}

// Another process that has the device open, as far as this user may see.
Holder openerHolder(const QString &device)
{
#ifdef Q_OS_LINUX
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : processes) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == self)
            continue;
        const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
        const QStringList links = QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : links) {
            if (QFile::symLinkTarget(fds + QLatin1Char('/') + fd) == target)
                return {pid, processName(pid)};
        }
    }
#else
    Q_UNUSED(device)
#endif
    return {};
}

CommError inUse(const QString &message, const QString &device)
{
    CommError error(message, CommError::Reason::InUse, device);
    Holder holder = lockFileHolder(device);
    if (holder.pid == 0)
        holder = openerHolder(device);
    error.setHolder(holder.pid, holder.name);
    return error;
}

// Whether this user may read and write the device (judged by the effective
// ids, as open() is).
bool accessDenied(const QString &device)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(device);
    return ::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES;
#else
    Q_UNUSED(device)
    return false;
#endif
}

} // namespace

CommError openFailure(int portNumber, const QString &device, OpenRefusal refusal,
                      const QString &detail)
{
    const QString message = tr("Cannot open COM%1 (%2): %3").arg(portNumber).arg(device, detail);
#ifdef Q_OS_UNIX
    const bool present = QFileInfo::exists(device);
#else
    const bool present = true;
#endif
    if (refusal == OpenRefusal::NoDevice || !present)
        return CommError(message, CommError::Reason::NoDevice, device);
    if (accessDenied(device))
        return CommError(message, CommError::Reason::PermissionDenied, device);
    // The device may be opened, so the refusal came from a lock: Qt's lock
    // file, the terminal's exclusive mode or Windows' exclusive opening, all
    // held by another program.
    if (refusal == OpenRefusal::Refused)
        return inUse(message, device);
    return CommError(message, CommError::Reason::Other, device);
}

CommError deviceInUse(int portNumber, const QString &device)
{
    return inUse(tr("Cannot open COM%1 (%2): the device is in use by another program.")
                     .arg(portNumber)
                     .arg(device),
                 device);
}

CommError lostLine(int portNumber, const QString &device)
{
#ifdef Q_OS_UNIX
    if (!device.isEmpty() && !QFileInfo::exists(device))
        return CommError(tr("COM%1 (%2) was unplugged.").arg(portNumber).arg(device),
                         CommError::Reason::NoDevice, device);
#endif
    return CommError(tr("COM%1 (%2) was hung up.").arg(portNumber).arg(device),
                     CommError::Reason::HungUp, device);
}
