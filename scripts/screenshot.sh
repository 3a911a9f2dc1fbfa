#!/usr/bin/env bash
# Pictures the window as a fresh start shows it, on a virtual X screen at 96 dpi:
# docs/window.png with the desktop's 9 pt font, docs/window-11pt.png with the
# font as large as 11 pt (fonts at 117 dpi), docs/window@2x.png at twice the scale.
# Usage: scripts/screenshot.sh [path/to/tren]   (default: build/src/tren, built first;
# give /usr/bin/tren to picture the installed program)
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
    tren=$1 scale=$2 fontdpi=$3 out=$4
    QT_SCALE_FACTOR=$scale QT_FONT_DPI=$fontdpi "$tren" &
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
# The screen is much larger than the window, so that the pointer, in its middle,
# rests on no control.
shot() { # SCALE FONT_DPI OUT
    xvfb-run -a -s "-screen 0 2400x1600x24 -dpi 96 -nolisten tcp" \
        bash -c "$shoot" shoot "$tren" "$1" "$2" "$PWD/docs/$3"
}
shot 1 96 window.png
shot 1 117 window-11pt.png
shot 2 96 window@2x.png
echo "screenshot: wrote docs/window.png, docs/window-11pt.png and docs/window@2x.png"
