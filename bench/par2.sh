#!/usr/bin/env bash
# Compares tren-cli's recovery files with par2cmdline's on the same set: tren cuts
# and writes N recovery slices of a piece each in one run; par2 makes N slices of
# the same size for the pieces and header already cut, on one thread as tren works.
# A plain tren, the cut alone, shows what the recovery files add to it.
#
# tren-cli puts every file on the disk before it says it finished; par2 is timed
# up to the end of a sync that does the same for it.
#
#   bench/par2.sh                   # work folder under ${TMPDIR:-/tmp}, on the disk
#   BENCH_DIR=/data bench/par2.sh   # on another disk
# BENCH_BYTES (default 1000000000), BENCH_RUNS (default 5), BENCH_COUNTS (default
# "3 26") and BENCH_SETTLE (default 3, seconds before each timed command) shrink it
# for a quick try. The folder needs about 2.3 times BENCH_BYTES free.
#
# Measured on a 2-core Debian 12 machine, on its disk: 1000000000 bytes at 5M
# (200 pieces and the header), 5 runs, medians of wall seconds and peak RSS:
#   tren, no recovery          0.60 s    5.7 MiB
#   tren --recovery 3          2.61 s   32.1 MiB   par2 -c3    6.28 s   23.8 MiB   tren/par2 0.42
#   tren --recovery 26         5.35 s   58.1 MiB   par2 -c26  13.5 s   133.7 MiB   tren/par2 0.40
# The recovery files alone (tren --recovery N less the plain tren) take 0.32 and
# 0.35 of par2's time.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
BYTES=${BENCH_BYTES:-1000000000}
RUNS=${BENCH_RUNS:-5}
COUNTS=${BENCH_COUNTS:-3 26}
SETTLE=${BENCH_SETTLE:-3}
TIME=/usr/bin/time
[[ -x $TIME ]] || { echo "bench: $TIME is missing (install the 'time' package)" >&2; exit 2; }
command -v par2 >/dev/null || { echo "bench: par2 is missing (install the 'par2' package)" >&2; exit 2; }

PARENT=${BENCH_DIR:-${TMPDIR:-/tmp}}
free=$(df -P -B1 "$PARENT" | awk 'NR == 2 {print $4}')
((free > BYTES * 23 / 10 + 200000000)) ||
    { echo "bench: $PARENT has $free bytes free; the run needs about $((BYTES * 23 / 10))" >&2; exit 2; }
WORK=$(mktemp -d "$PARENT/tren-par2-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export HOME=$WORK/home XDG_DATA_HOME=$WORK/xdg-data XDG_CONFIG_HOME=$WORK/xdg-config
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"

echo "== building Release in $WORK/build"
cmake -S "$REPO" -B "$WORK/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTREN_WITH_QT=OFF -DTREN_WITH_TESTS=OFF >"$WORK/build.log" 2>&1 &&
    cmake --build "$WORK/build" -j2 --target tren-cli >>"$WORK/build.log" 2>&1 || { cat "$WORK/build.log" >&2; exit 1; }
CLI=$WORK/build/src/tren-cli

declare -A WALL RSS
# timed KEY CMD... : one run under /usr/bin/time -v, after the earlier runs' writes
# have reached the disk.
timed() {
    local key=$1
    shift
    sync
    sleep "$SETTLE"
    if ! "$TIME" -v -o "$WORK/time.out" "$@" >/dev/null; then
        cat "$WORK/time.out" >&2
        echo "bench: $key failed" >&2
        exit 1
    fi
    WALL[$key]+="$(awk -F': ' '/Elapsed \(wall clock\)/ {
            n = split($2, p, ":"); s = 0
            for (i = 1; i <= n; i++) s = s * 60 + p[i]
            print s }' "$WORK/time.out") "
    RSS[$key]+="$(awk -F': ' '/Maximum resident set size/ {print $2}' "$WORK/time.out") "
}
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{v[NR] = $1} END {
    if (NR % 2) print v[(NR + 1) / 2]; else printf "%.10g\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
row() { printf '%-58s %8s %12s   %s\n' "$2" "$(median "${WALL[$1]}")" "$(median "${RSS[$1]}")" "${WALL[$1]}"; }

cd "$WORK"
# AES-CTR over zeros gives incompressible bytes far faster than /dev/urandom.
{ openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass pass:tren-bench -in /dev/zero 2>/dev/null || true; } |
    head -c "$BYTES" >SRC
[[ $(stat -c %s SRC) -eq $BYTES ]] || { echo "bench: the source has the wrong size" >&2; exit 1; }
mkdir SET

# One folder holds the pieces: par2 works on those the last tren cut, and each
# tren starts from an empty folder. The order alternates from run to run.
tren_run() { rm -rf SET/* && timed "$1" "$CLI" tren SRC --size 5M --out SET "${@:2}"; }
par2_run() {
    rm -f SET/*.par2
    timed "par2 $1" sh -c 'par2 create -q -q -t1 -T1 -s5000000 -c"$1" SET/x.par2 SET/SRC.tr* && sync' sh "$1"
    [[ $(ls SET/x*.par2 | wc -l) -gt 1 ]] || { echo "bench: par2 made no recovery file" >&2; exit 1; }
}
tren_run plain
for ((r = 1; r <= RUNS; r++)); do
    for n in $COUNTS; do
        if ((r % 2)); then
            tren_run "tren $n" --recovery "$n" && par2_run "$n"
        else
            par2_run "$n" && tren_run "tren $n" --recovery "$n"
        fi
    done
    tren_run plain
done
# tren's recovery files stand up to par2's own check.
rm -rf SET/* && "$CLI" tren SRC --size 5M --out SET --recovery 3 --quiet
par2 verify -q -q SET/SRC.tr.par2 || { echo "bench: par2 rejects tren's recovery files" >&2; exit 1; }

echo
echo "== $BYTES bytes at 5M ($(ls SET | grep -c '^SRC\.tr[0-9]') files), $RUNS runs each, medians ($(df -P "$WORK" | awk 'NR == 2 {print $1}'))"
printf '%-58s %8s %12s   %s\n' command "wall s" "peak KiB" "all wall s"
row plain "tren-cli tren --size 5M (no recovery)"
for n in $COUNTS; do
    row "tren $n" "tren-cli tren --size 5M --recovery $n"
    row "par2 $n" "par2 create -t1 -T1 -s5000000 -c$n (pieces cut); sync"
done
for n in $COUNTS; do
    awk -v t="$(median "${WALL[tren $n]}")" -v p="$(median "${WALL[par2 $n]}")" -v c="$(median "${WALL[plain]}")" -v n="$n" \
        'BEGIN { printf "N=%s: tren/par2 %.2f; recovery alone (tren - plain tren)/par2 %.2f\n", n, t / p, (t - c) / p }'
done
