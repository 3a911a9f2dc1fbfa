#!/usr/bin/env bash
# Black-box test of the tren-cli command-line contract: arguments, exit status,
# and what goes to stdout and stderr. How sets are cut, checked and rebuilt is
# covered in depth by the GoogleTest suites (tests/window/frmTrenTest.cpp).
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

# run DIR ARGS... : run tren-cli with DIR as the current directory.
run() { (cd "$1" && shift && exec "$CLI" "$@") >"$OUT" 2>"$ERR"; RC=$?; }
bad() { ERRS+="    $*"$'\n'; }
done_case() { # done_case NAME : count the case; report what went wrong in it
    if [[ -z $ERRS ]]; then PASSED=$((PASSED + 1)) && return; fi
    FAILED=$((FAILED + 1))
    printf 'FAIL: %s\n%s    stdout: %s\n    stderr: %s\n' "$1" "$ERRS" "$(head -c 1000 "$OUT")" "$(head -c 1000 "$ERR")"
    ERRS=""
}
expect_rc() { [[ $RC -eq $1 ]] || bad "exit status $RC, expected $1"; }
no_out() { [[ ! -s $OUT ]] || bad "stdout not empty"; }
no_err() { [[ ! -s $ERR ]] || bad "stderr not empty"; }
out_lines() { # stdout is exactly these lines
    [[ $(cat "$OUT"; echo .) == "$(printf '%s\n' "$@"; echo .)" ]] || bad "stdout is not: $(printf '%s|' "$@")"
}
err_glob() { # stderr is one line matching this glob
    [[ $(wc -l <"$ERR") -eq 1 && $(cat "$ERR") == $1 ]] || bad "stderr is not one line like: $1"
}
listing() { (cd "$1" && find . -print0 | sort -z | xargs -0 stat -c '%n %s %F'); }
absdir() { (cd "$1" && mkdir -p "$2" && cd "$2" && pwd -P); } # absdir BASE REL : make it, print it

# ---------------------------------------------------------------- help and version
for c in "--help|*[Uu]sage*" "--version|*[0-9].[0-9]*"; do
    IFS='|' read -r opt pat <<<"$c"
    run "$ROOT" "$opt"
    expect_rc 0; no_err
    [[ $(cat "$OUT") == $pat ]] || bad "stdout does not look like $opt output"
    done_case "$opt"
done

# ---------------------------------------------------------------- usage errors
# A valid source and set are at hand: a usage error let through would write files.
U=$ROOT/usage && mkdir -p "$U/set"
head -c 1500001 /dev/urandom >"$U/src.bin" && touch "$U/plainfile"
run "$U/set" tren ../src.bin --size 500K
BEFORE=$(listing "$U")
# name | arguments as shell words
USAGE_CASES=(
    "no verb|"
    "unknown verb|frob src.bin"
    "tren without SOURCE|tren"
    "tren with empty SOURCE|tren ''"
    "build without HEADER|build"
    "build with empty HEADER|build ''"
    "extra argument|tren src.bin extra"
    "unknown option|tren src.bin --bogus"
    "size not in the list|tren src.bin --size 2M"
    "size in bytes|tren src.bin --size 500000"
    "size with build|build set/src.bin.tr0 --size 1M"
    "out missing|tren src.bin --out nowhere"
    "out is a file|build set/src.bin.tr0 --out plainfile"
)
for c in "${USAGE_CASES[@]}"; do
    IFS='|' read -r name words <<<"$c"
    eval "args=($words)"
    run "$U" ${args[@]+"${args[@]}"}
    expect_rc 2; no_out
    grep -qi 'usage' "$ERR" || bad "no usage text on stderr"
    [[ $(listing "$U") == "$BEFORE" ]] || bad "files were written"
    done_case "usage: $name"
done

