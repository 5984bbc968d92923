#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

// The robot's end of the line: the master side of a pseudo-terminal whose
// slave stands in for the console's serial port. What it sends leaves at the
// pace of a 2400-baud line, 10 bits a byte.
class RobotLine : public QObject
{
    Q_OBJECT

public:
    static constexpr double ByteMs = 10.0 * 1000.0 / 2400.0;

    struct Options
    {
        int turnaroundMs = 10;
        QByteArray reply; // the answer to "v", in Windows-1252
        bool answers = true;
    };

    explicit RobotLine(const Options &options, QObject *parent = nullptr);
    ~RobotLine() override;

    // Opens the pseudo-terminal; false (with errorString()) if it cannot.
    bool open();
    QString slavePath() const { return m_slavePath; }
    QString errorString() const { return m_error; }

    void send(const QByteArray &bytes);
    double elapsedMs() const { return double(m_clock.nsecsElapsed()) / 1e6; }

signals:
    // One byte from the console, with the time since the line opened.
    void received(char byte, double ms);

private:
    void readMaster();
    void pace();
    void releaseExclusiveHold();

    Options m_options;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_error;
    QSocketNotifier *m_notifier = nullptr;
    QSocketNotifier *m_room = nullptr; // the master takes bytes again
    int m_closes = -1; // inotify: a console let go of the slave
    QSocketNotifier *m_closeNotifier = nullptr;
    QElapsedTimer m_clock;
    QByteArray m_outgoing;
    QTimer m_pacer;
    double m_nextByteAt = 0;
};
