#!/usr/bin/env bash
# Starts the real window without an argument, in folders of its own, and asks the
# desktop's own tools what it registered. Usage: registration_test.sh /path/to/tren
set -u
TREN=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
ROOT=$(mktemp -d "${TMPDIR:-/tmp}/tren-registration.XXXXXX") || exit 2
trap 'rm -rf "$ROOT"' EXIT
export HOME=$ROOT/home XDG_DATA_HOME=$ROOT/data XDG_CONFIG_HOME=$ROOT/config XDG_DATA_DIRS=/usr/share \
    XDG_CONFIG_DIRS=/etc/xdg QT_QPA_PLATFORM=offscreen
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION
mkdir -p "$HOME" "$ROOT/elsewhere" && touch "$ROOT/some.tr0"
failed=0
check() { [[ "$2" == "$3" ]] || { failed=$((failed + 1)) && printf 'FAIL: %s\n    expected: %s\n    actual:   %s\n' "$@"; }; } # NAME EXPECTED ACTUAL
# The window stays up until closed; registration is done long before it shows.
start() { (cd "$ROOT/elsewhere" && timeout 5 "$TREN" >/dev/null 2>&1); }
default() { xdg-mime query default application/x-tr-file; }
# Contents and times: a database update rewrites its caches even with the same bytes.
snapshot() { (cd "$ROOT" && find "${@:-data}" config -type f -printf '%p %T@ ' -exec sha256sum {} \; 2>/dev/null | sort); }

start; before=$(snapshot) entry=$XDG_DATA_HOME/applications/tren.desktop
check "the type of a .tr0 file" "application/x-tr-file" "$(xdg-mime query filetype "$ROOT/some.tr0")"
check "the type's default application" "tren.desktop" "$(default)"
check "the entry runs the program that was started" "Exec=$TREN %f" "$(grep -m1 '^Exec=' "$entry")"
command -v desktop-file-validate >/dev/null && check "the entry is valid" "" "$(desktop-file-validate "$entry" 2>&1)"
icons=$XDG_DATA_HOME/icons/hicolor/48x48 && type_icon=$icons/mimetypes/application-x-tr-file.png
check "the type's icon, not the program's, is in the theme" yes \
    "$([[ -s $type_icon && -s $icons/apps/tren.png ]] && ! cmp -s "$type_icon" "$icons/apps/tren.png" && echo yes)"
cp "$XDG_DATA_HOME/mime/packages/x-tr-file.xml" "$ROOT/package.xml" && start
check "a second start changes no byte and updates no database" "$before" "$(snapshot)"

# The user's own choice of application for the type stays; tren is offered beside it.
printf '[Default Applications]\napplication/x-tr-file=other.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"
printf '[Desktop Entry]\nType=Application\nName=other\nExec=true %%f\n' >"$XDG_DATA_HOME/applications/other.desktop"
start; offered=$(grep -A1 -F '[Added Associations]' "$XDG_CONFIG_HOME/mimeapps.list" | tail -1)
check "the user's default stays, tren is offered beside it" "other.desktop application/x-tr-file=tren.desktop;" "$(default) $offered"

# A package that provides the type for this very program: the user's folders stay untouched.
rm -rf "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" && system=$ROOT/system && mkdir -p "$system/applications" "$system/mime/packages"
printf '[Desktop Entry]\nType=Application\nName=tren\nExec=%s %%f\nMimeType=application/x-tr-file;\n' \
    "$TREN" >"$system/applications/org.example.tren.desktop"
cp "$ROOT/package.xml" "$system/mime/packages/tren.xml" && update-mime-database "$system/mime" >/dev/null 2>&1
XDG_DATA_DIRS=$system:/usr/share start
check "with the package installed nothing is written" "" "$(find "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" 2>/dev/null)"

# Installed into ~/.local, whose own entry runs the program: no start writes a second one.
build=$(dirname "$TREN") && until [[ -f $build/CMakeCache.txt || $build == / ]]; do build=$(dirname "$build"); done
rm -rf "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" && export XDG_DATA_HOME=$ROOT/local/share PATH=$ROOT/local/bin:$PATH
cmake --install "$build" --prefix "$ROOT/local" >/dev/null && TREN=$ROOT/local/bin/tren && before=$(snapshot local)
entry=$XDG_DATA_HOME/applications/org.example.tren.desktop
# On an X screen the window's class is what the entry names, so that docks group the two.
if command -v Xvfb xprop xdotool >/dev/null; then
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$ROOT/display" >/dev/null 2>&1 & xvfb=$!
    for _ in {1..50}; do [[ -s $ROOT/display ]] && break; sleep 0.1; done
    (cd "$ROOT/elsewhere" && DISPLAY=:$(cat "$ROOT/display") QT_QPA_PLATFORM=xcb exec "$TREN") >/dev/null 2>&1 & tren=$!
    for _ in {1..50}; do window=$(DISPLAY=:$(cat "$ROOT/display") xdotool search --pid $tren 2>/dev/null | head -1) && [[ $window ]] && break; sleep 0.1; done
    class=$(DISPLAY=:$(cat "$ROOT/display") xprop -id "${window:-0}" WM_CLASS 2>&1 | sed 's/.*", "\(.*\)"$/\1/')
    kill $tren $xvfb && wait $tren $xvfb 2>/dev/null
    check "the window's class is the entry's" "$(sed -n 's/^StartupWMClass=//p' "$entry")" "$class"
fi
start; check "a start after a ~/.local install writes nothing" "$before" "$(snapshot local)"
start; check "nor does a second one" "$before" "$(snapshot local)"
echo "$failed failed" && ((failed == 0))
