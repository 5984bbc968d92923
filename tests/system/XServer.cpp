// One Xvfb for the whole test binary, on the first free display number. It
// runs with -noreset: by default an X server resets when its last client
// leaves, and a client connecting just then is refused.
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include "Desktop.h"

namespace {

class XServer : public ::testing::Environment
{
public:
    void SetUp() override
    {
        for (int n = 90; n < 190; ++n) {
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
            if (QFile::exists(socket) || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            m_server.start(QStringLiteral("Xvfb"),
                           {QStringLiteral(":%1").arg(n), QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1280x800x24"), QStringLiteral("-dpi"), QStringLiteral("96"),
                            QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
            // Without an event loop, QProcess learns of an exit only when asked.
            const bool up = m_server.waitForStarted(5000)
                && waitUntil([&] { return QFile::exists(socket) || m_server.waitForFinished(1); }, 5000)
                && m_server.state() == QProcess::Running;
            // The socket exists a moment before the server accepts on it.
            if (up) {
                qputenv("DISPLAY", QStringLiteral(":%1").arg(n).toLatin1());
                if (waitUntil([] { return !xdotool({QStringLiteral("getdisplaygeometry")}).isEmpty(); }, 5000))
                    return;
            }
            m_server.waitForFinished(1000);
        }
        FAIL() << "no X display could be started: ";
    }
    void TearDown() override
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }

private:
    QProcess m_server;
};

const auto *const registered = ::testing::AddGlobalTestEnvironment(new XServer);

} // namespace
