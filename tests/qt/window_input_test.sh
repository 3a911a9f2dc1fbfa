#!/usr/bin/env bash
# The real window on an X screen under a window manager, driven as a person
# drives it: xdotool's keys and clicks through the display server, its dialogs
# answered by keys, files dropped from a drag source of the tests' own. What the
# window shows is read from the state it writes for tests (TREN_STATE_DUMP), what
# it did from the files on disk. One case a row of the table at the end.
# Usage: window_input_test.sh TREN DRAG_SOURCE SLOW_WRITES_LIBRARY [CASE...]
set -u
absolute() { echo "$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")"; }
TREN=$(absolute "$1") DRAG_SOURCE=$(absolute "$2") SLOW_WRITES=$(absolute "$3")
shift 3
for tool in Xvfb openbox xdotool xprop; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" && exit 77; }
done
ROOT=$(mktemp -d "${TMPDIR:-/tmp}/tren-input.XXXXXX") || exit 2
chmod 711 "$ROOT"
server_pids=()
stop() { kill "$@" 2>/dev/null && wait "$@" 2>/dev/null; } # PID...
trap 'stop_tren; stop_drag_source; stop "${server_pids[@]}"; rm -rf "$ROOT"' EXIT
export HOME=$ROOT/home XDG_DATA_HOME=$ROOT/data XDG_CONFIG_HOME=$ROOT/config \
    XDG_CACHE_HOME=$ROOT/cache XDG_RUNTIME_DIR=$ROOT/runtime TMPDIR=$ROOT \
    QT_QPA_PLATFORM=xcb TREN_STATE_DUMP=$ROOT/state
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION QT_SCALE_FACTOR
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# A screen of its own, and openbox on it.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ROOT/display" >/dev/null 2>&1 &
server_pids+=($!)
for _ in $(seq 100); do [ -s "$ROOT/display" ] && break; sleep 0.1; done
[ -s "$ROOT/display" ] || { echo "SKIP: no X display could be started" && exit 77; }
export DISPLAY=:$(cat "$ROOT/display")
openbox >/dev/null 2>&1 &
server_pids+=($!)
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
    { echo "SKIP: openbox did not start" && exit 77; }
read -r SCREEN_WIDTH SCREEN_HEIGHT < <(xdotool getdisplaygeometry)

failed=0
# Kept in a file: a failure found in a command substitution counts too.
fail() { echo "$*" >>"$ROOT/problems"; } # WHAT
check() { [[ "$2" == "$3" ]] || fail "$1: expected '$2', got '$3'"; } # NAME EXPECTED ACTUAL
# Polls COMMAND every tenth of a second for at most SECONDS.
within() { # SECONDS COMMAND...
    local tries=$(($1 * 10))
    shift
    for ((; tries > 0; tries--)); do "$@" && return 0; sleep 0.1; done
    return 1
}
state() { sed -n "s/^$1=//p" "$ROOT/state" 2>/dev/null; } # KEY
state_is() { [[ "$(state "$1")" == "$2" ]]; } # KEY VALUE
last_line() { state list | tail -1; }
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; } # TITLE
shown() { [ -n "$(window_named "$1")" ]; } # TITLE
# Waits for the window; gives it the focus, as a person looking at it would.
await() { # TITLE
    local id
    within 20 shown "$1" || { fail "no window '$1' came up" && return 1; }
    id=$(window_named "$1")
    xdotool windowactivate --sync "$id" 2>/dev/null
    echo "$id"
}

TREN_PID="" MAIN=""
start_tren() { # ARGUMENT...
    rm -f "$ROOT/state"
    (cd "$ROOT/work" && exec "$TREN" "$@") >>"$ROOT/tren.log" 2>&1 &
    TREN_PID=$!
}
await_main() { MAIN=$(await "File Trenning") && within 10 state_is running 0; }
stop_tren() { [ -n "$TREN_PID" ] && stop "$TREN_PID"; TREN_PID=""; }
# The middle of a control, from where the window says it is.
click() { # CONTROL [X-OFFSET-FROM-LEFT]
    local x y w h
    read -r x y w h <<<"$(state "at.$1")"
    xdotool mousemove --window "$MAIN" $((x + ${2:-$((w / 2))})) $((y + h / 2)) click 1
    sleep 0.2
}
type_into_size_box() { # TEXT
    click cmbSize 10
    xdotool key ctrl+a && xdotool type --delay 20 "$1"
    within 5 state_is size.text "$1" || fail "typing '$1' into the size box did not show it"
}
answer() { # DIALOG-TITLE PATH
    await "$1" >/dev/null || return 1
    xdotool type --delay 10 "$2" && sleep 0.3 && xdotool key Return
}
# Tren... clicked, the source chosen in the open dialog and the folder in the picker.
cut_by_button() { # SOURCE FOLDER
    click fltbTren
    answer "Select the file to tren" "$1" && answer "Select directory to tren to..." "$2"
}
finished() { within 30 state_is running 0 && [[ "$(last_line)" == Finish* ]]; }
size_of() { stat -c %s "$1" 2>/dev/null || echo missing; } # FILE

