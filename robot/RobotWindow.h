#pragma once

#include "RobotModel.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class ArenaView;
class QLabel;
class QListWidget;

// The simulated robot's window: the ring, the robot's speed and motion, and
// the last bytes it received.
class RobotWindow : public QWidget
{
public:
    explicit RobotWindow(const QString &port, QWidget *parent = nullptr);

    void onByte(char byte, double ms);

private:
    void tick();
    void showLabels();
    void showState();

    RobotModel m_robot;
    ArenaView *m_arena;
    QLabel *m_speed;
    QLabel *m_motion;
    QLabel *m_unknown;
    QListWidget *m_bytes;
    QTimer m_animation;
    QElapsedTimer m_lastTick;
};
