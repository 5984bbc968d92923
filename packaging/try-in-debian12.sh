#!/bin/sh
# usage: packaging/try-in-debian12.sh [PACKAGE.deb]
#
# Installs the package into a throwaway Debian 12 root made with debootstrap,
# as an operator would (apt-get install ./dravel_*.deb), starts the installed
# console there once under Xvfb and waits for its window. Takes minutes and
# needs root and Debian's mirror; not part of every test run.
set -eu
cd "$(dirname "$0")/.."
deb=$(readlink -f "${1:-$(ls -t build/dravel_*.deb | head -n 1)}")
root=$(mktemp -d /var/tmp/dravel-debian12.XXXXXX)
trap 'rm -rf "$root"' EXIT

echo "== debootstrap bookworm into $root"
debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"

# Everything below runs in a private mount namespace. The root gets a /dev of
# its own with no serial device in it, so the console can only report
# " Déconnecté" and never reaches this machine's serial ports.
unshare --mount --propagation private sh -euc '
    root=$1 deb=$2
    mount -t proc proc "$root/proc"
    mount -t tmpfs -o mode=755 dev "$root/dev"
    for node in null zero random urandom tty; do
        touch "$root/dev/$node"
        mount --bind "/dev/$node" "$root/dev/$node"
    done
    mkdir "$root/dev/pts" "$root/dev/shm"
    mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
    ln -s pts/ptmx "$root/dev/ptmx"
    echo "== apt-get install ./$deb"
    chroot "$root" sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ./tmp/$deb xvfb xdotool >/dev/null"
    chroot "$root" dpkg -s dravel | sed -n "s/^\(Version\|Depends\): /  \1: /p"
    echo "== starting the installed console under Xvfb"
    chroot "$root" sh -euc "
        Xvfb :7 -screen 0 800x600x24 -nolisten tcp -noreset >/dev/null 2>&1 &
        xvfb=\$!
        export DISPLAY=:7
        for _ in \$(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
        dravel >/tmp/dravel.log 2>&1 &
        console=\$!
        window=\$(timeout 30 xdotool search --sync --onlyvisible --name \"^Contrôle d.un robot\" | head -n 1)
        echo \"  window \$window: \$(xdotool getwindowname \$window)\"
        [ -n \"\$window\" ]
        kill -0 \$console || { echo \"  the console ended:\"; cat /tmp/dravel.log; exit 1; }
        kill \$console \$xvfb 2>/dev/null || true
    "
' try-in-debian12 "$root" "$(basename "$deb")"
echo "== the installed console came up"
