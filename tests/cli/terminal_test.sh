#!/usr/bin/env bash
# tren-cli on a real pseudo-terminal (script, from util-linux): the progress bar
# keeps its own line, every list line and message starts at column 0 after the
# bar was cleared, and the terminal gets its line back at the end.
# Usage: terminal_test.sh /path/to/tren-cli   (exit 77: no pseudo-terminal here)
set -u
[[ $# -eq 1 && -x $1 ]] || { echo "usage: $0 /path/to/tren-cli" >&2; exit 2; }
CLI=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
if ! script -qec true /dev/null </dev/null >/dev/null 2>&1; then
    echo "SKIP: no pseudo-terminal (script from util-linux missing or refused)"; exit 77
fi

source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"

PASSED=0 FAILED=0 ERRS="" SCREEN=$ROOT/screen RC=0
bad() { ERRS+="    $*"$'\n'; }
done_case() {
    if [[ -z $ERRS ]]; then PASSED=$((PASSED + 1)) && return; fi
    FAILED=$((FAILED + 1))
    printf 'FAIL: %s\n%s    terminal: %q\n' "$1" "$ERRS" "$(head -c 2000 "$SCREEN")"
    ERRS=""
}
# on_terminal REDIRECTIONS ARGS...: run in W with both streams on a fresh terminal,
# but for the redirections (shell words); what the terminal got lands in SCREEN.
on_terminal() {
    local redirect=$1 command; shift
    command="cd $(printf %q "$W") && exec $(printf '%q ' "$CLI" "$@") $redirect"
    script -qec "$command" /dev/null </dev/null >"$SCREEN" 2>/dev/null; RC=$?
}
# Each LINE stands alone in a row of the terminal: the row is the line, or the
# line follows the bar's clearing "\r\e[K". The bar must have been drawn at all.
own_rows() { # LINE...
    local text row line seen
    text=$(cat "$SCREEN"; echo .) && text=${text%.}
    [[ $text == *'[#'* ]] || bad "no progress bar drawn"
    mapfile -t rows <<<"$text"
    for line in "$@"; do
        seen=0
        for row in "${rows[@]}"; do
            row=${row%$'\r'} # the terminal's own end of line
            [[ $row == *"$line"* ]] || continue
            seen=1
            [[ $row == "$line" || $row == *$'\r\e[K'"$line" ]] ||
                bad "shares its row with the bar: $(printf %q "$row")"
        done
        [[ $seen -eq 1 ]] || bad "not on the terminal: $line"
    done
    # Nothing after the last line but a cleared bar.
    row=${text##*$'\n'}
    [[ -z $row || $row == *$'\r\e[K' ]] || bad "the bar is left standing: $(printf %q "$row")"
}

W=$ROOT/w && mkdir -p "$W/set" "$W/gap" "$W/built"
head -c 3000001 /dev/urandom >"$W/src.bin"
mapfile -t CUT < <(for i in 1 2 3 4 5 6; do echo "$W/set/src.bin.tr$i [500000 bytes]"; done
    echo "$W/set/src.bin.tr7 [1 bytes]" && echo "$W/set/src.bin.tr0 [10 bytes]" && echo "Finish Trening successfully")

on_terminal "" tren src.bin --size 500K --out set
[[ $RC -eq 0 ]] || bad "exit status $RC"
own_rows "${CUT[@]}"
done_case "tren: list lines and bar on one terminal"

cp "$W"/set/src.bin.tr{0,1,2} "$W/gap/"
on_terminal "" build gap/src.bin.tr0 --out built
[[ $RC -eq 1 ]] || bad "exit status $RC"
own_rows "tren-cli: gap/src.bin.tr3: Building Error: Piece file is missing: gap/src.bin.tr3"
done_case "build of a broken set: the message after the bar"

# The bar without list lines beside it: quiet, or the lines going to a file.
for c in "quiet|-q|" "stdout to a file||>$ROOT/lines"; do
    IFS='|' read -r name flag redirect <<<"$c"
    rm -f "$ROOT/lines"
    on_terminal "$redirect" tren src.bin --size 500K --out set ${flag:+"$flag"}
    [[ $RC -eq 0 ]] || bad "exit status $RC"
    own_rows
    grep -q 'bytes\]\|Finish' "$SCREEN" && bad "list lines on the terminal"
    if [[ -n $redirect ]]; then
        [[ $(cat "$ROOT/lines") == "$(printf '%s\n' "${CUT[@]}")" ]] || bad "the file does not hold just the list"
    fi
    done_case "tren, $name: the bar alone, cleared at the end"
done

# With standard error elsewhere there is no bar, and nothing to clear.
on_terminal "2>$ROOT/errors" build set/src.bin.tr0 --out built
[[ $RC -eq 0 ]] || bad "exit status $RC"
[[ $(cat "$SCREEN") == "$W/built/src.bin [3000001 bytes]"$'\r\n'"Finish building successfully"$'\r' ]] ||
    bad "the terminal holds more than the list"
[[ ! -s $ROOT/errors ]] || bad "standard error not empty"
cmp -s "$W/src.bin" "$W/built/src.bin" || bad "rebuilt file differs from its source"
done_case "build with stderr in a file: no bar"

echo "$PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
