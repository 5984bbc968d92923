#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class QSocketNotifier;

enum class PortState { None, Failed, Open };

// Why the last open failed, or why the port was let go (Unplugged).
enum class OpenFailure { None, NotFound, HeldElsewhere, AccessDenied, SystemConsole, Unplugged };

// The console's one connection to the port that carries the infrared adapter,
// a terminal device driven through termios. Every operation is synchronous
// and bounded; nothing throws and, apart from the result of open() and the
// hang-up signal, nothing is reported.
class SerialLink : public QObject
{
    Q_OBJECT

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
    ~SerialLink() override;

    PortState state() const { return m_state; }
    OpenFailure lastFailure() const { return m_failure; }

    // Closes first, then opens `device` exclusively at 2400 baud, 8N1, raw,
    // without flow control. Everything that can refuse the device is checked
    // before anything of it changes, so a refused open leaves another
    // program's line as it was. Returns whether the link is now Open.
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

signals:
    // The device went away under an open link (adapter pulled, far end
    // closed): the link has let it go and is None, lastFailure() Unplugged.
    void hungUp();

private:
    bool fail(OpenFailure why);
    bool takeHolds(const QString &device);
    void setModemLine(int line);
    void readAvailable();
    void writePending();
    void dropOnceReturned();
    void dropHungUpDevice();

    PortState m_state = PortState::None;
    OpenFailure m_failure = OpenFailure::None;
    int m_fd = -1;
    QStringList m_locks;
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;
    QByteArray m_input;   // arrived unasked, for the next version exchange
    QByteArray m_pending; // sent while the driver had no room
    ReplyBuffer m_reply{};
};
