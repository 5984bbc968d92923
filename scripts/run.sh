#!/bin/sh
# usage: scripts/run.sh [--device PATH]
#
# Installs what building and running need (asking sudo only for that),
# builds, and starts the console. Run it as yourself. Without options the
# console is wired to the simulated robot, whose pseudo-terminal stands in
# for the first serial port; with --device, to that device instead (a USB
# infrared adapter at /dev/ttyUSB0, say), whose lock other serial programs
# then see. The console always opens "Com1": the wiring happens in a private
# mount namespace (scripts/as-com1), and where none may be made the console
# does not start, so a real port is never reached by accident.
# DRAVEL_BUILD_BIN names programs already built.
set -eu
cd "$(dirname "$0")/.."
device=""
case "${1:-}" in
    --device) device=${2:?"--device needs a path"} ;;
    "") ;;
    *) echo "usage: scripts/run.sh [--device PATH]" >&2; exit 2 ;;
esac
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ]; then
    echo "dravel: run scripts/run.sh as yourself, not through sudo; it asks for sudo only to install what is missing" >&2
    exit 2
fi
bin=${DRAVEL_BUILD_BIN:-build/bin}
[ -n "${DRAVEL_BUILD_BIN:-}" ] || scripts/setup.sh >/dev/null

if [ -n "$device" ]; then
    exec scripts/as-com1 --share-locks "$device" "$bin/dravel"
fi

out=$(mktemp)
robot=""
cleanup() {
    [ -z "$robot" ] || kill "$robot" 2>/dev/null || true
    rm -f "$out"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
"$bin/dravel-robot" >"$out" &
robot=$!
for _ in $(seq 100); do
    [ -s "$out" ] && break
    sleep 0.05
done
pty=$(head -n 1 "$out")
[ -c "$pty" ] || { echo "dravel: the simulated robot did not start" >&2; exit 1; }
status=0
scripts/as-com1 "$pty" "$bin/dravel" || status=$?
exit $status
