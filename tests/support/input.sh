# Sourced by the window input tests: a temporary ROOT (HOME inside it) removed on
# exit, a window manager on the display, xdotool's waits, and the runner of a
# table of steps. The sourcing script defines end_case, which ends what a row
# started; it also runs on exit.
ROOT=$(mktemp -d "${TMPDIR:-/tmp}/tren-input.XXXXXX") || exit 2
ROOT=$(cd "$ROOT" && pwd -P)
export HOME=$ROOT/home && mkdir -p "$HOME"
server_pids=()
end_case() { :; }
stop() { [[ $# -gt 0 ]] && kill "$@" 2>/dev/null && wait "$@" 2>/dev/null; return 0; } # PID...
trap 'end_case; stop "${server_pids[@]}"; rm -rf "$ROOT"' EXIT

require() { # TOOL...
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" && exit 77; }
    done
}
# Polls COMMAND every tenth of a second for at most SECONDS.
within() { # SECONDS COMMAND...
    local tries=$(($1 * 10))
    shift
    for ((; tries > 0; tries--)); do "$@" && return 0; sleep 0.1; done
    return 1
}
has_window_manager() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
# A screen of our own, for a program that needs no particular one.
start_display() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ROOT/display" >/dev/null 2>&1 &
    server_pids+=($!)
    within 10 test -s "$ROOT/display" || { echo "SKIP: no X display could be started" && exit 77; }
    export DISPLAY=:$(cat "$ROOT/display")
}
# openbox, unless the display has a window manager already.
start_window_manager() {
    has_window_manager && return
    openbox --sm-disable >/dev/null 2>&1 &
    server_pids+=($!)
    within 20 has_window_manager || { echo "SKIP: openbox did not start" && exit 77; }
}

# What went wrong in a row, kept in a file: a failure in a command substitution counts too.
fail() { echo "$*" >>"$ROOT/problems"; return 1; } # WHAT
check() { [[ "$2" == "$3" ]] || fail "$1: expected '$2', got '$3'"; } # NAME EXPECTED ACTUAL
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; } # TITLE
shown() { [ -n "$(window_named "$1")" ]; } # TITLE
no_window() { ! within "$2" shown "$1" || fail "'$1' came up"; } # TITLE SECONDS
# Waits for a window and gives it the focus, as a person looking at it would.
await() { # TITLE
    local id
    within 30 shown "$1" || fail "no window '$1' came up" || return
    id=$(window_named "$1")
    xdotool windowactivate --sync "$id" 2>/dev/null
    echo "$id"
}
keys() { xdotool key --delay 150 "$@" && sleep 0.4; } # KEY...
# The top-level window stands in the middle of the screen, within DX and DY pixels.
centred() { # TITLE DX DY
    local id X Y WIDTH HEIGHT SCREEN w h
    id=$(await "$1") || return
    eval "$(xdotool getwindowgeometry --shell "$id")"
    read -r w h < <(xdotool getdisplaygeometry)
    (((2 * X + WIDTH - w) ** 2 <= (2 * $2) ** 2 && (2 * Y + HEIGHT - h) ** 2 <= (2 * $3) ** 2)) ||
        fail "'$1' is at $X,$Y (${WIDTH}x$HEIGHT), not in the middle of ${w}x$h"
}

# Runs each row "NAME | STEP; STEP; ...", each step a command that the row's
# variables are expanded in; a step that fails ends its row. ONLY=REGEX picks rows.
# Exits 1 when a row failed, 77 when SKIPPED names checks that could not run.
run_table() { # ROW...
    local row name step steps failed=0 total=0
    for row in "$@"; do
        name=${row%%|*} && name=${name% }
        [[ -z ${ONLY:-} || $name =~ $ONLY ]] || continue
        total=$((total + 1)) && : >"$ROOT/problems"
        IFS=';' read -rd '' -a steps <<<"${row#*|}"
        for step in "${steps[@]}"; do
            eval "$step" || { fail "at:$step"; break; }
        done
        end_case
        if [ -s "$ROOT/problems" ]; then
            failed=$((failed + 1)) && echo "FAIL: $name" && sed 's/^/    /' "$ROOT/problems"
        else
            echo "ok: $name"
        fi
    done
    echo "$failed of $total cases failed${SKIPPED:+; skipped: $SKIPPED}"
    ((failed == 0)) || exit 1
    [[ -z ${SKIPPED:-} ]] || exit 77
    exit 0
}
