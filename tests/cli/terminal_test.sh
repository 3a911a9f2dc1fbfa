#!/usr/bin/env bash
# tren-cli on a real pseudo-terminal (script, from util-linux): the progress bar keeps its own
# line, every list line and message starts at column 0 after the bar was cleared, and the
# terminal gets its line back at the end. Exit 77: no pseudo-terminal here.
set -u
[[ $# -eq 1 && -x $1 ]] || { echo "usage: $0 /path/to/tren-cli" >&2; exit 2; }
CLI=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
script -qec true /dev/null </dev/null >/dev/null 2>&1 || { echo "SKIP: no pseudo-terminal (script from util-linux missing or refused)"; exit 77; }
source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"
SCREEN=$ROOT/screen && detail() { printf '    terminal: %q' "$(head -c 2000 "$SCREEN")"; }
# on_terminal REDIRECTIONS ARGS...: runs in W on a fresh terminal, but for REDIRECTIONS; SCREEN gets what it shows.
on_terminal() { script -qec "cd $(printf %q "$W") && exec $(printf '%q ' "$CLI" "${@:2}") $1" /dev/null </dev/null >"$SCREEN" 2>/dev/null; RC=$?; }
# Each LINE is a row of its own, or follows the bar's clearing "\r\e[K"; a bar was drawn and is cleared.
own_rows() { # LINE...
    local text row line; text=$(cat "$SCREEN"; echo .) && text=${text%.} && mapfile -t rows < <(sed 's/\r$//' <<<"$text")
    [[ $text == *'[#'* ]] || bad "no progress bar drawn"
    for line in "$@"; do
        grep -qF -- "$line" "$SCREEN" || bad "not on the terminal: $line"
        for row in "${rows[@]}"; do
            [[ $row != *"$line"* || $row == "$line" || $row == *$'\r\e[K'"$line" ]] || bad "shares its row with the bar: $(printf %q "$row")"
        done
    done
    row=${text##*$'\n'} && [[ -z $row || $row == *$'\r\e[K' ]] || bad "the bar is left standing: $(printf %q "$row")"
}

W=$ROOT/w && mkdir -p "$W/set" "$W/gap" "$W/built" && head -c 3000001 /dev/urandom >"$W/src.bin"
(cd "$W" && "$CLI" tren src.bin --size 500K --out gap -q) && rm "$W/gap/src.bin.tr3"
mapfile -t CUT < <(for i in 1 2 3 4 5 6; do echo "$W/set/src.bin.tr$i [500000 bytes]"; done
    printf '%s\n' "$W/set/src.bin.tr7 [1 bytes]" "$W/set/src.bin.tr0 [10 bytes]" "Finish Trening successfully")
# name | stdout to | arguments | exit status | the lines on the terminal (list: the cut's; none: the bar alone)
for c in "tren: list lines beside the bar||tren src.bin --size 500K --out set|0|list" \
    "build of a broken set: the message after the bar||build gap/src.bin.tr0 --out built|1|tren-cli: gap/src.bin.tr3: Building Error: Piece file is missing: gap/src.bin.tr3" \
    "tren, quiet: the bar alone||tren src.bin --size 500K --out set -q|0|" "tren, stdout to a file: the bar alone|>$ROOT/lines|tren src.bin --size 500K --out set|0|"; do
    IFS='|' read -r name redirect args rc line <<<"$c" && read -ra words <<<"$args"
    on_terminal "$redirect" "${words[@]}"; expect_rc "$rc"
    if [[ $line == list ]]; then own_rows "${CUT[@]}"; else own_rows ${line:+"$line"}; fi
    [[ -n $line ]] || ! grep -q 'bytes\]\|Finish' "$SCREEN" || bad "list lines on the terminal"
    [[ -z $redirect || $(cat "$ROOT/lines") == "$(printf '%s\n' "${CUT[@]}")" ]] || bad "the file does not hold just the list"
    done_case "$name"
done

# With standard error elsewhere there is no bar, and nothing to clear.
on_terminal "2>$ROOT/errors" build set/src.bin.tr0 --out built; expect_rc 0
[[ $(cat "$SCREEN") == "$W/built/src.bin [3000001 bytes]"$'\r\n'"Finish building successfully"$'\r' ]] || bad "the terminal holds more than the list"
[[ ! -s $ROOT/errors ]] && cmp -s "$W/src.bin" "$W/built/src.bin" || bad "standard error not empty, or the rebuilt file differs"
done_case "build with stderr in a file: no bar"
finish
