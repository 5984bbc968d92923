"""DTR and RTS on the guest's 16550A: up after start-up, down once the port
is let go, up again after "Active", which asks for both itself.

The lines are read from the driver's own table: opening the port to ask
(TIOCMGET) would raise them by itself."""
import os
import re
import sys

from desktop import BUILD, Console, check, in_guest, verdict

if not in_guest():
    sys.exit("this scenario runs only in the virtual machine of tests/vm/run")


def lines():
    row = re.search(r"^0: .*$", open("/proc/tty/driver/serial").read(), re.M).group(0)
    return {"DTR", "RTS"} & set(re.split(r"[ |]", row))


trace = "/tmp/dravel.strace"
console = Console(["strace", "-f", "-qq", "-o", trace, "-e", "trace=openat,ioctl",
                   os.path.join(BUILD, "dravel")], timeout=60)
check(console.shows(" Connecté"), "Connecté at start-up")
check(lines() == {"DTR", "RTS"}, f"DTR and RTS up after start-up, not {lines()}")
console.choose("Port Série", "Ferme", then=" Déconnecté")
check(lines() == set(), f"DTR and RTS down after Ferme, not {lines()}")
console.choose("Port Série", "Active", then=" Connecté")
check(lines() == {"DTR", "RTS"}, f"DTR and RTS up after Active, not {lines()}")
console.quit()

calls = open(trace).read()
after_active = calls[calls.rindex('"/dev/ttyS0"'):]
requests = re.findall(r"TIOCMBIS, \[(TIOCM_\w+)\]\) += 0", after_active)
check(requests == ["TIOCM_DTR", "TIOCM_RTS"], f"Active asked for DTR then RTS, and the UART took both: {requests}")
sys.exit(verdict())
