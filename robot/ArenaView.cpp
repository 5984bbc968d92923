#include "ArenaView.h"

#include "RobotModel.h"

#include <QPainter>
#include <QPainterPath>

ArenaView::ArenaView(const RobotModel &robot, QWidget *parent)
    : QWidget(parent), m_robot(robot)
{
    setMinimumSize(240, 240);
}

void ArenaView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0x5a, 0x4a, 0x3c)); // the table under the ring

    // Centimetres from here on, y up, the ring's centre in the middle.
    const double half = RobotModel::ArenaHalfWidthCm;
    const double scale = std::min(width(), height()) / (2 * half);
    p.translate(width() / 2.0, height() / 2.0);
    p.scale(scale, -scale);

    const double radius = RobotModel::RingDiameterCm / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(0, 0), radius, radius);
    p.setBrush(QColor(0x10, 0x10, 0x10));
    p.drawEllipse(QPointF(0, 0), radius - 2.5, radius - 2.5); // 2.5 cm white border
    p.setBrush(QColor(0x8b, 0x5a, 0x2b)); // the two brown starting lines
    p.drawRect(QRectF(-10, 5, 20, 1));
    p.drawRect(QRectF(-10, -6, 20, 1));

    p.translate(m_robot.x(), m_robot.y());
    p.rotate(-m_robot.heading());
    const double s = RobotModel::SizeCm / 2;
    p.setBrush(QColor(0xc8, 0x1e, 0x1e));
    p.setPen(QPen(QColor(0xff, 0xd0, 0xd0), 0.4));
    p.drawRoundedRect(QRectF(-s, -s, 2 * s, 2 * s), 1, 1);
    QPainterPath front; // a blade at the front shows where the robot faces
    front.moveTo(-s, s);
    front.lineTo(s, s);
    front.lineTo(0, s - 4);
    front.closeSubpath();
    p.setBrush(QColor(0xf2, 0xc5, 0x11));
    p.setPen(Qt::NoPen);
    p.drawPath(front);
}
