#!/bin/sh
# Builds the Debian package from the build folder given and checks what it
# installs and what it declares it needs.
set -eu
build=$1
cd "$build"
cpack -G DEB >/dev/null
deb=$(ls -t dravel_*_*.deb | head -n 1)
fail=0
check() { if ! eval "$2"; then echo "FAILED: $1"; fail=1; else echo "ok: $1"; fi; }

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in usr/bin/dravel usr/bin/dravel-robot usr/share/applications/dravel.desktop \
    usr/share/applications/dravel-robot.desktop usr/share/icons/hicolor/32x32/apps/dravel.png \
    usr/share/icons/hicolor/scalable/apps/dravel.svg usr/share/metainfo/org.dravel.Dravel.metainfo.xml \
    usr/share/man/man1/dravel.1.gz usr/share/man/man1/dravel-robot.1.gz usr/share/doc/dravel/copyright \
    usr/share/doc/dravel/README.md.gz usr/share/doc/dravel/examples/70-dravel-com1.rules \
    usr/share/icons/hicolor/scalable/apps/dravel-robot.svg usr/libexec/dravel/as-com1; do
    check "installs /$path" "echo \"\$contents\" | grep -qx './$path'"
done
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 fonts-urw-base35; do
    check "depends on $package" "echo \"\$depends\" | grep -q '$package'"
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
check "the 32x32 icon is a 32x32 PNG" "file \"$unpacked/usr/share/icons/hicolor/32x32/apps/dravel.png\" | grep -q '32 x 32'"
check "desktop entries validate" "desktop-file-validate $unpacked/usr/share/applications/*.desktop"
check "AppStream metadata validates (appstream $(appstreamcli --version | grep -o '[0-9.]*' | head -n 1))" \
    "appstreamcli validate --no-net $unpacked/usr/share/metainfo/org.dravel.Dravel.metainfo.xml"
command -v man >/dev/null && check "manual pages render cleanly" "for page in $unpacked/usr/share/man/man1/*.gz; do [ -z \"\$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l \$page 2>&1 >/dev/null)\" ] || exit 1; done"
# udevadm verify came with systemd 254 (Debian 13).
if udevadm verify --help >/dev/null 2>&1; then
    check "the udev rule verifies" "udevadm verify --no-style $unpacked/usr/share/doc/dravel/examples/70-dravel-com1.rules"
fi
check "Debian's lintian reports no error and no warning" "lintian --fail-on error,warning \"$deb\" 2>/dev/null"
exit $fail
