#include "Desktop.h"

#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// dravel-robot --headless, with the console's side of its line opened here.
class HeadlessRobot : public ::testing::Test
{
protected:
    void start(const QStringList &options)
    {
        robot.start(QStringLiteral(ROBOT_BINARY), QStringList{QStringLiteral("--headless")} + options);
        ASSERT_TRUE(robot.waitForStarted());
        ASSERT_TRUE(robot.waitForReadyRead(5000));
        const QString path = QString::fromLocal8Bit(robot.readLine()).trimmed();
        port = ::open(qPrintable(path), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(port, 0) << path.toStdString();
    }
    void TearDown() override
    {
        if (port >= 0)
            ::close(port);
        if (robot.state() != QProcess::NotRunning) {
            robot.kill();
            robot.waitForFinished();
        }
    }
    // Bytes arriving within `ms`, each with its arrival time since the call.
    QByteArray receive(int ms, QList<qint64> *times = nullptr)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            pollfd p{port, POLLIN, 0};
            if (poll(&p, 1, 10) > 0) {
                char byte;
                while (::read(port, &byte, 1) == 1) {
                    got += byte;
                    if (times)
                        *times << clock.elapsed();
                }
            }
        }
        return got;
    }

    QProcess robot;
    int port = -1;
};

TEST_F(HeadlessRobot, AnswersAfterItsTurnaroundAndLogsEveryByte)
{
    start({QStringLiteral("--reply"), QStringLiteral("Salut é"), QStringLiteral("--turnaround"),
           QStringLiteral("150")});
    ASSERT_EQ(::write(port, "eZv", 3), 3);
    QList<qint64> times;
    EXPECT_EQ(receive(600, &times), QByteArray("Salut \xe9"));
    ASSERT_FALSE(times.isEmpty());
    EXPECT_GE(times.first(), 140);

    ASSERT_TRUE(waitUntil([&] { robot.waitForReadyRead(10); return robot.canReadLine(); }, 3000));
    QStringList lines;
    while (robot.waitForReadyRead(200) || robot.canReadLine())
        while (robot.canReadLine())
            lines << QString::fromLatin1(robot.readLine()).simplified().section(' ', 1);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("65 e"), QStringLiteral("5a Z"), QStringLiteral("76 v")}));

    robot.closeWriteChannel(); // end of input stops it
    ASSERT_TRUE(robot.waitForFinished(5000));
    EXPECT_EQ(robot.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(robot.exitCode(), 0);
}

TEST_F(HeadlessRobot, StaysSilentWhenToldAndStopsOnSigterm)
{
    start({QStringLiteral("--no-reply")});
    ASSERT_EQ(::write(port, "v", 1), 1);
    EXPECT_EQ(receive(300), QByteArray());
    robot.terminate();
    ASSERT_TRUE(robot.waitForFinished(5000));
    EXPECT_EQ(robot.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(robot.exitCode(), 0);
}

} // namespace