# ---------------------------------------------------------------- round trips
# Paths are relative to the run folders (under the case folder); "-" means no --out.
# Building elsewhere by a relative header path: the pieces must be found beside it.
# --size | piece bytes | source bytes | name | tren runs in | its --out | build runs in | its --out
ROUND_TRIPS=(
    "500K|500000|1000001|data.bin|.|pieces|.|built"
    "1.44m|1440000|1440001|with blanks.bin|pieces|-|built|-"
    "|1440000|2880017|$(printf 'r\xc3\xa9sum\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.v1.tar.gz')|.|pieces/|elsewhere|../built"
)
for c in "${ROUND_TRIPS[@]}"; do
    IFS='|' read -r size p len name tdir tout bdir bout <<<"$c"
    w=$ROOT/rt && rm -rf "$w" && mkdir -p "$w/src"
    head -c "$len" /dev/urandom >"$w/src/$name"
    pdir=$(absdir "$(absdir "$w" "$tdir")" "${tout/#-/.}") odir=$(absdir "$(absdir "$w" "$bdir")" "${bout/#-/.}")
    args=(tren "$(realpath --relative-to="$w/$tdir" "$w/src/$name")")
    [[ -n $size ]] && args+=(--size "$size")
    [[ $tout != - ]] && args+=(--out "$tout")
    run "$w/$tdir" "${args[@]}"
    n=$(((len + p - 1) / p)) exp=()
    for ((i = 1; i <= n; i++)); do exp+=("$pdir/$name.tr$i [$((i < n ? p : len - (n - 1) * p)) bytes]"); done
    exp+=("$pdir/$name.tr0 [10 bytes]")
    for l in "${exp[@]}"; do # each listed file is there, of the listed size
        f=${l% \[*} want=${l##*\[}
        [[ -f $f && $(stat -c '%s bytes]' -- "$f") == "$want" ]] || bad "listed file $f is missing or not $want"
    done
    expect_rc 0; no_err
    out_lines "${exp[@]}" "Finish Trening successfully"
    args=(build "$(realpath --relative-to="$w/$bdir" "$pdir/$name.tr0")")
    [[ $bout != - ]] && args+=(--out "$bout")
    run "$w/$bdir" "${args[@]}"
    expect_rc 0; no_err
    out_lines "$odir/$name [$len bytes]" "Finish building successfully"
    cmp -s "$w/src/$name" "$odir/$name" || bad "rebuilt file differs from its source"
    done_case "round trip ${size:-default size} '$name' (tren in $tdir --out $tout, build in $bdir --out $bout)"
done

# ---------------------------------------------------------------- refusals
R=$ROOT/refuse && mkdir -p "$R/o" "$R/good" "$R/badhdr" "$R/nopiece" && head -c 1000 /dev/urandom >"$R/tiny.bin"
truncate -s $((255 * 500000 + 1)) "$R/huge.bin" # sparse: costs no disk
head -c 1000001 /dev/urandom >"$R/m.bin"
run "$R/good" tren ../m.bin --size 500K
cp "$R"/good/m.bin.tr[123] "$R/badhdr/" && cp "$R"/good/m.bin.tr[013] "$R/nopiece/"
{ head -c 9 "$R/good/m.bin.tr0" && printf '\006'; } >"$R/badhdr/m.bin.tr0" # no such size code
BEFORE=$(listing "$R")
# name | arguments as shell words | the stderr line (glob)
REFUSALS=(
    "missing source|tren nope.bin --out o|Trenning Error: File is not exist."
    "source too small|tren tiny.bin --out o|Trenning Warnning: file is too small for Trening"
    "source too large|tren huge.bin --size 500K --out o|Trenning Error: Multiple size is too large... sorry..."
    "corrupted header|build badhdr/m.bin.tr0 --out o|Building Error: Wrong version or corrupted file"
    "missing piece|build nopiece/m.bin.tr0 --out o|Building Error: Piece file is missing: *nopiece/m.bin.tr2"
)
for c in "${REFUSALS[@]}"; do
    IFS='|' read -r name words msg <<<"$c"
    eval "args=($words)"
    run "$R" "${args[@]}"
    expect_rc 1; no_out
    err_glob "$msg"
    [[ $(listing "$R") == "$BEFORE" ]] || bad "files were written"
    done_case "refused: $name"
done

# ---------------------------------------------------------------- failures mid-operation
# A full disk: a small tmpfs in a private mount namespace (no real root needed).
w=$ROOT/full && mkdir -p "$w/mnt" && cp "$R/m.bin" "$w/"
# shellcheck disable=SC2016
(cd "$w" && unshare -rm bash -c 'mount -t tmpfs -o size=700k tmpfs mnt || exit
    "$1" tren m.bin --size 500K --out mnt >"$2" 2>"$3"; echo $? >rc' _ "$CLI" "$OUT" "$ERR") 2>/dev/null
if [[ -f $w/rc ]]; then
    RC=$(cat "$w/rc")
    expect_rc 1
    err_glob "tren: *"
    [[ $(head -n 1 "$OUT") == "$w/mnt/m.bin.tr1 [500000 bytes]" ]] || bad "first line is not the tr1 listing"
    [[ $(tail -n 1 "$OUT") == "Terminate Trening during error" ]] || bad "last line is not the terminate line"
    grep -q Finish "$OUT" && bad "success line printed"
    done_case "tren onto a full disk"
else
    echo "SKIP: tren onto a full disk (no private tmpfs: unshare -rm or mount refused)"
fi

# A full device behind a link where build writes its file: the write must reach
# the device and fail there, not replace it. Root only; the node lives in ROOT.
w=$ROOT/fulllink && mkdir -p "$w/o"
if mknod "$ROOT/fullnode" c 1 7 2>/dev/null && ! printf x 2>/dev/null >"$ROOT/fullnode"; then
    ln -s ../../fullnode "$w/o/m.bin"
    run "$R/good" build m.bin.tr0 --out "$w/o"
    expect_rc 1
    err_glob "tren: *"
    out_lines "Terminate building during error"
    [[ -c $ROOT/fullnode && -c $w/o/m.bin ]] || bad "the device behind the link was replaced"
    done_case "build through a link to a full device"
else
    echo "SKIP: build through a link to a full device (cannot make a device node)"
fi

echo "$PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
