#!/bin/sh
# usage: scripts/run.sh [--device PATH]
#
# Installs what is missing, builds, and starts the console. Without options it
# is wired to the simulated robot, whose pseudo-terminal stands in for the
# first serial port; with --device it is wired to that device instead (for
# example a USB infrared adapter at /dev/ttyUSB0). The console itself always
# opens "Com1": the wiring happens in a private mount namespace.
set -eu
cd "$(dirname "$0")/.."
device=""
case "${1:-}" in
    --device) device=${2:?"--device needs a path"} ;;
    "") ;;
    *) echo "usage: scripts/run.sh [--device PATH]" >&2; exit 2 ;;
esac
scripts/setup.sh >/dev/null

userns=""
[ "$(id -u)" -eq 0 ] || userns="--user --map-root-user"
# shellcheck disable=SC2086
if ! unshare $userns --mount --propagation private true 2>/dev/null; then
    echo "dravel: private mount namespaces are not available here; starting the console alone on the first serial port." >&2
    exec build/bin/dravel
fi
if [ -n "$device" ]; then
    exec scripts/as-com1 "$device" build/bin/dravel
fi

out=$(mktemp)
build/bin/dravel-robot >"$out" &
robot=$!
trap 'kill "$robot" 2>/dev/null; rm -f "$out"' EXIT INT TERM
for _ in $(seq 100); do
    [ -s "$out" ] && break
    sleep 0.05
done
pty=$(head -n 1 "$out")
[ -c "$pty" ] || { echo "dravel: the simulated robot did not start" >&2; exit 1; }
scripts/as-com1 "$pty" build/bin/dravel
