#include "Pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
        m_slave = QString::fromLocal8Bit(ptsname(m_master));
}

Pty::~Pty()
{
    closeMaster();
}

dev_t Pty::device() const
{
    struct stat node{};
    return ::stat(qPrintable(m_slave), &node) == 0 ? node.st_rdev : 0;
}

void Pty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

QByteArray Pty::read(int ms, int expect)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < expect && clock.elapsed() < ms) {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, 5) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break; // EIO: no slave open any more
        got.append(buf, n);
    }
    return got;
}

bool Pty::lineIs2400_8N1Raw() const
{
    // On Linux the master reports the slave's settings.
    termios t{};
    if (tcgetattr(m_master, &t) != 0)
        return false;
    return cfgetospeed(&t) == B2400 && cfgetispeed(&t) == B2400
        && (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & (PARENB | CSTOPB | CRTSCTS))
        && !(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP)) && !(t.c_lflag & (ICANON | ECHO | ISIG))
        && !(t.c_oflag & OPOST);
}
