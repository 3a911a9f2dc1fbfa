#!/usr/bin/env bash
# The real window on an X screen under a window manager, driven as a person
# drives it: xdotool's keys and clicks through the display server, its dialogs
# answered by keys, files dropped from a drag source of the tests' own. What the
# window shows is read from the state it writes for tests (TREN_STATE_DUMP), what
# it did from the files on disk. One case a row of the table at the end.
# Usage: window_input_test.sh TREN DRAG_SOURCE SLOW_WRITES_LIBRARY
set -u
absolute() { echo "$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")"; }
TREN=$(absolute "$1") DRAG_SOURCE=$(absolute "$2") SLOW_WRITES=$(absolute "$3")
source "$(dirname "${BASH_SOURCE[0]}")/../support/input.sh"
require Xvfb openbox xdotool xprop par2
export XDG_DATA_HOME=$ROOT/data XDG_CONFIG_HOME=$ROOT/config XDG_CACHE_HOME=$ROOT/cache \
    XDG_RUNTIME_DIR=$ROOT/runtime TMPDIR=$ROOT QT_QPA_PLATFORM=xcb TREN_STATE_DUMP=$ROOT/state
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION QT_SCALE_FACTOR
mkdir -p "$XDG_RUNTIME_DIR" "$ROOT/bin" && chmod 700 "$XDG_RUNTIME_DIR"
start_display
start_window_manager

state() { sed -n "s/^$1=//p" "$ROOT/state" 2>/dev/null; } # KEY
state_is() { [[ "$(state "$1")" == "$2" ]]; } # KEY VALUE
shows() { within 5 state_is "$1" "$2" || fail "$1 is '$(state "$1")', not '$2'"; } # KEY VALUE
last_line() { state list | tail -1; }

TREN_PID="" MAIN="" DRAG_PID=""
# The desktop's opener, for the link: it notes what it was handed.
printf '#!/bin/sh\necho "$@" >>"%s"\n' "$ROOT/opened" >"$ROOT/bin/xdg-open" && chmod +x "$ROOT/bin/xdg-open"
launch() { # ARGUMENT...
    rm -f "$ROOT/state"
    (cd "$W" && PATH=$ROOT/bin:$PATH exec "$TREN" "$@") >>"$ROOT/tren.log" 2>&1 &
    TREN_PID=$!
}
await_main() { MAIN=$(await "File Trenning") && within 10 state_is running 0; }
start() { launch "$@" && await_main; }
# The middle of a control, from where the window says it is.
click() { # CONTROL [X-OFFSET-FROM-LEFT]
    local x y w h
    read -r x y w h <<<"$(state "at.$1")"
    xdotool mousemove --window "$MAIN" $((x + ${2:-$((w / 2))})) $((y + h / 2)) click 1
    sleep 0.2
}
type_size() { click cmbSize 10 && xdotool key ctrl+a && xdotool type --delay 20 "$1" && shows size.text "$1"; } # TEXT
# The fifth of the five rows of the size box's open list.
click_last_size() {
    local popup height w
    read -r _ _ w _ <<<"$(state at.cmbSize)"
    click cmbSize $((w - 8))
    within 5 eval '[ "$(xdotool search --onlyvisible --pid "$TREN_PID" | wc -l)" -gt 1 ]' ||
        fail "the size list did not open" || return
    popup=$(xdotool search --onlyvisible --pid "$TREN_PID" | grep -vx "$MAIN" | head -1)
    height=$(xdotool getwindowgeometry "$popup" | sed -n 's/.*Geometry: [0-9]*x//p')
    xdotool mousemove --window "$popup" 40 $((height * 9 / 10)) click 1
}
answer() { await "$1" >/dev/null && xdotool type --delay 10 "$2" && sleep 0.3 && xdotool key Return; } # TITLE PATH
finished() { within 30 state_is running 0 && [[ "$(last_line)" == Finish* ]] || fail "no success: '$(last_line)'"; }
# Tren... clicked, the source chosen in the open dialog and out/ in the picker.
cut() { # SOURCE
    click fltbTren
    answer "Select the file to tren" "$1" && answer "Select directory to tren to..." "$O" && finished
}
size_is() { check "the size of $1" "$2" "$(stat -c %s "$1" 2>/dev/null || echo missing)"; } # FILE BYTES
# A slow run: 15 MB in pieces written slowly, the focus where a Down key would change the size.
slow_run() {
    LD_PRELOAD=$SLOW_WRITES TREN_TEST_WRITE_DELAY_MS=400 start && click cmbSize 10 &&
        click fltbTren && answer "Select the file to tren" "$W/fifteen.bin" &&
        answer "Select directory to tren to..." "$O" &&
        within 20 eval '[ "$(state list | wc -l)" -ge 1 ]' && shows running 1
}
# Presses on the drag source, moves onto the path box of the window and lets go.
drop() { # PATH-OR-URI
    local source x y w h
    "$DRAG_SOURCE" "$1" >"$ROOT/drag.out" 2>/dev/null &
    DRAG_PID=$!
    source=$(await "tren drag source") || return
    read -r x y w h <<<"$(state at.txtSrcFile)"
    xdotool mousemove --window "$source" 60 60 mousedown 1
    for step in 1 2 3 4 5; do
        xdotool mousemove --window "$MAIN" $((x + w / 2 - 50 * (5 - step))) $((y + h / 2)) && sleep 0.15
    done
    xdotool mouseup 1
    within 5 grep -q . "$ROOT/drag.out" || fail "the drag of $1 did not end"
}
drag_says() { check "the drag source's view of the drop" "$1" "$(cat "$ROOT/drag.out")"; } # copied|ignored
opened() { within 5 grep -qxF "$1" "$ROOT/opened" || fail "the desktop was handed '$(cat "$ROOT/opened" 2>/dev/null)'"; }

