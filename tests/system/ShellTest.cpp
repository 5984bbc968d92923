#include "Desktop.h"

#include <gtest/gtest.h>

namespace {

TEST(ShellTest, OpensThePortAtStartUpAndQuitterReleasesIt)
{
    ConsoleOnPty run;
    ASSERT_TRUE(run.console.waitForWindow());
    EXPECT_TRUE(waitUntil([&] { return run.pty.lineIs2400_8N1Raw(); }))
        << "the port is not open at 2400 8N1";
    EXPECT_TRUE(run.console.holdsLockFile());

    run.console.chooseQuitter();
    ASSERT_TRUE(run.console.waitForExit());
    EXPECT_FALSE(run.console.crashed());
    EXPECT_EQ(run.console.exitCode(), 0);
    EXPECT_FALSE(run.console.holdsLockFile()) << "the port was not closed before exit";
}

TEST(ShellTest, CloseBoxReleasesThePort)
{
    ConsoleOnPty run;
    ASSERT_TRUE(run.console.waitForWindow());
    ASSERT_TRUE(waitUntil([&] { return run.console.holdsLockFile(); }));

    run.console.closeBox();
    ASSERT_TRUE(run.console.waitForExit());
    EXPECT_EQ(run.console.exitCode(), 0);
    EXPECT_FALSE(run.console.holdsLockFile());
}

TEST(ShellTest, StartsWithoutAnyPort)
{
    ConsoleProcess console(QStringLiteral("/dev/null")); // not a serial device
    ASSERT_TRUE(console.waitForWindow());
    EXPECT_EQ(console.geometry().topLeft(), QPoint(197, 121));
    EXPECT_EQ(console.geometry().width(), 392);
    EXPECT_FALSE(console.holdsLockFile());
    console.closeBox();
    ASSERT_TRUE(console.waitForExit());
    EXPECT_EQ(console.exitCode(), 0);
}

} // namespace
