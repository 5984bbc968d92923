// "Version" as the operator feels it: from the key that chooses the menu item
// to the message box being mapped, against a robot side on the pty that
// answers "v" after a 10 ms turnaround, paced like a 2400-baud line.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double ByteMs = 10.0 / 2400 * 1000; // 10 bits a byte

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Plays the robot on the master: answers each "v" with `reply`, if any.
class Robot
{
public:
    Robot(int master, std::string reply, bool answers)
        : m_thread([=] {
              while (!m_stop) {
                  pollfd p{master, POLLIN, 0};
                  if (poll(&p, 1, 20) <= 0)
                      continue;
                  char byte;
                  if (read(master, &byte, 1) != 1 || byte != 'v' || !answers)
                      continue;
                  Clock::time_point next = Clock::now() + std::chrono::milliseconds(10);
                  for (char c : reply) {
                      std::this_thread::sleep_until(next);
                      (void)write(master, &c, 1);
                      next += std::chrono::microseconds(4167);
                  }
              }
          })
    {
    }
    ~Robot()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct Desktop
{
    Display *display;

    // The next top-level window mapped (a popup menu when `popup`).
    Window nextMap(bool popup, int timeoutMs = 5000)
    {
        const Clock::time_point start = Clock::now();
        while (msSince(start) < timeoutMs) {
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == MapNotify && bool(event.xmap.override_redirect) == popup)
                    return event.xmap.window;
            }
            pollfd p{ConnectionNumber(display), POLLIN, 0};
            poll(&p, 1, 5);
        }
        return 0;
    }
    void waitUnmap(Window window)
    {
        const Clock::time_point start = Clock::now();
        while (msSince(start) < 5000) {
            XEvent event;
            if (XCheckTypedWindowEvent(display, window, UnmapNotify, &event))
                return;
            while (XPending(display)) {
                XNextEvent(display, &event);
                if (event.type == UnmapNotify && event.xunmap.window == window)
                    return;
            }
            pollfd p{ConnectionNumber(display), POLLIN, 0};
            poll(&p, 1, 5);
        }
    }
    void key(KeySym sym)
    {
        const KeyCode code = XKeysymToKeycode(display, sym);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XFlush(display);
    }
    void focus(Window window)
    {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
    }
};

std::vector<double> measure(Desktop &desktop, const char *asCom1, const char *dravel,
                            const char *device, int master, int runs)
{
    XSelectInput(desktop.display, DefaultRootWindow(desktop.display), SubstructureNotifyMask);
    XSync(desktop.display, True);
    const pid_t pid = fork();
    if (pid == 0) {
        execl(asCom1, asCom1, device, dravel, static_cast<char *>(nullptr));
        _exit(127);
    }
    std::vector<double> times;
    const Window window = desktop.nextMap(false);
    termios t{};
    while (master >= 0 && (tcgetattr(master, &t) != 0 || cfgetospeed(&t) != B2400))
        usleep(1000);
    for (int i = 0; window && i < runs; ++i) {
        desktop.focus(window);
        desktop.key(XK_F10); // "Port Série" opens
        desktop.nextMap(true);
        desktop.key(XK_Right); // "Aide", its first item active
        desktop.nextMap(true);
        desktop.key(XK_Down); // "Version"
        XSync(desktop.display, False);
        const KeyCode enter = XKeysymToKeycode(desktop.display, XK_Return);
        XTestFakeKeyEvent(desktop.display, enter, True, CurrentTime);
        XFlush(desktop.display);
        const Clock::time_point start = Clock::now();
        const Window box = desktop.nextMap(false);
        times.push_back(msSince(start));
        XTestFakeKeyEvent(desktop.display, enter, False, CurrentTime);
        if (!box)
            break;
        desktop.focus(box);
        desktop.key(XK_Return);
        desktop.waitUnmap(box);
        usleep(20000); // let a robot's trailing bytes settle between runs
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return times;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

double worst(const std::vector<double> &v)
{
    return v.empty() ? -1 : *std::max_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: version_bench AS_COM1 DRAVEL [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 10;
    Desktop desktop{XOpenDisplay(nullptr)};
    if (!desktop.display) {
        std::fprintf(stderr, "version_bench: no X display\n");
        return 1;
    }
    struct Case
    {
        const char *name;
        int replyBytes; // -1: the robot stays silent
        bool portOpen;
        double aimMs;
    };
    const Case cases[] = {{"20-byte reply", 20, true, 0},
                          {"199-byte reply", 199, true, 0},
                          {"no reply", -1, true, 550},
                          {"closed port", -1, false, 5}};
    std::printf("\"Version\" to message box, %d runs each   floor      median     worst      aim\n", runs);
    bool allMet = true;
    for (const Case &c : cases) {
        std::string reply = "Robot simul\xe9 1.0 OK!!";
        reply.resize(size_t(std::max(c.replyBytes, 0)), 'a');
        const double floor = c.replyBytes < 0 ? 0 : (1 + c.replyBytes) * ByteMs;
        const double aim = c.aimMs > 0 ? c.aimMs : floor + 60;
        std::vector<double> times;
        if (c.portOpen) {
            const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
            grantpt(master);
            unlockpt(master);
            Robot robot(master, reply, c.replyBytes >= 0);
            times = measure(desktop, argv[1], argv[2], ptsname(master), master, runs);
            close(master);
        } else {
            times = measure(desktop, argv[1], argv[2], "/dev/null", -1, runs);
        }
        const bool met = !times.empty() && worst(times) <= aim;
        allMet = allMet && met;
        std::printf("  %-37s %7.1f ms %7.1f ms %7.1f ms <=%6.1f ms %s\n", c.name, floor,
                    median(times), worst(times), aim, met ? "met" : "MISSED");
    }
    XCloseDisplay(desktop.display);
    return allMet ? 0 : 1;
}
