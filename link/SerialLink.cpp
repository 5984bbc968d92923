#include "SerialLink.h"

#include "PortChecks.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>

#include <algorithm>
#include <unistd.h>

namespace {
// Bytes the robot sends unasked wait here for the next version exchange;
// past this much, Qt stops reading and the driver's own queue takes the rest.
constexpr qint64 ReadBufferCap = 4096;
}

SerialLink::SerialLink() = default;

SerialLink::~SerialLink()
{
    close();
}

bool SerialLink::open(const QString &device)
{
    close();
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(device);
    port->setBaudRate(QSerialPort::Baud2400);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->setReadBufferSize(ReadBufferCap);
    // Qt names a device that hung up a read or a resource error, and a full
    // output queue a resource error too; only the descriptor tells them apart.
    // Let a hung-up device go, or its descriptor polls readable forever, but
    // stay Open until the operator closes. Queued: Qt is still inside its own
    // notifier when it reports.
    QSerialPort *raw = port.get();
    QObject::connect(raw, &QSerialPort::errorOccurred, raw, [this, raw](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError)
            QMetaObject::invokeMethod(raw, [this] { dropDeviceIfHungUp(); }, Qt::QueuedConnection);
    });
    if (isKernelConsole(device))
        return fail(OpenFailure::SystemConsole);
    if (lockFileHeldByAnother(device))
        return fail(OpenFailure::HeldElsewhere);
    if (!port->open(QIODevice::ReadWrite)) {
        // Qt names a port held exclusively a permission error too.
        if (port->error() != QSerialPort::PermissionError)
            return fail(OpenFailure::NotFound);
        const bool allowed = ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
        return fail(allowed ? OpenFailure::HeldElsewhere : OpenFailure::AccessDenied);
    }
    if (!takeExclusiveFlock(int(port->handle())))
        return fail(OpenFailure::HeldElsewhere);
    m_port = std::move(port);
    m_state = PortState::Open;
    m_failure = OpenFailure::None;
    return true;
}

bool SerialLink::fail(OpenFailure why)
{
    m_state = PortState::Failed;
    m_failure = why;
    return false;
}

void SerialLink::close()
{
    m_port.reset();
    m_state = PortState::None;
}

void SerialLink::dropDeviceIfHungUp()
{
    if (m_port && m_port->isOpen() && hasHungUp(int(m_port->handle())))
        m_port->close();
}

void SerialLink::raiseDtr()
{
    if (m_port && m_port->isOpen())
        m_port->setDataTerminalReady(true);
}

void SerialLink::raiseRts()
{
    if (m_port && m_port->isOpen())
        m_port->setRequestToSend(true);
}

void SerialLink::sendByte(char byte)
{
    if (!m_port || !m_port->isOpen())
        return;
    m_port->write(&byte, 1);
    // Hand it to the driver now without blocking; if the driver's queue is
    // full, the byte keeps its place in Qt's queue and the event loop hands
    // it on once the line takes bytes again.
    m_port->flush();
}

quint32 SerialLink::readReply()
{
    if (!m_port || !m_port->isOpen())
        return 0;
    QElapsedTimer clock;
    clock.start();
    qint64 count = m_port->read(m_reply.data(), ReplySize);
    count = std::max<qint64>(count, 0);
    while (count < ReplySize && m_port->isOpen()) {
        const qint64 left = TotalMs - clock.elapsed();
        const qint64 wait = std::min(left, count == 0 ? FirstByteMs - clock.elapsed()
                                                      : qint64(ReplyGapMs));
        if (wait <= 0 || !m_port->waitForReadyRead(int(wait)))
            break;
        const qint64 got = m_port->read(m_reply.data() + count, ReplySize - count);
        if (got > 0)
            count += got;
    }
    return quint32(count);
}
