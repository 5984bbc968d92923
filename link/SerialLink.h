#pragma once

#include <QtGlobal>
#include <QString>

#include <array>
#include <memory>

class QSerialPort;

enum class PortState { None, Failed, Open };

// Why the last open failed.
enum class OpenFailure { None, NotFound, HeldElsewhere, AccessDenied, SystemConsole };

// The console's one connection to the port that carries the infrared adapter.
// Every operation is synchronous and bounded; nothing throws and, apart from
// the result of open(), nothing is reported.
class SerialLink
{
public:
    static constexpr int ReplySize = 199;
    using ReplyBuffer = std::array<char, ReplySize>;

    // Read bounds of the version exchange: a robot that never answers costs
    // FirstByteMs; a reply ends after ReplyGapMs of silence (twelve byte-times
    // at 2400 baud); TotalMs caps a robot that trickles bytes forever.
    static constexpr int FirstByteMs = 500;
    static constexpr int ReplyGapMs = 50;
    static constexpr int TotalMs = 2000;

    SerialLink();
    ~SerialLink();
    SerialLink(const SerialLink &) = delete;
    SerialLink &operator=(const SerialLink &) = delete;

    PortState state() const { return m_state; }
    OpenFailure lastFailure() const { return m_failure; }

    // Closes first, then opens `device` exclusively at 2400 baud, 8N1, raw,
    // without flow control. Returns whether the link is now Open. A device
    // the kernel uses as its console is never opened.
    bool open(const QString &device);
    void close();

    void raiseDtr();
    void raiseRts();

    // Hands one byte to the driver without waiting; silent whatever happens.
    // A byte the driver has no room for yet waits its turn, in order.
    void sendByte(char byte);

    // One bounded read into replyBuffer(); returns the count received.
    quint32 readReply();
    const ReplyBuffer &replyBuffer() const { return m_reply; }

private:
    void dropDeviceIfHungUp();
    bool fail(OpenFailure why);

    PortState m_state = PortState::None;
    OpenFailure m_failure = OpenFailure::None;
    std::unique_ptr<QSerialPort> m_port;
    ReplyBuffer m_reply{};
};
