#!/usr/bin/env bash
# The real tren.exe window under Wine, driven as a person drives it: the mouse and
# the keyboard through the display server (xdotool), on a display with a window
# manager (openbox). window-probe.exe reads what the window shows and answers the
# open dialog and the folder picker. WINEPREFIX and DISPLAY come from the caller.
# Usage: window_input_test.sh tren.exe window-probe.exe
set -u -o pipefail
[[ $# -eq 2 && -f $1 && -f $2 ]] || { echo "usage: $0 tren.exe window-probe.exe" >&2; exit 2; }
TREN=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
PROBE=$(cd "$(dirname "$2")" && pwd -P)/$(basename "$2")
WINE_RUN=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd -P)/wine-run.sh
WINEPREFIX=${WINEPREFIX:?a Wine prefix of the test run}
if [[ -z ${DISPLAY:-} ]] || ! command -v xdotool >/dev/null || ! command -v openbox >/dev/null; then
    echo "skipped: needs a display, xdotool and openbox (scripts/setup-windows.sh)"
    exit 77
fi
ROOT=$(mktemp -d) && export HOME=$ROOT/home && mkdir -p "$HOME"
tren_pid="" wm_pid=""
cleanup() {
    [[ -n $tren_pid ]] && kill "$tren_pid" 2>/dev/null && wait "$tren_pid" 2>/dev/null
    [[ -n $wm_pid ]] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
    rm -rf "$ROOT"
}
trap cleanup EXIT
# A window manager of our own, unless the display has one.
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
sleep 1
kill -0 "$wm_pid" 2>/dev/null || wm_pid=""

failures=0 skipped=0
# ONLY=REGEX runs the cases whose names match.
only() { [[ -z ${ONLY:-} || $1 =~ $ONLY ]]; }
check() { # NAME STATUS DETAIL
    if [[ $2 -eq 0 ]]; then echo "ok: $1"; else echo "FAILED: $1"$'\n'"$3"; failures=$((failures + 1)); fi
}
probe() { "$WINE_RUN" "$PROBE" "$@" | tr -d '\r'; }
win() { echo "Z:${1//\//\\}"; } # the Windows name of a Linux path

start() { # [ARGUMENT]: tren.exe, its window made
    "$WINE_RUN" "$TREN" "$@" &
    tren_pid=$!
    probe window
}
stop() {
    kill "$tren_pid" 2>/dev/null && wait "$tren_pid" 2>/dev/null
    tren_pid=""
    sleep 0.5
}
# The window shown, raised and given the keyboard.
take_window() {
    probe shown || return 1
    wid=$(xdotool search --sync --onlyvisible --name '^File Trenning$' | head -n 1)
    xdotool windowactivate --sync "$wid" windowfocus --sync "$wid"
    sleep 0.3
}
rect() { probe rect "$1" | cut -d' ' -f2-; } # ID: left top right bottom on the screen
click() { xdotool mousemove --sync "$1" "$2" click 1; sleep 0.4; }
click_control() { # ID: in the middle of the control
    read -r l t r b < <(rect "$1")
    click $(((l + r) / 2)) $(((t + b) / 2))
}
# The size box's field, and its arrow at the right end.
click_size_field() { read -r l t r b < <(rect 105); click $((l + 8)) $(((t + b) / 2)); }
click_size_arrow() { read -r l t r b < <(rect 105); click $((r - 6)) $(((t + b) / 2)); }
keys() { xdotool key --delay 150 "$@"; sleep 0.4; }
# Tren... with the mouse: SOURCE chosen in the open dialog, the folder picker
# cancelled.
tren_by_mouse() {
    click_control 103
    probe answer ok "$(win "$1")" && probe answer cancel
}
# The folder picker cancelled, the set goes to C:\TEMP\.
pieces_of() { # SOURCE SIZE...: the lines a tren of SOURCE lists, pieces of these sizes
    local n=0 size set="C:\\TEMP\\$(basename "$1")"
    for size in "${@:2}"; do n=$((n + 1)) && echo "$set.tr$n [$size bytes]"; done
    echo "$set.tr0 [10 bytes]"
    echo "Finish Trening successfully"
}

head -c 3500000 /dev/urandom >"$ROOT/whole.bin"
at_500k=(500000 500000 500000 500000 500000 500000 500000)
at_144m=(1440000 1440000 620000)

# Choosing a size: the pieces are cut at the size the box shows.
#   name | how | what the box shows | piece sizes
size_cases=(
    "500K chosen with the mouse|mouse|500K Bytes|${at_500k[*]}"
    "500K chosen with Alt+Down, Down, Down, Enter|keyboard|500K Bytes|${at_500k[*]}"
    "500K typed, then Tab|typed 500K|1.44M Bytes|${at_144m[*]}"
    "hello typed, then Tab|typed hello|1.44M Bytes|${at_144m[*]}"
)
for row in "${size_cases[@]}"; do
    IFS='|' read -r name how shown sizes <<<"$row"
    only "$name" || continue
    start && take_window || { check "$name" 1 "the window did not come up"; stop; continue; }
    case $how in
    mouse)
        click_size_arrow
        read -r _ l t item < <(probe size-list)
        click $((l + 20)) $((t + 1 + 4 * item + item / 2))
        ;;
    keyboard)
        click_size_field
        keys alt+Down Down Down Return
        ;;
    typed*)
        click_size_field
        keys End shift+Home
        xdotool type --delay 100 "${how#typed }"
        keys Tab
        ;;
    esac
    box=$(probe size-text)
    rm -f "$WINEPREFIX"/drive_c/[Tt][Ee][Mm][Pp]/whole.bin.tr*
    tren_by_mouse "$ROOT/whole.bin"
    lines=$(probe list "Finish Trening successfully")
    # shellcheck disable=SC2086
    want=$(pieces_of "$ROOT/whole.bin" $sizes)
    check "$name: the box shows $shown" $([[ $box == "$shown" ]]; echo $?) "it shows: $box"
    check "$name: the pieces are cut at it" $([[ $lines == "$want" ]]; echo $?) \
        "listed:"$'\n'"$lines"$'\n'"wanted:"$'\n'"$want"
    stop
