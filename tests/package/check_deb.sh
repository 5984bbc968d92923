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
    usr/share/doc/dravel/examples/60-dravel-com1.rules; do
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
check "AppStream metadata validates" "appstreamcli validate --no-net $unpacked/usr/share/metainfo/org.dravel.Dravel.metainfo.xml >/dev/null"
check "Debian's lintian reports no error and no warning" "lintian --fail-on error,warning \"$deb\" 2>/dev/null"
exit $fail
