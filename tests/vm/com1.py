"""Com1 as it is on a PC: the unmodified console on the guest's 16550A, with
the simulated robot on the far side of the emulated line."""
import fcntl
import os
import sys
import termios

from desktop import BUILD, Console, RobotLog, check, verdict, xdotool


def on_line(act):
    line = os.open("/dev/ttyS0", os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        return act(line)
    finally:
        os.close(line)


def check_line(when):
    """The line as the driver holds it: 2400 baud, 8N1, raw, no flow control."""
    iflag, oflag, cflag, lflag, ispeed, ospeed, _ = on_line(termios.tcgetattr)
    check(ispeed == ospeed == termios.B2400, f"{when}: 2400 baud, not {ispeed:o}/{ospeed:o}")
    check(cflag & (termios.CSIZE | termios.PARENB | termios.CSTOPB | termios.CRTSCTS) == termios.CS8,
          f"{when}: 8N1 without RTS/CTS, not cflag {cflag:o}")
    check(not iflag & (termios.IXON | termios.IXOFF | termios.ICRNL | termios.INLCR | termios.ISTRIP),
          f"{when}: no XON/XOFF and no input translation, not iflag {iflag:o}")
    check(not oflag & termios.OPOST and not lflag & (termios.ICANON | termios.ECHO | termios.ISIG),
          f"{when}: raw, not oflag {oflag:o} lflag {lflag:o}")


# Another program left the line at 9600, 7E2, both flow controls and echo;
# the driver keeps that for the next program.
left = on_line(termios.tcgetattr)
left[0] |= termios.IXON | termios.IXOFF | termios.ICRNL
left[2] = (left[2] & ~termios.CSIZE) | termios.CS7 | termios.PARENB | termios.CSTOPB | termios.CRTSCTS
left[3] |= termios.ICANON | termios.ECHO
left[4] = left[5] = termios.B9600
on_line(lambda line: termios.tcsetattr(line, termios.TCSANOW, left))

robot = RobotLog(os.environ["DRAVEL_ROBOT_LOG"])
console = Console([os.path.join(BUILD, "dravel")], timeout=60)
check(console.shows(" Connecté"), "Connecté at start-up")
check("0: uart:16550A" in open("/proc/tty/driver/serial").read(), "ttyS0 is a 16550A")
check_line("start-up")
console.choose("Port Série", "Ferme")
console.choose("Port Série", "Active")
check_line("Active")

# Clicks, then typed keys, arrive as the exact bytes; the reply comes back.
for name in ("Avancer", "Tourner à droite", "Plus vite", "Stop"):
    console.press(name)
robot.expect("edoq")
console.press("Souris")
xdotool("type", "--delay", "0", "exsd+-q")
robot.expect("qexsdolq")
console.choose("Aide", "Version")
console.answer("Robot simulé 1.0")
robot.expect("v")

console.quit()
check(not os.path.exists("/run/lock/LCK..ttyS0"), "Quitter removes the lock file")
# Raises if anybody still holds the port.
on_line(lambda line: fcntl.flock(line, fcntl.LOCK_EX | fcntl.LOCK_NB))
sys.exit(verdict())
