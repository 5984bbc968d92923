#include "Desktop.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>

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

TEST_F(DriveTest, KeyboardStormLosesAndDoublesNothing)
{
    click(Mode);
    ASSERT_EQ(sent(1), QByteArray("q"));
    const QString keys = QStringLiteral("eoxlsdq+-");
    const QByteArray bytes("eoxlsdqol");
    QString typed;
    QByteArray expected;
    for (int i = 0; i < 5000; ++i) {
        const int k = (i * 7 + i / 9) % keys.size();
        typed += keys[k];
        expected += bytes[k];
    }
    // Typed as fast as xdotool and the X server deliver them, read meanwhile.
    QProcess typist;
    typist.start(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"),
                                             QStringLiteral("0"), typed});
    const QByteArray got = run.pty.read(180000, int(expected.size()));
    typist.waitForFinished(10000);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "first difference at byte "
                                 << std::mismatch(got.begin(), got.end(), expected.begin()).first - got.begin();
    EXPECT_EQ(sent(0), QByteArray());
}

} // namespace
