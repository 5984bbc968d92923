#include "ConsoleTest.h"

#include <QAction>
#include <QFontInfo>
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

TEST_F(DrivePadTest, PadIsLaidOutAsDesigned)
{
    const QList<QPair<QToolButton *, QRect>> layout = {
        {form->SpeedButton1, {144, 16, 81, 81}},  {form->SpeedButton4, {64, 96, 81, 81}},
        {form->SpeedButton5, {144, 96, 81, 81}},  {form->SpeedButton3, {224, 96, 81, 81}},
        {form->SpeedButton2, {144, 176, 81, 81}}, {form->SpeedButton8, {64, 184, 71, 73}},
        {form->SpeedButton6, {320, 16, 41, 118}}, {form->SpeedButton7, {320, 136, 41, 121}}};
    for (const auto &[button, rect] : layout) {
        EXPECT_EQ(button->geometry(), rect) << button->accessibleName().toStdString();
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
        EXPECT_FALSE(button->isCheckable());
    }
    EXPECT_EQ(form->SpeedButton5->text(), QStringLiteral("Souris"));
    EXPECT_EQ(form->SpeedButton8->text(), QStringLiteral("Stop"));
    const QFontInfo caption(form->SpeedButton8->font());
    EXPECT_TRUE(caption.family().startsWith(QStringLiteral("Bookman Old Style"))
                || caption.family().startsWith(QStringLiteral("URW Bookman")))
        << caption.family().toStdString();
    EXPECT_EQ(caption.pixelSize(), 19);
    EXPECT_TRUE(caption.bold());
    for (QToolButton *button : pictures())
        EXPECT_FALSE(button->accessibleName().isEmpty());
}

TEST_F(DrivePadTest, MouseModeSendsEachButtonsByteOncePerClick)
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

    QTest::keyClicks(form.get(), QStringLiteral("exq+"));
    EXPECT_EQ(sent(0), QByteArray());
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(DrivePadTest, ModeButtonSendsStopBeforeEachSwitch)
{
    switchMode();
    EXPECT_EQ(form->SpeedButton5->text(), QStringLiteral("Clavier"));
    EXPECT_EQ(Console.mode, InputMode::Keyboard);
    EXPECT_EQ(sent(1), QByteArray("q"));

    for (QToolButton *button : pictures())
        click(button);
    EXPECT_EQ(sent(0), QByteArray()) << "picture buttons are dead in keyboard mode";
    click(form->SpeedButton8);
    EXPECT_EQ(sent(1), QByteArray("q"));

    switchMode();
    EXPECT_EQ(form->SpeedButton5->text(), QStringLiteral("Souris"));
    EXPECT_EQ(Console.mode, InputMode::Mouse);
    EXPECT_EQ(sent(1), QByteArray("q"));
}

TEST_F(DrivePadTest, KeyboardModeFollowsTheKeyTable)
{
    switchMode();
    ASSERT_EQ(sent(1), QByteArray("q"));

    QTest::keyClicks(form.get(), QStringLiteral("+-oledxsq"));
    EXPECT_EQ(sent(9), QByteArray("olol" "edxsq"));
    EXPECT_TRUE(messages.boxes.isEmpty());

    QTest::keyClick(form.get(), 'E', Qt::ShiftModifier);
    QTest::keyClicks(form.get(), QStringLiteral(" Q"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Backspace, Qt::Key_Tab})
        QTest::keyClick(form.get(), key);
    EXPECT_EQ(sent(0), QByteArray());
    EXPECT_EQ(messages.texts(), QStringList(7, KeyError));
    for (const MessageCatcher::Box &box : messages.boxes)
        EXPECT_EQ(box.title, QStringLiteral("Dravel"));

    messages.boxes.clear();
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Left, Qt::Key_F1, Qt::Key_Shift, Qt::Key_Control})
        QTest::keyClick(form.get(), key);
    EXPECT_EQ(sent(0), QByteArray());
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(DrivePadTest, ClosedPortChangesNothingOnScreen)
{
    form->Ferme1->trigger();
    click(form->SpeedButton1);
    switchMode();
    EXPECT_EQ(form->SpeedButton5->text(), QStringLiteral("Clavier"));
    QTest::keyClicks(form.get(), QStringLiteral("eZ"));
    EXPECT_EQ(messages.texts(), QStringList{KeyError});

    form->Active1->trigger();
    EXPECT_EQ(Console.mode, InputMode::Keyboard) << "reopening keeps the mode";
    EXPECT_EQ(sent(0), QByteArray());
    QTest::keyClick(form.get(), 'x');
    EXPECT_EQ(sent(1), QByteArray("x"));
}

} // namespace
