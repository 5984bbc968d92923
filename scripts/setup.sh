#!/bin/sh
# usage: scripts/setup.sh [--tests]
#
# Installs what building and running need (Debian 12 or 13, Ubuntu 24.04),
# with --tests also what the tests, benchmarks and package checks need, then
# builds into build/. It asks sudo only for the installation; run it as
# yourself so build/ stays yours.
set -eu
cd "$(dirname "$0")/.."

packages="build-essential cmake pkg-config qt6-base-dev qt6-svg-dev fonts-urw-base35 fonts-dejavu-core
  util-linux mount"
if [ "${1:-}" = "--tests" ]; then
    packages="$packages libgtest-dev libx11-dev libxtst-dev xvfb xdotool procps
      python3 python3-pyatspi at-spi2-core dbus clang libclang-rt-dev
      dpkg-dev file desktop-file-utils appstream lintian man-db
      qemu-system-x86 busybox-static strace debootstrap"
fi
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi

# Without GoogleTest and the X test libraries the build leaves the tests out.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
