#include "Desktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>

#include <chrono>
#include <thread>

bool waitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

QString xdotool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

ConsoleProcess::ConsoleProcess(const QString &device)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DRAVEL_LOCK_DIR"), m_lockDir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral(AS_COM1_SCRIPT), {device, QStringLiteral(DRAVEL_BINARY)});
}

ConsoleProcess::~ConsoleProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ConsoleProcess::waitForWindow()
{
    const bool found = waitUntil([&] {
        m_window = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                            QStringLiteral("--name"), QStringLiteral("^Contrôle d'un robot")})
                       .section('\n', 0, 0);
        return !m_window.isEmpty();
    });
    if (!found)
        return false;
    const QString shell = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), m_window});
    int values[4] = {};
    const char *keys[4] = {"X=", "Y=", "WIDTH=", "HEIGHT="};
    for (const QString &line : shell.split('\n'))
        for (int i = 0; i < 4; ++i)
            if (line.startsWith(QLatin1String(keys[i])))
                values[i] = line.mid(int(qstrlen(keys[i]))).toInt();
    m_geometry = QRect(values[0], values[1], values[2], values[3]);
    focus();
    return true;
}

int ConsoleProcess::menuBarHeight() const
{
    return m_geometry.height() - 346;
}

void ConsoleProcess::click(int x, int y)
{
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), m_window,
             QString::number(x), QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
}

void ConsoleProcess::type(const QString &text)
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text});
}

void ConsoleProcess::key(const QString &keys)
{
    xdotool(QStringList{QStringLiteral("key")} + keys.split(' '));
}

void ConsoleProcess::focus()
{
    // No window manager under Xvfb gives the focus to anyone.
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), m_window});
}

void ConsoleProcess::closeBox()
{
    QProcess::execute(QStringLiteral(WM_CLOSE_BINARY), {m_window});
}

void ConsoleProcess::chooseQuitter()
{
    click(30, menuBarHeight() / 2);
    // The popup grabs the keyboard; from no selection, Up wraps to the last item.
    key(QStringLiteral("Up Return"));
}

bool ConsoleProcess::holdsLockFile() const
{
    return !QDir(m_lockDir.path()).entryList({QStringLiteral("LCK..*")}, QDir::Files).isEmpty();
}

bool ConsoleProcess::waitForExit(int ms)
{
    return m_process.waitForFinished(ms);
}

bool ConsoleProcess::dismissMessage()
{
    QString box;
    const bool shown = waitUntil([&] {
        box = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                       QStringLiteral("--name"), QStringLiteral("^Dravel$")});
        return !box.isEmpty();
    });
    if (!shown)
        return false;
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box.section('\n', 0, 0)});
    key(QStringLiteral("Return"));
    const bool closed = waitUntil([&] {
        return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                        QStringLiteral("--name"), QStringLiteral("^Dravel$")})
            .isEmpty();
    });
    focus();
    return closed;
}
