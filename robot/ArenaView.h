#pragma once

#include <QWidget>

class RobotModel;

// The ring from above, with the robot on it.
class ArenaView : public QWidget
{
public:
    explicit ArenaView(const RobotModel &robot, QWidget *parent = nullptr);
    QSize sizeHint() const override { return {380, 380}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const RobotModel &m_robot;
};
