#!/bin/sh
# Builds and runs the benchmarks under a private Xvfb; prints one report.
# Exits 1 if a figure missed its aim or its scenario did not happen.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
exec tests/with-x sh -c '
    bin=build/bin failed=0
    echo "Dravel benchmarks, $(date -u "+%Y-%m-%d %H:%M UTC"), $(nproc) cores, $(uname -m)"
    "$bin/startup_bench" scripts/as-com1 "$bin/dravel" "$bin/bare_window" "${RUNS:-20}" || failed=1
    "$bin/latency_bench" scripts/as-com1 "$bin/dravel" "${EVENTS:-300}" || failed=1
    "$bin/version_bench" scripts/as-com1 "$bin/dravel" "$bin/dravel-robot" "${VERSION_RUNS:-10}" || failed=1
    "$bin/idle_bench" scripts/as-com1 "$bin/dravel" || failed=1
    exit $failed'
