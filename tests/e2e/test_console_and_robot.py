"""Both programs together, as an operator and an assistive tool meet them.

The console is driven with real X input (xdotool) under Xvfb and read through
AT-SPI, the way a screen reader reads it; the simulated robot runs headless
and reports every byte it received and where it ended up.
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

BUILD = os.environ["DRAVEL_BUILD_BIN"]
AS_COM1 = os.environ["DRAVEL_AS_COM1"]


def wait_for(check, timeout=10.0, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = check()
        if value:
            return value
        time.sleep(0.02)
    raise AssertionError("timed out waiting for " + what)


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], check=True,
                          capture_output=True, text=True).stdout.strip()


class Session:
    """A private X server and D-Bus session bus, with the accessibility bus."""

    def __init__(self):
        # Xvfb picks a free display and names it once it accepts clients.
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1280x800x24",
                                      "-dpi", "96", "-nolisten", "tcp", "-noreset"],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        os.environ["DISPLAY"] = ":" + self.xvfb.stdout.readline().strip()
        # A private runtime folder keeps this session's accessibility bus apart.
        os.environ["XDG_RUNTIME_DIR"] = tempfile.mkdtemp()
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                                    stdout=subprocess.PIPE, text=True)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.bus.stdout.readline().strip()
        os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        os.environ["QT_QPA_PLATFORM"] = "xcb"
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                        "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                       check=True, capture_output=True)

    def close(self):
        # The bus started the accessibility services; they do not end with it.
        for pid in descendants(self.bus.pid):
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        self.bus.terminate()
        self.bus.wait()
        self.xvfb.terminate()
        self.xvfb.wait()


def descendants(root):
    children = {}
    for entry in os.listdir("/proc"):
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(entry))
        except (OSError, ValueError, IndexError):
            continue
    found, todo = [], [root]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


class Robot:
    """dravel-robot --headless; collects the bytes it reports."""

    def __init__(self):
        self.process = subprocess.Popen([os.path.join(BUILD, "dravel-robot"), "--headless"],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                        encoding="latin-1")
        self.pty = self.process.stdout.readline().strip()
        self.lines = []
        self.checked = 0
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        for line in self.process.stdout:
            self.lines.append(line.rstrip("\n"))

    def received(self):
        return "".join(chr(int(line.split()[1], 16)) for line in self.lines
                       if re.match(r"^\s*[\d.]+ [0-9a-f]{2} ", line))

    def expect(self, test, sent, timeout=5.0):
        """Checks that exactly `sent` arrived since the last check."""
        try:
            wait_for(lambda: len(self.received()) >= self.checked + len(sent), timeout, repr(sent))
        except AssertionError:
            pass
        time.sleep(0.15)  # nothing more may follow
        got = self.received()
        new, self.checked = got[self.checked:], len(got)
        test.assertEqual(new, sent)

    def stop(self):
        self.process.stdin.close()
        self.process.wait(10)
        self.reader.join(10)
        pose = [line for line in self.lines if line.startswith("pose ")][-1]
        return {k: float(v) for k, v in re.findall(r"(\w+)=(-?[\d.]+)", pose)}


class ConsoleAndRobot(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        import pyatspi
        cls.pyatspi = pyatspi
        # Class clean-ups run even when this set-up fails half way.
        cls.session = Session()
        cls.addClassCleanup(cls.session.close)
        cls.robot = Robot()
        cls.addClassCleanup(cls.robot.process.kill)
        cls.console = subprocess.Popen([AS_COM1, cls.robot.pty, os.path.join(BUILD, "dravel")])
        cls.addClassCleanup(lambda: cls.console.poll() is None and cls.console.kill())
        cls.app = wait_for(cls.find_app, 20, "the console on the accessibility bus")
        cls.window = wait_for(lambda: xdotool("search", "--onlyvisible", "--name",
                                              "^Contrôle d'un robot").split("\n")[0],
                              what="the console's window")
        xdotool("windowfocus", "--sync", cls.window)

    @classmethod
    def find_app(cls):
        desktop = cls.pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == "Dravel" and app.childCount > 0:
                return app
        return None

    def nodes(self, role, node=None):
        """Every accessible with this role, depth first."""
        node = node or self.app
        if node is None:
            return
        if node.getRoleName() == role:
            yield node
        for i in range(node.childCount):
            yield from self.nodes(role, node.getChildAtIndex(i))

    def find(self, role, name=None):
        return next((n for n in self.nodes(role) if name is None or n.name == name), None)

    def texts(self):
        return [label.name for label in self.nodes("label")]

    def click(self, accessible):
        box = accessible.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
        xdotool("mousemove", box.x + box.width // 2, box.y + box.height // 2, "click", "1")

    def press(self, name):
        self.click(self.find("push button", name))

    def choose(self, menu, item):
        self.click(self.find("menu item", menu))
        entry = wait_for(lambda: self.find("menu item", item), what=item)
        wait_for(lambda: entry.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS).width > 0,
                 what=item + " on screen")
        self.click(entry)

    @staticmethod
    def box():
        """The window id of the message box titled "Dravel" now up, if any."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Dravel$"],
                               capture_output=True, text=True)
        return found.stdout.split("\n")[0] if found.returncode == 0 else None

    def message(self):
        """The text of the message box now up; answers it and gives the focus back."""
        box = wait_for(lambda: self.box(), what="a message box")
        wait_for(lambda: self.find("dialog") or self.find("alert"), what="the box on the bus")
        text = [label for label in self.texts() if label.strip()]
        xdotool("windowfocus", "--sync", box)
        xdotool("key", "Return")
        wait_for(lambda: not self.box(), what="the box to close")
        xdotool("windowfocus", "--sync", self.window)
        return text

    def status(self):
        return [t for t in self.texts() if t in (" Connecté", " Déconnecté")]

    def test_a_scripted_match(self):
        robot = self.robot
        self.assertEqual(self.status(), [" Connecté"])

        # Mouse mode: forward, faster, turn right, forward, stop.
        self.press("Avancer")
        self.press("Plus vite")
        robot.expect(self, "eo")
        time.sleep(0.5)
        self.press("Tourner à droite")
        time.sleep(0.3)
        self.press("Avancer")
        time.sleep(0.3)
        self.press("Stop")
        robot.expect(self, "deq")

        # Keyboard mode: the switch sends Stop; then typed keys drive.
        self.press("Souris")
        robot.expect(self, "q")
        self.assertIsNotNone(self.find("push button", "Clavier"))
        xdotool("type", "--delay", "20", "x-q")
        robot.expect(self, "xlq")
        xdotool("type", "E")
        self.assertIn("Erreur de Touche Clavier", self.message())
        self.press("Clavier")
        robot.expect(self, "q")

        # Version: the robot's own text, its accented letter intact.
        self.choose("Aide", "Version")
        self.assertIn("Robot simulé 1.0", self.message())
        robot.expect(self, "v")

        # Ferme: nothing leaves; Active: it works again.
        self.choose("Port Série", "Ferme")
        wait_for(lambda: self.status() == [" Déconnecté"], what="Déconnecté")
        self.press("Avancer")
        robot.expect(self, "")
        self.choose("Port Série", "Active")
        wait_for(lambda: self.status() == [" Connecté"], what="Connecté")
        self.press("Stop")
        robot.expect(self, "q")

        self.choose("Port Série", "Quitter")
        self.assertEqual(self.console.wait(10), 0)
        pose = robot.stop()
        # Forward, then a right turn, then forward again: up and to the right.
        self.assertGreater(pose["y"], 5)
        self.assertGreater(pose["heading"], 10)
        self.assertLess(pose["heading"], 180)
        self.assertEqual(pose["speed"], 2)  # "o" once, then "-" once
        self.assertEqual(pose["unknown"], 0)


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=2).result
    failed = len(result.failures) + len(result.errors)
    print(f"{max(result.testsRun - failed, 0)} passed, {failed} failed")
    sys.exit(1 if failed else 0)
