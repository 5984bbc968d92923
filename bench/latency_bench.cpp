// Input-to-byte latency: from a real X input event (XTEST, as a mouse or a
// keyboard makes them) to the command byte read at the pty standing in for
// the console's serial port. A pty has no baud rate, so this is the
// console's own share; the wire adds 4.17 ms a byte at 2400 baud.
#include "Bench.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>


int main(int argc, char **argv)
{
    Desktop desktop;
    if (const int status = desktop.check(argc, 3, "latency_bench AS_COM1 DRAVEL [EVENTS]"))
        return status;
    const int events = argc > 3 ? std::atoi(argv[3]) : 300;
    Pty pty;
    desktop.watch();
    const pid_t pid = spawn({argv[1], pty.slavePath().toStdString(), argv[2]});
    const Window window = desktop.nextMap();
    while (window && !pty.lineIs2400_8N1Raw())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    int x = 0, y = 0;
    desktop.clientOrigin(window, x, y);
    desktop.focus(window);
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let the window settle

    Display *display = desktop.display;
    const KeyCode q = XKeysymToKeycode(display, XK_q);
    std::vector<double> clicks, keys;
    bool exact = window != 0;
    for (int i = 0; exact && i < events; ++i) {
        XTestFakeMotionEvent(display, -1, x + 99, y + 220, CurrentTime); // Stop
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XSync(display, False);
        pty.read(50);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XFlush(display);
        const Clock::time_point start = Clock::now();
        exact = pty.read(2000, 1) == "q";
        clicks.push_back(msSince(start));
    }
    desktop.click(x + 184, y + 136); // the mode button: keyboard mode
    exact = exact && pty.read(2000, 1) == "q";
    for (int i = 0; exact && i < events; ++i) {
        XTestFakeKeyEvent(display, q, True, CurrentTime);
        XFlush(display);
        const Clock::time_point start = Clock::now();
        exact = pty.read(2000, 1) == "q";
        keys.push_back(msSince(start));
        XTestFakeKeyEvent(display, q, False, CurrentTime);
        XSync(display, False);
    }
    exact = exact && pty.read(100).isEmpty();
    stop(pid);
    if (!exact) {
        std::fprintf(stderr, "latency_bench: the bytes at the port were not exactly one \"q\" per event\n");
        return 1;
    }
    std::printf("input-to-byte latency, %d events each (bytes exact: yes)   p50       p99       max\n", events);
    for (auto [name, v] : {std::pair{"mouse click on Stop (release to byte)", clicks},
                           std::pair{"key \"q\" in keyboard mode (press to byte)", keys}}) {
        std::sort(v.begin(), v.end());
        std::printf("  %-48s %6.3f ms %6.3f ms %6.3f ms\n", name, v[v.size() / 2],
                    v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back());
    }
    return 0;
}
