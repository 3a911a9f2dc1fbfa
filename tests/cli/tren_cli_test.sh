#!/usr/bin/env bash
# Black-box test of the tren-cli command-line contract: arguments, help, exit
# status, and what goes to stdout and stderr, also when stdout cannot be written.
# How sets are cut, checked and rebuilt is left to the unit tests.
# Usage: tren_cli_test.sh /path/to/tren-cli
# shellcheck disable=SC2053 # patterns on the right of == are globs on purpose
set -u
[[ $# -eq 1 && -x $1 ]] || { echo "usage: $0 /path/to/tren-cli" >&2; exit 2; }
CLI=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")

source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"

PASSED=0 FAILED=0 ERRS="" OUT=$ROOT/stdout ERR=$ROOT/stderr RC=0
run() { (cd "$1" && shift && exec "$CLI" "$@") >"$OUT" 2>"$ERR"; RC=$?; } # run DIR ARGS...
bad() { ERRS+="    $*"$'\n'; }
done_case() { # done_case NAME : count the case; report what went wrong in it
    if [[ -z $ERRS ]]; then PASSED=$((PASSED + 1)) && return; fi
    FAILED=$((FAILED + 1))
    printf 'FAIL: %s\n%s    stdout: %s\n    stderr: %s\n' "$1" "$ERRS" "$(head -c 1000 "$OUT")" "$(head -c 1000 "$ERR")"
    ERRS=""
}
expect_rc() { [[ $RC -eq $1 ]] || bad "exit status $RC, expected $1"; }
no_err() { [[ ! -s $ERR ]] || bad "stderr not empty"; }
no_out() { [[ ! -s $OUT ]] || bad "stdout not empty"; }
out_lines() { [[ $(cat "$OUT"; echo .) == "$(printf '%s\n' "$@"; echo .)" ]] || bad "stdout is not: $(printf '%s|' "$@")"; }
err_line() { [[ $(wc -l <"$ERR") -eq 1 && $(cat "$ERR") == $1 ]] || bad "stderr is not one line like: $1"; }
listing() { (cd "$1" && find . -print0 | sort -z | xargs -0 stat -c '%n %s %F'); }
# The lines a cut of LENGTH bytes at PIECE bytes lists for folder DIR and name NAME.
tren_lines() { # DIR NAME LENGTH PIECE
    local n=$((($3 + $4 - 1) / $4)) i
    for ((i = 1; i <= n; i++)); do echo "$1/$2.tr$i [$((i < n ? $4 : $3 - (n - 1) * $4)) bytes]"; done
    echo "$1/$2.tr0 [10 bytes]" && echo "Finish Trening successfully"
}
# The set of HEADER builds, quietly, into a file equal to SOURCE.
builds_to() { # HEADER SOURCE
    local into; into=$(mktemp -d "$ROOT/built.XXXXXX")
    "$CLI" build --quiet --out "$into" -- "$1" >/dev/null 2>&1 && cmp -s "$into/$(basename "$2")" "$2"
}

# Help: every way of asking gives the same text, in plain words, with the sizes,
# examples and exit statuses. verb | the words that ask for its help, "/" between
for c in "|--help/help/-h" "tren|tren --help/help tren/tren -h" "build|build --help/help build" \
    "info|info --help/help info" "verify|verify --help/help verify"; do
    IFS='|' read -r verb ways <<<"$c"
    first=""
    IFS=/ read -ra asks <<<"$ways"
    for ask in "${asks[@]}"; do
        read -ra words <<<"$ask"
        run "$ROOT" "${words[@]}"
        expect_rc 0; no_err
        [[ -z $first ]] && first=$(cat "$OUT")
        [[ $(cat "$OUT") == "$first" ]] || bad "'$ask' differs from '${asks[0]}'"
    done
    help=$first
    for want in "Usage: tren-cli $verb" "1M = 1000000 bytes" "1.44M = 1440000 bytes" "split -b 1M" \
        "Examples:" "tren-cli ${verb:-tren} " "0 finished, 1 refused or failed, 2 usage error"; do
        [[ $help == *"$want"* ]] || bad "no '$want' in the help"
    done
    for jargon in TEXT: REQUIRED SUBCOMMAND Positionals "NOT EMPTY" "[OPTIONS]"; do
        [[ $help != *"$jargon"* ]] || bad "'$jargon' in the help"
    done
    done_case "help for '${verb:-tren-cli}'"
done
[[ $(cd "$ROOT" && "$CLI" tren --help) == *"NAME.tr.sha256 beside the set"* ]] || bad "--sums not explained"
[[ $(cd "$ROOT" && "$CLI" --help) == *"tren-cli tren -- -"* ]] || bad "-- not explained"
done_case "help explains --sums and --"
for opt in -V --version; do
    run "$ROOT" "$opt"
    expect_rc 0; no_err
    [[ $(cat "$OUT") == "tren-cli "[0-9]* ]] || bad "stdout does not look like a version"
    done_case "$opt"
done

# Usage errors and refusals: a valid source and set are at hand, and nothing may be
# written. A usage error names the problem, then how to call and where to read on.
W=$ROOT/w && mkdir -p "$W/set" && head -c 1000001 /dev/urandom >"$W/src.bin" && touch "$W/plainfile"
head -c 1000 /dev/urandom >"$W/small.bin"
printf '\x03\0\0\0\0\0\0\0\0\x09' >"$W/bad.tr0" # size code 9
run "$W/set" tren ../src.bin --size 500K
BEFORE=$(listing "$W")
# name | arguments as shell words | exit status | the first stderr line (for 1: the only one)
CASES=(
    "no verb||2|tren-cli: no command given"
    "unknown verb|frob src.bin|2|tren-cli: unknown command 'frob'"
    "help for an unknown verb|help frob|2|tren-cli: unknown command 'frob'"
    "help for two verbs|help tren build|2|tren-cli: unexpected argument 'build'"
    "tren without SOURCE|tren|2|tren-cli: SOURCE is required"
    "build with empty HEADER|build ''|2|tren-cli: HEADER: must not be empty"
    "verify without HEADER|verify|2|tren-cli: HEADER is required"
    "extra argument|tren src.bin extra|2|tren-cli: unexpected argument 'extra'"
    "option after --|build -- set/src.bin.tr0 --out set|2|tren-cli: unexpected argument '--out'"
    "unknown option|tren src.bin --bogus|2|tren-cli: tren has no option --bogus"
    "option before the verb|--bogus tren src.bin|2|tren-cli: tren-cli has no option --bogus"
    "size in bytes|tren src.bin --size 500000|2|tren-cli: --size: '500000' is not one of 5M, 3M, 1.44M, 1M, 500K"
    "size without value|tren src.bin --size|2|tren-cli: --size needs a value"
    "size twice|tren src.bin --size 1M --size 5M|2|tren-cli: --size is given more than once"
    "size with build|build set/src.bin.tr0 --size 1M|2|tren-cli: build has no option --size"
    "out with info|info set/src.bin.tr0 --out set|2|tren-cli: info has no option --out"
    "json with build|build set/src.bin.tr0 --json|2|tren-cli: build has no option --json"
    "out missing|tren src.bin --out nowhere|2|tren-cli: --out: Directory does not exist: nowhere"
    "out is a file|build set/src.bin.tr0 --out plainfile|2|tren-cli: --out: Not a directory: plainfile"
    "missing source|tren nope.bin|1|tren-cli: nope.bin: Trenning Error: File is not exist."
    "missing header|build nope.tr0|1|tren-cli: nope.tr0: Building Error: File is not exist."
    "corrupted header|build bad.tr0|1|tren-cli: bad.tr0: Building Error: Wrong version or corrupted file"
    "too small a source|tren small.bin|1|tren-cli: small.bin: Trenning Warnning: file is too small for Trening"
)
for c in "${CASES[@]}"; do
    IFS='|' read -r name words status first <<<"$c"
    eval "args=($words)"
    run "$W" ${args[@]+"${args[@]}"}
    expect_rc "$status"
    if [[ $status -eq 1 ]]; then
        err_line "$first"
    else
        [[ $(head -1 "$ERR") == "$first" ]] || bad "first stderr line is not: $first"
        [[ $(tail -1 "$ERR") == "Run 'tren-cli"*"--help' "* ]] || bad "no hint to read the help"
        if [[ $first != *"unknown command"* ]]; then
            [[ $(sed -n 2p "$ERR") == "usage: tren-cli "* ]] || bad "no usage on stderr"
        fi
    fi
    no_out
    [[ $(listing "$W") == "$BEFORE" ]] || bad "files were written"
    done_case "$name"
done

# Round trips with relative paths. --size | piece bytes | source bytes | tren runs in
# | its --out | build runs in | its --out; "-" means no --out.
for c in "500k|500000|1000001|.|pieces/|elsewhere|../built" "|1440000|1440001|pieces|-|built|-"; do
    IFS='|' read -r size p len tdir tout bdir bout <<<"$c"
    w=$ROOT/rt && rm -rf "$w" && mkdir -p "$w/src" "$w/$tdir/${tout/#-/.}" "$w/$bdir/${bout/#-/.}"
    head -c "$len" /dev/urandom >"$w/src/data.bin"
    pdir=$(cd "$w/$tdir/${tout/#-/.}" && pwd -P) odir=$(cd "$w/$bdir/${bout/#-/.}" && pwd -P)
    args=(tren "$(realpath --relative-to="$w/$tdir" "$w/src/data.bin")" ${size:+--size "$size"})
    [[ $tout != - ]] && args+=(--out "$tout")
    run "$w/$tdir" "${args[@]}"
    expect_rc 0; no_err
    mapfile -t exp < <(tren_lines "$pdir" data.bin "$len" "$p")
    out_lines "${exp[@]}"
    args=(build "$(realpath --relative-to="$w/$bdir" "$pdir/data.bin.tr0")")
    [[ $bout != - ]] && args+=(--out "$bout")
    run "$w/$bdir" "${args[@]}"
    expect_rc 0; no_err
    out_lines "$odir/data.bin [$len bytes]" "Finish building successfully"
    cmp -s "$w/src/data.bin" "$odir/data.bin" || bad "rebuilt file differs from its source"
    done_case "round trip '$size' (tren in $tdir --out $tout, build in $bdir --out $bout)"
done

# A name that looks like an option, after "--"; and quiet runs, whose status still
# comes from the run's last line.
w=$ROOT/dash && mkdir -p "$w/built" && head -c 600000 /dev/urandom >"$w/-x"
run "$w" tren --size 500K -- -x
expect_rc 0; no_err
mapfile -t exp < <(tren_lines "$w" -x 600000 500000)
out_lines "${exp[@]}"
run "$w" build --out built -- -x.tr0
expect_rc 0; no_err
out_lines "$w/built/-x [600000 bytes]" "Finish building successfully"
cmp -s "$w/-x" "$w/built/-x" || bad "rebuilt file differs from its source"
done_case "a file named -x, after --"

w=$ROOT/quiet && mkdir -p "$w/set" "$w/gap" "$w/built"
"$CLI" tren "$W/src.bin" --size 500K --out "$w/gap" -q && rm "$w/gap/src.bin.tr2"
# name | arguments | exit status | the stderr line, if any
for c in "quiet tren|tren ../w/src.bin --size 500K --out set -q|0|" \
    "quiet build|build set/src.bin.tr0 --out built --quiet|0|" \
    "quiet build of a broken set|build gap/src.bin.tr0 -q|1|tren-cli: gap/src.bin.tr2: Building Error: Piece file is missing: gap/src.bin.tr2"; do
    IFS='|' read -r name words status line <<<"$c"
    read -ra args <<<"$words"
    run "$w" "${args[@]}"
    expect_rc "$status"; no_out
    if [[ -n $line ]]; then err_line "$line"; else no_err; fi
    done_case "$name"
done
cmp -s "$W/src.bin" "$w/built/src.bin" || bad "quiet build differs from its source"
done_case "quiet round trip"

# Standard output that cannot be written: the run still finishes its set or file,
# then says why the lines stopped and fails. Enough pieces that the reader of a
# pipe is gone before the last line. name | verb | shell redirection | the error
head -c 20000001 /dev/urandom >"$ROOT/big.bin"
for c in "a reader that stops|tren||Broken pipe" "a full device|tren|>/dev/full|No space left on device" \
    "a closed stdout|tren|>&-|Bad file descriptor" "build onto a full device|build|>/dev/full|No space left on device"; do
    IFS='|' read -r name verb redirect why <<<"$c"
    w=$ROOT/sink && rm -rf "$w" && mkdir -p "$w/set" "$w/built"
    if [[ $verb == tren ]]; then args=(tren "$ROOT/big.bin" --size 500K --out set); else
        "$CLI" tren "$ROOT/big.bin" --size 500K --out "$w/set" -q
        args=(build set/big.bin.tr0 --out built)
    fi
    if [[ -z $redirect ]]; then
        (cd "$w" && "$CLI" "${args[@]}" 2>"$ERR" | head -1 >"$OUT"; exit "${PIPESTATUS[0]}"); RC=$?
        [[ $(cat "$OUT") == "$w/set/big.bin.tr1 [500000 bytes]" ]] || bad "the reader did not get the first line"
    else
        (cd "$w" && eval "\"\$CLI\" \"\${args[@]}\" 2>\"\$ERR\" $redirect"); RC=$?
    fi
    expect_rc 1
    err_line "tren-cli: standard output: $why"
    if [[ $verb == tren ]]; then builds_to "$w/set/big.bin.tr0" "$ROOT/big.bin" || bad "the set is not complete"
    else cmp -s "$w/built/big.bin" "$ROOT/big.bin" || bad "the rebuilt file is not complete"; fi
    done_case "stdout to $name"
done

# A failure part way: a full disk, a small tmpfs in a private mount namespace.
w=$ROOT/full && mkdir -p "$w/mnt" && cp "$W/src.bin" "$w/m.bin"
# shellcheck disable=SC2016
(cd "$w" && unshare -rm bash -c 'mount -t tmpfs -o size=700k tmpfs mnt || exit
    "$1" tren m.bin --size 500K --out mnt >"$2" 2>"$3"; echo $? >rc' _ "$CLI" "$OUT" "$ERR") 2>/dev/null
if [[ -f $w/rc ]]; then
    RC=$(cat "$w/rc")
    expect_rc 1
    err_line "tren-cli: $w/mnt/m.bin.tr2: tren: *"
    out_lines "$w/mnt/m.bin.tr1 [500000 bytes]" "Terminate Trening during error"
    done_case "tren onto a full disk"
else
    echo "SKIP: tren onto a full disk (no private tmpfs: unshare -rm or mount refused)"
fi

echo "$PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
