"""Both built programs together, as an operator and a screen reader meet them.

Run under tests/with-x and dbus-run-session. The simulated robot runs headless
on a pseudo-terminal that stands in for Com1, and reports every byte it
received and where it ended up.
"""
import os
import re
import subprocess
import sys
import tempfile
import time

from desktop import BUILD, Console, RobotLog, check, verdict, wait_for, xdotool


class Robot(RobotLog):
    """dravel-robot --headless, slow to answer so that a click fits into the
    console's "Version" read."""

    def __init__(self):
        log = tempfile.NamedTemporaryFile(prefix="robot-", suffix=".log", delete=False)
        super().__init__(log.name)
        self.process = subprocess.Popen([os.path.join(BUILD, "dravel-robot"), "--headless",
                                         "--turnaround", "300"], stdin=subprocess.PIPE, stdout=log)
        self.pty = wait_for(lambda: self.lines() and self.lines()[0].strip(), "the robot's pseudo-terminal")

    def pose(self):
        self.process.stdin.close()  # the end of its input stops it
        self.process.wait(10)
        return {k: float(v) for k, v in re.findall(r"(\w+)=(-?[\d.]+)", self.lines()[-1])}


no_display = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
for args, code in (([], 1), (["--help"], 0)):
    bare = subprocess.run([os.path.join(BUILD, "dravel-robot"), *args], env=no_display, capture_output=True, text=True)
    check(bare.returncode == code and (not code or "--headless" in bare.stderr), f"robot without a display: {bare}")
robot = Robot()
console = None
try:
    console = Console([os.environ["DRAVEL_AS_COM1"], robot.pty, os.path.join(BUILD, "dravel")])
    check(console.shows(" Connecté"), "Connecté at start-up")

    # Mouse mode: every pad button by its accessible name; forward, turn right, forward.
    for name in ("Reculer", "Tourner à gauche", "Moins vite", "Plus vite", "Stop", "Avancer"):
        console.press(name)
    robot.expect("xsloqe")
    time.sleep(0.5)
    console.press("Tourner à droite")
    time.sleep(0.3)
    console.press("Avancer")
    robot.expect("de")

    # Stop clicked while "Version" waits for the robot still reaches it.
    stop = console.centre(console.find("push button", "Stop"))
    console.choose("Aide", "Version")
    console.click(*stop)
    console.answer("Robot simulé 1.0")
    robot.expect("vq")

    # Keyboard mode: the switch sends Stop, then a burst of typed keys drives.
    console.press("Souris")
    robot.expect("q")
    check(console.find("push button", "Clavier") is not None, "the mode button reads Clavier")
    keys, sent = "eoxlsdq+-", "eoxlsdqol"
    burst = "".join(keys[(i * 7 + i // 9) % 9] for i in range(400))
    xdotool("type", "--delay", "0", burst)
    robot.expect(burst.translate(str.maketrans(keys, sent)), timeout=30)
    xdotool("type", "E")
    console.answer("Erreur de Touche Clavier")
    console.press("Clavier")
    robot.expect("q")

    console.quit()
    pose = robot.pose()
    check(pose["y"] > 5 and 10 < pose["heading"] < 180 and pose["unknown"] == 0,
          f"the robot ended ahead and to the right, every byte known: {pose}")
except AssertionError as error:
    check(False, str(error))
finally:
    for process in (console and console.process, robot.process):
        if process and process.poll() is None:
            process.kill()
    os.unlink(robot.path)
sys.exit(verdict())
