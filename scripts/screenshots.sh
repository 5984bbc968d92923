#!/bin/sh
# Regenerates docs/console-and-robot.png: the console and the simulated robot
# side by side under a private Xvfb, after a short drive.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh --tests >/dev/null
command -v import >/dev/null || { echo "screenshots: needs ImageMagick (apt-get install imagemagick)" >&2; exit 1; }
XVFB_SCREEN=1170x400x24 exec tests/with-x sh -euc '
    out=$(mktemp)
    build/bin/dravel-robot >"$out" &
    robot=$!
    trap "kill \$robot \${console:-} 2>/dev/null; rm -f $out" EXIT
    for _ in $(seq 100); do [ -s "$out" ] && break; sleep 0.05; done
    scripts/as-com1 "$(head -n 1 "$out")" build/bin/dravel &
    console=$!
    for _ in $(seq 100); do xdotool search --name "^Contrôle" >/dev/null 2>&1 && break; sleep 0.05; done
    sleep 0.5
    c=$(xdotool search --name "^Contrôle" | head -n 1)
    r=$(xdotool search --name "^Robot simulé" | head -n 1)
    xdotool windowmove "$c" 10 10 windowmove "$r" 420 10
    menu=$(( $(xdotool getwindowgeometry --shell "$c" | sed -n "s/^HEIGHT=//p") - 346 ))
    click() { xdotool mousemove --window "$c" "$1" $(( menu + $2 )) click 1; }
    click 184 56; sleep 0.4; click 340 75; click 264 136; sleep 0.45; click 184 56; sleep 0.8; click 99 220
    sleep 0.3
    import -window root docs/console-and-robot.png
    echo docs/console-and-robot.png'
