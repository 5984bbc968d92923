#include "PortName.h"
#include "Pty.h"
#include "SerialLink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

class LinkTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(pty.slavePath().isEmpty()); }
    // The count received, and how long the read took.
    qint64 timedRead(quint32 &count)
    {
        QElapsedTimer clock;
        clock.start();
        count = link.readReply();
        return clock.elapsed();
    }
    QByteArray reply(quint32 count) const { return QByteArray(link.replyBuffer().data(), int(count)); }

    Pty pty;
    SerialLink link;
};

TEST_F(LinkTest, HoldsThePortByEveryConventionAndHonoursThemAll)
{
    EXPECT_FALSE(link.open(QStringLiteral("/nonexistent/port")));
    EXPECT_EQ(link.state(), PortState::Failed);
    ASSERT_TRUE(link.open(pty.slavePath()));
    // Reopening releases the held port first, so its own hold cannot fail it.
    ASSERT_TRUE(link.open(pty.slavePath()));
    SerialLink other;
    EXPECT_FALSE(other.open(pty.slavePath())) << "two links on one port";
    link.close();

    // A program that holds the port with flock() alone, as picocom does.
    const int holder = ::open(qPrintable(pty.slavePath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_FALSE(link.open(pty.slavePath()));
    ::flock(holder, LOCK_UN);
    ASSERT_TRUE(link.open(pty.slavePath()));
    EXPECT_NE(::flock(holder, LOCK_EX | LOCK_NB), 0) << "the link takes no flock of its own";
    ::close(holder);
    link.close();

    // Lock files as minicom and cu write them (ten ASCII digits), and the old
    // binary kind: honoured and never deleted while their owner lives.
    if (::access("/var/lock", W_OK) != 0)
        GTEST_SKIP() << "/var/lock is not writable here";
    QFile lock(QStringLiteral("/var/lock/LCK..") + pty.slavePath().mid(5).replace('/', '_'));
    const qint32 live = ::getppid();
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const QByteArray binary(reinterpret_cast<const char *>(&live), sizeof live);
    for (const QByteArray &content : {QByteArray::number(live).rightJustified(10) + '\n', binary,
                                      QByteArray::number(dead).rightJustified(10) + '\n'}) {
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(content);
        lock.close();
        const bool stale = content.trimmed() == QByteArray::number(dead);
        EXPECT_EQ(link.open(pty.slavePath()), stale) << content.toHex().constData();
        link.close();
        ASSERT_EQ(lock.open(QIODevice::ReadOnly), !stale) << "a live process's lock file was deleted";
        EXPECT_TRUE(stale || lock.readAll() == content) << "a live process's lock file was changed";
        lock.close();
        lock.remove();
    }
}

TEST(PortName, Com1IsTheAdministratorsComOneWhereItExistsElseTheFirstUart)
{
    QTemporaryDir devices;
    EXPECT_EQ(devicePathFor(QStringLiteral("Com1"), devices.path()), devices.filePath(QStringLiteral("ttyS0")));
    ASSERT_TRUE(QFile(devices.filePath(QStringLiteral("ttyUSB0"))).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(devices.filePath(QStringLiteral("ttyUSB0")), devices.filePath(QStringLiteral("com1"))));
    EXPECT_EQ(devicePathFor(QStringLiteral("Com1"), devices.path()), devices.filePath(QStringLiteral("com1")));
}

TEST_F(LinkTest, EveryOpenAppliesTheLineSettings)
{
    ASSERT_TRUE(link.open(pty.slavePath()));
    EXPECT_TRUE(pty.lineIs2400_8N1Raw());
    link.close();

    // Another program leaves the line at 9600, two stop bits, hardware flow
    // control and echo. (A pty keeps no data bits or parity: it is always 8N.)
    termios t{};
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    cfsetspeed(&t, B9600);
    t.c_cflag |= CSTOPB | CRTSCTS;
    t.c_lflag |= ECHO | ICANON;
    ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &t), 0);
    ASSERT_TRUE(link.open(pty.slavePath()));
    EXPECT_TRUE(pty.lineIs2400_8N1Raw());
}

TEST_F(LinkTest, SendsEveryByteOnceInOrderThroughAStalledLine)
{
    link.sendByte('e');
    ASSERT_TRUE(link.open(pty.slavePath()));
    // Nobody reads the far end: the driver's queue fills (about 20 KB on a
    // pty) and the rest must wait their turn, not be dropped.
    QByteArray typed;
    for (int i = 0; i < 30000; ++i)
        typed += "exdsol"[i % 6];
    typed += 'q';
    for (char byte : typed)
        link.sendByte(byte);
    EXPECT_EQ(link.state(), PortState::Open);
    const QByteArray got = pty.read(10000, int(typed.size()));
    EXPECT_EQ(got.size(), typed.size());
    EXPECT_TRUE(got == typed) << "bytes lost, doubled or out of order";

    link.close();
    link.sendByte('x');
    EXPECT_TRUE(pty.read(100).isEmpty());
}

TEST_F(LinkTest, ReadIsBoundedAndKeepsWhatItDidNotTake)
{
    quint32 count = 1;
    EXPECT_LT(timedRead(count), 50) << "a read on a closed link returns at once";
    EXPECT_EQ(count, 0u);

    ASSERT_TRUE(link.open(pty.slavePath()));
    const qint64 silent = timedRead(count);
    EXPECT_EQ(count, 0u);
    EXPECT_GE(silent, SerialLink::FirstByteMs - 20);
    EXPECT_LT(silent, 900) << "no reply must give up within 0.9 s";

    QByteArray full(SerialLink::ReplySize, 'a');
    full[SerialLink::ReplySize - 1] = 'z';
    ASSERT_EQ(::write(pty.master(), (full + "!").constData(), 200), 200);
    EXPECT_EQ(reply(link.readReply()), full);
    EXPECT_EQ(reply(link.readReply()), QByteArray("!"));

    const int master = pty.master();
    // A byte every 30 ms never leaves a 50 ms gap: the total bound ends it.
    std::atomic<bool> stop{false};
    std::thread chatter([master, &stop] {
        while (!stop) {
            [[maybe_unused]] const ssize_t written = ::write(master, "x", 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    });
    const qint64 took = timedRead(count);
    stop = true;
    chatter.join();
    EXPECT_GE(took, SerialLink::TotalMs - 20);
    EXPECT_LT(took, 2500) << "a trickling robot must be cut off within 2.5 s";
    EXPECT_LT(count, quint32(SerialLink::ReplySize));
}

} // namespace
