#!/bin/sh
# Installs what the build and the tests need (Debian 12), then builds into build/.
set -eu
cd "$(dirname "$0")/.."

packages="build-essential cmake pkg-config qt6-base-dev qt6-svg-dev
  libgtest-dev libx11-dev libxtst-dev fonts-urw-base35 fonts-dejavu-core xvfb xdotool util-linux mount procps
  python3 python3-pyatspi at-spi2-core dbus clang libclang-rt-dev
  dpkg-dev file desktop-file-utils appstream lintian
  qemu-system-x86 busybox-static strace debootstrap"
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

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
