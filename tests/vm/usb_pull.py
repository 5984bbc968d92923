"""A USB serial adapter (FTDI) pulled out while the console idles on it, then
plugged back. The console reaches it as Com1 through /dev/com1."""
import glob
import json
import os
import select
import sys
import time

from desktop import BUILD, Console, RobotLog, check, verdict, wait_for


class Qmp:
    """QEMU's control socket, wired to this guest's one virtio port."""

    def __init__(self):
        self.line = os.open(glob.glob("/dev/vport*p1")[0], os.O_RDWR)
        self.pending, self.count = b"", 0
        self.command("qmp_capabilities")

    def messages(self, timeout=20.0):
        deadline = time.monotonic() + timeout
        while select.select([self.line], [], [], max(0.0, deadline - time.monotonic()))[0]:
            self.pending += os.read(self.line, 4096)
            *whole, self.pending = self.pending.split(b"\n")
            for text in whole:
                try:
                    yield json.loads(text)
                except ValueError:
                    pass
        raise AssertionError("QEMU did not answer")

    def command(self, name, **arguments):
        self.count += 1
        os.write(self.line, json.dumps({"execute": name, "arguments": arguments, "id": self.count}).encode())
        reply = next(m for m in self.messages() if m.get("id") == self.count)
        check("return" in reply, f"{name}: {reply}")

    def event(self, name):
        next(m for m in self.messages() if m.get("event") == name)


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


qmp = Qmp()
robot = RobotLog(os.environ["DRAVEL_ROBOT_LOG"])
wait_for(lambda: os.path.exists("/dev/ttyUSB0"), "the adapter", 20)
os.symlink("ttyUSB0", "/dev/com1")
console = Console([os.path.join(BUILD, "dravel")], timeout=60)
check(console.shows(" Connecté"), "Connecté at start-up")
console.press("Avancer")
robot.expect("e")

qmp.command("device_del", id="adapter")
qmp.event("DEVICE_DELETED")
wait_for(lambda: not os.path.exists("/dev/ttyUSB0"), "the adapter to go")
before = cpu_seconds(console.process.pid)
time.sleep(3)
idle = cpu_seconds(console.process.pid) - before
print(f"CPU of the console in the 3 s after the pull: {idle:.2f} s")
check(idle < 0.3, f"the console idles once the adapter is gone: {idle:.2f} s of CPU in 3 s")
check(console.shows(" Connecté"), "Connecté stays until the operator closes")
console.press("Stop")
console.choose("Aide", "Version")
console.answer("Kestrin : Version 1.0")
check(console.process.poll() is None, "the console still runs")

# Plugged back, it is ttyUSB0 again only if the console let the old one go.
qmp.command("device_add", driver="usb-serial", chardev="robot", id="adapter")
wait_for(lambda: os.path.exists("/dev/ttyUSB0"), "the adapter back", 20)
console.choose("Port Série", "Ferme")
console.choose("Port Série", "Active")
check(console.shows(" Connecté"), "Connecté after Active")
console.press("Reculer")
robot.expect("x")
console.quit()
sys.exit(verdict())
