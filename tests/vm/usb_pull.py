"""A USB serial adapter (FTDI) pulled out while the console idles on it, then
plugged back. The console reaches it as Com1 through /dev/com1; it shows the
pull as " Déconnecté", and "Active" alone reconnects."""
import glob
import os
import sys
import time

from desktop import BUILD, Console, RobotLog, check, in_guest, verdict, wait_for

if not in_guest():
    sys.exit("this scenario runs only in the virtual machine of tests/vm/run")


def monitor(command):
    """Has QEMU do `command`: its monitor is on this guest's one virtio port."""
    with open(glob.glob("/dev/vport*p1")[0], "w") as port:
        port.write(command + "\n")


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


robot = RobotLog(os.environ["DRAVEL_ROBOT_LOG"])
wait_for(lambda: os.path.exists("/dev/ttyUSB0"), "the adapter", 20)
os.symlink("ttyUSB0", "/dev/com1")
console = Console([os.path.join(BUILD, "dravel")], timeout=60)
check(console.shows(" Connecté"), "Connecté at start-up")
console.press("Avancer")
robot.expect("e")

monitor("device_del adapter")
wait_for(lambda: not os.path.exists("/dev/ttyUSB0"), "the adapter to go")
before = cpu_seconds(console.process.pid)
time.sleep(3)
idle = cpu_seconds(console.process.pid) - before
print(f"CPU of the console in the 3 s after the pull: {idle:.2f} s")
check(idle < 0.3, f"the console idles once the adapter is gone: {idle:.2f} s of CPU in 3 s")
check(console.shows(" Déconnecté"), "Déconnecté once the adapter is gone")
console.press("Stop")
console.choose("Aide", "Version")
console.answer("Kestrin : Version 1.0")
check(console.process.poll() is None, "the console still runs")

# Plugged back, it is ttyUSB0 again only if the console let the old one go.
monitor("device_add usb-serial,chardev=robot,id=adapter")
wait_for(lambda: os.path.exists("/dev/ttyUSB0"), "the adapter back", 20)
console.choose("Port Série", "Active", then=" Connecté")
console.press("Reculer")
robot.expect("x")
console.quit()
sys.exit(verdict())
