#!/usr/bin/env bash
# tren-cli.exe under Wine keeps the contract of tren-cli: the same sets, lines,
# messages and exit statuses, with Windows paths; and sets cut by one build on
# the other, byte for byte. WINEPREFIX comes from the caller.
# Usage: windows_cli_test.sh /path/to/tren-cli.exe /path/to/linux/tren-cli
set -u
[[ $# -eq 2 && -f $1 && -x $2 ]] || { echo "usage: $0 tren-cli.exe linux-tren-cli" >&2; exit 2; }
EXE=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
LINUX=$(cd "$(dirname "$2")" && pwd -P)/$(basename "$2")
WINE_RUN=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd -P)/wine-run.sh
WINEPREFIX=${WINEPREFIX:?a Wine prefix of the test run}

source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"

FAILED=0 PASSED=0
check() { # NAME STATUS [DETAIL]
    if [[ $2 -eq 0 ]]; then PASSED=$((PASSED + 1)); else
        FAILED=$((FAILED + 1)) && printf 'FAIL: %s\n%s\n' "$1" "${3:-}"
    fi
}
win() { echo "Z:${1//\//\\}"; } # the Windows name of a Linux path
# Runs tren-cli.exe in folder DIR: its lines in out, its messages in err (CR dropped).
exe() { # DIR ARGS...
    local dir=$1 rc
    shift
    # Wine reads the arguments in the locale's encoding: UTF-8, as the names are.
    (cd "$dir" && LC_ALL=C.UTF-8 "$WINE_RUN" "$EXE" "$@") >"$ROOT/out.crlf" 2>"$ROOT/err.crlf"
    rc=$?
    tr -d '\r' <"$ROOT/out.crlf" >"$ROOT/out" && tr -d '\r' <"$ROOT/err.crlf" >"$ROOT/err"
    return $rc
}
lin() { (cd "$1" && shift && "$LINUX" "$@") >"$ROOT/out" 2>"$ROOT/err"; }

# Every size: cut and built again by the Windows program, each list line naming
# the absolute folder with "\".
i=0
for size in 5M 3M 1.44M 1M 500K; do
    i=$((i + 1)) d=$ROOT/size$i
    mkdir -p "$d/out" "$d/back"
    case $size in 5M) piece=5000000 ;; 3M) piece=3000000 ;; 1.44M) piece=1440000 ;;
    1M) piece=1000000 ;; 500K) piece=500000 ;; esac
    length=$((2 * piece + 12345))
    head -c "$length" /dev/urandom >"$d/data.bin"
    exe "$d" tren data.bin --size "$size" --out out
    want=$(printf '%s\n' "$(win "$d/out")\\data.bin.tr1 [$piece bytes]" \
        "$(win "$d/out")\\data.bin.tr2 [$piece bytes]" "$(win "$d/out")\\data.bin.tr3 [12345 bytes]" \
        "$(win "$d/out")\\data.bin.tr0 [10 bytes]" "Finish Trening successfully")
    check "tren at $size lists each piece by its Windows path" \
        $([[ $? -eq 0 && $(cat "$ROOT/out") == "$want" && ! -s $ROOT/err ]]; echo $?) \
        "$(cat "$ROOT/out" "$ROOT/err")"
    exe "$d/back" build "$(win "$d/out/data.bin.tr0")"
    check "build at $size gives the source back, into the current folder" \
        $([[ $? -eq 0 && $(tail -n 1 "$ROOT/out") == "Finish building successfully" ]] &&
            cmp -s "$d/data.bin" "$d/back/data.bin"; echo $?) "$(cat "$ROOT/out" "$ROOT/err")"
done

# The worked example: 3500000 bytes at 1.44M.
d=$ROOT/example && mkdir -p "$d"
head -c 3500000 /dev/urandom >"$d/report.doc"
exe "$d" tren report.doc --size 1.44M --out .
check "the worked example's header bytes" \
    $([[ $(od -An -tx1 "$d/report.doc.tr0" | tr -s ' ') == " 03 00 00 00 00 02 06 00 00 03" ]]; echo $?) \
    "$(od -An -tx1 "$d/report.doc.tr0")"

