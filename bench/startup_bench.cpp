// Start-up cost: wall time from launch until the program's top-level window
// is mapped, and the peak resident memory of the process, for the console
// (in a private mount namespace, a pty bound as its first serial port) and
// for a bare Qt window, alternately, under the X server in $DISPLAY.
#include "Bench.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>

namespace {

struct Sample
{
    double ms = -1;
    long peakKiB = 0;
};

// Both programs start through the same namespace wrapper, so that only what
// they do themselves differs.
Sample runOnce(Desktop &desktop, const std::vector<std::string> &argv, Pty *port = nullptr, bool *portOpen = nullptr)
{
    desktop.watch();
    const Clock::time_point start = Clock::now();
    const pid_t pid = spawn(argv);
    Sample sample;
    if (desktop.nextMap()) {
        sample.ms = msSince(start);
        if (port)
            *portOpen = *portOpen && port->lineIs2400_8N1Raw();
    }
    kill(pid, SIGTERM);
    rusage usage{};
    wait4(pid, nullptr, 0, &usage);
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
    Desktop desktop;
    if (const int status = desktop.check(argc, 4, "startup_bench AS_COM1 DRAVEL BARE_WINDOW [RUNS]"))
        return status;
    const int runs = argc > 4 ? std::atoi(argv[4]) : 20;
    std::vector<double> ms[3], kib[3];
    bool portOpen = true;
    for (int i = 0; i < runs; ++i) {
        Pty pty; // left at 9600 baud, so that only the console's open makes it 2400
        termios t{};
        tcgetattr(pty.master(), &t);
        cfsetspeed(&t, B9600);
        tcsetattr(pty.master(), TCSANOW, &t);
        const std::string device = pty.slavePath().toStdString();
        const Sample samples[3] = {runOnce(desktop, {argv[1], device, argv[2]}, &pty, &portOpen),
                                   runOnce(desktop, {argv[1], device, argv[3]}),
                                   runOnce(desktop, {argv[1], device, argv[3], "--chrome"})};
        for (int k = 0; k < 3; ++k) {
            if (samples[k].ms < 0) {
                std::fprintf(stderr, "startup_bench: a window never appeared\n");
                return 1;
            }
            ms[k].push_back(samples[k].ms);
            kib[k].push_back(double(samples[k].peakKiB));
        }
    }
    double m[3], k[3];
    for (int i = 0; i < 3; ++i) {
        m[i] = median(ms[i]);
        k[i] = median(kib[i]) / 1024;
    }
    std::printf("start-up, median of %d runs             time to window   peak memory\n", runs);
    std::printf("  dravel (port open at map: %-3s)        %7.1f ms      %6.1f MiB\n", portOpen ? "yes" : "NO", m[0], k[0]);
    std::printf("  bare Qt 6 window                     %7.1f ms      %6.1f MiB   (dravel %.2fx, %.2fx)\n",
                m[1], k[1], m[0] / m[1], k[0] / k[1]);
    std::printf("  Qt 6 window, menu bar + status text  %7.1f ms      %6.1f MiB   (dravel %.2fx, %.2fx)\n",
                m[2], k[2], m[0] / m[2], k[0] / k[2]);
    return portOpen ? 0 : 1;
}
