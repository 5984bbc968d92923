"""Both built programs together, as an operator and a screen reader meet them.

Run under tests/with-x and dbus-run-session. The console is driven with real
X input (xdotool) and read through AT-SPI; the simulated robot runs headless
and reports every byte it received and where it ended up.
"""
import os
import re
import subprocess
import sys
import threading
import time

import pyatspi

BUILD = os.environ["DRAVEL_BUILD_BIN"]
failures = []


def wait_for(check, what, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = check()
        if value:
            return value
        time.sleep(0.02)
    raise AssertionError("timed out waiting for " + what)


def xdotool(*args):
    found = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True)
    return found.stdout.strip() if found.returncode == 0 else ""


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


class Robot:
    """dravel-robot --headless, slow to answer so that a click fits into the
    console's "Version" read; collects the bytes it reports."""

    def __init__(self):
        self.process = subprocess.Popen([os.path.join(BUILD, "dravel-robot"), "--headless",
                                         "--turnaround", "300"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True, encoding="latin-1")
        self.pty = self.process.stdout.readline().strip()
        self.lines, self.checked = [], 0
        threading.Thread(target=lambda: self.lines.extend(self.process.stdout), daemon=True).start()

    def received(self):
        return "".join(chr(int(m.group(1), 16)) for m in
                       (re.match(r"^\s*[\d.]+ ([0-9a-f]{2}) ", line) for line in list(self.lines)) if m)

    def expect(self, sent, timeout=5.0):
        """Checks that exactly `sent` arrived since the last check."""
        deadline = time.monotonic() + timeout
        while len(self.received()) < self.checked + len(sent) and time.monotonic() < deadline:
            time.sleep(0.02)
        time.sleep(0.15)  # nothing more may follow
        got = self.received()
        new, self.checked = got[self.checked:], len(got)
        check(new == sent, f"robot got {new[:60]!r}, not {sent[:60]!r}")

    def pose(self):
        self.process.stdin.close()  # the end of its input stops it
        self.process.wait(10)
        time.sleep(0.1)
        return {k: float(v) for k, v in re.findall(r"(\w+)=(-?[\d.]+)", self.lines[-1])}


def find_app():
    desktop = pyatspi.Registry.getDesktop(0)
    return next((a for a in map(desktop.getChildAtIndex, range(desktop.childCount))
                 if a is not None and a.name == "Dravel" and a.childCount), None)


def nodes(node, role):
    if node.getRoleName() == role:
        yield node
    for i in range(node.childCount):
        yield from nodes(node.getChildAtIndex(i), role)


def find(role, name):
    return next((n for n in nodes(app, role) if n.name == name), None)


def centre(accessible):
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x + box.width // 2, box.y + box.height // 2


def click(x, y):
    xdotool("mousemove", x, y, "click", "1")


def press(name):
    click(*centre(find("push button", name)))


def choose(menu, item):
    click(*centre(find("menu item", menu)))
    entry = wait_for(lambda: find("menu item", item), item)
    wait_for(lambda: centre(entry)[0] > 0, item + " on screen")
    click(*centre(entry))


def answer(text):
    """Waits for the box titled "Dravel" saying `text`; answers it, gives the focus back."""
    box = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^Dravel$"), "a box")
    wait_for(lambda: find("label", text), repr(text) + " in the box")
    xdotool("windowfocus", "--sync", box.split("\n")[0])
    xdotool("key", "Return")
    wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Dravel$"), "the box to close")
    xdotool("windowfocus", "--sync", window)


os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                "org.a11y.Bus.GetAddress"], check=True, capture_output=True)
# Without a display the robot says so and suggests --headless; --help needs none.
no_display = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
for args, code in (([], 1), (["--help"], 0)):
    bare = subprocess.run([os.path.join(BUILD, "dravel-robot"), *args], env=no_display, capture_output=True, text=True)
    check(bare.returncode == code and (not code or "--headless" in bare.stderr), f"robot without a display: {bare}")
robot = Robot()
console = subprocess.Popen([os.environ["DRAVEL_AS_COM1"], robot.pty, os.path.join(BUILD, "dravel")])
try:
    app = wait_for(find_app, "the console on the accessibility bus", 20)
    window = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^Contrôle d'un robot"),
                      "the console's window").split("\n")[0]
    xdotool("windowfocus", "--sync", window)
    check(find("label", " Connecté") is not None, "Connecté at start-up")

    # Mouse mode: every pad button by its accessible name; forward, turn right, forward.
    for name in ("Reculer", "Tourner à gauche", "Moins vite", "Plus vite", "Stop", "Avancer"):
        press(name)
    robot.expect("xsloqe")
    time.sleep(0.5)
    press("Tourner à droite")
    time.sleep(0.3)
    press("Avancer")
    robot.expect("de")

    # Stop clicked while "Version" waits for the robot still reaches it.
    stop = centre(find("push button", "Stop"))
    choose("Aide", "Version")
    click(*stop)
    answer("Robot simulé 1.0")
    robot.expect("vq")

    # Keyboard mode: the switch sends Stop, then a burst of typed keys drives.
    press("Souris")
    robot.expect("q")
    check(find("push button", "Clavier") is not None, "the mode button reads Clavier")
    keys, sent = "eoxlsdq+-", "eoxlsdqol"
    burst = "".join(keys[(i * 7 + i // 9) % 9] for i in range(400))
    xdotool("type", "--delay", "0", burst)
    robot.expect(burst.translate(str.maketrans(keys, sent)), timeout=30)
    xdotool("type", "E")
    answer("Erreur de Touche Clavier")
    press("Clavier")
    robot.expect("q")

    choose("Port Série", "Quitter")
    check(console.wait(10) == 0, "exit code 0 after Quitter")
    pose = robot.pose()
    check(pose["y"] > 5 and 10 < pose["heading"] < 180 and pose["unknown"] == 0,
          f"the robot ended ahead and to the right, every byte known: {pose}")
except AssertionError as error:
    check(False, str(error))
finally:
    for process in (console, robot.process):
        if process.poll() is None:
            process.kill()
print(f"{1 - bool(failures)} passed, {int(bool(failures))} failed")
sys.exit(1 if failures else 0)
