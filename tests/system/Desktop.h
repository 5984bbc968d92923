#pragma once

#include "Pty.h"

#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

#include <functional>

// Polls `done` until it holds or `ms` pass; returns whether it held.
bool waitUntil(const std::function<bool()> &done, int ms = 10000);

// Runs xdotool against the test's X server and returns what it printed.
QString xdotool(const QStringList &args);

// The built console, started under the test's X server in a private mount
// namespace where `device` stands in for the first serial port and a private
// folder for the lock-file directory.
class ConsoleProcess
{
public:
    explicit ConsoleProcess(const QString &device);
    ~ConsoleProcess();

    bool waitForWindow();
    QString window() const { return m_window; }
    QRect geometry() const { return m_geometry; }
    int menuBarHeight() const;

    // Real pointer and keyboard input, in the window's client coordinates.
    void click(int x, int y);
    void clickClient(int x, int y) { click(x, menuBarHeight() + y); }
    void type(const QString &text);
    void key(const QString &keys);
    void focus();
    void closeBox();
    void chooseQuitter();
    // Waits for a message box titled "Dravel", answers it with Return, and
    // gives the focus back to the main window; false if none came up.
    bool dismissMessage();

    bool holdsLockFile() const;
    bool waitForExit(int ms = 10000);
    int exitCode() const { return m_process.exitCode(); }
    bool crashed() const { return m_process.exitStatus() != QProcess::NormalExit; }

private:
    QTemporaryDir m_lockDir;
    QProcess m_process;
    QString m_window;
    QRect m_geometry;
};

// A pty standing in for the port, with the console started on it.
struct ConsoleOnPty
{
    Pty pty;
    ConsoleProcess console{pty.slavePath()};
};
