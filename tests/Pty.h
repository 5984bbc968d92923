#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// A pseudo-terminal pair: the code under test opens slavePath(), the test
// plays the far end on the master. Nothing it opens is inherited by a child.
class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    int master() const { return m_master; }
    QString slavePath() const { return m_slave; }
    dev_t device() const;
    void closeMaster();

    // Whatever arrives within `ms` milliseconds, stopping early once `expect`
    // bytes came; a Qt event loop of this thread keeps running meanwhile.
    QByteArray read(int ms, int expect = 1 << 20);
    // The slave's line speed and flags, as the link left them.
    bool lineIs2400_8N1Raw() const;

private:
    int m_master = -1;
    QString m_slave;
};
