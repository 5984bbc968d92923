#!/bin/sh
# Builds and runs the benchmarks under a private Xvfb; prints one report.
# Exits 1 if a figure missed its aim or its scenario did not happen.
# DRAVEL_BUILD_BIN names programs already built (tests/debian13/run BUILD bench).
set -eu
cd "$(dirname "$0")/.."
[ -n "${DRAVEL_BUILD_BIN:-}" ] || scripts/setup.sh --tests >/dev/null
export bin="${DRAVEL_BUILD_BIN:-build/bin}"
exec tests/with-x sh -c '
    failed=0
    . /etc/os-release
    echo "Dravel benchmarks, $(date -u "+%Y-%m-%d %H:%M UTC"), $(nproc) cores, $(uname -m), $PRETTY_NAME, Qt $(qtpaths6 --qt-version 2>/dev/null || qmake6 -query QT_VERSION 2>/dev/null)"
    "$bin/startup_bench" scripts/as-com1 "$bin/dravel" "$bin/bare_window" "${RUNS:-20}" || failed=1
    "$bin/latency_bench" scripts/as-com1 "$bin/dravel" "${EVENTS:-300}" || failed=1
    "$bin/version_bench" scripts/as-com1 "$bin/dravel" "$bin/dravel-robot" "${VERSION_RUNS:-10}" || failed=1
    "$bin/idle_bench" scripts/as-com1 "$bin/dravel" || failed=1
    exit $failed'
