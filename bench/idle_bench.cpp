// Idle cost: the console's CPU time over 3 s of wall time with nothing to do,
// with its port open, failed, and after the device vanished under it.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

double cpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::string fields = line.substr(line.rfind(')') + 2);
    long utime = 0, stime = 0;
    std::sscanf(fields.c_str(), "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &utime, &stime);
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

bool waitForMap(Display *display)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect)
                return true;
        }
        pollfd p{ConnectionNumber(display), POLLIN, 0};
        poll(&p, 1, 20);
    }
    return false;
}

// Percent of one core used over `seconds`, after `setUp` ran on the started console.
double idlePercent(Display *display, const char *asCom1, const char *dravel, const char *device,
                   int masterToClose, double seconds)
{
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    const pid_t pid = fork();
    if (pid == 0) {
        execl(asCom1, asCom1, device, dravel, static_cast<char *>(nullptr));
        _exit(127);
    }
    double percent = -1;
    if (waitForMap(display)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        if (masterToClose >= 0)
            close(masterToClose);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double before = cpuSeconds(pid);
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        percent = 100.0 * (cpuSeconds(pid) - before) / seconds;
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return percent;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: idle_bench AS_COM1 DRAVEL\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "idle_bench: no X display\n");
        return 1;
    }
    auto pty = [] {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        return master;
    };
    const double seconds = 3.0;
    const int open = pty(), vanishing = pty();
    const double openPercent = idlePercent(display, argv[1], argv[2], ptsname(open), -1, seconds);
    const double failedPercent = idlePercent(display, argv[1], argv[2], "/dev/null", -1, seconds);
    const double vanishedPercent = idlePercent(display, argv[1], argv[2], ptsname(vanishing), vanishing, seconds);
    close(open);
    std::printf("idle CPU over %.0f s (share of one core)\n", seconds);
    std::printf("  port Open                      %5.2f %%\n", openPercent);
    std::printf("  port Failed                    %5.2f %%\n", failedPercent);
    std::printf("  device vanished while Open     %5.2f %%\n", vanishedPercent);
    XCloseDisplay(display);
    return 0;
}
