#include "SerialLink.h"

#include "PortChecks.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Bytes the robot sends unasked wait here for the next version exchange;
// past this much they are dropped, as the driver's own queue would.
constexpr qsizetype InputCap = 4096;

OpenFailure failureOfOpen(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return OpenFailure::AccessDenied;
    case EBUSY: // another program's TIOCEXCL, for anybody but root
        return OpenFailure::HeldElsewhere;
    default:
        return OpenFailure::NotFound;
    }
}

// 2400 baud, 8N1, raw: no echo, no translation, no flow control. Reads never
// wait in the driver; the link bounds its own waits. HUPCL stays as the line
// had it, so the last close drops DTR and RTS as Linux programs expect.
void applyLineSettings(int fd)
{
    termios line{};
    if (::tcgetattr(fd, &line) != 0)
        return;
    ::cfmakeraw(&line);
    line.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    ::cfsetispeed(&line, B2400);
    ::cfsetospeed(&line, B2400);
    ::tcsetattr(fd, TCSANOW, &line);
}

// What a read that returned `result` says of the device: only the end of
// file or an I/O error on a line that also reads as hung up is a hang-up.
bool readSaysGone(int fd, ssize_t result)
{
    if (result > 0 || (result < 0 && (errno == EAGAIN || errno == EINTR)))
        return false;
    return (result < 0 && errno == EIO) || hasHungUp(fd);
}
} // namespace

SerialLink::SerialLink() = default;

SerialLink::~SerialLink()
{
    close();
}

bool SerialLink::open(const QString &device)
{
    close();
    // Nothing here writes to the device, its lock files or its flags until
    // every hold another program may have on it has been looked for.
    if (isKernelConsole(device))
        return fail(OpenFailure::SystemConsole);
    const QStringList locks = lockFilesFor(device);
    if (lockHeldByAnother(locks))
        return fail(OpenFailure::HeldElsewhere);
    m_fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return fail(failureOfOpen(errno));
    if (!::isatty(m_fd))
        return fail(OpenFailure::NotFound);
    if (exclusiveFlagSet(m_fd) || !takeExclusiveFlock(m_fd))
        return fail(OpenFailure::HeldElsewhere);
    bool held = false;
    m_locks = takeLocks(locks, &held);
    if (held)
        return fail(OpenFailure::HeldElsewhere);

    ::ioctl(m_fd, TIOCEXCL);
    applyLineSettings(m_fd);
    m_readable = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &SerialLink::readAvailable);
    m_writable = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &SerialLink::writePending);
    m_state = PortState::Open;
    m_failure = OpenFailure::None;
    return true;
}

bool SerialLink::fail(OpenFailure why)
{
    close();
    m_state = PortState::Failed;
    m_failure = why;
    return false;
}

void SerialLink::close()
{
    delete m_readable;
    delete m_writable;
    m_readable = m_writable = nullptr;
    if (m_fd >= 0) {
        // One last try for commands still waiting; nothing waits for them.
        if (m_state == PortState::Open && !m_pending.isEmpty())
            [[maybe_unused]] const ssize_t written = ::write(m_fd, m_pending.constData(), size_t(m_pending.size()));
        if (m_state == PortState::Open)
            ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
        m_fd = -1;
    }
    releaseLocks(m_locks);
    m_locks.clear();
    m_input.clear();
    m_pending.clear();
    m_state = PortState::None;
}

void SerialLink::setModemLine(int line)
{
    if (m_state == PortState::Open)
        ::ioctl(m_fd, TIOCMBIS, &line);
}

void SerialLink::raiseDtr()
{
    setModemLine(TIOCM_DTR);
}

void SerialLink::raiseRts()
{
    setModemLine(TIOCM_RTS);
}

void SerialLink::sendByte(char byte)
{
    if (m_state != PortState::Open)
        return;
    if (m_pending.isEmpty() && ::write(m_fd, &byte, 1) == 1)
        return;
    // The driver's queue is full (or the device is going): the byte keeps its
    // place and leaves when the line takes bytes again.
    m_pending += byte;
    m_writable->setEnabled(true);
}

void SerialLink::writePending()
{
    const ssize_t written = ::write(m_fd, m_pending.constData(), size_t(m_pending.size()));
    if (written > 0)
        m_pending.remove(0, written);
    if (written < 0 && errno != EAGAIN && errno != EINTR && hasHungUp(m_fd))
        return dropOnceReturned();
    m_writable->setEnabled(!m_pending.isEmpty());
}

void SerialLink::readAvailable()
{
    char buffer[512];
    const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
    if (got > 0) {
        m_input.append(buffer, std::min<qsizetype>(got, InputCap - m_input.size()));
    } else if (readSaysGone(m_fd, got)) {
        dropOnceReturned();
    }
}

// A hung-up device polls ready forever: stop listening now, and let it go
// once the notifier that saw it has returned.
void SerialLink::dropOnceReturned()
{
    m_readable->setEnabled(false);
    m_writable->setEnabled(false);
    QMetaObject::invokeMethod(this, &SerialLink::dropHungUpDevice, Qt::QueuedConnection);
}

void SerialLink::dropHungUpDevice()
{
    if (m_state != PortState::Open || !hasHungUp(m_fd))
        return; // closed, or opened afresh, since
    close();
    m_failure = OpenFailure::Unplugged;
    emit hungUp();
}

quint32 SerialLink::readReply()
{
    if (m_state != PortState::Open)
        return 0;
    qsizetype count = std::min<qsizetype>(m_input.size(), ReplySize);
    std::copy_n(m_input.constData(), count, m_reply.data());
    m_input.remove(0, count);
    QElapsedTimer clock;
    clock.start();
    while (count < ReplySize) {
        const qint64 left = TotalMs - clock.elapsed();
        const qint64 wait = std::min(left, count == 0 ? FirstByteMs - clock.elapsed() : qint64(ReplyGapMs));
        if (wait <= 0)
            break;
        pollfd p{m_fd, short(POLLIN | (m_pending.isEmpty() ? 0 : POLLOUT)), 0};
        const int ready = ::poll(&p, 1, int(wait));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        if (p.revents & POLLOUT)
            writePending();
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t got = ::read(m_fd, m_reply.data() + count, size_t(ReplySize - count));
        if (got > 0) {
            count += got;
        } else if (readSaysGone(m_fd, got)) {
            dropHungUpDevice();
            break;
        }
    }
    return quint32(count);
}
