#!/bin/sh
# Builds and runs the benchmarks under a private Xvfb; prints one report.
# Exits 1 if a "Version" time missed its aim. The memory soak under a flooding
# robot takes minutes and runs on its own: bench/flood_soak.py (see there).
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
bin=build/bin
displayfile=$(mktemp)
# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -dpi 96 -nolisten tcp -noreset 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$displayfile"' EXIT
for _ in $(seq 200); do [ -s "$displayfile" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$displayfile")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"

echo "Dravel benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(uname -m)"
"$bin/startup_bench" scripts/as-com1 "$bin/dravel" "$bin/bare_window" "${RUNS:-20}"
"$bin/latency_bench" scripts/as-com1 "$bin/dravel" "${EVENTS:-300}"
missed=0
"$bin/version_bench" scripts/as-com1 "$bin/dravel" "${VERSION_RUNS:-10}" || missed=1
"$bin/idle_bench" scripts/as-com1 "$bin/dravel"
exit $missed
