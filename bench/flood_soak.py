#!/usr/bin/python3
"""A robot flooding the line without pause: the console's resident memory,
sampled while it lasts. usage: flood_soak.py AS_COM1 DRAVEL [SECONDS]
(needs an X display in $DISPLAY). The console stops reading once its own
queue is full, so a pty pushes back on the writer; a real serial line
would drop the excess in the driver instead. Either way the console's
memory must stay flat."""
import os
import select
import subprocess
import sys
import time

as_com1, dravel = sys.argv[1], sys.argv[2]
seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 180
master, slave = os.openpty()
path = os.ttyname(slave)
os.close(slave)
os.set_blocking(master, False)
console = subprocess.Popen([as_com1, path, dravel], stderr=subprocess.DEVNULL)


def resident_kib():
    with open(f"/proc/{console.pid}/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


time.sleep(2)
chunk = b"F" * 4096
sent, samples, start = 0, [], time.monotonic()
next_sample = start
while time.monotonic() - start < seconds:
    if select.select([], [master], [], 0.05)[1]:
        try:
            sent += os.write(master, chunk)
        except BlockingIOError:
            time.sleep(0.01)
    if time.monotonic() >= next_sample:
        samples.append(resident_kib())
        next_sample += seconds / 10
console.terminate()
console.wait()
print(f"flood soak, {seconds:.0f} s, {sent / 1024:.0f} KiB taken by the line before it pushed back: "
      f"console resident memory {samples[0] / 1024:.1f} MiB at start, "
      f"{max(samples) / 1024:.1f} MiB at most, {samples[-1] / 1024:.1f} MiB at the end")
