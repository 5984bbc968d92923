"""Com1 as it is on a PC: the unmodified console on the guest's 16550A, with
the simulated robot on the far side of the emulated line."""
import fcntl
import os
import sys
import termios

from desktop import BUILD, Console, RobotLog, check, verdict, xdotool

robot = RobotLog(os.environ["DRAVEL_ROBOT_LOG"])
console = Console([os.path.join(BUILD, "dravel")], timeout=60)
check(console.shows(" Connecté"), "Connecté at start-up")
check("0: uart:16550A" in open("/proc/tty/driver/serial").read(), "ttyS0 is a 16550A")

# The line as the driver holds it: 2400 baud, 8N1, raw, no flow control.
line = os.open("/dev/ttyS0", os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
iflag, oflag, cflag, lflag, ispeed, ospeed, _ = termios.tcgetattr(line)
os.close(line)
check(ispeed == ospeed == termios.B2400, f"2400 baud, not {ispeed:o}/{ospeed:o}")
check(cflag & (termios.CSIZE | termios.PARENB | termios.CSTOPB | termios.CRTSCTS) == termios.CS8,
      f"8N1 without RTS/CTS, not cflag {cflag:o}")
check(not iflag & (termios.IXON | termios.IXOFF | termios.ICRNL | termios.INLCR | termios.ISTRIP),
      f"no XON/XOFF and no input translation, not iflag {iflag:o}")
check(not oflag & termios.OPOST and not lflag & (termios.ICANON | termios.ECHO | termios.ISIG),
      f"raw, not oflag {oflag:o} lflag {lflag:o}")

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
line = os.open("/dev/ttyS0", os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
fcntl.flock(line, fcntl.LOCK_EX | fcntl.LOCK_NB)  # raises if anyone still holds the port
os.close(line)
sys.exit(verdict())