# Sets exchanged both ways, with their checksums.
d=$ROOT/exchange && mkdir -p "$d/from-linux" "$d/from-windows" "$d/built-linux" "$d/built-windows"
name=$'gr\xc3\xbc\xc3\x9fe 1.bin'
head -c 2600000 /dev/urandom >"$d/$name"
lin "$d" tren "$name" --size 1M --out from-linux --sums --quiet
exe "$d" verify "from-linux/$name.tr0" && exe "$d" build "from-linux/$name.tr0" --out built-windows
check "a set cut on Linux checks and builds on Windows" \
    $(cmp -s "$d/$name" "$d/built-windows/$name"; echo $?) "$(cat "$ROOT/out" "$ROOT/err")"
exe "$d" tren "$name" --size 1M --out from-windows --sums
check "tren-cli.exe lists a UTF-8 name in UTF-8" \
    $(grep -qF "$(win "$d/from-windows")\\$name.tr1 [1000000 bytes]" "$ROOT/out"; echo $?) \
    "$(cat "$ROOT/out" "$ROOT/err")"
differing=$(for f in "$d/from-linux"/*; do cmp -s "$f" "$d/from-windows/${f##*/}" || echo "${f##*/}"; done)
check "both systems cut the same set" $([[ -z $differing ]]; echo $?) "$differing"
lin "$d" verify "from-windows/$name.tr0" && lin "$d" build "from-windows/$name.tr0" --out built-linux --quiet
check "a set cut on Windows checks and builds on Linux" \
    $(cmp -s "$d/$name" "$d/built-linux/$name"; echo $?) "$(cat "$ROOT/out" "$ROOT/err")"

# Refusals: the same message and exit status as on Linux, with Windows paths; the
# system's own words for the reason, in brackets at the end, are each system's.
d=$ROOT/refusals && mkdir -p "$d/set"
head -c 1000 /dev/urandom >"$d/small"
head -c 1500000 /dev/urandom >"$d/whole"
"$LINUX" tren "$d/whole" --size 500K --out "$d/set" --quiet
cp "$d/set/whole.tr0" "$d/set/bad.tr0" && printf '\x09' | dd of="$d/set/bad.tr0" bs=1 seek=9 conv=notrunc 2>/dev/null
cp "$d/set/whole.tr0" "$d/set/gap.tr0" && cp "$d/set/whole.tr1" "$d/set/gap.tr1"
while IFS='|' read -r what args; do
    read -ra words <<<"$args"
    lin "$d" "${words[@]}"
    rc_linux=$? err_linux=$(sed 's| ([^)]*)$||' "$ROOT/err")
    exe "$d" "${words[@]}"
    rc_windows=$? err_windows=$(sed 's|\\|/|g; s| ([^)]*)$||' "$ROOT/err")
    check "$what: as on Linux" \
        $([[ $rc_windows -eq $rc_linux && $rc_linux -ne 0 && $err_windows == "$err_linux" ]]; echo $?) \
        "linux ($rc_linux): $err_linux"$'\n'"windows ($rc_windows): $err_windows"
done <<'EOF'
a source no larger than a piece|tren small --out set
a missing source|tren missing.bin --out set
a missing folder to write into|tren whole --out nowhere
a header of an unknown size|build set/bad.tr0 --out .
a missing piece|build set/gap.tr0 --out .
a missing header|verify set/none.tr0
an unknown command|cut whole
an unknown size|tren whole --size 2M
EOF

# A full disk: a small file system of its own, reached through Z:.
d=$ROOT/full && mkdir -p "$d/disk"
if mount -t tmpfs -o size=1m tmpfs "$d/disk" 2>/dev/null; then
    head -c 1500000 /dev/urandom >"$d/data"
    exe "$d" tren data --size 500K --out "$(win "$d/disk")"
    rc=$?
    check "a full disk fails the tren, naming the piece and the system's reason" \
        $([[ $rc -eq 1 && $(cat "$ROOT/err") == *"data.tr"*"Disk full"* ]]; echo $?) "$(cat "$ROOT/err")"
    check "a full disk leaves no header and no hidden file" \
        $([[ ! -e $d/disk/data.tr0 && -z $(find "$d/disk" -name '.tren-*') ]]; echo $?) "$(ls -a "$d/disk")"
    umount "$d/disk"
else
    echo "skipped: a full disk (no tmpfs can be mounted here)"
fi

echo "tren-cli.exe: $PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
