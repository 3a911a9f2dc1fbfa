#!/usr/bin/env bash
# The real tren.exe window under Wine, driven as a person drives it: the mouse and
# the keyboard through the display server (xdotool), on a display with a window
# manager (openbox). window-probe.exe reads what the window shows and answers the
# open dialog and the folder picker (cancelled, the set goes to C:\TEMP\). One
# case a row of the table at the end. WINEPREFIX and DISPLAY come from the caller:
# Wine's desktop keeps the display it first found.
# Usage: window_input_test.sh tren.exe window-probe.exe
set -u -o pipefail
[[ $# -eq 2 && -f $1 && -f $2 ]] || { echo "usage: $0 tren.exe window-probe.exe" >&2; exit 2; }
TREN=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
PROBE=$(cd "$(dirname "$2")" && pwd -P)/$(basename "$2")
WINE_RUN=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd -P)/wine-run.sh
WINEPREFIX=${WINEPREFIX:?a Wine prefix of the test run}
[[ -n ${DISPLAY:-} ]] || { echo "SKIP: no display" && exit 77; }
source "$(dirname "${BASH_SOURCE[0]}")/../support/input.sh"
require xdotool xprop openbox par2
start_window_manager

probe() { "$WINE_RUN" "$PROBE" "$@" | tr -d '\r'; }
win() { echo "Z:${1//\//\\}"; } # the Windows name of a Linux path
TEMP_SET() { echo "$WINEPREFIX"/drive_c/[Tt][Ee][Mm][Pp]/"$1"; } # NAME: C:\TEMP\NAME on Linux
tren_pid=""
end_case() { stop $tren_pid; tren_pid=""; sleep 0.5; rm -f "$WINEPREFIX"/drive_c/[Tt][Ee][Mm][Pp]/*.bin*; }
launch() { "$WINE_RUN" "$TREN" "$@" & tren_pid=$! && probe window; } # [ARGUMENT]
# tren.exe, its window shown, raised and given the keyboard.
start() {
    local wid
    launch "$@" && probe shown || fail "the window did not come up" || return
    wid=$(xdotool search --sync --onlyvisible --name '^File Trenning$' | head -n 1)
    xdotool windowactivate --sync "$wid" windowfocus --sync "$wid" && sleep 0.3
}
click() { xdotool mousemove --sync "$1" "$2" click 1 && sleep 0.4; } # X Y
click_control() { # ID: in the middle of the control
    read -r l t r b < <(probe rect "$1")
    click $(((l + r) / 2)) $(((t + b) / 2))
}
# The size box's field, its arrow at the right end, and the fifth row of its list.
click_size_field() { read -r l t r b < <(probe rect 105) && click $((l + 8)) $(((t + b) / 2)); }
click_last_size() {
    read -r l t r b < <(probe rect 105) && click $((r - 6)) $(((t + b) / 2))
    read -r l t item < <(probe size-list) && click $((l + 20)) $((t + 1 + 4 * item + item / 2))
}
type_size() { click_size_field && keys End shift+Home && xdotool type --delay 100 "$1" && keys Tab; } # TEXT
shows() { check "control $1" "$2" "$(probe text "$1")"; } # ID TEXT
# Tren... with the mouse: SOURCE chosen in the open dialog, the folder picker cancelled.
cut() { click_control 103 && probe answer ok "$(win "$1")" && probe answer cancel; } # SOURCE
# The list ends with LINE; with more arguments, it holds the pieces of a tren of
# SOURCE of these sizes.
listed() { # LINE [SOURCE SIZE...]
    local lines want="" n=0 size set="C:\\TEMP\\$(basename "${2:-}")"
    lines=$(probe list "$1")
    for size in "${@:3}"; do n=$((n + 1)) && want+="$set.tr$n [$size bytes]"$'\n'; done
    [[ $# -lt 2 ]] || want+="$set.tr0 [10 bytes]"$'\n'
    [[ $lines == *"$1" && ($# -lt 2 || $lines == "$want$1") ]] ||
        fail "listed:"$'\n'"$lines"$'\n'"wanted:"$'\n'"$want$1"
}
cut_at() { cut "$W/whole.bin" && listed "Finish Trening successfully" "$W/whole.bin" "$@"; } # SIZE...
# Tab from the list goes through the controls that take the focus in the form's order.
tab_order() { # ID...
    local order
    click_control 106
    for _ in "$@"; do order+="$(probe focus) " && keys Tab; done
    check "the order Tab takes" "$* " "$order"
}
# Recovery files par2 makes for the set cut into C:\TEMP, and then one of its pieces lost.
lose_with_recovery() { # PIECE
    (cd "$(dirname $(TEMP_SET whole.bin.tr0))" && par2 create -q -q -s1440000 -c1 whole.bin.tr.par2 \
        whole.bin.tr? >/dev/null && rm "$1")
}
repaired_line() { # PIECE: the list's line before the last
    check "the line before the last" "Repaired C:\\TEMP\\$1 from recovery data" \
        "$(probe list "Finish building successfully" | tail -2 | head -1)"
}
box_says() { [[ $(probe dialog 30) == *"$1"* ]] || fail "no box saying '$1'"; } # TEXT
registered() { check "HKCU\\Software\\Classes\\$1" "$2" "$(probe registered "$1")"; } # KEY VALUE
scrolls_to_widest() {
    read -r extent widest client < <(probe hscroll)
    [[ $extent -ge $widest && $widest -gt $client ]] ||
        fail "extent $extent, widest line $widest, client width $client"
}
# A path dropped on the middle of the file list, through XDND as a file manager
# drops it (Wine turns the drop into WM_DROPFILES).
drop() { # PATH
    read -r l t r b < <(probe rect 106)
    "$ROOT/xdnd-drop" "$(xdotool search --onlyvisible --name '^File Trenning$' | head -n 1)" \
        $(((l + r) / 2)) $(((t + b) / 2)) "$1"
}

W=$ROOT/work && mkdir -p "$W"
head -c 3500000 /dev/urandom >"$W/whole.bin"
head -c 1500000 /dev/urandom >"$W/$(printf 'a-rather-long-name-%.0s' 1 2 3 4 5 6).bin"
LONG=$(echo "$W"/a-rather-long-name-*.bin) EXE=$(win "$TREN")
AT_500K="500000 500000 500000 500000 500000 500000 500000" AT_144M="1440000 1440000 620000"
# The drag source, built here from its source.
cc -std=c11 -D_POSIX_C_SOURCE=200809L -o "$ROOT/xdnd-drop" "$(dirname "${BASH_SOURCE[0]}")/xdnd_drop.c" \
    -lX11 2>/dev/null || SKIPPED="the drops, which need a C compiler and the X11 headers"

rows=(
    # A plain start shows each control where the form has it and registers the
    # type, the program quoted so that no C:\Program.exe runs for C:\Program Files\.
    'start-up | start; check "controls out of place" "" "$(probe layout)"; registered .tr0 TR.File;
        registered TR.File "Trening File"; registered "TR.File\\DefaultIcon" "$EXE, 0";
        registered "TR.File\\shell\\Build\\command" "\"$EXE\" \"%1\""'
    'Tab order | start; tab_order 106 105 103 102 101'
    # The pieces are cut at the size the box shows.
    '500K chosen with the mouse | start; click_last_size; shows 105 "500K Bytes"; cut_at $AT_500K'
    '500K chosen by Alt+Down, Down, Down, Enter | start; click_size_field; keys alt+Down Down Down Return;
        shows 105 "500K Bytes"; cut_at $AT_500K'
    '500K typed, then Tab | start; type_size 500K; shows 105 "1.44M Bytes"; cut_at $AT_144M'
    'Enter on Tren... | start; click_control 106; keys Tab Tab; keys Return; probe dialog 15; probe answer cancel'
    'Space on Tren... | start; click_control 106; keys Tab Tab; keys space; probe dialog 15; probe answer cancel'
    'the path box takes no typing or paste | start; cut_at $AT_144M; click_control 101;
        keys ctrl+a ctrl+c End BackSpace x ctrl+x Delete; shows 101 "$(win $W/whole.bin)";
        keys ctrl+v; shows 101 "$(win $W/whole.bin)"; keys shift+Insert; shows 101 "$(win $W/whole.bin)"'
    'the list scrolls to the end of a long name | start; cut $LONG; listed "Finish Trening successfully";
        scrolls_to_widest'
    # Opened, a set is built before the window shows, and its size selected.
    'a set opened is built | start; cut_at $AT_144M; stop $tren_pid; sleep 2;
        launch "C:\\TEMP\\whole.bin.tr0"; probe answer cancel; listed "Finish building successfully";
        cmp $W/whole.bin $(TEMP_SET whole.bin); shows 101 "C:\\TEMP\\whole.bin.tr0"; shows 105 "1.44M Bytes"'
    'a set with a lost piece is built from its recovery files | start; cut_at $AT_144M; stop $tren_pid;
        lose_with_recovery whole.bin.tr2; sleep 2; launch "C:\\TEMP\\whole.bin.tr0"; probe answer cancel;
        listed "Finish building successfully"; cmp $W/whole.bin $(TEMP_SET whole.bin); repaired_line whole.bin.tr2'
    # A box shown before the window stands in the middle of the screen.
    'a missing set | launch "\"$(win $W/missing.tr0)\""; box_says "File is not exist."; centred "Building Error" 20 40'
)
# Files dropped on the window.
[[ -x $ROOT/xdnd-drop ]] && rows+=(
    'a file dropped is trenned | start; drop $W/whole.bin; probe answer cancel;
        listed "Finish Trening successfully" $W/whole.bin $AT_144M'
    'a header piece dropped is built | start; cut_at $AT_144M; drop $(TEMP_SET whole.bin.tr0);
        probe answer cancel; listed "Finish building successfully"; cmp $W/whole.bin $(TEMP_SET whole.bin)'
    # A drop while a run waits in its folder picker starts nothing.
    'a drop during a run starts nothing | start; click_control 103; probe answer ok $(win $W/whole.bin);
        probe dialog; drop $LONG; sleep 2; probe answer cancel; listed "Finish Trening successfully" $W/whole.bin $AT_144M;
        ! probe dialog 5'
)
run_table "${rows[@]}"
