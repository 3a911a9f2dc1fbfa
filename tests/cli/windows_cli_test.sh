#!/usr/bin/env bash
# tren-cli.exe under Wine keeps tren-cli's contract (the same sets, lines, messages
# and exit statuses, with Windows paths), and sets cut by one build on the other,
# byte for byte. WINEPREFIX comes from the caller.
# Usage: windows_cli_test.sh /path/to/tren-cli.exe /path/to/linux/tren-cli
set -u
[[ $# -eq 2 && -f $1 && -x $2 ]] || { echo "usage: $0 tren-cli.exe linux-tren-cli" >&2; exit 2; }
EXE=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
CLI=$(cd "$(dirname "$2")" && pwd -P)/$(basename "$2")
WINE_RUN=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd -P)/wine-run.sh
WINEPREFIX=${WINEPREFIX:?a Wine prefix of the test run}
source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"

win() { echo "Z:${1//\//\\}"; } # the Windows name of a Linux path
lin() { run "$@"; return $RC; } # DIR ARGS...: the Linux tren-cli's lines in OUT, messages in ERR
# The same of tren-cli.exe, its CRs dropped. Wine reads the arguments in the
# locale's encoding: UTF-8, as the names are.
exe() { # DIR ARGS...
    (cd "$1" && shift && LC_ALL=C.UTF-8 exec "$WINE_RUN" "$EXE" "$@") >"$OUT.crlf" 2>"$ERR.crlf"
    RC=$? && tr -d '\r' <"$OUT.crlf" >"$OUT" && tr -d '\r' <"$ERR.crlf" >"$ERR" && return $RC
}

# The worked example, 3500000 bytes at 1.44M, cut and built again by the Windows program,
# each list line naming the absolute folder with "\" (every size: tren_tests.exe).
d=$ROOT/example && mkdir -p "$d/out" "$d/back" && head -c 3500000 /dev/urandom >"$d/report.doc"
exe "$d" tren report.doc --size 1.44M --out out; o=$(win "$d/out")\\report.doc
[[ $RC -eq 0 && ! -s $ERR && $(<"$OUT") == "$(printf '%s\n' "$o.tr1 [1440000 bytes]" "$o.tr2 [1440000 bytes]" \
    "$o.tr3 [620000 bytes]" "$o.tr0 [10 bytes]" "Finish Trening successfully")" ]]
check "tren lists each piece by its Windows path" $? "$(detail)"
[[ $(od -An -tx1 "$d/out/report.doc.tr0" | tr -s ' ') == " 03 00 00 00 00 02 06 00 00 03" ]]
check "the worked example's header bytes" $? "$(od -An -tx1 "$d/out/report.doc.tr0")"
exe "$d/back" build "$(win "$d/out/report.doc.tr0")"
[[ $RC -eq 0 && $(tail -n 1 "$OUT") == "Finish building successfully" ]] && cmp -s "$d/report.doc" "$d/back/report.doc"
check "build gives the source back, into the current folder" $? "$(detail)"

# Sets exchanged both ways, with their checksums, under a UTF-8 name.
d=$ROOT/exchange && mkdir -p "$d"/{from,built}-{linux,windows} && cd "$d" || exit 2
name=$'gr\xc3\xbc\xc3\x9fe 1.bin' && head -c 2600000 /dev/urandom >"$name"
lin . tren "$name" --size 1M --out from-linux --sums --quiet
exe . verify "from-linux/$name.tr0" && exe . build "from-linux/$name.tr0" --out built-windows
check "a set cut on Linux checks and builds on Windows" $(cmp -s "$name" "built-windows/$name"; echo $?) "$(detail)"
exe . tren "$name" --size 1M --out from-windows --sums
check "tren-cli.exe lists a UTF-8 name in UTF-8" \
    $(grep -qF "$(win "$d/from-windows")\\$name.tr1 [1000000 bytes]" "$OUT"; echo $?) "$(detail)"
differing=$(for f in from-linux/*; do cmp -s "$f" "from-windows/${f##*/}" || echo "${f##*/}"; done)
check "both systems cut the same set" $([[ -z $differing ]]; echo $?) "$differing"
lin . verify "from-windows/$name.tr0" && lin . build "from-windows/$name.tr0" --out built-linux --quiet
check "a set cut on Windows checks and builds on Linux" $(cmp -s "$name" "built-linux/$name"; echo $?) "$(detail)"

# Refusals that meet the file system: the same message and exit status as on Linux, with
# Windows paths; the system's own words for the reason, in brackets at the end, are each system's.
d=$ROOT/refusals && mkdir -p "$d/set" && cd "$d" || exit 2
head -c 1500000 /dev/urandom >whole
"$CLI" tren whole --size 500K --out set --quiet
cp set/whole.tr0 set/gap.tr0 && cp set/whole.tr1 set/gap.tr1
while IFS='|' read -r what args; do
    run . $args; linux=$RC err_linux=$(sed 's| ([^)]*)$||' "$ERR")
    exe . $args; err_windows=$(sed 's|\\|/|g; s| ([^)]*)$||' "$ERR")
    check "$what: as on Linux" $([[ $RC -eq $linux && $linux -ne 0 && $err_windows == "$err_linux" ]]; echo $?) \
        "linux ($linux): $err_linux"$'\n'"windows ($RC): $err_windows"
done <<'EOF_CASES'
a missing source|tren missing.bin --out set
a missing folder to write into|tren whole --out nowhere
a missing piece|build set/gap.tr0 --out .
a missing header|verify set/none.tr0
EOF_CASES

# A full disk, a small file system of its own reached through Z:: a set that cannot
# fit is refused before anything is written, naming the folder and the room.
d=$ROOT/full && mkdir -p "$d/disk" && cd "$d" || exit 2
# Without it the run is a skip (77), never a pass, unless a check above failed.
mount -t tmpfs -o size=1m tmpfs disk 2>/dev/null || { echo "SKIP: a full disk (no tmpfs)"; finish && exit 77; exit 1; }
head -c 1500000 /dev/urandom >data
exe . tren data --size 500K --out "$(win "$d/disk")"
check "a full disk" $([[ $RC -eq 1 && $(<"$ERR") == *"not enough room in $(win "$d/disk")"*"bytes are free."* &&
    -z $(ls -A disk) ]]; echo $?) "$(detail; ls -A disk)"
umount disk
finish