DRAG_PID=""
stop_drag_source() { [ -n "$DRAG_PID" ] && stop "$DRAG_PID"; DRAG_PID=""; }
# Presses on the drag source, moves onto the path box of the window and lets go.
drop() { # PATH-OR-URI
    local source x y w h
    stop_drag_source
    "$DRAG_SOURCE" "$1" >"$ROOT/drag.out" 2>/dev/null &
    DRAG_PID=$!
    source=$(await "tren drag source") || return 1
    read -r x y w h <<<"$(state at.txtSrcFile)"
    xdotool mousemove --window "$source" 60 60 mousedown 1
    for step in 1 2 3 4 5; do
        xdotool mousemove --window "$MAIN" $((x + w / 2 - 50 * (5 - step))) $((y + h / 2)) && sleep 0.15
    done
    xdotool mouseup 1
    within 5 grep -q . "$ROOT/drag.out" || fail "the drag of $1 did not end"
}
dropped() { cat "$ROOT/drag.out"; }

mkdir -p "$ROOT/work" "$ROOT/out"
head -c 2000000 /dev/urandom >"$ROOT/work/two.bin"
head -c 15000000 /dev/urandom >"$ROOT/work/fifteen.bin"
printf 'nonsense' >"$ROOT/work/bad.tr0"
# A name in Latin-1: its bytes are not UTF-8.
cp "$ROOT/work/two.bin" "$ROOT/work/caf"$'\xe9'".bin"

# Each case starts the window, acts and checks; the folder out/ starts empty.

case_typed_text_goes_back_on_leaving() {
    start_tren && await_main || return
    type_into_size_box hello
    xdotool key Tab
    within 5 state_is size.text "1.44M Bytes" || fail "left with 'hello', the box shows '$(state size.text)'"
    cut_by_button "$ROOT/work/two.bin" "$ROOT/out" && finished
    check "the piece cut after 'hello'" 1440000 "$(size_of "$ROOT/out/two.bin.tr1")"
}

case_typed_entry_text_chooses_nothing() {
    start_tren && await_main || return
    type_into_size_box "500K Bytes"
    xdotool key Return && sleep 0.3
    check "Enter after typing an entry's text" 2 "$(state size.index)"
    # Tren... takes no focus: the box is left only when the open dialog comes up.
    cut_by_button "$ROOT/work/two.bin" "$ROOT/out" && finished
    check "the piece cut after typing '500K Bytes'" 1440000 "$(size_of "$ROOT/out/two.bin.tr1")"
    check "the box after the run" "1.44M Bytes" "$(state size.text)"
}

case_entry_chosen_with_the_mouse() {
    local x y w h popup height
    start_tren && await_main || return
    type_into_size_box hello
    read -r x y w h <<<"$(state at.cmbSize)"
    click cmbSize $((w - 8))
    within 5 eval '[ "$(xdotool search --onlyvisible --pid "$TREN_PID" | wc -l)" -gt 1 ]' ||
        { fail "the size list did not open" && return; }
    popup=$(xdotool search --onlyvisible --pid "$TREN_PID" | grep -vx "$MAIN" | head -1)
    height=$(xdotool getwindowgeometry "$popup" | sed -n 's/.*Geometry: [0-9]*x//p')
    # The fifth of five rows.
    xdotool mousemove --window "$popup" 40 $((height * 9 / 10)) click 1
    within 5 state_is size.text "500K Bytes" || fail "the entry clicked shows '$(state size.text)'"
    cut_by_button "$ROOT/work/two.bin" "$ROOT/out" && finished
    check "the piece cut after clicking '500K Bytes'" 500000 "$(size_of "$ROOT/out/two.bin.tr1")"
}

case_entry_chosen_by_keys() {
    start_tren && await_main || return
    type_into_size_box hello
    xdotool key alt+Down && sleep 0.3 && xdotool key Down && sleep 0.2 && xdotool key Return
    within 5 state_is size.text "1M Bytes" || fail "Alt+Down, Down, Enter shows '$(state size.text)'"
    cut_by_button "$ROOT/work/two.bin" "$ROOT/out" && finished
    check "the piece cut after choosing '1M Bytes' by keys" 1000000 "$(size_of "$ROOT/out/two.bin.tr1")"
}

# A slow run: 15 MB in pieces written slowly.
start_slow_run() {
    LD_PRELOAD=$SLOW_WRITES TREN_TEST_WRITE_DELAY_MS=400 start_tren && await_main || return 1
    click cmbSize 10 # the focus where a Down key would change the size
    cut_by_button "$ROOT/work/fifteen.bin" "$ROOT/out" || return 1
    within 20 eval '[ "$(state list | wc -l)" -ge 1 ]' || { fail "the slow run listed nothing" && return 1; }
    state_is running 1 || { fail "the slow run was over before it was acted on" && return 1; }
}