done

# Enter on the focused Tren... button clicks it, as Space does.
for key in Return space; do
    only "$key on Tren..." || continue
    start && take_window || { check "$key on Tren..." 1 "the window did not come up"; stop; continue; }
    click_size_field
    for _ in 1 2 3 4 5 6; do
        [[ $(probe focus) == 103 ]] && break
        keys Tab
    done
    keys "$key"
    shown=$(probe dialog 15)
    check "$key on the focused Tren... button opens the open dialog" $([[ -n $shown ]]; echo $?) \
        "focus: $(probe focus), no dialog"
    [[ -n $shown ]] && probe answer cancel
    stop
done

# A long name: the list scrolls sideways as far as its widest line reaches.
long=$ROOT/$(printf 'a-rather-long-name-%.0s' 1 2 3 4 5 6).bin
head -c 1500000 /dev/urandom >"$long"
if only "long name" && start && take_window; then
    tren_by_mouse "$long"
    probe list "Finish Trening successfully" >/dev/null
    read -r _ extent _ widest _ client < <(probe hscroll)
    check "the file list scrolls to the end of a long name" \
        $([[ $extent -ge $widest && $widest -gt $client ]]; echo $?) \
        "extent $extent, widest line $widest, client width $client"
fi
stop

# A box shown before the window (a set built from the command line) stands in the
# middle of the screen.
printf 'not a set' >"$ROOT/damaged.tr0"
#   name | argument | the box's text
box_cases=(
    "a missing set|$(win "$ROOT/missing.tr0")|File is not exist."
    "a header that is no header|$(win "$ROOT/damaged.tr0")|"
)
for row in "${box_cases[@]}"; do
    IFS='|' read -r name argument text <<<"$row"
    only "$name" || continue
    start "\"$argument\""
    read -r _ shown < <(probe dialog 30 | grep '^text')
    read -r _ l t r b < <(probe dialog 5 | grep '^rect')
    read -r _ w h < <(probe dialog 5 | grep '^screen')
    check "$name: a box is shown" $([[ -n $shown && $shown == *"$text"* ]]; echo $?) "shown: $shown"
    dx=$(((l + r) / 2 - w / 2)) dy=$(((t + b) / 2 - h / 2))
    check "$name: the box stands in the middle of the screen" \
        $([[ ${dx#-} -le 2 && ${dy#-} -le 24 ]]; echo $?) \
        "box $l $t $r $b on a screen of $w x $h"
    stop
done

# Files dropped on the window, through XDND as a file manager drops them (Wine
# turns the drop into WM_DROPFILES). The drag source is built here from its source.
dropper=$ROOT/xdnd-drop
if ! cc -std=c11 -D_POSIX_C_SOURCE=200809L -o "$dropper" \
    "$(dirname "${BASH_SOURCE[0]}")/xdnd_drop.c" -lX11 2>/dev/null; then
    echo "skipped: the drops need a C compiler and the X11 headers"
    dropper="" skipped=1
fi
drop() { # PATH: dropped on the middle of the file list
    read -r l t r b < <(rect 106)
    "$dropper" "$wid" $(((l + r) / 2)) $(((t + b) / 2)) "$1"
}
rm -f "$WINEPREFIX"/drive_c/[Tt][Ee][Mm][Pp]/whole.bin*
#   name | what is dropped | the list's last line
drop_cases=(
    "a file dropped is trenned|$ROOT/whole.bin|Finish Trening successfully"
    "a header piece dropped is built|C:/TEMP/whole.bin.tr0|Finish building successfully"
)
for row in "${drop_cases[@]}"; do
    IFS='|' read -r name path last <<<"$row"
    only "$name" && [[ -n $dropper ]] || continue
    [[ $path == C:/* ]] && path=$WINEPREFIX/drive_c/TEMP/${path#C:/TEMP/}
    start && take_window || { check "$name" 1 "the window did not come up"; stop; continue; }
    drop "$path" && probe answer cancel
    lines=$(probe list "$last")
    check "$name" $([[ $lines == *"$last" ]]; echo $?) "listed:"$'\n'"$lines"
    stop
done

# A drop while a run waits in its folder picker starts nothing.
if only "drop during a run" && [[ -n $dropper ]] && start && take_window; then
    click_control 103
    probe answer ok "$(win "$ROOT/whole.bin")" && probe dialog >/dev/null
    drop "$long"
    sleep 2
    probe answer cancel
    lines=$(probe list "Finish Trening successfully")
    probe dialog 5 >/dev/null
    other=$?
    check "a drop during a run starts nothing" \
        $([[ $other -ne 0 && $lines == "$(pieces_of "$ROOT/whole.bin" "${at_144m[@]}")" ]]; echo $?) \
        "another dialog: $((!other)); listed:"$'\n'"$lines"
fi
stop

[[ $failures -eq 0 ]] || exit 1
[[ $skipped -eq 0 ]] || exit 77
