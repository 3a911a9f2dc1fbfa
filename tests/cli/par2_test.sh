#!/usr/bin/env bash
# Recovery files shared with par2cmdline both ways: par2 checks and repairs the sets
# tren cuts, tren repairs with the files par2 makes, and tren refuses recovery files
# that cannot serve. Given tren-cli.exe, the same under Wine for the cases it has
# its own code in (WINEPREFIX comes from the caller).
# Usage: par2_test.sh /path/to/tren-cli | /path/to/tren-cli.exe
set -u
[[ $# -eq 1 && -f $1 ]] || { echo "usage: $0 tren-cli|tren-cli.exe" >&2; exit 2; }
command -v par2 >/dev/null || { echo "SKIP: par2 (par2cmdline) is not installed"; exit 77; }
CLI=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"
WINDOWS=""
if [[ $CLI == *.exe ]]; then
    WINDOWS=1 WINE_RUN=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd -P)/wine-run.sh
    : "${WINEPREFIX:?a Wine prefix of the test run}"
    run() { # DIR ARGS...: as scratch.sh's, through Wine, the CRs dropped
        (cd "$1" && shift && LC_ALL=C.UTF-8 exec "$WINE_RUN" "$CLI" "$@") >"$OUT.crlf" 2>"$ERR.crlf"
        RC=$? && tr -d '\r' <"$OUT.crlf" >"$OUT" && tr -d '\r' <"$ERR.crlf" >"$ERR"
    }
fi
p2() { (cd "$1" && shift && exec par2 "$@") >"$OUT" 2>"$ERR"; RC=$?; } # DIR VERB ARGS...
# Each last piece is short: 300001 and 600003 bytes.
head -c 1300001 /dev/urandom >"$ROOT/500K" && head -c 2600003 /dev/urandom >"$ROOT/1M"

cut() { # SIZE N: SET, the source of SIZE cut at SIZE with N recovery slices, as data (once)
    SET=$ROOT/cut-$1-$2 && [[ -d $SET ]] && return
    mkdir -p "$SET" && cp "$ROOT/$1" "$SET/data" && run "$SET" tren data --size "$1" --recovery "$2" --quiet
    rm -f "$SET/data"
}
fresh() { rm -rf "$2" && cp -r "$1" "$2"; } # SET DIR
# Every bit of a byte turned, so that it differs whatever it was.
flip() { printf "\\$(printf %03o $((255 - $(od -An -tu1 -j"$2" -N1 "$1"))))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
same_pieces() { for f in "$SET"/data.tr?; do cmp -s "$f" "$1/${f##*/}" || return 1; done; } # DIR, as in SET
repaired() { sed -n 's/^Repaired \(.*\) from recovery data$/\1/p' "$OUT" | sed 's|.*[/\\]||'; }
state() { (cd "$1" && find . -printf '%p %s %T@\n' | sort); }

for size in 500K 1M; do
    cut "$size" 2 && p2 "$SET" verify -q data.tr.par2
    check "par2 verify accepts a set cut at $size with 2 recovery slices" $RC "$(detail)"
done

# fault @ size @ recovery slices @ what is done to the set @ what repair is given @ also under Wine
DAMAGE=(
    "the first piece lost@500K@1@rm data.tr1@data.tr0@yes"
    "the last, short piece lost@1M@1@rm data.tr3@data.tr0@"
    "the header piece lost@500K@1@rm data.tr0@data.tr.par2@"
    "two pieces lost@1M@2@rm data.tr1 data.tr3@data.tr0@"
    "a piece cut short@1M@1@truncate -s 700000 data.tr2@data.tr0@"
    "a byte damaged mid-piece@500K@1@flip data.tr2 250000@data.tr0@"
)
for c in "${DAMAGE[@]}"; do
    IFS='@' read -r name size n damage set wine <<<"$c"
    [[ -n $WINDOWS && -z $wine ]] && continue
    cut "$size" "$n" && d=$ROOT/${name// /-}
    for tool in par2 build repair; do fresh "$SET" "$d-$tool" && (cd "$d-$tool" && eval "$damage"); done
    hurt=$(for f in "$SET"/data.tr?; do cmp -s "$f" "$d-par2/${f##*/}" || echo "${f##*/}"; done) && pieces=$(echo $hurt)
    p2 "$d-par2" repair -q data.tr.par2
    check "$name: par2 repair gives every piece back" $([[ $RC -eq 0 ]] && same_pieces "$d-par2"; echo $?) "$(detail)"
    # build starts from the header piece: with it lost, only repair can help.
    if [[ $set == data.tr0 ]]; then
        mkdir "$d-build/out" && run "$d-build" build data.tr0 --out out
        [[ $RC -eq 0 && $(repaired) == "$hurt" ]] && cmp -s "$d-build/out/data" "$ROOT/$size"
        check "$name: tren-cli build repairs $pieces and builds the source" $? "$(detail)"
    fi
    run "$d-repair" repair "$set"
    [[ $RC -eq 0 && $(repaired) == "$hurt" ]] && same_pieces "$d-repair" && p2 "$d-repair" verify -q data.tr.par2 && ((RC == 0))
    check "$name: tren-cli repair writes $pieces back; par2 verify finds all correct" $? "$(detail)"
done

# Recovery files that par2 made for a set tren cut: slices a quarter of a piece,
# the files named in a shuffled order, the slices spread over three files.
d=$ROOT/par2-made && mkdir -p "$d/out" && cp "$ROOT/1M" "$d/data" && run "$d" tren data --size 1M --quiet && rm "$d/data"
(cd "$d" && par2 create -q -q -s250000 -c5 -n3 data.tr.par2 $(printf '%s\n' data.tr? | shuf)) >"$OUT" 2>"$ERR"
check "par2 create makes three recovery files" $(ls "$d"/data.tr.vol*.par2 | wc -l | grep -qx 3; echo $?) "$(detail)"
run "$d" info data.tr0 --json && jq -e '.recovery == {files: 4, slices: 5, repairable: true}' "$OUT" >/dev/null
check "info counts par2's recovery files and slices" $? "$(detail)"
rm "$d/data.tr2" && run "$d" build data.tr0 --out out
check "tren-cli build repairs a piece from par2's recovery files" \
    $([[ $RC -eq 0 && $(repaired) == data.tr2 ]] && cmp -s "$d/out/data" "$ROOT/1M"; echo $?) "$(detail)"
[[ -n $WINDOWS ]] && { finish; exit; }

# A tren without --recovery removes the old recovery files, tren's or par2's.
cut 500K 2 && fresh "$SET" "$ROOT/again"
for d in "$ROOT/again" "$d"; do
    cp "$ROOT/500K" "$d/data" && run "$d" tren data --size 500K --quiet
    check "a plain tren removes ${d##*/}'s recovery files" $([[ $RC -eq 0 ]] && ! ls "$d"/*.par2 2>/dev/null; echo $?) "$(detail)"
done

foreign() { # LENGTH: the recovery files of another source of LENGTH bytes cut at 500K, renamed as data's
    local o=$ROOT/other-$1
    [[ -d $o ]] || { mkdir -p "$o" && head -c "$1" /dev/urandom >"$o/other" && (cd "$o" && "$CLI" tren other --size 500K --recovery 2 --quiet); }
    for f in "$o"/other.tr*.par2; do n=${f##*/} && cp "$f" "data${n#other}"; done
}
# case @ recovery slices @ what is done to the set @ build's exit @ a line it prints @ info's recovery (jq)
BUILDS=(
    "too few recovery slices@1@rm data.tr1 data.tr2@1@2 slices are missing, the recovery files hold 1@.slices == 1 and (.repairable | not)"
    "a damaged recovery slice, enough others@2@flip data.tr.vol0+1.par2 1000; rm data.tr1@0@Repaired data.tr1 from recovery data@.slices == 1 and .repairable"
    "a damaged recovery slice, one too few@2@flip data.tr.vol0+1.par2 1000; rm data.tr1 data.tr3@1@2 slices are missing, the recovery files hold 1@.slices == 1 and (.repairable | not)"
    "another set's recovery files, another length@2@rm data.tr*.par2; foreign 1400000; rm data.tr2@1@@.ignored != null"
    "another set's recovery files, the same length@2@rm data.tr*.par2; foreign 1300001; rm data.tr2@1@@.ignored != null"
    "another set's recovery files beside a whole set@2@rm data.tr*.par2; foreign 1300001@0@Finish building successfully@.ignored != null"
)
for c in "${BUILDS[@]}"; do
    IFS='@' read -r name n damage build_rc line recovery <<<"$c"
    cut 500K "$n" && d=$ROOT/${name// /-} && fresh "$SET" "$d" && (cd "$d" && eval "$damage") && mkdir "$d/out"
    run "$d" info data.tr0 --json && jq -e ".recovery | $recovery" "$OUT" >/dev/null
    check "$name: info's recovery is $recovery" $? "$(detail)"
    before=$(state "$d") && nothing=$( ((build_rc)) && echo ", writing nothing")
    run "$d" build data.tr0 --out out
    [[ $RC -eq $build_rc && ( -z $line || $(cat "$OUT" "$ERR") == *"$line"* ) ]] &&
        if ((build_rc)); then [[ -z $(repaired) && $(state "$d") == "$before" ]]; else cmp -s "$d/out/data" "$ROOT/500K"; fi
    check "$name: build exits $build_rc${line:+ saying \"$line\"}$nothing" $? "$(detail)"
    ((build_rc)) || continue
    run "$d" repair data.tr0
    check "$name: repair refuses too, writing nothing" $([[ $RC -eq 1 && $(state "$d") == "$before" ]]; echo $?) "$(detail)"
done
finish
