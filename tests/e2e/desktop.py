"""The operator's side of the end-to-end tests: the console driven with real X
input (xdotool) and read through AT-SPI like a screen reader; the simulated
robot read from the log it writes, one line per byte received.

Run under tests/with-x and dbus-run-session.
"""
import os
import re
import subprocess
import sys
import time

import pyatspi

BUILD = os.environ["DRAVEL_BUILD_BIN"]
# at-spi gives up on a call after 0.8 s, which a loaded machine, or the virtual
# machine on it, can take to answer; the waits below bound each check instead.
pyatspi.setTimeout(10000, 15000)
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


def in_guest():
    """Whether this runs in tests/vm/run's virtual machine, whose serial ports
    are emulated; elsewhere ttyS0 may be the machine's own console."""
    with open("/proc/cmdline") as cmdline:
        return "DRAVEL_SCENARIO=" in cmdline.read()


def verdict():
    print(f"{1 - bool(failures)} passed, {int(bool(failures))} failed")
    return 1 if failures else 0


class RobotLog:
    """What the robot reported receiving, checked a stretch at a time."""

    def __init__(self, path):
        self.path, self.checked = path, 0

    def lines(self):
        with open(self.path, encoding="latin-1") as log:
            return log.read().splitlines()

    def received(self):
        return "".join(chr(int(m.group(1), 16)) for m in
                       (re.match(r"^\s*[\d.]+ ([0-9a-f]{2}) ", line) for line in self.lines()) if m)

    def expect(self, sent, timeout=5.0):
        """Checks that exactly `sent` arrived since the last check."""
        deadline = time.monotonic() + timeout
        while len(self.received()) < self.checked + len(sent) and time.monotonic() < deadline:
            time.sleep(0.02)
        time.sleep(0.15)  # nothing more may follow
        got = self.received()
        new, self.checked = got[self.checked:], len(got)
        check(new == sent, f"robot got {new[:60]!r}, not {sent[:60]!r}")


class Console:
    """The console as a process, its window and its accessible tree."""

    def __init__(self, argv, timeout=20):
        os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.process = subprocess.Popen(argv)
        self.app = wait_for(self._find_app, "the console on the accessibility bus", timeout)
        self.window = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^Contrôle d'un robot"),
                               "the console's window").split("\n")[0]
        xdotool("windowfocus", "--sync", self.window)

    @staticmethod
    def _find_app():
        desktop = pyatspi.Registry.getDesktop(0)
        return next((a for a in map(desktop.getChildAtIndex, range(desktop.childCount))
                     if a is not None and a.name == "Dravel" and a.childCount), None)

    # at-spi2-core 2.46 says "push button", newer ones "button".
    ROLE_NAMES = {"push button": {"push button", "button"}}

    def _nodes(self, node, role):
        if node.getRoleName() in self.ROLE_NAMES.get(role, {role}):
            yield node
        for i in range(node.childCount):
            yield from self._nodes(node.getChildAtIndex(i), role)

    def find(self, role, name):
        return next((n for n in self._nodes(self.app, role) if n.name == name), None)

    def shows(self, text):
        return self.find("label", text) is not None

    @staticmethod
    def centre(accessible):
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return box.x + box.width // 2, box.y + box.height // 2

    @staticmethod
    def click(x, y):
        xdotool("mousemove", x, y, "click", "1")

    def press(self, name):
        self.click(*self.centre(wait_for(lambda: self.find("push button", name), name)))

    def choose(self, menu, item, then=None):
        """Chooses menu → item; with `then`, waits until the window shows that
        text, which it can only answer once the item's handler has returned."""
        self.click(*self.centre(self.find("menu item", menu)))
        entry = wait_for(lambda: self.find("menu item", item), item)
        wait_for(lambda: self.centre(entry)[0] > 0, item + " on screen")
        self.click(*self.centre(entry))
        if then:
            wait_for(lambda: self.shows(then), f"{then!r} after {item}")

    def answer(self, text):
        """Waits for the box titled "Dravel" saying `text`; answers it, gives the focus back."""
        box = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^Dravel$"), "a box")
        wait_for(lambda: self.shows(text), repr(text) + " in the box")
        xdotool("windowfocus", "--sync", box.split("\n")[0])
        xdotool("key", "Return")
        wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Dravel$"), "the box to close")
        xdotool("windowfocus", "--sync", self.window)

    def quit(self):
        self.choose("Port Série", "Quitter")
        check(self.process.wait(10) == 0, "exit code 0 after Quitter")
