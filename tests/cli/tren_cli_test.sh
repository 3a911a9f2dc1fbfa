#!/usr/bin/env bash
# Black-box test of the tren-cli command-line contract: arguments, help, exit status,
# and what goes to stdout and stderr, also when stdout cannot be written. How sets
# are cut, checked and rebuilt is left to the unit tests.
set -u
[[ $# -eq 1 && -x $1 ]] || { echo "usage: $0 /path/to/tren-cli" >&2; exit 2; }
CLI=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"
is() { [[ $(cat "$1"; echo .) == "$(shift && [[ $# -eq 0 ]] || printf '%s\n' "$@"; echo .)" ]] || bad "${1##*/} is not: ${*:2}"; }
err_line() { [[ $(wc -l <"$ERR") -eq 1 && $(cat "$ERR") == $1 ]] || bad "stderr is not one line like: $1"; }

# Help: every way of asking gives the same text, in plain words, with examples and exit
# statuses, and the sizes only where they concern. verb | the words that ask for its help,
# "/" between | more it says | sizes
for c in "|--help/help/-h|tren-cli tren -- -|y" "tren|tren --help/help tren/tren -h|NAME.tr.sha256 beside the set|y" \
    "build|build --help/help build|--no-clobber|" "info|info --help/help info||" "verify|verify --help/help verify||"; do
    IFS='|' read -r verb ways extra sizes <<<"$c" && IFS=/ read -ra asks <<<"$ways" && first=""
    for ask in "${asks[@]}"; do
        read -ra words <<<"$ask" && run "$ROOT" "${words[@]}"; expect_rc 0; is "$ERR"
        first=${first:-$(cat "$OUT")} && [[ $(cat "$OUT") == "$first" ]] || bad "'$ask' differs from '${asks[0]}'"
    done
    for want in "Usage: tren-cli $verb" "Examples:" "tren-cli ${verb:-tren} " "0 finished, 1 refused or failed, 2 usage error" "$extra"; do
        [[ $first == *"$want"* ]] || bad "no '$want' in the help"; done
    for want in "1M = 1000000 bytes" "1.44M = 1440000 bytes" "split -b 1M"; do
        has=n && [[ $first == *"$want"* ]] && has=y; [[ $has == "${sizes:-n}" ]] || bad "'$want' in the help: $has"; done
    grep -E 'TEXT:|REQUIRED|SUBCOMMAND|Positionals|NOT EMPTY|\[OPTIONS\]' <<<"$first" && bad "the parser's jargon in the help"
    done_case "help for '${verb:-tren-cli}'"
done
run "$ROOT" -V && version=$(cat "$OUT") && run "$ROOT" --version; expect_rc 0; is "$ERR"
[[ $version == "tren-cli "[0-9]* && $(cat "$OUT") == "$version" ]] || bad "no version on stdout"; done_case "-V, --version"

# Usage errors (2) name the problem, how to call and where to read on; refusals (1) are one
# line. Neither writes a file or to stdout. name | shell words | status | first stderr line
W=$ROOT/w && mkdir -p "$W/set" "$W/gap" && head -c 1000001 /dev/urandom >"$W/src.bin" && touch "$W/plainfile"
run "$W/set" tren ../src.bin --size 500K && cp "$W"/set/src.bin.tr{0,1,3} "$W/gap/"
listing() { (cd "$W" && find . -print0 | sort -z | xargs -0 stat -c '%n %s %F'); }
BEFORE=$(listing)
CASES=(
    "no verb||2|tren-cli: no command given"
    "unknown verb|frob src.bin|2|tren-cli: unknown command 'frob'"
    "help for an unknown verb|help frob|2|tren-cli: unknown command 'frob'"
    "tren without SOURCE|tren|2|tren-cli: SOURCE is required"
    "build with empty HEADER|build ''|2|tren-cli: HEADER: must not be empty"
    "extra argument|help tren build|2|tren-cli: unexpected argument 'build'"
    "option after --|build -- set/src.bin.tr0 --out set|2|tren-cli: unexpected argument '--out'"
    "unknown option|tren src.bin --bogus|2|tren-cli: tren has no option --bogus"
    "option before the verb|--bogus tren src.bin|2|tren-cli: tren-cli has no option --bogus"
    "size in bytes|tren src.bin --size 500000|2|tren-cli: --size: '500000' is not one of 5M, 3M, 1.44M, 1M, 500K"
    "size without value|tren src.bin --size|2|tren-cli: --size needs a value"
    "size twice|tren src.bin --size 1M --size 5M|2|tren-cli: --size is given more than once"
    "option of another verb|build set/src.bin.tr0 --size 1M|2|tren-cli: build has no option --size"
    "out missing|tren src.bin --out nowhere|2|tren-cli: --out: Directory does not exist: nowhere"
    "out is a file|build set/src.bin.tr0 --out plainfile|2|tren-cli: --out: Not a directory: plainfile"
    "missing source|tren nope.bin|1|tren-cli: nope.bin: Trenning Error: File is not exist."
    "quiet build of a broken set|build gap/src.bin.tr0 -q|1|tren-cli: gap/src.bin.tr2: Building Error: Piece file is missing: gap/src.bin.tr2"
)
for c in "${CASES[@]}"; do
    IFS='|' read -r name words status first <<<"$c"
    eval "args=($words)" && run "$W" ${args[@]+"${args[@]}"}
    expect_rc "$status"; is "$OUT"; [[ $(listing) == "$BEFORE" ]] || bad "files were written"
    if [[ $status -eq 1 ]]; then err_line "$first"; else
        [[ $(head -1 "$ERR") == "$first" ]] || bad "first stderr line is not: $first"
        [[ $(tail -1 "$ERR") == "Run 'tren-cli"*"--help' "* ]] || bad "no hint to read the help"
        [[ $first == *"unknown command"* || $(sed -n 2p "$ERR") == "usage: tren-cli "* ]] || bad "no usage on stderr"
    fi
    done_case "$name"
done

# Round trips with relative paths, listed by absolute ones: source bytes | its name | its
# pieces' bytes | tren runs in | with options | the pieces land in | build runs in | its --out
for c in "1000001|data.bin|500000 500000 1|.|--size 500k --out pieces/|pieces|elsewhere|../built" \
    "1440001|-x|1440000 1|src||src|src|built"; do
    IFS='|' read -r len name pieces tdir topts pieces_in bdir bout <<<"$c" && read -ra opts <<<"$topts"
    w=$ROOT/rt && rm -rf "$w" && mkdir -p "$w/src" "$w/$pieces_in" "$w/$bdir/$bout"
    head -c "$len" /dev/urandom >"$w/src/$name" && pdir=$(cd "$w/$pieces_in" && pwd -P) && exp=() i=0
    for p in $pieces; do i=$((i + 1)) && exp+=("$pdir/$name.tr$i [$p bytes]"); done
    run "$w/$tdir" tren "${opts[@]}" -- "$(realpath --relative-to="$w/$tdir" "$w/src/$name")"; expect_rc 0; is "$ERR"
    is "$OUT" "${exp[@]}" "$pdir/$name.tr0 [10 bytes]" "Finish Trening successfully"
    run "$w/$bdir" build --out "$bout" -- "$(realpath --relative-to="$w/$bdir" "$pdir/$name.tr0")"; expect_rc 0; is "$ERR"
    odir=$(cd "$w/$bdir/$bout" && pwd -P) && is "$OUT" "$odir/$name [$len bytes]" "Finish building successfully"
    cmp -s "$w/src/$name" "$odir/$name" || bad "rebuilt file differs from its source"
    done_case "round trip of $name (tren in $tdir $topts, build in $bdir --out $bout)"
done

# Stdout that cannot be written: the run finishes its set or file, then says why the lines
# stopped and fails; a quiet one finishes. 41 pieces: the pipe's reader is gone before the
# last line. name @ verb and flags @ where stdout goes @ the error
head -c 20000001 /dev/urandom >"$ROOT/big.bin"
for c in "a reader that stops@tren@| head -1 >\"\$OUT\"@Broken pipe" "a full device@tren@>/dev/full@No space left on device" \
    "a closed stdout@tren@>&-@Bad file descriptor" "build onto a full device@build@>/dev/full@No space left on device" \
    "a full device, quiet@tren -q@>/dev/full@" "build onto a full device, quiet@build --quiet@>/dev/full@"; do
    IFS='@' read -r name verb redirect why <<<"$c" && read -ra args <<<"$verb"
    w=$ROOT/sink && rm -rf "$w" && mkdir -p "$w/set" "$w/built" && : >"$OUT" && tren=("$ROOT/big.bin" --size 500K --out set)
    if [[ $verb == build* ]]; then (cd "$w" && "$CLI" tren "${tren[@]}" -q); args+=(set/big.bin.tr0 --out built); else args+=("${tren[@]}"); fi
    (cd "$w" && set -o pipefail && eval "\"\$CLI\" \"\${args[@]}\" 2>\"\$ERR\" $redirect"); RC=$?
    if [[ -n $why ]]; then expect_rc 1; err_line "tren-cli: standard output: $why"; else expect_rc 0; is "$ERR"; fi
    [[ $redirect != *head* || $(cat "$OUT") == "$w/set/big.bin.tr1 [500000 bytes]" ]] || bad "the reader did not get the first line"
    [[ $verb == build* ]] || "$CLI" build -q --out "$w/built" "$w/set/big.bin.tr0"
    cmp -s "$w/built/big.bin" "$ROOT/big.bin" || bad "the set or the rebuilt file is not complete"
    done_case "stdout to $name"
done
finish
