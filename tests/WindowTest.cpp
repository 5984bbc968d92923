#include "ConsoleTest.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

namespace {

const QString Connected = QStringLiteral(" Connecté");
const QString Disconnected = QStringLiteral(" Déconnecté");

struct Seen
{
    PortState port;
    QString panel;
    bool active;
    bool ferme;
    bool operator==(const Seen &o) const
    {
        return port == o.port && panel == o.panel && active == o.active && ferme == o.ferme;
    }
};

void PrintTo(const Seen &s, std::ostream *os)
{
    *os << "{port " << int(s.port) << ", \"" << s.panel.toStdString() << "\", Active "
        << s.active << ", Ferme " << s.ferme << "}";
}

class WindowTest : public ConsoleTest
{
protected:
    Seen seen() const
    {
        return {Console.link.state(), form->Panel(1)->text(), form->Active1->isEnabled(),
                form->Ferme1->isEnabled()};
    }
};

TEST_F(WindowTest, FrameMenusAndStatusBarAreAsDesigned)
{
    create(pty.slavePath());
    form->show();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Contrôle d'un robot Mini Sumo par Infrarouge"));
    EXPECT_EQ(form->centralWidget()->width(), 392);
    EXPECT_EQ(form->centralWidget()->height() + form->StatusBar1->height(), 346);
    EXPECT_EQ(form->StatusBar1->height(), 19);
    EXPECT_EQ(form->StatusBar1->y() - form->centralWidget()->y(), 327);

    QStringList menus;
    for (QAction *menu : form->MainMenu1->actions()) {
        QStringList entry{menu->text()};
        for (QAction *item : menu->menu()->actions())
            entry << item->text();
        menus << entry.join('|');
    }
    EXPECT_EQ(menus, (QStringList{QStringLiteral("Port Série|Active|Ferme|Quitter"),
                                  QStringLiteral("Aide|Commande|Version")}));

    EXPECT_EQ(form->Panel(0)->text(), QStringLiteral(" Com 1"));
    EXPECT_EQ(form->Panel(2)->text(), QStringLiteral(" 2400, 8, 1"));
    EXPECT_EQ(form->Panel(0)->width(), 40);
    EXPECT_EQ(form->Panel(1)->width(), 70);

    form->resize(600, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->StatusBar1->width(), 600);
    EXPECT_EQ(form->StatusBar1->geometry().bottom(), form->height() - 1);
    EXPECT_GT(form->Panel(2)->geometry().right(), 600 - 30) << "last panel reaches the right edge";
}

TEST_F(WindowTest, ConnectionStatesFollowTheMenu)
{
    create(pty.slavePath());
    EXPECT_EQ(seen(), (Seen{PortState::Open, Connected, false, true}));
    EXPECT_TRUE(pty.lineIs2400_8N1Raw());

    form->Ferme1->trigger();
    EXPECT_EQ(seen(), (Seen{PortState::None, Disconnected, true, false}));

    form->Active1->trigger();
    EXPECT_EQ(seen(), (Seen{PortState::Open, Connected, false, true}));
    EXPECT_TRUE(pty.lineIs2400_8N1Raw());
}

TEST_F(WindowTest, MissingPortShowsDisconnectedAndActiveStaysFailed)
{
    create(QStringLiteral("/nonexistent/port"));
    EXPECT_EQ(seen(), (Seen{PortState::Failed, Disconnected, true, false}));

    form->Active1->trigger();
    EXPECT_EQ(seen(), (Seen{PortState::Failed, Disconnected, false, true}));

    form->Ferme1->trigger();
    EXPECT_EQ(seen(), (Seen{PortState::None, Disconnected, true, false}));
}

TEST_F(WindowTest, PortHeldElsewhereFailsUntilReleased)
{
    SerialLink other;
    ASSERT_TRUE(other.open(pty.slavePath()));
    create(pty.slavePath());
    EXPECT_EQ(seen(), (Seen{PortState::Failed, Disconnected, true, false}));
    form->Active1->trigger();
    EXPECT_EQ(seen(), (Seen{PortState::Failed, Disconnected, false, true}));

    other.close();
    form->Ferme1->trigger();
    form->Active1->trigger();
    EXPECT_EQ(seen(), (Seen{PortState::Open, Connected, false, true}));
}

TEST_F(WindowTest, EveryWayOfClosingReleasesThePort)
{
    create(pty.slavePath());
    form->show();
    form->Quitter1->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Console.link.state(), PortState::None);
    SerialLink other;
    EXPECT_TRUE(other.open(pty.slavePath()));
    other.close();

    create(pty.slavePath());
    form->show();
    ASSERT_EQ(Console.link.state(), PortState::Open);
    EXPECT_TRUE(form->close()); // what the title bar's close box does
    EXPECT_EQ(Console.link.state(), PortState::None);
    EXPECT_TRUE(other.open(pty.slavePath()));
}

} // namespace
