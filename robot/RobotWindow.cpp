#include "RobotWindow.h"

#include "ArenaView.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace {

QString motionName(RobotModel::Motion motion)
{
    switch (motion) {
    case RobotModel::Motion::Forward:
        return QStringLiteral("avance");
    case RobotModel::Motion::Backward:
        return QStringLiteral("recule");
    case RobotModel::Motion::TurnLeft:
        return QStringLiteral("tourne à gauche");
    case RobotModel::Motion::TurnRight:
        return QStringLiteral("tourne à droite");
    case RobotModel::Motion::Stopped:
        break;
    }
    return QStringLiteral("arrêté");
}

QString byteName(char byte)
{
    switch (byte) {
    case 'e': return QStringLiteral("avancer");
    case 'x': return QStringLiteral("reculer");
    case 'd': return QStringLiteral("tourner à droite");
    case 's': return QStringLiteral("tourner à gauche");
    case 'o': return QStringLiteral("plus vite");
    case 'l': return QStringLiteral("moins vite");
    case 'q': return QStringLiteral("stop");
    case 'v': return QStringLiteral("version ?");
    default: return QStringLiteral("inconnu");
    }
}

constexpr int ShownBytes = 14;

} // namespace

RobotWindow::RobotWindow(const QString &port, QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Robot simulé — Mini Sumo"));
    m_arena = new ArenaView(m_robot, this);
    m_speed = new QLabel(this);
    m_motion = new QLabel(this);
    m_unknown = new QLabel(this);
    m_bytes = new QListWidget(this);
    m_bytes->setFocusPolicy(Qt::NoFocus);
    m_bytes->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));
    auto *recentre = new QPushButton(QStringLiteral("Recentrer"), this);
    auto *portLabel = new QLabel(QStringLiteral("Port : %1").arg(port), this);
    portLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_bytes->setMinimumWidth(290);
    m_bytes->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *side = new QVBoxLayout;
    side->addWidget(portLabel);
    side->addWidget(m_speed);
    side->addWidget(m_motion);
    side->addWidget(m_unknown);
    side->addWidget(new QLabel(QStringLiteral("Derniers octets reçus :"), this));
    side->addWidget(m_bytes, 1);
    side->addWidget(recentre);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_arena, 1);
    layout->addLayout(side);

    connect(recentre, &QPushButton::clicked, this, [this] {
        m_robot.recentre();
        showState();
    });
    m_animation.setInterval(16);
    connect(&m_animation, &QTimer::timeout, this, &RobotWindow::tick);
    showState();

    // Beside the console, which stands at 197, 121 and is 400 pixels wide,
    // rather than over it.
    resize(sizeHint());
    const QRect screenArea = screen()->availableGeometry();
    move(std::max(screenArea.left(), std::min(197 + 400 + 8, screenArea.right() - width())),
         std::max(screenArea.top(), std::min(121, screenArea.bottom() - height())));
}

void RobotWindow::onByte(char byte, double ms)
{
    tick(); // the old motion runs up to this moment
    m_robot.apply(byte);
    const QString shown = byte >= 0x20 && byte < 0x7f ? QStringLiteral("\"%1\"").arg(QChar(byte))
                                                     : QStringLiteral("0x%1").arg(quint8(byte), 2, 16, QChar('0'));
    m_bytes->insertItem(0, QStringLiteral("%1 s  %2  %3")
                               .arg(ms / 1000.0, 8, 'f', 3)
                               .arg(shown, -6)
                               .arg(byteName(byte)));
    while (m_bytes->count() > ShownBytes)
        delete m_bytes->takeItem(m_bytes->count() - 1);
    showState();
}

void RobotWindow::tick()
{
    const double seconds = m_lastTick.isValid() ? m_lastTick.restart() / 1000.0 : 0;
    if (!m_lastTick.isValid())
        m_lastTick.start();
    m_robot.advance(seconds);
    showLabels();
    m_arena->update();
}

void RobotWindow::showLabels()
{
    m_speed->setText(QStringLiteral("Vitesse : %1 / %2").arg(m_robot.speedStep()).arg(RobotModel::MaxSpeedStep));
    m_motion->setText(QStringLiteral("Mouvement : %1%2")
                          .arg(motionName(m_robot.motion()),
                               m_robot.onRing() ? QString() : QStringLiteral(" (hors du ring)")));
    m_unknown->setText(QStringLiteral("Octets inconnus : %1").arg(m_robot.unknownBytes()));
}

void RobotWindow::showState()
{
    showLabels();
    // Animate only while something moves: an idle robot costs nothing.
    if (m_robot.motion() == RobotModel::Motion::Stopped) {
        m_animation.stop();
        m_lastTick.invalidate();
    } else if (!m_animation.isActive()) {
        m_lastTick.start();
        m_animation.start();
    }
    m_arena->update();
}
