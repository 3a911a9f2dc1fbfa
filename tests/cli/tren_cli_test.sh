#!/usr/bin/env bash
# Black-box test of the tren-cli command-line contract: arguments, exit status,
# and what goes to stdout and stderr. How sets are cut, checked and rebuilt is
# left to the unit tests.
# Usage: tren_cli_test.sh /path/to/tren-cli
# shellcheck disable=SC2053 # patterns on the right of == are globs on purpose
set -u
[[ $# -eq 1 && -x $1 ]] || { echo "usage: $0 /path/to/tren-cli" >&2; exit 2; }
CLI=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")

ROOT=$(mktemp -d "${TMPDIR:-/tmp}/tren-cli-test.XXXXXX") || exit 2
ROOT=$(cd "$ROOT" && pwd -P) # printed paths are physical; compare like with like
trap 'rm -rf "$ROOT"' EXIT
# Nothing may be written outside ROOT, whatever the program looks up.
export HOME=$ROOT/home TMPDIR=$ROOT/tmp XDG_RUNTIME_DIR=$ROOT/xdg-run LC_ALL=C
for v in DATA CONFIG CACHE STATE; do export "XDG_${v}_HOME=$ROOT/xdg-${v,,}"; done
mkdir -p "$HOME" "$TMPDIR" "$ROOT"/xdg-{data,config,cache,state} && mkdir -m 700 "$XDG_RUNTIME_DIR"

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
out_lines() { [[ $(cat "$OUT"; echo .) == "$(printf '%s\n' "$@"; echo .)" ]] || bad "stdout is not: $(printf '%s|' "$@")"; }
err_line() { [[ $(wc -l <"$ERR") -eq 1 && $(cat "$ERR") == $1 ]] || bad "stderr is not one line like: $1"; }
listing() { (cd "$1" && find . -print0 | sort -z | xargs -0 stat -c '%n %s %F'); }

for c in "--help|*Usage: tren-cli*" "--version|tren-cli [0-9]*"; do
    IFS='|' read -r opt pat <<<"$c"
    run "$ROOT" "$opt"
    expect_rc 0; no_err
    [[ $(cat "$OUT") == $pat ]] || bad "stdout does not look like $opt output"
    done_case "$opt"
done

# Usage errors, and refusals with the handler's message as "TITLE: TEXT": a valid
# source and set are at hand, and nothing may be written.
W=$ROOT/w && mkdir -p "$W/set" && head -c 1000001 /dev/urandom >"$W/src.bin" && touch "$W/plainfile"
run "$W/set" tren ../src.bin --size 500K
BEFORE=$(listing "$W")
# name | arguments as shell words | the stderr line of a refusal, or none for a usage error
CASES=(
    "no verb|"
    "unknown verb|frob src.bin"
    "tren without SOURCE|tren"
    "build with empty HEADER|build ''"
    "extra argument|tren src.bin extra"
    "unknown option|tren src.bin --bogus"
    "size in bytes|tren src.bin --size 500000"
    "size with build|build set/src.bin.tr0 --size 1M"
    "out missing|tren src.bin --out nowhere"
    "out is a file|build set/src.bin.tr0 --out plainfile"
    "missing source|tren nope.bin|Trenning Error: File is not exist."
    "missing header|build nope.tr0|Building Error: File is not exist."
)
for c in "${CASES[@]}"; do
    IFS='|' read -r name words msg <<<"$c"
    eval "args=($words)"
    run "$W" ${args[@]+"${args[@]}"}
    if [[ -n $msg ]]; then
        expect_rc 1; err_line "$msg"
    else
        expect_rc 2
        [[ $(cat "$ERR") == "tren-cli: "*$'\n'"usage: tren-cli tren SOURCE"* ]] || bad "no usage on stderr"
    fi
    [[ ! -s $OUT ]] || bad "stdout not empty"
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
    n=$(((len + p - 1) / p)) exp=()
    for ((i = 1; i <= n; i++)); do exp+=("$pdir/data.bin.tr$i [$((i < n ? p : len - (n - 1) * p)) bytes]"); done
    expect_rc 0; no_err
    out_lines "${exp[@]}" "$pdir/data.bin.tr0 [10 bytes]" "Finish Trening successfully"
    args=(build "$(realpath --relative-to="$w/$bdir" "$pdir/data.bin.tr0")")
    [[ $bout != - ]] && args+=(--out "$bout")
    run "$w/$bdir" "${args[@]}"
    expect_rc 0; no_err
    out_lines "$odir/data.bin [$len bytes]" "Finish building successfully"
    cmp -s "$w/src/data.bin" "$odir/data.bin" || bad "rebuilt file differs from its source"
    done_case "round trip '$size' (tren in $tdir --out $tout, build in $bdir --out $bout)"
done

# A failure part way: a full disk, a small tmpfs in a private mount namespace.
w=$ROOT/full && mkdir -p "$w/mnt" && cp "$W/src.bin" "$w/m.bin"
# shellcheck disable=SC2016
(cd "$w" && unshare -rm bash -c 'mount -t tmpfs -o size=700k tmpfs mnt || exit
    "$1" tren m.bin --size 500K --out mnt >"$2" 2>"$3"; echo $? >rc' _ "$CLI" "$OUT" "$ERR") 2>/dev/null
if [[ -f $w/rc ]]; then
    RC=$(cat "$w/rc")
    expect_rc 1
    err_line "tren: *"
    out_lines "$w/mnt/m.bin.tr1 [500000 bytes]" "Terminate Trening during error"
    done_case "tren onto a full disk"
else
    echo "SKIP: tren onto a full disk (no private tmpfs: unshare -rm or mount refused)"
fi

echo "$PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
