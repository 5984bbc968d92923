#include "Desktop.h"

#include <gtest/gtest.h>

namespace {

// Centres of the pad's buttons, in client-area pixels.
const QPoint Up{184, 56}, Down{184, 216}, Right{264, 136}, Left{104, 136};
const QPoint Plus{340, 75}, Minus{340, 196}, Mode{184, 136}, Stop{99, 220};

class DriveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(run.console.waitForWindow());
        ASSERT_TRUE(waitUntil([&] { return run.pty.lineIs2400_8N1Raw(); }));
    }
    void click(QPoint p) { run.console.clickClient(p.x(), p.y()); }
    QByteArray sent(int expect) { return run.pty.read(expect == 0 ? 200 : 5000, expect); }

    ConsoleOnPty run;
};

TEST_F(DriveTest, RealClicksAndKeysReachThePortInOrder)
{
    for (QPoint p : {Up, Down, Right, Left, Plus, Minus, Stop, Up})
        click(p);
    EXPECT_EQ(sent(8), QByteArray("exdsolqe"));

    run.console.type(QStringLiteral("edq"));
    EXPECT_EQ(sent(0), QByteArray()) << "keys are ignored in mouse mode";

    click(Mode);
    EXPECT_EQ(sent(1), QByteArray("q"));
    run.console.type(QStringLiteral("e+x-sdoql"));
    EXPECT_EQ(sent(9), QByteArray("eoxlsdoql"));
    run.console.type(QStringLiteral("E"));
    EXPECT_TRUE(run.console.dismissMessage()) << "no \"Erreur de Touche Clavier\" box";
    run.console.type(QStringLiteral("x"));
    EXPECT_EQ(sent(1), QByteArray("x"));
    for (QPoint p : {Up, Down, Right, Left, Plus, Minus})
        click(p);
    click(Stop);
    EXPECT_EQ(sent(1), QByteArray("q")) << "only Stop works in keyboard mode";

    click(Mode);
    click(Left);
    EXPECT_EQ(sent(2), QByteArray("qs"));

    run.console.chooseQuitter();
    ASSERT_TRUE(run.console.waitForExit());
    EXPECT_EQ(run.console.exitCode(), 0);
}

} // namespace
