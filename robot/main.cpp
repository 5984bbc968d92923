// dravel-robot: a Mini Sumo robot and its infrared link, simulated on a
// pseudo-terminal. The console opens the pty's slave as its serial port.
#include "RobotLine.h"
#include "RobotModel.h"
#include "RobotWindow.h"
#include "Windows1252.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so the line closes cleanly.
void quitOnSignals()
{
    if (::pipe(signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), &QCoreApplication::quit);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
}

void quitAtEndOfInput()
{
    auto *notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [notifier] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            notifier->setEnabled(false);
            QCoreApplication::quit();
        }
    });
}

// Headless: the robot still moves, by the bytes' own timestamps.
class ByteLog
{
public:
    void onByte(char byte, double ms)
    {
        m_robot.advance((ms - m_lastMs) / 1000.0);
        m_lastMs = ms;
        m_robot.apply(byte);
        const unsigned char b = static_cast<unsigned char>(byte);
        std::printf("%10.3f %02x %c\n", ms, b, b >= 0x20 && b < 0x7f ? b : '.');
        std::fflush(stdout);
    }
    void printPose(double ms)
    {
        m_robot.advance((ms - m_lastMs) / 1000.0);
        m_lastMs = ms;
        std::printf("pose x=%.1f y=%.1f heading=%.0f speed=%d unknown=%d\n", m_robot.x(), m_robot.y(),
                    m_robot.heading(), m_robot.speedStep(), m_robot.unknownBytes());
        std::fflush(stdout);
    }

private:
    RobotModel m_robot;
    double m_lastMs = 0;
};

// --console: the console beside this robot, its Com1 this robot's pty, by
// the private mount namespace of scripts/as-com1, which lies in
// libexec/dravel beside bin/ in the build folder as in the installed
// package. The robot ends with the console.
bool startConsole(const QString &pty)
{
    const QString here = QCoreApplication::applicationDirPath();
    const QString wiring = here + QStringLiteral("/../libexec/dravel/as-com1");
    if (!QFileInfo(wiring).isExecutable()) {
        std::fprintf(stderr, "dravel-robot: as-com1 is missing; reinstall dravel\n");
        return false;
    }
    auto *console = new QProcess(QCoreApplication::instance());
    console->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(console, &QProcess::finished, QCoreApplication::instance(),
                     [](int code, QProcess::ExitStatus status) { QCoreApplication::exit(status == QProcess::NormalExit ? code : 1); });
    console->start(wiring, {pty, here + QStringLiteral("/dravel")});
    return console->waitForStarted();
}

} // namespace

int main(int argc, char *argv[])
{
    auto given = [&](std::initializer_list<const char *> options) {
        for (int i = 1; i < argc; ++i)
            for (const char *option : options)
                if (qstrcmp(argv[i], option) == 0)
                    return true;
        return false;
    };
    const bool headless = given({"--headless"});
    // Help, version and headless need no window, so no display either.
    const bool windowless = headless || given({"--help", "-h", "--help-all", "--version", "-v"});
    if (!windowless && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "dravel-robot: no display to show the ring on; --headless runs it without one\n");
        return 1;
    }
    std::unique_ptr<QCoreApplication> application(windowless ? new QCoreApplication(argc, argv)
                                                             : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("dravel-robot"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DRAVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated Mini Sumo robot on a pseudo-terminal. Prints the terminal's path;\n"
        "--console starts the Dravel console on it, as its first serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("headless"),
         QStringLiteral("No window: print one line per received byte (milliseconds, hex, character), "
                        "stop at the end of standard input and print the robot's final pose.")},
        {QStringLiteral("turnaround"), QStringLiteral("Milliseconds between \"v\" and the reply (10)."),
         QStringLiteral("ms"), QStringLiteral("10")},
        {QStringLiteral("reply"), QStringLiteral("The version text (\"Robot simulé 1.0\")."),
         QStringLiteral("text"), QStringLiteral("Robot simulé 1.0")},
        {QStringLiteral("no-reply"), QStringLiteral("Never answer \"v\".")},
        {QStringLiteral("console"),
         QStringLiteral("Start the Dravel console with this robot as its Com1, in a private mount "
                        "namespace (no root needed); stop when the console ends.")},
    });
    parser.process(*application);

    RobotLine::Options options;
    bool ok = false;
    options.turnaroundMs = parser.value(QStringLiteral("turnaround")).toInt(&ok);
    if (!ok || options.turnaroundMs < 0) {
        std::fprintf(stderr, "dravel-robot: --turnaround takes milliseconds\n");
        return 2;
    }
    options.reply = toWindows1252(parser.value(QStringLiteral("reply")));
    options.answers = !parser.isSet(QStringLiteral("no-reply"));

    RobotLine line(options);
    if (!line.open()) {
        std::fprintf(stderr, "dravel-robot: no pseudo-terminal: %s\n", qPrintable(line.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(line.slavePath()));
    std::fflush(stdout);
    quitOnSignals();

    std::unique_ptr<RobotWindow> window;
    ByteLog log;
    if (headless) {
        QObject::connect(&line, &RobotLine::received, [&log](char byte, double ms) { log.onByte(byte, ms); });
        quitAtEndOfInput();
    } else {
        window = std::make_unique<RobotWindow>(line.slavePath());
        QObject::connect(&line, &RobotLine::received, window.get(), &RobotWindow::onByte);
        window->show();
    }
    if (parser.isSet(QStringLiteral("console")) && !startConsole(line.slavePath()))
        return 1;
    const int status = QCoreApplication::exec();
    if (headless)
        log.printPose(line.elapsedMs());
    return status;
}
