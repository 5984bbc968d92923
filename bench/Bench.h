#pragma once

// What every benchmark shares: the X display it watches and types into, the
// console started in its private namespace on a device, and the simulated
// robot as a process. Ptys and process figures come from the test harness.
#include "Pty.h"
#include "Usage.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start);

struct Desktop
{
    Display *display = XOpenDisplay(nullptr);
    ~Desktop() { if (display) XCloseDisplay(display); }

    // 0 when the command line has its `needed` words and the display opened;
    // else says why and gives the exit status.
    int check(int argc, int needed, const char *usage) const;
    // From now on, report top-level windows as they are mapped.
    void watch();
    // Waits for the first event `wanted` accepts; false on time-out.
    bool await(const std::function<bool(const XEvent &)> &wanted, int timeoutMs = 5000);
    // The next top-level window mapped (a popup when `popup`), or 0.
    Window nextMap(bool popup = false, int timeoutMs = 20000);
    void waitUnmap(Window window);
    void focus(Window window);
    void key(unsigned long keysym);
    void click(int x, int y);
    // Top-left of the console's client area, below its menu bar.
    void clientOrigin(Window window, int &x, int &y);
};

// Starts `argv` with no descriptor of ours but the standard ones; returns its pid.
pid_t spawn(const std::vector<std::string> &argv, int *stdinPipe = nullptr, int *stdoutPipe = nullptr);
void stop(pid_t pid);

// dravel-robot --headless with `options`; its pty, and the bytes it received.
struct RobotProcess
{
    RobotProcess(const std::string &binary, const std::vector<std::string> &options);
    ~RobotProcess();
    std::string received(); // stops the robot
    pid_t pid = -1;
    int input = -1;
    FILE *log = nullptr;
    std::string pty;
};
