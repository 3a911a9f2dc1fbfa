#!/usr/bin/env bash
# Pictures the window as a fresh start shows it, on a virtual X screen at 96 dpi:
# docs/window.png, and docs/window@2x.png at twice the scale.
# Usage: scripts/screenshot.sh [path/to/tren]   (default: build/src/tren, built first)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ge 1 ]; then
    tren=$(realpath "$1")
elif [ -f build/build.ninja ]; then
    cmake --build build
    tren=$PWD/build/src/tren
else
    scripts/setup.sh
    tren=$PWD/build/src/tren
fi
[ -x "$tren" ] || { echo "screenshot: no program at $tren" >&2; exit 1; }

# Start-up registers the file type under the XDG folders: keep it all in here.
source scripts/scratch-home.sh
export QT_QPA_PLATFORM=xcb

# Run inside the virtual screen: start the window, wait until it is mapped and
# drawn, picture it (there is no window manager, so no frame), stop it.
# shellcheck disable=SC2016
shoot='
    tren=$1 scale=$2 out=$3
    QT_SCALE_FACTOR=$scale "$tren" &
    pid=$!
    id=""
    for _ in $(seq 100); do
        id=$(xwininfo -root -children | awk "/\"File Trenning\"/ { print \$1; exit }")
        [ -n "$id" ] && xwininfo -id "$id" | grep -q IsViewable && break
        id=""
        sleep 0.1
    done
    [ -n "$id" ] || { echo "screenshot: the window did not appear" >&2; kill "$pid"; exit 1; }
    sleep 1
    import -window "$id" "$out"
    kill "$pid"
    wait "$pid" || true
'

mkdir -p docs
# The screen is larger than the window at either scale.
xvfb-run -a -s "-screen 0 640x400x24 -dpi 96 -nolisten tcp" \
    bash -c "$shoot" shoot "$tren" 1 "$PWD/docs/window.png"
xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96 -nolisten tcp" \
    bash -c "$shoot" shoot "$tren" 2 "$PWD/docs/window@2x.png"
echo "screenshot: wrote docs/window.png and docs/window@2x.png"
