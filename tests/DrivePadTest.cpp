#include "ConsoleTest.h"

#include <QAction>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>

namespace {

const QString KeyError = QStringLiteral("Erreur de Touche Clavier");

class DrivePadTest : public ConsoleTest
{
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        createOnPty();
    }
    QList<QToolButton *> pictures() const
    {
        return {form->SpeedButton1, form->SpeedButton2, form->SpeedButton3,
                form->SpeedButton4, form->SpeedButton6, form->SpeedButton7};
    }
    void click(QToolButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void switchMode() { click(form->SpeedButton5); }
};

TEST_F(DrivePadTest, MouseModeSendsEachButtonsByteOncePerCompletedClick)
{
    for (QToolButton *button : pictures())
        click(button);
    click(form->SpeedButton8);
    click(form->SpeedButton8);
    EXPECT_EQ(sent(8), QByteArray("exdsolqq"));

    // Pressing alone sends nothing; release over the button does.
    QTest::mousePress(form->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(sent(0), QByteArray());
    QTest::mouseRelease(form->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(sent(1), QByteArray("e"));
    // A press that slides off before the release is no click.
    const QPoint off(-30, -30);
    QTest::mousePress(form->SpeedButton8, Qt::LeftButton);
    QTest::mouseMove(form->SpeedButton8, off);
    QTest::mouseRelease(form->SpeedButton8, Qt::LeftButton, {}, off);
    EXPECT_EQ(sent(0), QByteArray());

    QTest::keyClicks(form.get(), QStringLiteral("exq+E"));
    EXPECT_EQ(sent(0), QByteArray()) << "keys are ignored in mouse mode";
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(DrivePadTest, ModeButtonSendsStopAtEachSwitchAndKeepsItsModeAcrossFerme)
{
    switchMode();
    EXPECT_EQ(form->SpeedButton5->text(), QStringLiteral("Clavier"));
    EXPECT_EQ(sent(1), QByteArray("q"));
    for (QToolButton *button : pictures())
        click(button);
    EXPECT_EQ(sent(0), QByteArray()) << "picture buttons are dead in keyboard mode";
    click(form->SpeedButton8);
    EXPECT_EQ(sent(1), QByteArray("q"));

    // With the port closed the screen behaves the same; the mode survives.
    form->Ferme1->trigger();
    switchMode();
    switchMode();
    QTest::keyClicks(form.get(), QStringLiteral("eZ"));
    EXPECT_EQ(messages.texts, QStringList{KeyError});
    form->Active1->trigger();
    EXPECT_EQ(sent(0), QByteArray());
    QTest::keyClick(form.get(), 'x');
    EXPECT_EQ(sent(1), QByteArray("x"));

    switchMode();
    EXPECT_EQ(form->SpeedButton5->text(), QStringLiteral("Souris"));
    EXPECT_EQ(sent(1), QByteArray("q"));
    click(form->SpeedButton1);
    EXPECT_EQ(sent(1), QByteArray("e"));
}

TEST_F(DrivePadTest, KeyboardModeFollowsTheKeyTableExactly)
{
    switchMode();
    ASSERT_EQ(sent(1), QByteArray("q"));
    QTest::keyClicks(form.get(), QStringLiteral("+-oledxsq"));
    EXPECT_EQ(sent(9), QByteArray("ololedxsq"));
    EXPECT_TRUE(messages.texts.isEmpty());

    // Case counts, and so does every character outside the table.
    QTest::keyClick(form.get(), 'E', Qt::ShiftModifier);
    QTest::keyClicks(form.get(), QStringLiteral(" Q"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Backspace})
        QTest::keyClick(form.get(), key);
    // "^" then "e" on a French keyboard types "ê", which is no command.
    QTest::sendKeyEvent(QTest::Click, form.get(), Qt::Key_Dead_Circumflex, QString(), Qt::NoModifier);
    QTest::keyClick(form.get(), 'e');
    EXPECT_EQ(sent(0), QByteArray());
    EXPECT_EQ(messages.texts, QStringList(7, KeyError));

    // Keys that type nothing send nothing and show nothing; F10 opens the menu bar.
    messages.texts.clear();
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_F1, Qt::Key_Shift, Qt::Key_Control})
        QTest::keyClick(form.get(), key);
    EXPECT_EQ(sent(0), QByteArray());
    EXPECT_TRUE(messages.texts.isEmpty());
    QTest::keyClick(form.get(), Qt::Key_F10);
    EXPECT_EQ(form->MainMenu1->activeAction(), form->PortSrie1->menuAction());
}

} // namespace
