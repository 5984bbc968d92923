#include "Bench.h"

#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int Desktop::check(int argc, int needed, const char *usage) const
{
    if (argc < needed)
        std::fprintf(stderr, "usage: %s\n", usage);
    else if (!display)
        std::fprintf(stderr, "no X display\n");
    return argc < needed ? 2 : display ? 0 : 1;
}

void Desktop::watch()
{
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
}

bool Desktop::await(const std::function<bool(const XEvent &)> &wanted, int timeoutMs)
{
    const Clock::time_point start = Clock::now();
    while (msSince(start) < timeoutMs) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (wanted(event))
                return true;
        }
        pollfd p{ConnectionNumber(display), POLLIN, 0};
        poll(&p, 1, 5);
    }
    return false;
}

Window Desktop::nextMap(bool popup, int timeoutMs)
{
    Window mapped = 0;
    const bool seen = await([&](const XEvent &e) {
        mapped = e.xmap.window;
        return e.type == MapNotify && bool(e.xmap.override_redirect) == popup;
    }, timeoutMs);
    return seen ? mapped : 0;
}

void Desktop::waitUnmap(Window window)
{
    await([&](const XEvent &e) { return e.type == UnmapNotify && e.xunmap.window == window; });
}

void Desktop::focus(Window window)
{
    // Xvfb runs no window manager to give anyone the focus.
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
}

void Desktop::key(unsigned long keysym)
{
    const KeyCode code = XKeysymToKeycode(display, keysym);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
}

void Desktop::click(int x, int y)
{
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
}

void Desktop::clientOrigin(Window window, int &x, int &y)
{
    Window root;
    unsigned width, height, border, depth;
    XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth);
    y += int(height) - 346; // the client area is 346 pixels high
}

pid_t spawn(const std::vector<std::string> &argv, int *stdinPipe, int *stdoutPipe)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (stdinPipe && pipe2(in, O_CLOEXEC) == 0) {
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        *stdinPipe = in[1];
    }
    if (stdoutPipe && pipe2(out, O_CLOEXEC) == 0) {
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        *stdoutPipe = out[0];
    }
    pid_t pid = -1;
    posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {in[0], out[1]})
        if (fd >= 0)
            close(fd);
    return pid;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

RobotProcess::RobotProcess(const std::string &binary, const std::vector<std::string> &options)
{
    std::vector<std::string> argv = {binary, "--headless"};
    argv.insert(argv.end(), options.begin(), options.end());
    int output = -1;
    pid = spawn(argv, &input, &output);
    log = fdopen(output, "r");
    char line[4096] = "";
    if (fgets(line, sizeof line, log))
        pty = std::string(line, strcspn(line, "\n"));
}

RobotProcess::~RobotProcess()
{
    received();
}

std::string RobotProcess::received()
{
    if (pid < 0)
        return {};
    close(input); // the end of its input stops it
    std::string bytes;
    char line[256];
    unsigned byte = 0;
    while (fgets(line, sizeof line, log)) // one line a byte: milliseconds, hex, character
        if (std::sscanf(line, "%*f %2x", &byte) == 1)
            bytes += char(byte);
    fclose(log);
    waitpid(pid, nullptr, 0);
    pid = -1;
    return bytes;
}
