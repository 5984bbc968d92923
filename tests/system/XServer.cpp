// One Xvfb for the whole test binary. It picks a free display itself and
// names it on its standard output once it accepts clients (-displayfd), so
// no number is guessed and no client connects too early. It runs with
// -noreset: by default an X server resets when its last client leaves, and a
// client connecting just then is refused.
#include <QProcess>

#include <gtest/gtest.h>

namespace {

class XServer : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-dpi"),
                        QStringLiteral("96"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                        QStringLiteral("-noreset")});
        while (!m_server.canReadLine() && m_server.waitForReadyRead(10000)) {
        }
        const QByteArray display = m_server.readLine().trimmed();
        ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";
        qputenv("DISPLAY", ":" + display);
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
