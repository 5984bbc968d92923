#include "ProcessUsage.h"
#include "Pty.h"
#include "SerialLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <termios.h>
#include <thread>

namespace {

class SerialLinkTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(pty.slavePath().isEmpty()); }
    Pty pty;
    SerialLink link;
};

qint64 timedRead(SerialLink &link, quint32 &count)
{
    QElapsedTimer clock;
    clock.start();
    count = link.readReply();
    return clock.elapsed();
}

TEST_F(SerialLinkTest, FollowsTheStateTable)
{
    EXPECT_EQ(link.state(), PortState::None);
    link.close();
    EXPECT_EQ(link.state(), PortState::None);

    EXPECT_FALSE(link.open(QStringLiteral("/nonexistent/port")));
    EXPECT_EQ(link.state(), PortState::Failed);
    link.raiseDtr();
    link.raiseRts();
    link.sendByte('e');
    EXPECT_EQ(link.state(), PortState::Failed);

    EXPECT_TRUE(link.open(pty.slavePath()));
    EXPECT_EQ(link.state(), PortState::Open);
    link.raiseDtr(); // a pty refuses modem lines: harmless
    link.raiseRts();
    EXPECT_EQ(link.state(), PortState::Open);
    // Reopening releases the held port first, so its own lock cannot fail it.
    EXPECT_TRUE(link.open(pty.slavePath()));
    EXPECT_EQ(link.state(), PortState::Open);

    link.close();
    EXPECT_EQ(link.state(), PortState::None);
    link.close();
    EXPECT_EQ(link.state(), PortState::None);
}

TEST_F(SerialLinkTest, HoldsThePortExclusively)
{
    ASSERT_TRUE(link.open(pty.slavePath()));
    SerialLink other;
    EXPECT_FALSE(other.open(pty.slavePath()));
    EXPECT_EQ(other.state(), PortState::Failed);
    link.close();
    EXPECT_TRUE(other.open(pty.slavePath()));
}

TEST_F(SerialLinkTest, EveryOpenAppliesTheLineSettings)
{
    ASSERT_TRUE(link.open(pty.slavePath()));
    EXPECT_TRUE(pty.lineIs2400_8N1Raw());
    link.close();

    // Another program leaves the line at 9600, 7E1 with echo.
    termios t{};
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    cfsetspeed(&t, B9600);
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS7 | PARENB;
    t.c_lflag |= ECHO | ICANON;
    ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &t), 0);
    ASSERT_FALSE(pty.lineIs2400_8N1Raw());

    ASSERT_TRUE(link.open(pty.slavePath()));
    EXPECT_TRUE(pty.lineIs2400_8N1Raw());
}

TEST_F(SerialLinkTest, SendsEachByteOnceAndOnlyWhenOpen)
{
    link.sendByte('e');
    ASSERT_TRUE(link.open(pty.slavePath()));
    link.sendByte('q');
    link.sendByte('q');
    link.sendByte('\xff');
    EXPECT_EQ(pty.read(1000, 3), QByteArray("qq\xff"));
    link.close();
    link.sendByte('x');
    EXPECT_TRUE(pty.read(100).isEmpty());
}

TEST_F(SerialLinkTest, ReadIsBoundedAndKeepsWhatItDidNotTake)
{
    quint32 count = 1;
    EXPECT_LT(timedRead(link, count), 50) << "a read on a closed link returns at once";
    EXPECT_EQ(count, 0u);

    ASSERT_TRUE(link.open(pty.slavePath()));
    const qint64 silent = timedRead(link, count);
    EXPECT_EQ(count, 0u);
    EXPECT_GE(silent, SerialLink::FirstByteMs - 20);
    EXPECT_LT(silent, SerialLink::FirstByteMs + 1000);

    pty.write("Robot 1.0");
    EXPECT_LT(timedRead(link, count), SerialLink::FirstByteMs);
    EXPECT_EQ(QByteArray(link.replyBuffer().data(), int(count)), QByteArray("Robot 1.0"));

    QByteArray full(SerialLink::ReplySize, 'a');
    full[SerialLink::ReplySize - 1] = 'z';
    pty.write(full + "!");
    EXPECT_EQ(link.readReply(), quint32(SerialLink::ReplySize));
    EXPECT_EQ(QByteArray(link.replyBuffer().data(), SerialLink::ReplySize), full);
    EXPECT_EQ(link.readReply(), 1u);
    EXPECT_EQ(link.replyBuffer()[0], '!');
}

TEST_F(SerialLinkTest, ReadFollowsAPacedReplyAndCapsATrickle)
{
    ASSERT_TRUE(link.open(pty.slavePath()));
    const int master = pty.master();
    // Twenty bytes at 2400 baud after a 10 ms turnaround: all of them arrive.
    std::thread robot([master] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (char c : QByteArray("Robot simule 1.0 ok!")) {
            (void)::write(master, &c, 1);
            std::this_thread::sleep_for(std::chrono::microseconds(4167));
        }
    });
    quint32 count = 0;
    timedRead(link, count);
    robot.join();
    EXPECT_EQ(QByteArray(link.replyBuffer().data(), int(count)), QByteArray("Robot simule 1.0 ok!"));

    // A byte every 30 ms never leaves a 50 ms gap: the total bound ends it.
    std::atomic<bool> stop{false};
    std::thread chatter([master, &stop] {
        while (!stop) {
            (void)::write(master, "x", 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    });
    const qint64 took = timedRead(link, count);
    stop = true;
    chatter.join();
    EXPECT_GE(took, SerialLink::TotalMs - 20);
    EXPECT_LT(took, SerialLink::TotalMs + 1000);
    EXPECT_GT(count, 0u);
    EXPECT_LT(count, quint32(SerialLink::ReplySize));
}

TEST_F(SerialLinkTest, VanishedDeviceStaysOpenSilentAndIdle)
{
    ASSERT_TRUE(link.open(pty.slavePath()));
    pty.closeMaster();
    link.sendByte('e');
    quint32 count = 1;
    EXPECT_LT(timedRead(link, count), SerialLink::FirstByteMs + 1000);
    EXPECT_EQ(count, 0u);

    const double before = cpuSeconds();
    QTest::qWait(500);
    EXPECT_LT(cpuSeconds() - before, 0.1) << "the link keeps polling a dead device";
    link.sendByte('e');
    EXPECT_EQ(link.state(), PortState::Open);
    link.close();
    EXPECT_EQ(link.state(), PortState::None);
}

} // namespace
