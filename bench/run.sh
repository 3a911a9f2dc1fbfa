#!/usr/bin/env bash
# Compares tren-cli with split, cat, cp and sha256sum on the same bytes.
#
# tren-cli puts every file on the disk before it says it finished, so on the disk
# each of the others is timed up to the end of a sync that does the same for it.
# The same runs on a tmpfs take the disk's write-back out and show the program's
# own cost; cp of the whole file, one copy of every byte, is the physical limit.
#
#   bench/run.sh                   # disk work folder under ${TMPDIR:-/tmp}
#   BENCH_DIR=/data bench/run.sh   # on another disk
# BENCH_BYTES (default 1000000000), BENCH_RUNS (default 7), BENCH_SETTLE (default 3,
# seconds before each timed command on the disk) shrink it for a quick try.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
BYTES=${BENCH_BYTES:-1000000000}
RUNS=${BENCH_RUNS:-7}
TIME=/usr/bin/time
[[ -x $TIME ]] || { echo "bench: $TIME is missing (install the 'time' package)" >&2; exit 2; }

WORK=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/tren-bench.XXXXXX")
SHM=""
cleanup() { rm -rf "$WORK" ${SHM:+"$SHM"}; }
trap cleanup EXIT
export HOME=$WORK/home XDG_DATA_HOME=$WORK/xdg-data XDG_CONFIG_HOME=$WORK/xdg-config
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"

echo "== building Release in $WORK/build"
cmake -S "$REPO" -B "$WORK/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTREN_WITH_QT=OFF -DTREN_WITH_TESTS=OFF >"$WORK/build.log" 2>&1 &&
    cmake --build "$WORK/build" >>"$WORK/build.log" 2>&1 || { cat "$WORK/build.log" >&2; exit 1; }
CLI=$WORK/build/src/tren-cli

# AES-CTR over zeros gives incompressible bytes far faster than /dev/urandom.
make_source() { # PATH BYTES
    { openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass pass:tren-bench -in /dev/zero 2>/dev/null || true; } |
        head -c "$2" >"$1"
    [[ $(stat -c %s "$1") -eq $2 ]] || { echo "bench: source has the wrong size" >&2; exit 1; }
}

declare -A WALL RSS
# timed KEY CMD... : one run under /usr/bin/time -v.
timed() {
    local key=$1 t
    shift
    # Earlier runs' dirty pages and freed files are not charged to this one.
    sync
    sleep "$SETTLE"
    if ! "$TIME" -v -o time.out "$@" >/dev/null; then
        cat time.out >&2
        echo "bench: $key failed" >&2
        exit 1
    fi
    t=$(awk -F': ' '/Elapsed \(wall clock\)/ {
            n = split($2, p, ":"); s = 0
            for (i = 1; i <= n; i++) s = s * 60 + p[i]
            print s }' time.out)
    WALL[$key]+="$t "
    RSS[$key]+="$(awk -F': ' '/Maximum resident set size/ {print $2}' time.out) "
}

median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{v[NR] = $1} END {
    if (NR % 2) print v[(NR + 1) / 2]; else printf "%.10g\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$(median "${WALL[$1]}")" -v b="$(median "${WALL[$2]}")" \
    'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a" }'; }
row() { printf '%-44s %8s %12s   %s\n' "$2" "$(median "${WALL[$1]}")" "$(median "${RSS[$1]}")" "${WALL[$1]}"; }

# suite LABEL FOLDER BYTES SIZE PIECE-BYTES: every comparison, alternating order.
suite() {
    local label=$1 dir=$2 bytes=$3 size=$4 piece=$5 r
    mkdir -p "$dir" && cd "$dir"
    make_source FILE "$bytes"
    mkdir -p D1 D2 D3 D4 D5 D6
    for ((r = 1; r <= RUNS; r++)); do
        rm -rf D1/* D2/* D3/* D4/* D5/* D6/*
        local cuts=(tren split cp) joins=(build cat)
        ((r % 2)) || cuts=(cp split tren) joins=(cat build)
        for c in "${cuts[@]}"; do
            case $c in
            tren) timed "$label tren" "$CLI" tren FILE --size "$size" --out D1 ;;
            split) timed "$label split" sh -c 'split -b "$1" FILE D2/x && sync' sh "$piece" ;;
            cp) timed "$label cp" sh -c 'cp FILE D5/ && sync' && rm -f D5/FILE ;;
            esac
        done
        for c in "${joins[@]}"; do
            case $c in
            build) timed "$label build" "$CLI" build D1/FILE.tr0 --out D3 ;;
            cat) timed "$label cat" sh -c 'cat D2/x* >D4/FILE && sync' ;;
            esac
        done
        cmp FILE D3/FILE && cmp FILE D4/FILE || { echo "bench: a rebuilt file differs" >&2; exit 1; }
        # Only what the next command reads stays: a tmpfs holds it all in memory.
        rm -rf D1/* D2/* D3/* D4/*
        if ((r % 2)); then
            timed "$label sums" "$CLI" tren FILE --size "$size" --sums --out D6
            timed "$label sha256sum" sha256sum FILE
        else
            timed "$label sha256sum" sha256sum FILE
            timed "$label sums" "$CLI" tren FILE --size "$size" --sums --out D6
        fi
        rm -rf D6/*
    done
    cd - >/dev/null
    echo
    echo "== $label: $bytes bytes at $size, $RUNS runs each, medians ($(df -P "$dir" | awk 'NR == 2 {print $1}'))"
    printf '%-44s %8s %12s   %s\n' command "wall s" "peak KiB" "all wall s"
    row "$label tren" "tren-cli tren --size $size"
    row "$label split" "split -b $piece; sync"
    row "$label build" "tren-cli build"
    row "$label cat" "cat pieces >FILE; sync"
    row "$label cp" "cp FILE; sync (one copy of every byte)"
    row "$label sums" "tren-cli tren --size $size --sums"
    row "$label sha256sum" "sha256sum FILE"
    echo "tren/split $(ratio "$label tren" "$label split")   build/cat $(ratio "$label build" "$label cat")   tren/cp $(ratio "$label tren" "$label cp")   build/cp $(ratio "$label build" "$label cp")"
    awk -v s="$(median "${WALL[$label sums]}")" -v t="$(median "${WALL[$label tren]}")" \
        -v h="$(median "${WALL[$label sha256sum]}")" \
        'BEGIN { if (t + h > 0) printf "sums/(tren + sha256sum) %.2f\n", s / (t + h) }'
    rm -rf "$dir"
}

SETTLE=${BENCH_SETTLE:-3}
suite disk "$WORK/disk" "$BYTES" 5M 5000000
suite disk-500K "$WORK/disk-500K" 127500000 500K 500000
if [[ $(stat -f -c %T /dev/shm 2>/dev/null) == tmpfs ]]; then
    SHM=$(mktemp -d /dev/shm/tren-bench.XXXXXX)
    SETTLE=0
    suite tmpfs "$SHM/tmpfs" "$BYTES" 5M 5000000
    suite tmpfs-500K "$SHM/tmpfs-500K" 127500000 500K 500000
else
    echo "== no tmpfs at /dev/shm: the runs without the disk are left out"
fi
