// Input-to-byte latency: from a real X input event (XTEST, as a mouse or a
// keyboard makes them) to the command byte read at the pty standing in for
// the console's serial port. A pty has no baud rate, so this is the
// console's own share; the wire adds 4.17 ms a byte at 2400 baud.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Waits for `count` bytes at the master; returns them, or fewer on time-out.
std::string readBytes(int master, size_t count, int timeoutMs = 2000)
{
    std::string got;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count && Clock::now() < deadline) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 10) > 0) {
            char buf[64];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0)
                got.append(buf, size_t(n));
        }
    }
    return got;
}

void drain(int master)
{
    readBytes(master, 1 << 20, 100);
}

struct Stats
{
    double p50, p99, max;
};

Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back()};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: latency_bench AS_COM1 DRAVEL [EVENTS]\n");
        return 2;
    }
    const int events = argc > 3 ? std::atoi(argv[3]) : 300;
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "latency_bench: no X display\n");
        return 1;
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    grantpt(master);
    unlockpt(master);

    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    const pid_t pid = fork();
    if (pid == 0) {
        execl(argv[1], argv[1], ptsname(master), argv[2], static_cast<char *>(nullptr));
        _exit(127);
    }
    Window window = 0;
    while (!window) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && !event.xmap.override_redirect)
            window = event.xmap.window;
    }
    termios t{};
    while (tcgetattr(master, &t) != 0 || cfgetospeed(&t) != B2400)
        usleep(1000);
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth);
    const int clientTop = y + int(height) - 346;
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    usleep(200000); // let the window settle before the first measured event

    auto click = [&](int cx, int cy) {
        XTestFakeMotionEvent(display, -1, x + cx, clientTop + cy, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XFlush(display);
    };
    const KeyCode q = XKeysymToKeycode(display, XK_q);

    std::vector<double> clicks, keys;
    bool exact = true;
    for (int i = 0; i < events; ++i) {
        XTestFakeMotionEvent(display, -1, x + 99, clientTop + 220, CurrentTime); // Stop
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XSync(display, False);
        drain(master);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XFlush(display);
        const Clock::time_point start = Clock::now();
        exact = readBytes(master, 1) == "q" && exact;
        clicks.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    click(184, 136); // the mode button: keyboard mode
    exact = readBytes(master, 1) == "q" && exact;
    for (int i = 0; i < events; ++i) {
        XTestFakeKeyEvent(display, q, True, CurrentTime);
        XFlush(display);
        const Clock::time_point start = Clock::now();
        exact = readBytes(master, 1) == "q" && exact;
        keys.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        XTestFakeKeyEvent(display, q, False, CurrentTime);
        XSync(display, False);
    }
    drain(master);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);

    const Stats c = stats(clicks), k = stats(keys);
    std::printf("input-to-byte latency, %d events each (bytes exact: %s)   p50       p99       max\n",
                events, exact ? "yes" : "NO");
    std::printf("  mouse click on Stop (release to byte)              %6.3f ms %6.3f ms %6.3f ms\n",
                c.p50, c.p99, c.max);
    std::printf("  key \"q\" in keyboard mode (press to byte)          %6.3f ms %6.3f ms %6.3f ms\n",
                k.p50, k.p99, k.max);
    XCloseDisplay(display);
    return exact ? 0 : 1;
}
