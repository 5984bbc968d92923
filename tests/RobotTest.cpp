#include "RobotLine.h"
#include "RobotModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

TEST(RobotModel, StepsItsSpeedWithinBoundsAndCountsUnknownBytes)
{
    RobotModel robot;
    for (char byte : QByteArray(10, 'o'))
        robot.apply(byte);
    EXPECT_EQ(robot.speedStep(), RobotModel::MaxSpeedStep);
    for (char byte : QByteArray(10, 'l'))
        robot.apply(byte);
    EXPECT_EQ(robot.speedStep(), 1);
    EXPECT_FALSE(robot.apply('E'));
    EXPECT_TRUE(robot.apply('v'));
    EXPECT_EQ(robot.unknownBytes(), 1);
}

// The console's side of the line is the pty's slave, opened here directly.
TEST(RobotLine, AnswersVAt2400BaudAndTakesANewConsoleAfterOneDied)
{
    RobotLine line({10, QByteArray(40, 'r'), true});
    QByteArray got;
    QObject::connect(&line, &RobotLine::received, [&got](char byte, double) { got += byte; });
    ASSERT_TRUE(line.open());
    const int port = ::open(qPrintable(line.slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_EQ(::write(port, "Zev", 3), 3);
    QList<qint64> times;
    QElapsedTimer clock;
    for (clock.start(); clock.elapsed() < 600;) { // the reply takes 177 ms
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        for (char byte; ::read(port, &byte, 1) == 1;)
            times << clock.nsecsElapsed() / 1000;
    }
    EXPECT_EQ(got, QByteArray("Zev"));
    ASSERT_EQ(times.size(), 40) << "one reply, to \"v\" only";
    // Never faster than the wire; slower only by what a loaded machine stalls.
    const double spanMs = (times.last() - times.first()) / 1000.0;
    EXPECT_GT(spanMs, 39 * RobotLine::ByteMs - 5) << "40 bytes should span 39 byte-times";
    EXPECT_LT(spanMs, 39 * RobotLine::ByteMs + 150);

    // A console holds the line exclusively (TIOCEXCL and flock); a program
    // that peeks at the port and closes it must leave that hold in place.
    // The console then dies without letting go: the line keeps the slave
    // open, so the hold would outlive it and lock every later console out.
    const int probe = ::open(qPrintable(line.slavePath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::ioctl(port, TIOCEXCL), 0);
    ASSERT_EQ(::flock(port, LOCK_EX), 0);
    const auto exclusiveAfterEvents = [&] {
        int exclusive = 1;
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return ::ioctl(probe, TIOCGEXCL, &exclusive) == 0 && exclusive;
    };
    ::close(::open(qPrintable(line.slavePath()), O_RDONLY | O_NOCTTY | O_CLOEXEC)); // the peek
    EXPECT_TRUE(exclusiveAfterEvents()) << "a peek let the console's hold go";
    ::close(port);
    EXPECT_FALSE(exclusiveAfterEvents()) << "the next console would get EBUSY";
    ::close(probe);
}

} // namespace
