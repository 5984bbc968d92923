#include "Unit1.h"

#include "Commands.h"
#include "ConsoleState.h"
#include "Drawings.h"
#include "ShowMessage.h"
#include "SpeedButton.h"
#include "VersionReply.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <utility>

TForm1 *Form1 = nullptr;

namespace {
// Client area at the designed size, below the menu bar.
constexpr int ClientWidth = 392;
constexpr int ClientHeight = 346;
constexpr int StatusBarHeight = 19;

const QString Connected = QStringLiteral(" Connecté");
const QString Disconnected = QStringLiteral(" Déconnecté");
const QString MouseCaption = QStringLiteral("Souris");
const QString KeyboardCaption = QStringLiteral("Clavier");

// Keyboard mode: the command each typed character stands for, case included.
std::optional<Command> commandForKey(QChar key)
{
    switch (key.unicode()) {
    case '+':
    case 'o':
        return Command::Plus;
    case '-':
    case 'l':
        return Command::Minus;
    case 'e':
        return Command::Up;
    case 'd':
        return Command::Right;
    case 'x':
        return Command::Down;
    case 's':
        return Command::Left;
    case 'q':
        return Command::Stop;
    default:
        return std::nullopt;
    }
}

// What a dead key makes of the next character: "^" then "e" types "ê". A
// character it does not combine with comes through as itself, so "^" then
// "q" still stops the robot; the accent alone types nothing.
QChar composed(int deadKey, QChar base)
{
    // Combining marks of Qt's dead keys from Grave to Ogonek, in Qt's order.
    static constexpr char16_t Marks[] = {0x300, 0x301, 0x302, 0x303, 0x304, 0x306, 0x307,
                                         0x308, 0x30A, 0x30B, 0x30C, 0x327, 0x328};
    const int index = deadKey - Qt::Key_Dead_Grave;
    const char16_t mark = index < int(std::size(Marks)) ? Marks[index] : 0x302;
    const QString text = (QString(base) + QChar(mark)).normalized(QString::NormalizationForm_C);
    return text.size() == 1 ? text[0] : base;
}

// The group that may open `device`, when this process can tell: seen from a
// user namespace, a group it does not map shows as the overflow group.
QString portGroup(const QString &device)
{
    QFile overflow(QStringLiteral("/proc/sys/kernel/overflowgid"));
    const uint unmapped = overflow.open(QIODevice::ReadOnly) ? overflow.readAll().trimmed().toUInt() : 65534;
    const QFileInfo node(device);
    return node.groupId() == unmapped ? QString() : node.group();
}

// Why the port could not be opened, in the operator's words.
QString failureText(OpenFailure why, const QString &device)
{
    switch (why) {
    case OpenFailure::HeldElsewhere:
        return QStringLiteral("occupé par un autre programme");
    case OpenFailure::AccessDenied:
        if (const QString group = portGroup(device); !group.isEmpty())
            return QStringLiteral("accès refusé ; ajoutez votre compte au groupe « %1 »").arg(group);
        return QStringLiteral("accès refusé ; demandez l'accès à ce port à l'administrateur");
    case OpenFailure::SystemConsole:
        return QStringLiteral("console du système, laissée au système");
    case OpenFailure::Unplugged:
        return QStringLiteral("périphérique débranché");
    default:
        return QStringLiteral("port introuvable");
    }
}

void sendIfMouseMode(Command command)
{
    if (Console.mode == InputMode::Mouse)
        sendCommand(Console.link, command);
}
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

    buildDrivePad();
    buildMenus();
    buildStatusBar();

    resize(ClientWidth, MainMenu1->sizeHint().height() + ClientHeight);
    placeOnScreen();

    connect(&Console.link, &SerialLink::hungUp, this, &TForm1::SerialLinkHungUp);
    FormCreate();
}

// Where it was designed to stand, unless that leaves part of it off the
// screen (a small or scaled screen): then just far enough in to show it all.
void TForm1::placeOnScreen()
{
    QRect placed({197, 121}, size());
    const QRect available = screen()->availableGeometry();
    placed.moveRight(std::min(placed.right(), available.right()));
    placed.moveBottom(std::min(placed.bottom(), available.bottom()));
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    move(placed.topLeft());
}

void TForm1::buildDrivePad()
{
    SpeedButton1 = pictureButton({144, 16, 81, 81}, QStringLiteral("arrow-up"), {30, 46},
                                 QStringLiteral("Avancer"), &TForm1::SpeedButton1Click);
    SpeedButton4 = pictureButton({64, 96, 81, 81}, QStringLiteral("arrow-left"), {46, 29},
                                 QStringLiteral("Tourner à gauche"), &TForm1::SpeedButton4Click);
    SpeedButton5 = captionButton({144, 96, 81, 81}, MouseCaption, &TForm1::SpeedButton5Click);
    SpeedButton3 = pictureButton({224, 96, 81, 81}, QStringLiteral("arrow-right"), {46, 29},
                                 QStringLiteral("Tourner à droite"), &TForm1::SpeedButton3Click);
    SpeedButton2 = pictureButton({144, 176, 81, 81}, QStringLiteral("arrow-down"), {30, 46},
                                 QStringLiteral("Reculer"), &TForm1::SpeedButton2Click);
    SpeedButton8 = captionButton({64, 184, 71, 73}, QStringLiteral("Stop"), &TForm1::SpeedButton8Click);
    SpeedButton6 = pictureButton({320, 16, 41, 118}, QStringLiteral("chevrons-up"), {36, 54},
                                 QStringLiteral("Plus vite"), &TForm1::SpeedButton6Click);
    SpeedButton7 = pictureButton({320, 136, 41, 121}, QStringLiteral("chevrons-down"), {36, 54},
                                 QStringLiteral("Moins vite"), &TForm1::SpeedButton7Click);
}

