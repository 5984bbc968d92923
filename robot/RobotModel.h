#pragma once

// A Mini Sumo robot seen from above, on a 77 cm ring centred at (0, 0).
// Lengths in centimetres, heading in degrees clockwise from "up".
class RobotModel
{
public:
    enum class Motion { Stopped, Forward, Backward, TurnLeft, TurnRight };

    static constexpr double RingDiameterCm = 77;
    static constexpr double SizeCm = 10;
    static constexpr int MaxSpeedStep = 5;
    // Far enough past the ring's edge to see a robot that drove off it.
    static constexpr double ArenaHalfWidthCm = 55;

    // Reacts to one received byte; false for a byte it does not know.
    bool apply(char byte);
    // Moves on by `seconds` of the current motion.
    void advance(double seconds);
    void recentre();

    double x() const { return m_x; }
    double y() const { return m_y; }
    double heading() const { return m_heading; }
    int speedStep() const { return m_speedStep; }
    Motion motion() const { return m_motion; }
    int unknownBytes() const { return m_unknown; }
    bool onRing() const;

    double speedCmPerSecond() const { return 8.0 * m_speedStep; }
    double turnDegreesPerSecond() const { return 45.0 + 27.0 * m_speedStep; }

private:
    double m_x = 0;
    double m_y = 0;
    double m_heading = 0;
    int m_speedStep = 2;
    Motion m_motion = Motion::Stopped;
    int m_unknown = 0;
};
