#!/usr/bin/env bash
# What a script can ask of a set without building it (info, verify), and the
# checksum file that any system can check (tren --sums), over sets with each kind
# of fault.
# Usage: sets_test.sh /path/to/tren-cli
set -u
[[ $# -eq 1 && -x $1 ]] || { echo "usage: $0 /path/to/tren-cli" >&2; exit 2; }
CLI=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"

passed=0 failed=0
check() { # NAME STATUS [DETAIL]
    if [[ $2 -eq 0 ]]; then passed=$((passed + 1)); else
        failed=$((failed + 1)); printf 'FAIL: %s %s\n' "$1" "${3:-}"; fi
}

head -c 1200001 /dev/urandom >"$ROOT/src"
# A fresh set with its checksum file in $1, from the source named data.
fresh_set() {
    rm -rf "$1" && mkdir -p "$1" && cp "$ROOT/src" "$1/data"
    (cd "$1" && "$CLI" tren data --size 500K --sums >/dev/null) && rm "$1/data"
}

# fault @ what is done to the set @ info's exit @ the piece's state @ verify's exit
CASES=(
    "none@@0@ok@0"
    "missing@rm data.tr2@1@missing@1"
    "short@truncate -s 499000 data.tr2@1@short@1"
    "longer@printf tail >>data.tr2@0@longer@0"
    "damaged@printf X | dd of=data.tr2 bs=1 seek=1000 conv=notrunc status=none@0@ok@1"
    "damaged_without_sums@printf X | dd of=data.tr2 bs=1 seek=1000 conv=notrunc status=none; rm data.tr.sha256@0@ok@0"
    "bad_header@printf '\\x03\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x09' >data.tr0@1@@1"
)
for c in "${CASES[@]}"; do
    IFS='@' read -r name damage info_rc state verify_rc <<<"$c"
    d=$ROOT/$name && fresh_set "$d"
    (cd "$d" && eval "$damage")
    "$CLI" info "$d/data.tr0" >"$d.out" 2>"$d.err"
    check "info $name: exit $info_rc" $(($? != info_rc)) "$(cat "$d.err")"
    "$CLI" info --json "$d/data.tr0" >"$d.json" 2>/dev/null
    jq -e . "$d.json" >/dev/null; check "info --json $name parses" $? "$(cat "$d.json")"
    if [[ -n $state ]]; then
        got=$(jq -r '.files[1].state' "$d.json")
        [[ $got == "$state" ]]; check "info --json $name: piece 2 is $state" $? "($got)"
        [[ $(jq -r '.pieces, .pieceSize, .sizeCode, .lastPieceSize, .length, .name' "$d.json" | tr '\n' ' ') == \
            "3 500000 5 200001 1200001 data " ]]
        check "info --json $name: the header's fields" $? "$(cat "$d.json")"
    fi
    [[ $(jq -r .buildable "$d.json") == $([[ $info_rc -eq 0 ]] && echo true || echo false) ]]
    check "info --json $name: buildable" $?
    "$CLI" verify "$d/data.tr0" >"$d.out" 2>"$d.err"; rc=$?
    check "verify $name: exit $verify_rc" $((rc != verify_rc)) "$(cat "$d.out" "$d.err")"
    if [[ $verify_rc -eq 1 && -n $state ]]; then
        grep -q "data.tr2" "$d.out"; check "verify $name names the piece" $? "$(cat "$d.out")"
    fi
    mkdir -p "$d/out"
    "$CLI" build "$d/data.tr0" --out "$d/out" >/dev/null 2>"$d.err"; rc=$?
    [[ $rc -eq $verify_rc ]]; check "build $name agrees with verify" $? "(status $rc) $(cat "$d.err")"
    if [[ $name == damaged ]]; then
        grep -q "Building Error: Piece file is damaged: $d/data.tr2" "$d.err"
        check "a damaged piece is refused by name" $? "$(cat "$d.err")"
        [[ ! -e $d/out/data ]]; check "nothing is built from a damaged piece" $?
    fi
done

# The checksum file checks with sha256sum itself, before and after a build.
d=$ROOT/sums && fresh_set "$d"
(cd "$d" && sha256sum -c --ignore-missing --quiet data.tr.sha256)
check "sha256sum checks the pieces" $?
[[ $(wc -l <"$d/data.tr.sha256") -eq 4 ]]; check "one line per piece and one for the source" $?
(cd "$d" && "$CLI" build data.tr0 >/dev/null && sha256sum -c --quiet data.tr.sha256)
check "sha256sum checks the rebuilt file" $?

# A tren without --sums leaves no stale checksum file behind.
d=$ROOT/stale && fresh_set "$d" && cp "$ROOT/src" "$d/data" && printf more >>"$d/data"
(cd "$d" && "$CLI" tren data --size 500K >/dev/null)
[[ ! -e $d/data.tr.sha256 ]]; check "a new tren removes the old checksum file" $?

# A name that is not UTF-8 is kept in bytes beside readable text.
d=$ROOT/bytes && mkdir -p "$d" && cp "$ROOT/src" "$d/$(printf 'caf\xe9')"
(cd "$d" && "$CLI" tren "$(printf 'caf\xe9')" --size 500K >/dev/null)
"$CLI" info --json "$d/$(printf 'caf\xe9').tr0" >"$d.json"
[[ $(jq -c .nameBytes "$d.json") == "[99,97,102,233]" && $(jq -r .name "$d.json") == "caf"$'\xc3\xa9' ]]
check "a name that is not UTF-8 keeps its bytes" $? "$(cat "$d.json")"

echo "sets: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
