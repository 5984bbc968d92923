#include "RobotLine.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

RobotLine::RobotLine(const Options &options, QObject *parent)
    : QObject(parent), m_options(options)
{
    m_pacer.setTimerType(Qt::PreciseTimer);
    m_pacer.setSingleShot(true);
    connect(&m_pacer, &QTimer::timeout, this, &RobotLine::pace);
}

RobotLine::~RobotLine()
{
    delete m_notifier;
    delete m_room;
    delete m_closeNotifier;
    if (m_closes >= 0)
        ::close(m_closes);
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool RobotLine::open()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
    // Holding the slave open keeps the master from reporting a hang-up while
    // no console is connected, and raw mode keeps the line from echoing
    // before the console sets it up.
    m_slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    termios line{};
    tcgetattr(m_slave, &line);
    cfmakeraw(&line);
    cfsetspeed(&line, B2400);
    tcsetattr(m_slave, TCSANOW, &line);

    m_clock.start();
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &RobotLine::readMaster);
    m_room = new QSocketNotifier(m_master, QSocketNotifier::Write);
    m_room->setEnabled(false);
    connect(m_room, &QSocketNotifier::activated, this, [this] {
        m_room->setEnabled(false);
        pace();
    });

    // A console sets TIOCEXCL on the slave and clears it only when it closes
    // cleanly; since this line keeps the slave open, a console that died
    // would lock every later one out. Look again whenever anybody lets go.
    m_closes = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_closes >= 0 && inotify_add_watch(m_closes, ptsname(m_master), IN_CLOSE) >= 0) {
        m_closeNotifier = new QSocketNotifier(m_closes, QSocketNotifier::Read);
        connect(m_closeNotifier, &QSocketNotifier::activated, this, &RobotLine::releaseExclusiveHold);
    }
    return true;
}

void RobotLine::releaseExclusiveHold()
{
    char events[1024];
    while (::read(m_closes, events, sizeof events) > 0) {
    }
    // The console holds a flock() on the slave for as long as it holds the
    // line: a program that only peeked and closed leaves the hold in place.
    if (::flock(m_slave, LOCK_EX | LOCK_NB) != 0)
        return;
    ::flock(m_slave, LOCK_UN);
    ::ioctl(m_slave, TIOCNXCL);
}

void RobotLine::readMaster()
{
    char buffer[256];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n <= 0)
        return;
    for (ssize_t i = 0; i < n; ++i) {
        emit received(buffer[i], elapsedMs());
        if (buffer[i] == 'v' && m_options.answers) {
            const QByteArray reply = m_options.reply;
            QTimer::singleShot(m_options.turnaroundMs, Qt::PreciseTimer, this,
                               [this, reply] { send(reply); });
        }
    }
}

void RobotLine::send(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const double now = elapsedMs();
    if (m_outgoing.isEmpty())
        m_nextByteAt = std::max(m_nextByteAt, now);
    m_outgoing += bytes;
    if (!m_pacer.isActive())
        pace();
}

void RobotLine::pace()
{
    // Every byte that is due by now leaves; the next is scheduled for its
    // own moment, so the average rate is exact whatever the timer's grain.
    const double now = elapsedMs();
    qsizetype due = 0;
    while (due < m_outgoing.size() && m_nextByteAt + due * ByteMs <= now)
        ++due;
    bool full = false;
    if (due > 0) {
        const ssize_t written = ::write(m_master, m_outgoing.constData(), size_t(due));
        if (written > 0) {
            m_outgoing.remove(0, written);
            m_nextByteAt += double(written) * ByteMs;
        }
        full = written < due;
    }
    if (m_outgoing.isEmpty())
        return;
    if (full) // the console is not reading: wait for room, not in a loop
        m_room->setEnabled(true);
    else
        m_pacer.start(std::max(0, int(std::ceil(m_nextByteAt - now))));
}
