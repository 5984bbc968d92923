// Start-up cost: wall time from launch until the program's top-level window
// is mapped, and the peak resident memory of the process, for the console
// (in a private mount namespace, a pty bound as its first serial port) and
// for a bare Qt window, alternately, under the X server in $DISPLAY.
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Sample
{
    double ms = -1;
    long peakKiB = 0;
    bool portOpen = true;
};

Window waitForMap(Display *display, Clock::time_point deadline)
{
    const int fd = ConnectionNumber(display);
    while (Clock::now() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect)
                return event.xmap.window;
        }
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 50);
    }
    return 0;
}

void askToClose(Display *display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

Sample runOnce(Display *display, const std::vector<std::string> &argv, int ptyMaster)
{
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    Sample sample;
    const Window window = waitForMap(display, start + std::chrono::seconds(20));
    if (window) {
        sample.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (ptyMaster >= 0) {
            termios t{};
            sample.portOpen = tcgetattr(ptyMaster, &t) == 0 && cfgetospeed(&t) == B2400;
        }
        askToClose(display, window);
    } else {
        kill(pid, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    sample.peakKiB = usage.ru_maxrss;
    return sample;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: startup_bench AS_COM1 DRAVEL BARE_WINDOW [RUNS]\n");
        return 2;
    }
    const std::string asCom1 = argv[1];
    ++argv;
    const int runs = argc > 4 ? std::atoi(argv[3]) : 20;
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "startup_bench: no X display\n");
        return 1;
    }
    std::vector<double> consoleMs, bareMs, chromeMs, consoleKiB, bareKiB, chromeKiB;
    bool portAlwaysOpen = true;
    for (int i = 0; i < runs; ++i) {
        // The console must never reach the machine's real first serial port:
        // it starts only once the pty is bound over it.
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        termios t{};
        tcgetattr(master, &t);
        cfsetspeed(&t, B9600);
        tcsetattr(master, TCSANOW, &t);
        // Both programs start through the same namespace wrapper, so that
        // only what they do themselves differs.
        auto wrapped = [&](const char *program, const char *option = nullptr) {
            std::vector<std::string> args = {asCom1, ptsname(master), program};
            if (option)
                args.push_back(option);
            return args;
        };
        const Sample c = runOnce(display, wrapped(argv[1]), master);
        const Sample b = runOnce(display, wrapped(argv[2]), -1);
        const Sample m = runOnce(display, wrapped(argv[2], "--chrome"), -1);
        close(master);
        if (c.ms < 0 || b.ms < 0 || m.ms < 0) {
            std::fprintf(stderr, "startup_bench: a window never appeared\n");
            return 1;
        }
        portAlwaysOpen = portAlwaysOpen && c.portOpen;
        consoleMs.push_back(c.ms);
        bareMs.push_back(b.ms);
        consoleKiB.push_back(double(c.peakKiB));
        bareKiB.push_back(double(b.peakKiB));
        chromeMs.push_back(m.ms);
        chromeKiB.push_back(double(m.peakKiB));
    }
    const double cm = median(consoleMs), bm = median(bareMs);
    const double ck = median(consoleKiB), bk = median(bareKiB);
    const double mm = median(chromeMs), mk = median(chromeKiB);
    std::printf("start-up, median of %d runs             time to window   peak memory\n", runs);
    std::printf("  dravel (port open at map: %-3s)        %7.1f ms      %6.1f MiB\n",
                portAlwaysOpen ? "yes" : "NO", cm, ck / 1024);
    std::printf("  bare Qt 6 window                     %7.1f ms      %6.1f MiB   (dravel %.2fx, %.2fx)\n",
                bm, bk / 1024, cm / bm, ck / bk);
    std::printf("  Qt 6 window, menu bar + status text  %7.1f ms      %6.1f MiB   (dravel %.2fx, %.2fx)\n",
                mm, mk / 1024, cm / mm, ck / mk);
    XCloseDisplay(display);
    return 0;
}