W=$ROOT/work O=$ROOT/out LATIN1=$ROOT/work/caf$'\xe9'.bin # a name whose bytes are not UTF-8
mkdir -p "$W"
head -c 2000000 /dev/urandom >"$W/two.bin"
head -c 15000000 /dev/urandom >"$W/fifteen.bin"
printf 'nonsense' >"$W/bad.tr0"
cp "$W/two.bin" "$LATIN1"

rows=(
    # Text typed into the size box chooses no size; leaving puts the size back.
    'typed text goes back on leaving | start; type_size hello; keys Tab; shows size.text "1.44M Bytes";
        cut $W/two.bin; size_is $O/two.bin.tr1 1440000'
    'typed entry text chooses nothing | start; type_size "500K Bytes"; keys Return; shows size.index 2;
        cut $W/two.bin; size_is $O/two.bin.tr1 1440000; shows size.text "1.44M Bytes"'
    'entry chosen with the mouse | start; type_size hello; click_last_size; shows size.text "500K Bytes";
        cut $W/two.bin; size_is $O/two.bin.tr1 500000'
    'entry chosen by keys | start; type_size hello; keys alt+Down Down Return; shows size.text "1M Bytes";
        cut $W/two.bin; size_is $O/two.bin.tr1 1000000'
    # The path box copies, and takes no typing, deleting or pasting.
    'path box takes only a copy | start; cut $W/two.bin; click txtSrcFile; keys ctrl+a ctrl+c End x BackSpace ctrl+v shift+Insert ctrl+x;
        shows path $W/two.bin; click cmbSize 10; keys ctrl+a ctrl+v; shows size.text $W/two.bin'
    'link hands its address to the desktop | start; click lblLink; opened mailto:tren@example.org'
    'input during a run is dropped | slow_run; keys Down; click fltbBuild; keys Tab space; shows running 1; finished;
        no_window "Select the trening files to build" 2; shows size.index 2; shows size.text "1.44M Bytes";
        check "the pieces of the run" 11 "$(ls $O | grep -c "^fifteen.bin.tr[1-9]")"'
    'closing during a run waits for its end | slow_run; keys alt+F4; sleep 0.5; kill -0 $TREN_PID;
        within 30 eval "! kill -0 $TREN_PID 2>/dev/null"; size_is $O/fifteen.bin.tr0 10'
    # A box shown before the window stands in the middle of the screen.
    'refused set: box in the middle | launch $W/bad.tr0; centred "Building Error" 20 40; keys Return; await_main'
    'dropped file is cut | start; drop $W/two.bin; drag_says copied; answer "Select directory to tren to..." $O;
        finished; size_is $O/two.bin.tr1 1440000; shows path $W/two.bin'
    'dropped header piece is built | start; cut $W/two.bin; drop $O/two.bin.tr0;
        answer "Select directory to build to..." $O/built; finished; cmp $W/two.bin $O/built/two.bin'
    'a file a build replaces goes to the trash | start; cut $W/two.bin; printf edited >$O/built/two.bin; click fltbBuild;
        answer "Select the trening files to build" $O/two.bin.tr0; answer "Select directory to build to..." $O/built;
        finished; cmp $W/two.bin $O/built/two.bin; check "the file in the trash" edited "$(cat $XDG_DATA_HOME/Trash/files/two.bin)"'
    'a lost piece comes back from recovery files | start; cut $W/two.bin;
        (cd $O && par2 create -q -q -s1440000 -c1 two.bin.tr.par2 two.bin.tr0 two.bin.tr1 two.bin.tr2 >/dev/null);
        rm $O/two.bin.tr1; click fltbBuild; answer "Select the trening files to build" $O/two.bin.tr0;
        answer "Select directory to build to..." $O/built; finished; cmp $W/two.bin $O/built/two.bin;
        check "the line before the last" "Repaired $O/two.bin.tr1 from recovery data" "$(state list | tail -2 | head -1)"'
    'dropped name that is not UTF-8 keeps its bytes | start; drop $LATIN1; answer "Select directory to tren to..." $O;
        finished; size_is $O/${LATIN1##*/}.tr1 1440000'
    'dropped address is refused | start; drop http://example.org/two.bin; drag_says ignored;
        no_window "Select directory to tren to..." 2; no_window "Trenning Error" 1; shows path ""'
    'drop during a run is refused | slow_run; drop $W/two.bin; shows running 1; drag_says ignored; finished;
        no_window "Select directory to tren to..." 2; shows path $W/fifteen.bin'
)
end_case() { stop $TREN_PID $DRAG_PID; TREN_PID="" DRAG_PID=""; rm -rf "$O" "$ROOT/opened" "$XDG_DATA_HOME/Trash"; mkdir -p "$O/built"; }
end_case
run_table "${rows[@]}"
