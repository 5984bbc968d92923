#include "PortChecks.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The name a port's lock file carries: the device without "/dev/", every
// further slash an underscore, as minicom and Qt spell it.
QString lockName(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    return QStringLiteral("LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

bool isAlive(qint64 pid)
{
    return pid > 0 && pid <= INT_MAX && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

bool isOther(qint64 pid)
{
    return pid != ::getpid() && isAlive(pid);
}

// Written under a temporary name, then linked into place: nobody ever reads
// a half-written lock, and of two programs linking at once one fails.
enum class Linked { Yes, Taken, Unwritable };
Linked linkLock(const QString &path)
{
    const QByteArray final = QFile::encodeName(path);
    const QByteArray temporary = final + ".tmp" + QByteArray::number(::getpid());
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return Linked::Unwritable;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", int(::getpid()));
    const bool written = ::write(fd, text, size_t(length)) == length;
    ::close(fd);
    const int linked = written ? ::link(temporary.constData(), final.constData()) : -1;
    const int why = errno;
    ::unlink(temporary.constData());
    if (linked == 0)
        return Linked::Yes;
    return why == EEXIST ? Linked::Taken : Linked::Unwritable;
}

} // namespace

QString lockFolder()
{
    return QStringLiteral("/var/lock/");
}

QStringList lockFilesFor(const QString &device)
{
    QStringList files{lockFolder() + lockName(device)};
    const QString resolved = QFileInfo(device).canonicalFilePath();
    if (!resolved.isEmpty() && !files.contains(lockFolder() + lockName(resolved)))
        files << lockFolder() + lockName(resolved);
    return files;
}

qint64 lockOwner(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray content = file.read(64);
    const QByteArray text = content.trimmed();
    bool digits = !text.isEmpty();
    for (char c : text)
        digits = digits && c >= '0' && c <= '9';
    if (digits)
        return text.toLongLong();
    if (content.size() == int(sizeof(qint32))) {
        qint32 binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        return binary;
    }
    return 0;
}

bool lockHeldByAnother(const QStringList &lockFiles)
{
    for (const QString &file : lockFiles)
        if (isOther(lockOwner(file)))
            return true;
    return false;
}

QStringList takeLocks(const QStringList &lockFiles, bool *held)
{
    QStringList written;
    *held = false;
    for (const QString &file : lockFiles) {
        Linked linked = linkLock(file);
        if (linked == Linked::Taken) {
            const qint64 owner = lockOwner(file);
            if (owner == ::getpid())
                continue; // another link of this process: not ours to remove
            if (!isOther(owner) && QFile::remove(file))
                linked = linkLock(file);
        }
        if (linked == Linked::Yes) {
            written << file;
        } else if (linked == Linked::Taken) {
            *held = true;
            releaseLocks(written);
            return {};
        }
    }
    return written;
}

void releaseLocks(const QStringList &written)
{
    for (const QString &file : written)
        if (lockOwner(file) == ::getpid())
            QFile::remove(file);
}

bool exclusiveFlagSet(int descriptor)
{
    int exclusive = 0;
    return ::ioctl(descriptor, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

bool takeExclusiveFlock(int descriptor)
{
    return ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
}

bool hasHungUp(int descriptor)
{
    pollfd p{descriptor, POLLIN, 0};
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
