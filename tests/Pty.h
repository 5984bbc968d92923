#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

// A pseudo-terminal pair: the code under test opens slavePath(), the test
// plays the far end on the master. Nothing it opens is inherited by a child.
class Pty
{
public:
    Pty() : m_master(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            m_slave = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    int master() const { return m_master; }
    QString slavePath() const { return m_slave; }
    dev_t device() const
    {
        struct stat node{};
        return ::stat(qPrintable(m_slave), &node) == 0 ? node.st_rdev : 0;
    }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(std::exchange(m_master, -1));
    }

    // Whatever arrives within `ms` milliseconds, stopping early once `expect`
    // bytes came; a Qt event loop of this thread keeps running meanwhile.
    QByteArray read(int ms, int expect = 1 << 20)
    {
        QByteArray got;
        char buffer[4096];
        QElapsedTimer clock;
        for (clock.start(); got.size() < expect && clock.elapsed() < ms;) {
            if (QCoreApplication::instance())
                QCoreApplication::processEvents();
            pollfd p{m_master, POLLIN, 0};
            const ssize_t n = poll(&p, 1, 5) > 0 ? ::read(m_master, buffer, sizeof buffer) : 0;
            if (n < 0)
                break; // EIO: no slave open any more
            got.append(buffer, n);
        }
        return got;
    }

    // The slave's line speed and flags, as the link left them (on Linux the
    // master reports them).
    bool lineIs2400_8N1Raw() const
    {
        termios t{};
        return tcgetattr(m_master, &t) == 0 && cfgetospeed(&t) == B2400 && cfgetispeed(&t) == B2400
            && (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & (PARENB | CSTOPB | CRTSCTS))
            && !(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP)) && !(t.c_lflag & (ICANON | ECHO | ISIG))
            && !(t.c_oflag & OPOST);
    }

private:
    int m_master;
    QString m_slave;
};
