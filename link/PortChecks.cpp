#include "PortChecks.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString LockFolder = QStringLiteral("/var/lock/");

// The name a port's lock file carries: the device without "/dev/", every
// further slash an underscore, as Qt and minicom spell it.
QString lockName(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    return QStringLiteral("LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

// The owner a lock file names: ten ASCII digits (HDB, Qt), or the pid's own
// four bytes (older UUCP). 0 when it names none.
pid_t lockOwner(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray content = file.read(64);
    if (content.size() == int(sizeof(qint32))) {
        qint32 binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        return binary;
    }
    bool ok = false;
    const pid_t ascii = content.split('\n').value(0).trimmed().toInt(&ok);
    return ok ? ascii : 0;
}

bool isAlive(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace

bool lockFileHeldByAnother(const QString &device)
{
    // A link such as /dev/com1 is locked under its own name by Qt and under
    // the device's by programs that resolve it.
    const QSet<QString> names{lockName(device), lockName(QFileInfo(device).canonicalFilePath())};
    for (const QString &name : names) {
        const pid_t owner = lockOwner(LockFolder + name);
        if (owner != ::getpid() && isAlive(owner))
            return true;
    }
    return false;
}

bool takeExclusiveFlock(int descriptor)
{
    return ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
}

bool hasHungUp(int descriptor)
{
    pollfd p{descriptor, POLLIN | POLLOUT, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
    termios line{};
    return ::tcgetattr(descriptor, &line) != 0 && errno != EINTR;
}

bool isKernelConsole(const QString &device)
{
    struct stat node{};
    QFile list(QStringLiteral("/proc/consoles"));
    if (::stat(QFile::encodeName(device).constData(), &node) != 0 || !S_ISCHR(node.st_mode)
        || !list.open(QIODevice::ReadOnly))
        return false;
    // One console a line, its device number last: "ttyAMA0  -W- (EC p a)    204:64".
    const QByteArray number = QByteArray::number(major(node.st_rdev)) + ':' + QByteArray::number(minor(node.st_rdev));
    for (const QByteArray &line : list.readAll().split('\n'))
        if (!line.isEmpty() && line.simplified().split(' ').last() == number)
            return true;
    return false;
}
