// Idle cost: the console's CPU time over 3 s of wall time with nothing to do,
// with its port open, failed, and after the device hung up under it.
#include "Bench.h"


int main(int argc, char **argv)
{
    Desktop desktop;
    if (const int status = desktop.check(argc, 3, "idle_bench AS_COM1 DRAVEL"))
        return status;
    struct Case
    {
        const char *name;
        bool port;
        bool hangUp;
    };
    const double seconds = 3.0;
    bool happened = true;
    std::printf("idle CPU over %.0f s (share of one core)      descriptors on the device before/after\n", seconds);
    for (const Case &c : {Case{"port Open", true, false}, Case{"port Failed", false, false},
                          Case{"device hung up while Open", true, true}}) {
        Pty pty;
        const dev_t device = pty.device();
        desktop.watch();
        const pid_t pid = spawn({argv[1], c.port ? pty.slavePath().toStdString() : "/dev/null", argv[2]});
        const std::string proc = std::to_string(pid);
        double percent = -1;
        int before = -1, after = -1;
        if (desktop.nextMap()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            before = openDescriptors(proc, device);
            if (c.hangUp)
                pty.closeMaster(); // nobody else holds it: the console sees the hang-up
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            after = openDescriptors(proc, device);
            const double start = cpuSeconds(proc);
            std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
            percent = 100.0 * (cpuSeconds(proc) - start) / seconds;
        }
        stop(pid);
        // Open holds the device throughout; Failed never; a hung-up device is let go.
        const bool ok = before == (c.port ? 1 : 0) && after == (c.port && !c.hangUp ? 1 : 0);
        happened = happened && ok;
        std::printf("  %-30s %5.2f %%   %d/%d %s\n", c.name, percent, before, after, ok ? "" : "(NOT AS MEANT)");
    }
    return happened ? 0 : 1;
}