QToolButton *TForm1::padButton(const QRect &geometry, void (TForm1::*handler)())
{
    auto *button = new SpeedButton(centralWidget());
    button->setGeometry(geometry);
    // Typed characters must always reach the window, never a button.
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, handler);
    return button;
}

QToolButton *TForm1::pictureButton(const QRect &geometry, const QString &picture, const QSize &size,
                                   const QString &action, void (TForm1::*handler)())
{
    QToolButton *button = padButton(geometry, handler);
    button->setIcon(drawing(picture));
    button->setIconSize(size);
    button->setAccessibleName(action);
    return button;
}

QToolButton *TForm1::captionButton(const QRect &geometry, const QString &caption,
                                   void (TForm1::*handler)())
{
    QToolButton *button = padButton(geometry, handler);
    // URW Bookman is Bookman Old Style's free twin.
    QFont font;
    font.setFamilies({QStringLiteral("Bookman Old Style"), QStringLiteral("URW Bookman")});
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(19);
    font.setBold(true);
    button->setFont(font);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, Qt::red);
    button->setPalette(palette);
    button->setText(caption);
    return button;
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
    connect(Commande1, &QAction::triggered, this, &TForm1::Commande1Click);
    connect(Version1, &QAction::triggered, this, &TForm1::Version1Click);
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

// Panel 1's tooltip, which screen readers read as its description, names the
// device and, after a failed open or a hang-up, why; so does standard error.
void TForm1::explainPort(bool failed)
{
    const QString device = QFileInfo(m_port).exists() ? QFileInfo(m_port).canonicalFilePath() : m_port;
    QString tip = device;
    if (failed) {
        tip += QStringLiteral(" : ") + failureText(Console.link.lastFailure(), device);
        std::fprintf(stderr, "dravel: %s\n", tip.toLocal8Bit().constData());
    }
    m_panels[1]->setToolTip(tip);
}

void TForm1::FormCreate()
{
    const bool opened = Console.link.open(m_port);
    explainPort(!opened);
    if (!opened) {
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
    explainPort(!opened);
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
    explainPort(false);
    setConnectionText(Disconnected);
    Active1->setEnabled(true);
    Ferme1->setEnabled(false);
}

// An adapter pulled out leaves the console as "Ferme" would, and says why:
// " Connecté" on a device that is gone would promise a robot out of reach.
void TForm1::SerialLinkHungUp()
{
    explainPort(true);
    setConnectionText(Disconnected);
    Active1->setEnabled(true);
    Ferme1->setEnabled(false);
}

void TForm1::Quitter1Click()
{
    Console.link.close();
    close();
}

void TForm1::SpeedButton1Click()
{
    sendIfMouseMode(Command::Up);
}

void TForm1::SpeedButton2Click()
{
    sendIfMouseMode(Command::Down);
}

void TForm1::SpeedButton3Click()
{
    sendIfMouseMode(Command::Right);
}

void TForm1::SpeedButton4Click()
{
    sendIfMouseMode(Command::Left);
}

void TForm1::SpeedButton6Click()
{
    sendIfMouseMode(Command::Plus);
}

void TForm1::SpeedButton7Click()
{
    sendIfMouseMode(Command::Minus);
}

void TForm1::SpeedButton8Click()
{
    sendCommand(Console.link, Command::Stop);
}

void TForm1::SpeedButton5Click()
{
    sendCommand(Console.link, Command::Stop);
    if (Console.mode == InputMode::Keyboard) {
        SpeedButton5->setText(MouseCaption);
        Console.mode = InputMode::Mouse;
    } else {
        SpeedButton5->setText(KeyboardCaption);
        Console.mode = InputMode::Keyboard;
    }
}

void TForm1::FormKeyPress(QChar key)
{
    if (Console.mode == InputMode::Mouse)
        return;
    if (const std::optional<Command> command = commandForKey(key))
        sendCommand(Console.link, *command);
    else
        ShowMessage(QStringLiteral("Erreur de Touche Clavier"));
}

void TForm1::Commande1Click()
{
    ShowMessage(QStringLiteral("Pas d'aide disponible."));
}

void TForm1::Version1Click()
{
    // Chosen again during the read: the box about to open answers both.
    if (m_askingVersion)
        return;
    m_askingVersion = true;
    const quint32 count = versionExchange(Console.link);
    // Clicks and keys made while the read held the window are handled now, in
    // order; the box's modal loop would throw them away.
    QCoreApplication::processEvents();
    m_askingVersion = false;
    // "Quitter" or the close box among them: the console has ended, and a box
    // now would outlive its window.
    if (!isVisible())
        return;
    if (count == 0)
        ShowMessage(QStringLiteral("Kestrin : Version 1.0"));
    else
        ShowMessage(replyText(Console.link.replyBuffer().data(), count));
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

void TForm1::keyPressEvent(QKeyEvent *event)
{
    // F10 opens the menu bar, as on the desktop this console was made for.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::NoModifier) {
        MainMenu1->setActiveAction(PortSrie1->menuAction());
        return;
    }
    // Alt combinations belong to the menu bar; keys that type nothing are ignored.
    if (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier))
        return QMainWindow::keyPressEvent(event);
    if (event->key() >= Qt::Key_Dead_Grave && event->key() <= Qt::Key_Dead_Longsolidusoverlay) {
        m_deadKey = event->key();
        return;
    }
    for (QChar key : event->text()) {
        if (m_deadKey)
            key = composed(std::exchange(m_deadKey, 0), key);
        FormKeyPress(key);
    }
}
