#!/usr/bin/env bash
# Pictures tren.exe as a fresh start shows it under Wine, on a virtual X screen at
# 96 dpi: docs/window-windows.png. Xvfb has no window manager: Wine draws no
# frame, so the picture is the client area.
# Usage: scripts/screenshot-windows.sh   (builds build-windows/ first when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build-windows/src/tren.exe ] || {
    scripts/setup-windows.sh
    cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
    cmake --build build-windows --target tren
}

if [ "${1:-}" != --on-display ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$0" --on-display
fi

source scripts/wine-prefix.sh
wine build-windows/src/tren.exe &
for _ in $(seq 100); do
    window=$(xdotool search --name '^File Trenning$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.2
done
[ -n "${window:-}" ] || { echo "screenshot: the window did not come up" >&2; exit 1; }
sleep 2
import -window "$window" docs/window-windows.png
echo "screenshot: docs/window-windows.png"
