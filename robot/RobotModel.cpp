#include "RobotModel.h"

#include <algorithm>
#include <cmath>

bool RobotModel::apply(char byte)
{
    switch (byte) {
    case 'e':
        m_motion = Motion::Forward;
        return true;
    case 'x':
        m_motion = Motion::Backward;
        return true;
    case 'd':
        m_motion = Motion::TurnRight;
        return true;
    case 's':
        m_motion = Motion::TurnLeft;
        return true;
    case 'o':
        m_speedStep = std::min(m_speedStep + 1, MaxSpeedStep);
        return true;
    case 'l':
        m_speedStep = std::max(m_speedStep - 1, 1);
        return true;
    case 'q':
        m_motion = Motion::Stopped;
        return true;
    case 'v': // answered by the line, no movement
        return true;
    default:
        ++m_unknown;
        return false;
    }
}

void RobotModel::advance(double seconds)
{
    constexpr double Pi = 3.14159265358979323846;
    switch (m_motion) {
    case Motion::Stopped:
        return;
    case Motion::TurnRight:
    case Motion::TurnLeft: {
        const double turn = turnDegreesPerSecond() * seconds;
        m_heading += m_motion == Motion::TurnRight ? turn : -turn;
        m_heading = std::fmod(m_heading + 360.0, 360.0);
        return;
    }
    case Motion::Forward:
    case Motion::Backward: {
        const double distance = speedCmPerSecond() * seconds * (m_motion == Motion::Forward ? 1 : -1);
        const double radians = m_heading * Pi / 180.0;
        m_x = std::clamp(m_x + distance * std::sin(radians), -ArenaHalfWidthCm, ArenaHalfWidthCm);
        m_y = std::clamp(m_y + distance * std::cos(radians), -ArenaHalfWidthCm, ArenaHalfWidthCm);
        return;
    }
    }
}

void RobotModel::recentre()
{
    m_x = m_y = m_heading = 0;
    m_motion = Motion::Stopped;
}

bool RobotModel::onRing() const
{
    return std::hypot(m_x, m_y) <= RingDiameterCm / 2;
}
