#!/bin/sh
# usage: tests/scripts/test_run.sh   (as root, under tests/with-x)
#
# The launcher never reaches a real adapter by itself. In a private /dev
# whose com1 names a second pty, "the adapter", scripts/run.sh wires the
# console to the simulated robot and nothing opens the adapter; with
# --device, another program's lock on the adapter is honoured, and the
# console's own is seen outside; where namespaces are refused, nothing starts.
set -eu
[ "$(id -u)" -eq 0 ] || { echo "needs root for a private /dev"; exit 77; }
[ "${DRAVEL_IN_PRIVATE_DEV:-}" ] || exec unshare --mount --propagation private env DRAVEL_IN_PRIVATE_DEV=1 "$0" "$@"
src=$(cd "$(dirname "$0")/../.." && pwd)
export DRAVEL_BUILD_BIN
passes=0 failures=0
check() {
    if eval "$2"; then echo "ok: $1"; passes=$((passes + 1)); else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
wait_for() { for _ in $(seq 200); do eval "$1" && return 0; sleep 0.05; done; return 1; }
scratch=$(mktemp -d)

# This namespace's own /dev (no serial device, com1 naming the adapter) and /run/lock.
mkdir "$scratch/dev"
mount --rbind /dev "$scratch/dev"
mount -t tmpfs -o mode=755 dev /dev
for node in null zero full random urandom tty; do
    touch "/dev/$node"
    mount --bind "$scratch/dev/$node" "/dev/$node"
done
mkdir /dev/pts /dev/shm
mount -t devpts -o newinstance,ptmxmode=0666 devpts /dev/pts
ln -s pts/ptmx /dev/ptmx
mount --bind "$scratch/dev/shm" /dev/shm
touch /dev/ttyS0
mount -t tmpfs -o mode=1777 lock /run/lock

# The adapter: a pty whose far end a helper holds, as a USB adapter's driver would.
python3 -c 'import os, sys, time
master, slave = os.openpty()
print(os.ttyname(slave), flush=True)
os.close(slave)
time.sleep(600)' >"$scratch/adapter" &
helper=$!
wait_for '[ -s "$scratch/adapter" ]'
adapter=$(cat "$scratch/adapter")
node() { stat -L -c %d:%i "$1"; } # device numbers repeat across pty instances; nodes do not
adapter_node=$(node "$adapter")

ln -s "$adapter" /dev/com1

holders() { # who holds the node $1 open
    for fd in /proc/[0-9]*/fd/*; do [ "$(node "$fd" 2>/dev/null)" = "$1" ] && echo "${fd%/fd/*}"; done | sort -u
}
console_pid() { xdotool search --onlyvisible --name "^Contrôle d'un robot" getwindowpid 2>/dev/null | head -n 1; }
holds_another_pty() { # the console, on a pty (major 136) that is not the adapter
    for fd in /proc/"$1"/fd/*; do
        [ "$(stat -L -c %t "$fd" 2>/dev/null)" = 88 ] && [ "$(node "$fd")" != "$adapter_node" ] && return 0
    done
    return 1
}
stop_console() {
    kill "$(console_pid)"
    status=0
    wait "$1" || status=$?
    echo $status >"$scratch/status"
}

cd "$src"
# Each run in a session of its own, to tell its processes from other tests'.
left_running() { pgrep -s "$1" >/dev/null; }

# 1. Wired to the simulated robot; the adapter named by /dev/com1 is left alone.
setsid scripts/run.sh 2>"$scratch/stderr" &
runner=$!
check "the console comes up" 'wait_for "[ -n \"\$(console_pid)\" ]"'
console=$(console_pid)
check "the console holds the robot's pty" 'holds_another_pty "$console"'
check "nobody opened the adapter" '[ -z "$(holders "$adapter_node")" ]'
stop_console $runner
check "run.sh returns the console's status" '[ "$(cat "$scratch/status")" = 143 ]'
check "run.sh stopped the robot" 'wait_for "! left_running $runner"'

# The robot ends first: run.sh still cleans up and returns the console's status.
setsid scripts/run.sh 2>"$scratch/stderr" &
runner=$!
wait_for '[ -n "$(console_pid)" ]'
pkill -s $runner -x dravel-robot
stop_console $runner
check "robot gone first: still the console's status" '[ "$(cat "$scratch/status")" = 143 ]'

# 2. --device: another program's lock on it is honoured.
lock=/run/lock/LCK..$(printf %s "${adapter#/dev/}" | tr / _)
printf '%10d\n' $helper >"$lock"
scripts/run.sh --device "$adapter" 2>"$scratch/stderr" &
runner=$!
check "the console says the adapter is held" 'wait_for "grep -q \"occupé par un autre programme\" \"\$scratch/stderr\""'
check "the held adapter was not opened" '[ -z "$(holders "$adapter_node")" ]'
check "the holder's lock stands" '[ "$(cat "$lock")" = "$(printf "%10d" $helper)" ]'
stop_console $runner
rm -f "$lock"

# 3. --device on a free adapter: other programs see it locked while the console runs.
scripts/run.sh --device "$adapter" 2>"$scratch/stderr" &
runner=$!
check "the console opens the free adapter" 'wait_for "[ -n \"\$(holders \"\$adapter_node\")\" ]"'
check "its lock names a live process" 'owner=$(tr -d " \n" <"$lock") && [ -d "/proc/$owner" ]'
stop_console $runner
check "the lock goes with the console" '[ ! -e "$lock" ]'

# 4. The simulator starts the console on itself, as a user without privileges.
setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp "$DRAVEL_BUILD_BIN/dravel-robot" --console \
    >"$scratch/pty" 2>"$scratch/stderr" &
runner=$!
check "dravel-robot --console as nobody: the console comes up" 'wait_for "[ -n \"\$(console_pid)\" ]"'
console=$(console_pid)
check "its Com1 is the robot's pty" 'holders "$(node "$(head -n 1 "$scratch/pty")")" | grep -qx "/proc/$console"'
check "the console runs as nobody" '[ "$(stat -c %u "/proc/$console")" = 65534 ]'
stop_console $runner
check "the robot ends with the console" '! kill -0 $runner 2>/dev/null'

# 5. Namespaces refused: one line, status 1, nothing started.
mkdir "$scratch/bin"
printf '#!/bin/sh\necho "unshare: unshare failed: Operation not permitted" >&2\nexit 1\n' >"$scratch/bin/unshare"
chmod +x "$scratch/bin/unshare"
PATH="$scratch/bin:$PATH" setsid timeout --foreground 20 scripts/run.sh 2>"$scratch/stderr" &
runner=$!
status=0
wait $runner || status=$?
check "refused namespaces: status 1 and one line" '[ $status = 1 ] && [ "$(wc -l <"$scratch/stderr")" = 1 ]'
check "refused namespaces: nothing left running" 'wait_for "! left_running $runner"'

kill $helper
echo "$passes passed, $failures failed"
[ $failures = 0 ]
