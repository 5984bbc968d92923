#include "RobotLine.h"
#include "RobotModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(RobotModel, DrivesTurnsAndStepsItsSpeedLikeAMiniSumo)
{
    RobotModel robot;
    EXPECT_TRUE(robot.apply('e'));
    robot.advance(1.0);
    EXPECT_NEAR(robot.y(), robot.speedCmPerSecond(), 1e-9);
    EXPECT_NEAR(robot.x(), 0, 1e-9);

    const double before = robot.y();
    robot.apply('o');
    robot.apply('x');
    robot.advance(0.5);
    EXPECT_NEAR(robot.y(), before - 0.5 * robot.speedCmPerSecond(), 1e-9);

    robot.apply('d');
    robot.advance(90.0 / robot.turnDegreesPerSecond());
    EXPECT_NEAR(robot.heading(), 90, 1e-6);
    robot.apply('e');
    robot.advance(0.25);
    EXPECT_GT(robot.x(), 0) << "forward follows the heading";
    robot.apply('s');
    robot.advance(180.0 / robot.turnDegreesPerSecond());
    EXPECT_NEAR(robot.heading(), 270, 1e-6);

    robot.apply('q');
    const double x = robot.x(), y = robot.y();
    robot.advance(10);
    EXPECT_EQ(robot.x(), x);
    EXPECT_EQ(robot.y(), y);

    for (int i = 0; i < 10; ++i)
        robot.apply('o');
    EXPECT_EQ(robot.speedStep(), RobotModel::MaxSpeedStep);
    for (int i = 0; i < 10; ++i)
        robot.apply('l');
    EXPECT_EQ(robot.speedStep(), 1);

    EXPECT_FALSE(robot.apply('E'));
    EXPECT_FALSE(robot.apply('\0'));
    EXPECT_TRUE(robot.apply('v'));
    EXPECT_EQ(robot.unknownBytes(), 2);
    EXPECT_EQ(robot.motion(), RobotModel::Motion::Stopped);
}

TEST(RobotModel, LeavesTheRingButNotTheArenaAndRecentres)
{
    RobotModel robot;
    robot.apply('e');
    robot.advance(60);
    EXPECT_FALSE(robot.onRing());
    EXPECT_EQ(robot.y(), RobotModel::ArenaHalfWidthCm);
    robot.recentre();
    EXPECT_TRUE(robot.onRing());
    EXPECT_EQ(robot.motion(), RobotModel::Motion::Stopped);
    EXPECT_EQ(robot.y(), 0);
}

// The console's side of the line is the pty's slave, opened here directly.
class RobotLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        options.reply = QByteArray(40, 'r');
        line = std::make_unique<RobotLine>(options);
        ASSERT_TRUE(line->open());
        port = ::open(qPrintable(line->slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(port, 0);
        QObject::connect(line.get(), &RobotLine::received, [this](char byte, double) { got += byte; });
    }
    void TearDown() override { ::close(port); }
    void send(const char *bytes) { ASSERT_EQ(::write(port, bytes, strlen(bytes)), ssize_t(strlen(bytes))); }
    // Runs the robot's event loop while collecting `count` bytes at the console side.
    QList<qint64> arrivals(int count, int timeoutMs = 3000)
    {
        QList<qint64> times;
        QElapsedTimer clock;
        clock.start();
        while (times.size() < count && clock.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            char byte;
            while (::read(port, &byte, 1) == 1)
                times << clock.nsecsElapsed() / 1000;
        }
        return times;
    }

    RobotLine::Options options;
    std::unique_ptr<RobotLine> line;
    int port = -1;
    QByteArray got;
};

TEST_F(RobotLineTest, RepliesToVAtThePaceOf2400Baud)
{
    send("ev");
    const QList<qint64> times = arrivals(40);
    ASSERT_EQ(times.size(), 40);
    EXPECT_EQ(got, QByteArray("ev"));
    const double spanMs = (times.last() - times.first()) / 1000.0;
    EXPECT_NEAR(spanMs, 39 * RobotLine::ByteMs, 25) << "40 bytes should span 39 byte-times";
    EXPECT_GT(spanMs, 39 * RobotLine::ByteMs - 5);
}

TEST_F(RobotLineTest, CountsUnknownBytesWithoutReplying)
{
    send("Z\xff");
    EXPECT_TRUE(arrivals(1, 300).isEmpty());
    EXPECT_EQ(got, QByteArray("Z\xff"));
}

} // namespace
