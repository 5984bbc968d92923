#include "Unit1.h"

#include "ConsoleState.h"
#include "MainIcon.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

TForm1 *Form1 = nullptr;

namespace {
// Client area at the designed size, below the menu bar.
constexpr int ClientWidth = 392;
constexpr int ClientHeight = 346;
constexpr int StatusBarHeight = 19;

const QString Connected = QStringLiteral(" Connecté");
const QString Disconnected = QStringLiteral(" Déconnecté");
}

TForm1::TForm1(const QString &port, QWidget *parent)
    : QMainWindow(parent), m_port(port)
{
    setWindowTitle(QStringLiteral("Contrôle d'un robot Mini Sumo par Infrarouge"));
    setWindowIcon(mainIcon());

    // Where MS Sans Serif is missing, a narrow sans keeps " Com 1" inside
    // its 40-pixel panel.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);

    auto *client = new QWidget(this);
    client->setBackgroundRole(QPalette::Button);
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    buildMenus();
    buildStatusBar();

    move(197, 121);
    resize(ClientWidth, MainMenu1->sizeHint().height() + ClientHeight);

    FormCreate();
}

void TForm1::buildMenus()
{
    MainMenu1 = menuBar();
    PortSrie1 = MainMenu1->addMenu(QStringLiteral("Port Série"));
    Active1 = PortSrie1->addAction(QStringLiteral("Active"));
    Ferme1 = PortSrie1->addAction(QStringLiteral("Ferme"));
    Quitter1 = PortSrie1->addAction(QStringLiteral("Quitter"));
    Aide1 = MainMenu1->addMenu(QStringLiteral("Aide"));
    Commande1 = Aide1->addAction(QStringLiteral("Commande"));
    Version1 = Aide1->addAction(QStringLiteral("Version"));

    connect(Active1, &QAction::triggered, this, &TForm1::Active1Click);
    connect(Ferme1, &QAction::triggered, this, &TForm1::Ferme1Click);
    connect(Quitter1, &QAction::triggered, this, &TForm1::Quitter1Click);
}

void TForm1::buildStatusBar()
{
    StatusBar1 = statusBar();
    StatusBar1->setFixedHeight(StatusBarHeight);
    const QString texts[3] = {QStringLiteral(" Com 1"), QString(),
                              QStringLiteral(" 2400, 8, 1")};
    const int widths[3] = {40, 70, 50};
    for (int i = 0; i < 3; ++i) {
        auto *panel = new QLabel(texts[i], StatusBar1);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMinimumWidth(widths[i]);
        if (i < 2)
            panel->setMaximumWidth(widths[i]);
        // The last panel reaches the right edge whatever its own width.
        StatusBar1->addWidget(panel, i == 2 ? 1 : 0);
        m_panels[i] = panel;
    }
}

void TForm1::setConnectionText(const QString &text)
{
    m_panels[1]->setText(text);
}

void TForm1::FormCreate()
{
    if (!Console.link.open(m_port)) {
        setConnectionText(Disconnected);
        Active1->setEnabled(true);
        Ferme1->setEnabled(false);
    } else {
        setConnectionText(Connected);
        Active1->setEnabled(false);
    }
}

void TForm1::Active1Click()
{
    const bool opened = Console.link.open(m_port);
    setConnectionText(Connected);
    Console.link.raiseDtr();
    Console.link.raiseRts();
    Active1->setEnabled(false);
    Ferme1->setEnabled(true);
    if (!opened)
        setConnectionText(Disconnected);
}

void TForm1::Ferme1Click()
{
    Console.link.close();
    setConnectionText(Disconnected);
    Active1->setEnabled(true);
    Ferme1->setEnabled(false);
}

void TForm1::Quitter1Click()
{
    Console.link.close();
    close();
}

void TForm1::FormClose()
{
    Console.link.close();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}