case_input_during_a_run_is_dropped() {
    start_slow_run || return
    xdotool key Down && sleep 0.2
    click fltbBuild
    xdotool key Tab space
    state_is running 1 || fail "the run was over before the input had been made"
    finished || fail "the run did not finish: '$(last_line)'"
    sleep 1.5
    shown "Select the trening files to build" && fail "a click on Build... during the run opened its dialog afterwards"
    check "the size after Down during the run" "2 1.44M Bytes" "$(state size.index) $(state size.text)"
    check "the pieces of the run" 11 "$(ls "$ROOT/out" | grep -c '^fifteen.bin.tr[1-9]')"
}

case_closing_during_a_run_waits_for_its_end() {
    start_slow_run || return
    xdotool key alt+F4
    sleep 0.5
    kill -0 "$TREN_PID" 2>/dev/null || fail "the window closed in the middle of its run"
    within 30 eval '! kill -0 "$TREN_PID" 2>/dev/null' || fail "the window did not close after its run"
    check "the header piece, written last" 10 "$(size_of "$ROOT/out/fifteen.bin.tr0")"
    stop_tren
}

# A box shown before the window is centred on the screen.
box_before_window() { # ARGUMENT TITLE
    local box x y w h
    start_tren "$1"
    box=$(await "$2") || return
    eval "$(xdotool getwindowgeometry --shell "$box")"
    x=$X y=$Y w=$WIDTH h=$HEIGHT
    (( (2 * x + w - SCREEN_WIDTH) ** 2 <= 40 ** 2 && (2 * y + h - SCREEN_HEIGHT) ** 2 <= 80 ** 2 )) ||
        fail "the box '$2' for $1 is at $x,$y (${w}x$h), not in the middle of ${SCREEN_WIDTH}x$SCREEN_HEIGHT"
    xdotool key Return
    await_main || fail "the window did not show after the box for $1"
}
case_missing_set_box_is_centred() { box_before_window /no/such.tr0 "Building Error"; }
case_refused_set_box_is_centred() { box_before_window "$ROOT/work/bad.tr0" "Building Error"; }

case_dropped_file_is_cut() {
    start_tren && await_main || return
    drop "$ROOT/work/two.bin"
    check "the drag source's view of the drop" copied "$(dropped)"
    answer "Select directory to tren to..." "$ROOT/out" && finished
    check "the dropped file's first piece" 1440000 "$(size_of "$ROOT/out/two.bin.tr1")"
    check "the path box" "$ROOT/work/two.bin" "$(state path)"
}

case_dropped_header_piece_is_built() {
    start_tren && await_main || return
    cut_by_button "$ROOT/work/two.bin" "$ROOT/out" && finished
    mkdir -p "$ROOT/out/built"
    drop "$ROOT/out/two.bin.tr0"
    answer "Select directory to build to..." "$ROOT/out/built" && finished
    cmp -s "$ROOT/work/two.bin" "$ROOT/out/built/two.bin" || fail "the dropped set was not built back"
}

case_dropped_name_that_is_not_utf8_keeps_its_bytes() {
    start_tren && await_main || return
    drop "$ROOT/work/caf"$'\xe9'".bin"
    answer "Select directory to tren to..." "$ROOT/out" && finished
    check "the first piece of caf\\xe9.bin" 1440000 "$(size_of "$ROOT/out/caf"$'\xe9'".bin.tr1")"
}

case_dropped_address_is_refused() {
    start_tren && await_main || return
    drop "http://example.org/two.bin"
    check "the drag source's view of the drop" ignored "$(dropped)"
    within 2 eval 'shown "Select directory to tren to..." || shown "Trenning Error"' &&
        fail "an address dropped started a run"
    check "the path box" "" "$(state path)"
}

case_drop_during_a_run_is_refused() {
    start_slow_run || return
    drop "$ROOT/work/two.bin"
    state_is running 1 || fail "the run was over before the drop"
    check "the drag source's view of a drop during a run" ignored "$(dropped)"
    finished
    within 2 shown "Select directory to tren to..." && fail "a drop during the run started a run afterwards"
    check "the path box after the run" "$ROOT/work/fifteen.bin" "$(state path)"
}

cases=(
    typed_text_goes_back_on_leaving
    typed_entry_text_chooses_nothing
    entry_chosen_with_the_mouse
    entry_chosen_by_keys
    input_during_a_run_is_dropped
    closing_during_a_run_waits_for_its_end
    missing_set_box_is_centred
    refused_set_box_is_centred
    dropped_file_is_cut
    dropped_header_piece_is_built
    dropped_name_that_is_not_utf8_keeps_its_bytes
    dropped_address_is_refused
    drop_during_a_run_is_refused
)
(($#)) && cases=("$@")
for name in "${cases[@]}"; do
    rm -rf "$ROOT/out" "$ROOT/problems" && mkdir -p "$ROOT/out"
    "case_$name"
    stop_tren
    stop_drag_source
    if [ -s "$ROOT/problems" ]; then
        failed=$((failed + 1))
        echo "FAIL: $name"
        sed 's/^/    /' "$ROOT/problems"
    else
        echo "ok: $name"
    fi
done
echo "$failed of ${#cases[@]} cases failed"
((failed == 0))
