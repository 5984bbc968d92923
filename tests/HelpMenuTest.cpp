#include "ConsoleTest.h"
#include "VersionReply.h"

#include <QAction>
#include <QElapsedTimer>
#include <QToolButton>

#include <chrono>
#include <thread>

namespace {

const QString OwnVersion = QStringLiteral("Kestrin : Version 1.0");

// The robot's side of one version exchange: waits for "v", then answers
// after `turnaroundMs`, one byte every 4.17 ms as a 2400-baud line would.
class Robot
{
public:
    Robot(Pty &pty, QByteArray reply, int turnaroundMs = 10)
        : m_thread([&pty, reply, turnaroundMs, this] {
              m_query = pty.read(3000, 1);
              std::this_thread::sleep_for(std::chrono::milliseconds(turnaroundMs));
              for (char byte : reply) {
                  pty.write(QByteArray(1, byte));
                  std::this_thread::sleep_for(std::chrono::microseconds(4167));
              }
          })
    {
    }
    ~Robot() { m_thread.join(); }
    QByteArray query()
    {
        m_thread.join();
        m_thread = std::thread([] {});
        return m_query;
    }

private:
    QByteArray m_query;
    std::thread m_thread;
};

class HelpMenuTest : public ConsoleTest
{
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        createOnPty();
    }
    // Chooses "Version" with the robot answering `reply`; returns the box's text.
    QString version(const QByteArray &reply, int turnaroundMs = 10)
    {
        Robot robot(pty, reply, turnaroundMs);
        messages.boxes.clear();
        form->Version1->trigger();
        EXPECT_EQ(robot.query(), QByteArray("v"));
        return messages.boxes.size() == 1 ? messages.boxes[0].text : QStringLiteral("<no single box>");
    }
};

TEST_F(HelpMenuTest, CommandeShowsItsNoticeOnly)
{
    form->Commande1->trigger();
    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("Pas d'aide disponible."));
    EXPECT_EQ(messages.boxes[0].title, QStringLiteral("Dravel"));
    EXPECT_EQ(sent(0), QByteArray());
}

TEST_F(HelpMenuTest, ShowsTheRobotsReplyExactly)
{
    EXPECT_EQ(version("Robot 1.0"), QStringLiteral("Robot 1.0"));
    EXPECT_TRUE(messages.boxes[0].plainText);
    EXPECT_EQ(version(QByteArray("abc\0def", 7)), QStringLiteral("abc"));
    EXPECT_EQ(version("Robot simul\xe9 \x80 \x9c"), QStringLiteral("Robot simulé € œ"));
    EXPECT_EQ(version("<b>x</b><img src=a>"), QStringLiteral("<b>x</b><img src=a>"));
    EXPECT_TRUE(messages.boxes[0].plainText);

    form->SpeedButton5->click(); // keyboard mode changes nothing here
    ASSERT_EQ(sent(1), QByteArray("q"));
    EXPECT_EQ(version("Robot 1.0"), QStringLiteral("Robot 1.0"));
}

TEST_F(HelpMenuTest, FullReplyLeavesTheRestForTheNextExchange)
{
    QByteArray full(199, 'a');
    full[198] = 'z';
    EXPECT_EQ(version(full + "!"), QString::fromLatin1(full));
    EXPECT_EQ(version(""), QStringLiteral("!"));
}

TEST_F(HelpMenuTest, SilenceShowsOwnVersionAndALateReplyStartsTheNext)
{
    EXPECT_EQ(version("late", 800), OwnVersion); // the reply arrives after the read ends
    EXPECT_EQ(version("next"), QStringLiteral("latenext"));
}

TEST_F(HelpMenuTest, ClosedPortAnswersAtOnce)
{
    form->Ferme1->trigger();
    QElapsedTimer clock;
    clock.start();
    form->Version1->trigger();
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_EQ(messages.texts(), QStringList{OwnVersion});
    EXPECT_EQ(sent(0), QByteArray());
}

TEST(ReplyText, MakesEveryByteVisibleAndHarmless)
{
    EXPECT_EQ(replyText("a\r\nb\rc\td", 9), QStringLiteral("a\nb\nc\td"));
    EXPECT_EQ(replyText("\x07\x1b[0m\x7f", 6), QStringLiteral("\u2407\u241b[0m\u2421"));
    EXPECT_EQ(replyText("\x81\x8d\x8f\x90\x9d", 5), QString(5, QChar(0xFFFD)));
    EXPECT_EQ(replyText("\xe9\xff\xa0", 3), QStringLiteral("\u00e9\u00ff\u00a0"));
    EXPECT_EQ(replyText("", 0), QString());
    EXPECT_EQ(replyText("\0abc", 4), QString());
    // Every byte value except zero becomes exactly one character.
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        if (b != '\r')
            all.append(char(b));
    EXPECT_EQ(replyText(all.constData(), quint32(all.size())).size(), all.size());
}

} // namespace
