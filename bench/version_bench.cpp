// "Version" as the operator feels it: from the key that chooses the menu item
// to the message box being mapped, against the simulated robot, which answers
// "v" after 10 ms, paced like a 2400-baud line.
#include "Bench.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>


namespace {

constexpr double ByteMs = 10.0 / 2400 * 1000; // 10 bits a byte

std::vector<double> measure(Desktop &desktop, const char *asCom1, const char *dravel,
                            const std::string &device, int runs)
{
    desktop.watch();
    const pid_t pid = spawn({asCom1, device, dravel});
    std::vector<double> times;
    const Window window = desktop.nextMap();
    Display *display = desktop.display;
    const KeyCode enter = XKeysymToKeycode(display, XK_Return);
    for (int i = 0; window && i < runs; ++i) {
        desktop.focus(window);
        desktop.key(XK_F10); // "Port Série" opens
        desktop.nextMap(true);
        desktop.key(XK_Right); // "Aide", its first item active
        desktop.nextMap(true);
        desktop.key(XK_Down); // "Version"
        XSync(display, False);
        XTestFakeKeyEvent(display, enter, True, CurrentTime);
        XFlush(display);
        const Clock::time_point start = Clock::now();
        const Window box = desktop.nextMap(false, 5000);
        times.push_back(msSince(start));
        XTestFakeKeyEvent(display, enter, False, CurrentTime);
        if (!box)
            break;
        desktop.focus(box);
        desktop.key(XK_Return);
        desktop.waitUnmap(box);
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // trailing bytes settle
    }
    stop(pid);
    return times;
}

} // namespace

int main(int argc, char **argv)
{
    Desktop desktop;
    if (const int status = desktop.check(argc, 4, "version_bench AS_COM1 DRAVEL DRAVEL_ROBOT [RUNS]"))
        return status;
    const int runs = argc > 4 ? std::atoi(argv[4]) : 10;
    struct Case
    {
        const char *name;
        int replyBytes; // -1: the robot stays silent
        bool portOpen;
        double aimMs;
    };
    std::printf("\"Version\" to message box, %d runs each   floor      median     worst      aim\n", runs);
    bool allMet = true;
    for (const Case &c : {Case{"20-byte reply", 20, true, 0}, Case{"199-byte reply", 199, true, 0},
                          Case{"no reply", -1, true, 550}, Case{"closed port", -1, false, 5}}) {
        std::string reply = "Robot simule 1.0 OK!";
        reply.resize(size_t(std::max(c.replyBytes, 0)), 'a');
        const double floor = c.replyBytes < 0 ? 0 : (1 + c.replyBytes) * ByteMs;
        const double aim = c.aimMs > 0 ? c.aimMs : floor + 60;
        std::vector<double> times;
        std::string heard;
        if (c.portOpen) {
            RobotProcess robot(argv[3], c.replyBytes < 0 ? std::vector<std::string>{"--no-reply"}
                                                         : std::vector<std::string>{"--reply", reply});
            times = measure(desktop, argv[1], argv[2], robot.pty, runs);
            heard = robot.received();
        } else {
            times = measure(desktop, argv[1], argv[2], "/dev/null", runs);
        }
        // Every run made its box, and a robot on the line heard every "v".
        const bool happened = int(times.size()) == runs && heard == (c.portOpen ? std::string(size_t(runs), 'v') : "");
        std::sort(times.begin(), times.end());
        const double median = times.empty() ? -1 : times[times.size() / 2];
        const double worst = times.empty() ? -1 : times.back();
        const bool met = happened && worst <= aim;
        allMet = allMet && met;
        std::printf("  %-37s %7.1f ms %7.1f ms %7.1f ms <=%6.1f ms %s\n", c.name, floor, median, worst,
                    aim, !happened ? "NOT AS MEANT" : met ? "met" : "MISSED");
    }
    return allMet ? 0 : 1;
}
