#!/usr/bin/env bash
# What a script can ask of a set without building it (info, verify), and the checksum
# file that any system can check (tren --sums), over sets with each kind of fault.
set -u
[[ $# -eq 1 && -x $1 ]] || { echo "usage: $0 /path/to/tren-cli" >&2; exit 2; }
CLI=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"
head -c 1200001 /dev/urandom >"$ROOT/src"
fresh_set() { # FOLDER: a set of the source, named data, cut at 500K with its checksum file
    rm -rf "$1" && mkdir -p "$1" && cp "$ROOT/src" "$1/data"
    (cd "$1" && "$CLI" tren data --size 500K --sums >/dev/null) && rm "$1/data"; }

# fault @ what is done to the set @ info's exit @ its piece 2's state @ verify's exit @ its word for it
# (build's refusals are the engine's, in SetReaderTest)
CASES=(
    "none@@0@ok@0@"
    "missing@rm data.tr2@1@missing@1@missing"
    "short@truncate -s 499000 data.tr2@1@short@1@short"
    "longer@printf tail >>data.tr2@0@longer@0@"
    "damaged@printf X | dd of=data.tr2 bs=1 seek=1000 conv=notrunc status=none@1@damaged@1@damaged"
    "damaged_after_a_rename@sed -i 's/  data/  report-v1/' data.tr.sha256; printf X | dd of=data.tr2 bs=1 seek=1000 conv=notrunc status=none@1@damaged@1@damaged"
    "unlisted@sed -i '/data.tr2\$/d' data.tr.sha256@1@ok@1@"
    "damaged_without_sums@printf X | dd of=data.tr2 bs=1 seek=1000 conv=notrunc status=none; rm data.tr.sha256@0@ok@0@"
    "bad_header@printf '\\x03\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x09' >data.tr0@1@@1@"
)
for c in "${CASES[@]}"; do
    IFS='@' read -r name damage info_rc state verify_rc word <<<"$c"
    d=$ROOT/$name && fresh_set "$d" && (cd "$d" && eval "$damage")
    "$CLI" info "$d/data.tr0" >"$OUT" 2>"$ERR"; rc=$? buildable=$([[ $info_rc -eq 0 ]] && echo true || echo false)
    "$CLI" info --json "$d/data.tr0" >"$d.json" 2>/dev/null
    [[ $rc -eq $info_rc ]] && jq -e . "$d.json" >/dev/null && [[ $(jq -r .buildable "$d.json") == "$buildable" ]] && [[ -z $state ||
        $(jq -r '.files[1].state, .pieces, .pieceSize, .sizeCode, .lastPieceSize, .length, .name' "$d.json" | tr '\n' ' ') == "$state 3 500000 5 200001 1200001 data " ]]
    check "info $name: exit $info_rc; --json parses, buildable $buildable, piece 2 ${state:-unknown}, the header's fields" $? "(status $rc) $(cat "$ERR" "$d.json")"
    "$CLI" verify "$d/data.tr0" >"$OUT" 2>"$ERR"; rc=$?
    [[ $rc -eq $verify_rc && ( -z $word || $(cat "$OUT") == *"data.tr2: $word"* ) ]]
    check "verify $name: exit $verify_rc${word:+, piece 2 $word}" $? "(status $rc) $(cat "$OUT" "$ERR")"
done

# The checksum file, one line per piece and one for the source, checks with sha256sum
# itself before and after a build; a tren without --sums removes an old one.
d=$ROOT/sums && fresh_set "$d"
(cd "$d" && [[ $(wc -l <data.tr.sha256) -eq 4 ]] && sha256sum -c --ignore-missing --quiet data.tr.sha256 &&
    "$CLI" build data.tr0 >/dev/null && sha256sum -c --quiet data.tr.sha256)
check "sha256sum checks the pieces, then the rebuilt file" $?
(cd "$d" && printf more >>data && "$CLI" tren data --size 500K >/dev/null && [[ ! -e data.tr.sha256 ]])
check "a tren without --sums removes the old checksum file" $?

# A name that is not UTF-8 is kept in bytes beside readable text.
d=$ROOT/bytes && name=$(printf 'caf\xe9') && mkdir -p "$d" && cp "$ROOT/src" "$d/$name"
(cd "$d" && "$CLI" tren "$name" --size 500K >/dev/null) && "$CLI" info --json "$d/$name.tr0" >"$d.json"
[[ $(jq -c .nameBytes "$d.json") == "[99,97,102,233]" && $(jq -r .name "$d.json") == "caf"$'\xc3\xa9' ]]
check "a name that is not UTF-8 keeps its bytes" $? "$(cat "$d.json")"

# A name whose pieces fit but whose checksum file could not: that file is simply absent.
d=$ROOT/long && name=$(printf 'n%.0s' {1..249}) && mkdir -p "$d/out" && cp "$ROOT/src" "$d/$name"
"$CLI" tren "$d/$name" --size 500K --out "$d" >/dev/null 2>"$ERR" && "$CLI" verify "$d/$name.tr0" >"$OUT" 2>>"$ERR" &&
    "$CLI" build "$d/$name.tr0" --out "$d/out" >/dev/null 2>>"$ERR" && cmp -s "$d/out/$name" "$ROOT/src"
check "a 249-byte name cuts, verifies on lengths and builds without a checksum file" $? "$(cat "$OUT" "$ERR")"
finish
