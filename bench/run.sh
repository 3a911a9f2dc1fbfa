#!/usr/bin/env bash
# Compares tren-cli with split/cat (and cp as the disk's own limit) on one large file.
# tren-cli puts every file on the disk before it says it finished, so each of the
# others is timed up to the end of a sync that does the same for it.
#
#   bench/run.sh                   # work folder under ${TMPDIR:-/tmp}
#   BENCH_DIR=/data bench/run.sh   # work folder on another disk
# BENCH_BYTES (default 1000000000) and BENCH_RUNS (default 5) shrink it for a quick try;
# BENCH_SETTLE (default 3) is the pause in seconds before each timed command.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
BYTES=${BENCH_BYTES:-1000000000}
RUNS=${BENCH_RUNS:-5}
TIME=/usr/bin/time
[[ -x $TIME ]] || { echo "bench: $TIME is missing (install the 'time' package)" >&2; exit 2; }

WORK=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/tren-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export HOME=$WORK/home XDG_DATA_HOME=$WORK/xdg-data XDG_CONFIG_HOME=$WORK/xdg-config
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
cd "$WORK"

echo "== building Release in $WORK/build"
cmake -S "$REPO" -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTREN_WITH_QT=OFF -DTREN_WITH_TESTS=OFF >build.log 2>&1 &&
    cmake --build build >>build.log 2>&1 || { cat build.log >&2; exit 1; }
CLI=$WORK/build/src/tren-cli

# AES-CTR over zeros gives incompressible bytes far faster than /dev/urandom;
# without openssl, one random MiB repeated (no tool here deduplicates).
echo "== making a $BYTES-byte source"
FILE=FILE
if command -v openssl >/dev/null; then
    how="openssl aes-128-ctr keystream (fixed pass phrase)"
    { openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass pass:tren-bench -in /dev/zero 2>/dev/null || true; } |
        head -c "$BYTES" >"$FILE"
else
    how="one MiB from /dev/urandom, repeated"
    head -c 1048576 /dev/urandom >block
    while :; do cat block; done 2>/dev/null | head -c "$BYTES" >"$FILE" || true
    rm -f block
fi
[[ $(stat -c %s "$FILE") -eq $BYTES ]] || { echo "bench: source has the wrong size" >&2; exit 1; }
echo "   data: $how"
mkdir -p D1 D2 D3 D4 D5

# timed NAME CMD... : one run under /usr/bin/time -v; records seconds and peak KiB.
declare -A WALL RSS
timed() {
    local name=$1 t
    shift
    # Earlier runs' dirty pages, and the freeing of the files removed between runs,
    # are not charged to this one: this disk keeps working for a while after sync.
    sync
    sleep "${BENCH_SETTLE:-3}"
    if ! "$TIME" -v -o time.out "$@"; then
        cat time.out >&2
        echo "bench: $name failed" >&2
        exit 1
    fi
    t=$(awk -F': ' '/Elapsed \(wall clock\)/ {
            n = split($2, p, ":"); s = 0
            for (i = 1; i <= n; i++) s = s * 60 + p[i]
            print s }' time.out)
    WALL[$name]+="$t "
    RSS[$name]+="$(awk -F': ' '/Maximum resident set size/ {print $2}' time.out) "
}

cut_tren() { timed tren "$CLI" tren "$FILE" --size 5M --out D1 >/dev/null; }
cut_split() { timed split sh -c 'split -b 5000000 "$1" D2/x && sync' sh "$FILE"; }
join_build() { timed build "$CLI" build D1/FILE.tr0 --out D3 >/dev/null; }
join_cat() { timed cat sh -c 'cat D2/x* >D4/FILE && sync'; }

for ((r = 1; r <= RUNS; r++)); do
    echo "== round $r of $RUNS"
    rm -rf D1/* D2/* D3/* D4/* D5/*
    # Each pair swaps its order every round so neither always runs on a warmer system.
    if ((r % 2)); then cut_tren; cut_split; else cut_split; cut_tren; fi
    if ((r % 2)); then join_build; join_cat; else join_cat; join_build; fi
    if ((r == 1)); then
        cmp "$FILE" D3/FILE && echo "   verify: rebuilt D3/FILE is identical to the source (cmp)"
        cmp "$FILE" D4/FILE || { echo "bench: cat result differs" >&2; exit 1; }
    fi
    rm -rf D1/* D2/* D3/* D4/*
    timed cp sh -c 'cp "$1" D5/ && sync' sh "$FILE"
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{v[NR] = $1} END {
    if (NR % 2) print v[(NR + 1) / 2]; else printf "%.10g\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo
echo "== results: $BYTES bytes, $RUNS runs each, medians (warm page cache; $(df -P . | awk 'NR == 2 {print $1}'))"
printf '%-36s %10s %14s   %s\n' command "wall s" "peak RSS KiB" "all wall s"
row() { printf '%-36s %10s %14s   %s\n' "$2" "$(median "${WALL[$1]}")" "$(median "${RSS[$1]}")" "${WALL[$1]}"; }
row tren "tren-cli tren FILE --size 5M"
row split "split -b 5000000 FILE; sync"
row build "tren-cli build FILE.tr0"
row cat "cat x* > FILE; sync"
row cp "cp FILE; sync (reference)"
ratio() { awk -v a="$(median "${WALL[$1]}")" -v b="$(median "${WALL[$2]}")" \
    'BEGIN { if (b > 0) printf "%.2f\n", a / b; else print "n/a (too fast to time)" }'; }
echo "ratio tren/split: $(ratio tren split)   (<= 1.0: tren at least as fast)"
echo "ratio build/cat:  $(ratio build cat)   (<= 1.0: build at least as fast)"
