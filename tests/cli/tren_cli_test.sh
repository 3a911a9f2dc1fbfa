#!/usr/bin/env bash
# Black-box test of the tren-cli command line contract.
# Usage: tren_cli_test.sh /path/to/tren-cli
set -u

if [[ $# -ne 1 || ! -x $1 ]]; then
    echo "usage: $0 /path/to/tren-cli" >&2
    exit 2
fi
CLI=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")

ROOT=$(mktemp -d "${TMPDIR:-/tmp}/tren-cli-test.XXXXXX") || exit 2
ROOT=$(cd "$ROOT" && pwd -P) # printed paths are physical; compare like with like
trap 'rm -rf "$ROOT"' EXIT
export HOME=$ROOT/home XDG_DATA_HOME=$ROOT/xdg-data XDG_CONFIG_HOME=$ROOT/xdg-config
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
unset TMPDIR
export LC_ALL=C

PASSED=0 FAILED=0 SKIPPED=0 ERRS=""
OUT=$ROOT/stdout ERR=$ROOT/stderr RC=0
RUN_ENV=()

# ---------------------------------------------------------------- helpers

# run DIR ARGS... : run tren-cli with DIR as current directory.
run() {
    local dir=$1
    shift
    (cd "$dir" && exec env ${RUN_ENV[@]+"${RUN_ENV[@]}"} "$CLI" "$@") >"$OUT" 2>"$ERR"
    RC=$?
}

bad() { ERRS+="    $*"$'\n'; }

done_case() {
    if [[ -z $ERRS ]]; then
        PASSED=$((PASSED + 1))
    else
        FAILED=$((FAILED + 1))
        printf 'FAIL: %s\n%s' "$1" "$ERRS"
        printf '    stdout: %s\n' "$(head -c 2000 "$OUT" | head -n 20)"
        printf '    stderr: %s\n' "$(head -c 2000 "$ERR" | head -n 20)"
    fi
    ERRS=""
}

skip_case() {
    SKIPPED=$((SKIPPED + 1))
    echo "SKIP: $1 ($2)"
}

expect_rc() { [[ $RC -eq $1 ]] || bad "exit status $RC, expected $1"; }
expect_out_empty() { [[ ! -s $OUT ]] || bad "stdout not empty"; }
expect_err_empty() { [[ ! -s $ERR ]] || bad "stderr not empty"; }

# expect_out_lines LINE... : stdout is exactly these lines.
expect_out_lines() {
    printf '%s\n' "$@" >"$ROOT/expected"
    cmp -s "$ROOT/expected" "$OUT" || bad "stdout differs from: $(tr '\n' '|' <"$ROOT/expected")"
}

# expect_err_line TEXT : stderr is exactly one line, TEXT.
expect_err_line() {
    printf '%s\n' "$1" >"$ROOT/expected"
    cmp -s "$ROOT/expected" "$ERR" || bad "stderr is not exactly: $1"
}

# expect_err_re REGEX : stderr is exactly one line matching the ERE.
expect_err_re() {
    [[ $(wc -l <"$ERR") -eq 1 ]] || bad "stderr is not one line"
    grep -Eq -- "$1" "$ERR" || bad "stderr does not match: $1"
}

# header_bytes N L CODE : the 10 header bytes as decimal numbers.
header_bytes() {
    local n=$1 l=$2 code=$3 s="$1" i
    for ((i = 0; i < 8; i++)); do
        s+=" $((l % 10))"
        l=$((l / 10))
    done
    echo "$s $code"
}
file_bytes() { od -An -v -tu1 "$1" | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }
fsize() { stat -c %s -- "$1"; }
listing() { (cd "$1" && find . -print0 | sort -z | xargs -0 stat -c '%n %s %F'); }

# The size table: argument spellings, bytes and header code.
declare -A PSIZE=([5m]=5000000 [3m]=3000000 [1.44m]=1440000 [1m]=1000000 [500k]=500000)
declare -A PCODE=([5m]=1 [3m]=2 [1.44m]=3 [1m]=4 [500k]=5)
lower() { printf '%s' "$1" | tr 'A-Z' 'a-z'; }

# One pool of random bytes; sources are its prefixes.
POOL=$ROOT/pool.bin
head -c 10500000 /dev/urandom >"$POOL"
make_src() { head -c "$2" "$POOL" >"$1"; }

# check_tren_ok DIR NAME LEN SIZEKEY OUTDIR_ABS : stdout, pieces and header of a good cut.
check_tren_ok() {
    local name=$2 len=$3 key=$4 od=$5 p n last i exp=()
    p=${PSIZE[$key]}
    n=$(((len + p - 1) / p))
    last=$((len - (n - 1) * p))
    for ((i = 1; i <= n; i++)); do
        local want=$p
        ((i == n)) && want=$last
        exp+=("$od/$name.tr$i [$want bytes]")
        if [[ ! -f $od/$name.tr$i ]]; then
            bad "piece $name.tr$i missing"
        elif [[ $(fsize "$od/$name.tr$i") -ne $want ]]; then
            bad "piece $name.tr$i holds $(fsize "$od/$name.tr$i") bytes, expected $want"
        fi
    done
    [[ ! -e $od/$name.tr$((n + 1)) ]] || bad "extra piece $name.tr$((n + 1))"
    exp+=("$od/$name.tr0 [10 bytes]" "Finish Trening successfully")
    expect_rc 0
    expect_out_lines "${exp[@]}"
    expect_err_empty
    if [[ -f $od/$name.tr0 ]]; then
        [[ $(file_bytes "$od/$name.tr0") == "$(header_bytes "$n" "$last" "${PCODE[$key]}")" ]] ||
            bad "header bytes $(file_bytes "$od/$name.tr0"), expected $(header_bytes "$n" "$last" "${PCODE[$key]}")"
    else
        bad "header $name.tr0 missing"
    fi
}

# check_build_ok OUTDIR_ABS NAME SOURCE
check_build_ok() {
    expect_rc 0
    expect_out_lines "$1/$2 [$(fsize "$3") bytes]" "Finish building successfully"
    expect_err_empty
    cmp -s "$3" "$1/$2" || bad "rebuilt $2 differs from its source"
}

# ---------------------------------------------------------------- help / version

for c in "--help" "--version"; do
    run "$ROOT" "$c"
    expect_rc 0
    [[ -s $OUT ]] || bad "stdout empty"
    expect_err_empty
    done_case "$c"
done

# ---------------------------------------------------------------- round trips
# size argument | source length | file name
ROUND_TRIPS=(
    "5M|10000123|data.bin"
    "3m|6000456|with blanks.bin"
    "1.44M|2880789|résumé.tar.gz"
    "1m|2000001|noext"
    "500K|1000999|a.b.c.d"
    "|2880017|default size.dat"
    "500k|5200000|eleven pieces.bin"
    "1M|3000000|exact multiple.bin"
    "5m|5000001|one over 5M.bin"
    "500K|500001|one over 500K.bin"
)
for c in "${ROUND_TRIPS[@]}"; do
    IFS='|' read -r size len name <<<"$c"
    key=$(lower "${size:-1.44M}")
    w=$ROOT/rt && rm -rf "$w" && mkdir -p "$w/pieces" "$w/built"
    make_src "$w/$name" "$len"
    args=(tren "$name" --out pieces)
    [[ -n $size ]] && args+=(--size "$size")
    run "$w" "${args[@]}"
    check_tren_ok "$w" "$name" "$len" "$key" "$w/pieces"
    run "$w" build "pieces/$name.tr0" --out built
    check_build_ok "$w/built" "$name" "$w/$name"
    done_case "round trip ${size:-default} $len '$name'"
done

# The largest accepted source: 255 pieces at 500K (sparse, so only the pieces cost disk).
w=$ROOT/max && mkdir -p "$w/o"
truncate -s $((255 * 500000)) "$w/max.bin"
run "$w" tren max.bin --size 500K --out o
check_tren_ok "$w" max.bin $((255 * 500000)) 500k "$w/o"
rm -rf "$w"
done_case "255 pieces at 500K accepted"

# ---------------------------------------------------------------- current directory and --out
# Pieces land in the current directory by default; SOURCE may sit elsewhere.
w=$ROOT/cwd && mkdir -p "$w/src dir/deeper" "$w/here" "$w/elsewhere" "$w/abs"
make_src "$w/src dir/deeper/f.x.y" 1000001
run "$w/here" tren "../src dir/deeper/f.x.y" --size 500K
check_tren_ok "$w/here" f.x.y 1000001 500k "$w/here"
done_case "tren without --out writes to the current directory"

# Building from another current directory: pieces are found beside the header.
for hdr in "../here/f.x.y.tr0" "$w/here/f.x.y.tr0" "./../here/../here/f.x.y.tr0"; do
    rm -f "$w/elsewhere/f.x.y"
    run "$w/elsewhere" build "$hdr"
    check_build_ok "$w/elsewhere" f.x.y "$w/src dir/deeper/f.x.y"
    done_case "build '$hdr' from another current directory"
done
run "$w/elsewhere" build ../here/f.x.y.tr0 --out "$w/abs"
check_build_ok "$w/abs" f.x.y "$w/src dir/deeper/f.x.y"
done_case "build with an absolute --out"

# --out spelling | folder it names (relative to the work dir)
OUT_FORMS=(
    ".|."
    "sub|sub"
    "sub/|sub"
    "sub with blank|sub with blank"
    "ABS/sub|sub"
)
for c in "${OUT_FORMS[@]}"; do
    IFS='|' read -r form dir <<<"$c"
    w=$ROOT/outform && rm -rf "$w" && mkdir -p "$w/sub" "$w/sub with blank"
    make_src "$w/s.bin" 500001
    run "$w" tren s.bin --size 500k --out "${form/ABS/$w}"
    want=$w
    [[ $dir != . ]] && want=$w/$dir
    check_tren_ok "$w" s.bin 500001 500k "$want"
    done_case "--out '$form' is listed as an absolute folder"
done

# An unnormalised --out still lists absolute paths of the files written.
w=$ROOT/outform && rm -rf "$w" && mkdir -p "$w/sub"
make_src "$w/s.bin" 500001
run "$w" tren s.bin --size 500k --out ./sub/../sub//
expect_rc 0
head -n 3 "$OUT" | while IFS= read -r line; do
    path=${line% \[*}
    [[ $path == /* && -f $path && $(cd "$w/sub" && pwd -P) == "$(cd "$(dirname "$path")" && pwd -P)" ]] ||
        echo "listed path not an absolute path into sub/: $path"
done >"$ROOT/notes"
[[ -s $ROOT/notes ]] && bad "$(cat "$ROOT/notes")"
done_case "--out ./sub/../sub// lists absolute paths"

# Existing longer files are replaced, not partly overwritten.
w=$ROOT/over && mkdir -p "$w/o"
make_src "$w/s.bin" 1000001
head -c 900000 /dev/urandom >"$w/o/s.bin.tr1"
head -c 900000 /dev/urandom >"$w/o/s.bin.tr3"
head -c 2000000 /dev/urandom >"$w/s.bin.rebuilt"
run "$w" tren s.bin --size 500K --out o
check_tren_ok "$w" s.bin 1000001 500k "$w/o"
done_case "tren over longer existing pieces"
mkdir "$w/b" && mv "$w/s.bin.rebuilt" "$w/b/s.bin"
run "$w" build o/s.bin.tr0 --out b
check_build_ok "$w/b" s.bin "$w/s.bin"
done_case "build over a longer existing file"

# ---------------------------------------------------------------- byte-string names in several locales
LOCALES=(C POSIX)
for l in C.UTF-8 C.utf8 en_US.UTF-8; do
    if locale -a 2>/dev/null | grep -qix -- "${l/UTF-8/utf8}" || locale -a 2>/dev/null | grep -qix -- "$l"; then
        LOCALES+=("$l")
        break
    fi
done
[[ ${#LOCALES[@]} -eq 2 ]] && echo "NOTE: no UTF-8 locale installed; testing C and POSIX only"
NAMES=(
    "$(printf 'r\xc3\xa9sum\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.v1.tar.gz')"
    "$(printf 'bad \xff\xfe bytes.bin')"
    "  lead and trail  "
    "-dash first.bin"
)
for loc in "${LOCALES[@]}"; do
    for name in "${NAMES[@]}"; do
        RUN_ENV=(LC_ALL="$loc" LANG="$loc")
        w=$ROOT/loc && rm -rf "$w" && mkdir -p "$w/o" "$w/b"
        make_src "$w/$name" 1000001
        run "$w" tren "./$name" --size 500k --out o
        check_tren_ok "$w" "$name" 1000001 500k "$w/o"
        run "$w/b" build "../o/$name.tr0"
        check_build_ok "$w/b" "$name" "$w/$name"
        RUN_ENV=()
        done_case "LC_ALL=$loc name '$(printf '%q' "$name")'"
    done
done

# ---------------------------------------------------------------- usage errors
# A valid source and a valid set are at hand, so a usage error that slipped
# through would write files, which the listing check catches.
U=$ROOT/usage && mkdir -p "$U/set" "$U/afile.d"
make_src "$U/src.bin" 1500001
run "$U/set" tren ../src.bin --size 500K
touch "$U/plainfile"
BEFORE=$(listing "$U")
# name | arguments as shell words
USAGE_CASES=(
    "no verb|"
    "only an option|--size 1M"
    "unknown verb|frob src.bin"
    "verb in capitals|TREN src.bin"
    "unknown top-level option|--bogus tren src.bin"
    "tren without SOURCE|tren"
    "tren with empty SOURCE|tren ''"
    "build without HEADER|build"
    "build with empty HEADER|build ''"
    "tren extra argument|tren src.bin extra"
    "build extra argument|build set/src.bin.tr0 extra"
    "tren unknown option|tren src.bin --bogus"
    "build unknown option|build set/src.bin.tr0 --bogus"
    "size 2M|tren src.bin --size 2M"
    "size 1.4M|tren src.bin --size 1.4M"
    "size 1.44|tren src.bin --size 1.44"
    "size in bytes|tren src.bin --size 500000"
    "size 500KB|tren src.bin --size 500KB"
    "size empty|tren src.bin --size ''"
    "size without value|tren src.bin --size"
    "size with build|build set/src.bin.tr0 --size 1M"
    "tren out missing|tren src.bin --out nowhere"
    "tren out is a file|tren src.bin --out plainfile"
    "tren out empty|tren src.bin --out ''"
    "tren out without value|tren src.bin --out"
    "build out missing|build set/src.bin.tr0 --out nowhere"
    "build out is a file|build set/src.bin.tr0 --out plainfile"
    "build out under a file|build set/src.bin.tr0 --out plainfile/sub"
)
for c in "${USAGE_CASES[@]}"; do
    IFS='|' read -r name words <<<"$c"
    eval "args=($words)"
    run "$U" ${args[@]+"${args[@]}"}
    expect_rc 2
    expect_out_empty
    grep -qi 'usage' "$ERR" || bad "no usage text on stderr"
    [[ $(listing "$U") == "$BEFORE" ]] || bad "files were written"
    done_case "usage: $name"
done

# ---------------------------------------------------------------- refusals
# Sparse sources make the large cases cheap.
R=$ROOT/refuse && mkdir -p "$R/o"
head -c 1000 "$POOL" >"$R/tiny.bin"
: >"$R/empty.bin"
for key in 5m 3m 1.44m 1m 500k; do truncate -s "${PSIZE[$key]}" "$R/exact-$key.bin"; done
truncate -s $((255 * 500000 + 1)) "$R/over255-500k.bin"
truncate -s $((255 * 5000000 + 1)) "$R/over255-5m.bin"
truncate -s $((2 * 1024 * 1024 * 1024 + 1)) "$R/2gib.bin"
truncate -s $((4 * 1024 * 1024 * 1024 + 1000001)) "$R/4gib-wrap.bin"
BEFORE=$(listing "$R")
SMALL="Trenning Warnning: file is too small for Trening"
LARGE="Trenning Error: Multiple size is too large... sorry..."
# name | arguments | the one stderr line
REFUSALS=(
    "missing source|tren nope.bin --out o|Trenning Error: File is not exist."
    "missing source in missing folder|tren no/such/dir.bin|Trenning Error: File is not exist."
    "tiny source|tren tiny.bin --out o|$SMALL"
    "empty source|tren empty.bin --size 500K|$SMALL"
    "source exactly 5M|tren exact-5m.bin --size 5M|$SMALL"
    "source exactly 3M|tren exact-3m.bin --size 3M|$SMALL"
    "source exactly 1.44M|tren exact-1.44m.bin --size 1.44M|$SMALL"
    "source exactly 1M|tren exact-1m.bin --size 1M|$SMALL"
    "source exactly 500K|tren exact-500k.bin --size 500K|$SMALL"
    "255 x 500K + 1|tren over255-500k.bin --size 500K --out o|$LARGE"
    "255 x 5M + 1|tren over255-5m.bin --size 5M|$LARGE"
    "2 GiB + 1 at default size|tren 2gib.bin|$LARGE"
    "2 GiB + 1 at 5M|tren 2gib.bin --size 5M|$LARGE"
    "4 GiB + 1000001 at 500K|tren 4gib-wrap.bin --size 500K|$LARGE"
    "missing header|build nope.bin.tr0 --out o|Building Error: File is not exist."
)
for c in "${REFUSALS[@]}"; do
    IFS='|' read -r name words msg <<<"$c"
    eval "args=($words)"
    run "$R" "${args[@]}"
    expect_rc 1
    expect_out_empty
    expect_err_line "$msg"
    [[ $(listing "$R") == "$BEFORE" ]] || bad "files were written"
    done_case "refused: $name"
done

# ---------------------------------------------------------------- damaged sets
# A good 3-piece set (500000, 500000, 1) is copied and damaged per case.
G=$ROOT/good && mkdir -p "$G"
make_src "$G/m.bin" 1000001
run "$G" tren m.bin --size 500K
setbyte() { printf "$(printf '\\%03o' "$2")" | dd of=m.bin.tr0 bs=1 seek="$1" conv=notrunc status=none; }
CORRUPT="^Building Error: Wrong version or corrupted file$"
# name | damage (shell code run in the set folder) | stderr ERE
DAMAGES=(
    "size code 0|setbyte 9 0|$CORRUPT"
    "size code 6|setbyte 9 6|$CORRUPT"
    "size code 255|setbyte 9 255|$CORRUPT"
    "piece count 0|setbyte 0 0|$CORRUPT"
    "length digit 10|setbyte 1 10|$CORRUPT"
    "length digit 255|setbyte 8 255|$CORRUPT"
    "last length 0|setbyte 1 0|$CORRUPT"
    "header 9 bytes|truncate -s 9 m.bin.tr0|$CORRUPT"
    "header empty|: >m.bin.tr0|$CORRUPT"
    "first piece missing|rm m.bin.tr1|^Building Error: Piece file is missing: (.*/)?m\.bin\.tr1$"
    "middle piece missing|rm m.bin.tr2|^Building Error: Piece file is missing: (.*/)?m\.bin\.tr2$"
    "last piece missing|rm m.bin.tr3|^Building Error: Piece file is missing: (.*/)?m\.bin\.tr3$"
    "first piece short|truncate -s 100 m.bin.tr1|^Building Error: Piece file is too short: (.*/)?m\.bin\.tr1 holds 100 bytes, the set needs 500000$"
    "middle piece one byte short|truncate -s 499999 m.bin.tr2|^Building Error: Piece file is too short: (.*/)?m\.bin\.tr2 holds 499999 bytes, the set needs 500000$"
    "last piece empty|truncate -s 0 m.bin.tr3|^Building Error: Piece file is too short: (.*/)?m\.bin\.tr3 holds 0 bytes, the set needs 1$"
    "count says 4|setbyte 0 4|^Building Error: Piece file is (missing: (.*/)?m\.bin\.tr4|too short: (.*/)?m\.bin\.tr3 holds 1 bytes, the set needs 500000)$"
)
for c in "${DAMAGES[@]}"; do
    IFS='|' read -r name damage re <<<"$c"
    for where in beside elsewhere; do
        d=$ROOT/damaged && rm -rf "$d" && mkdir -p "$d/set" "$d/out"
        cp "$G"/m.bin.tr* "$d/set/"
        (cd "$d/set" && eval "$damage")
        if [[ $where == beside ]]; then
            run "$d/set" build m.bin.tr0 --out ../out
        else
            run "$d/out" build ../set/m.bin.tr0
        fi
        expect_rc 1
        expect_out_empty
        expect_err_re "$re"
        [[ -z $(ls -A "$d/out") ]] || bad "output written: $(ls -A "$d/out")"
        done_case "damaged set ($where): $name"
    done
done

# ---------------------------------------------------------------- failures mid-operation
# A folder standing where a file must be written.
w=$ROOT/midop && mkdir -p "$w/o/m.bin.tr2"
cp "$G/m.bin" "$w/"
run "$w" tren m.bin --size 500K --out o
expect_rc 1
[[ $(head -n 1 "$OUT") == "$w/o/m.bin.tr1 [500000 bytes]" ]] || bad "first line is not the tr1 listing"
[[ $(tail -n 1 "$OUT") == "Terminate Trening during error" ]] || bad "last line is not the terminate line"
grep -q 'Finish' "$OUT" && bad "success line printed"
expect_err_re '^tren: .*m\.bin\.tr2'
done_case "tren: a folder stands at piece 2"

rm -rf "$w" && mkdir -p "$w/o/m.bin" && cp "$G"/m.bin.tr* "$w/"
run "$w" build m.bin.tr0 --out o
expect_rc 1
expect_out_lines "Terminate building during error"
expect_err_re '^tren: .*m\.bin'
done_case "build: a folder stands at the output"

rm -rf "$w" && mkdir -p "$w/o" && cp "$G"/m.bin.tr* "$w/" && rm "$w/m.bin.tr2" && mkdir "$w/m.bin.tr2"
run "$w" build m.bin.tr0 --out o
expect_rc 1
grep -q 'Finish' "$OUT" && bad "success line printed"
done_case "build: a folder stands at piece 2"

# A full disk: a small tmpfs in a private mount namespace (no real root needed).
# 1011712 bytes hold the three page-rounded pieces exactly, so only the header fails.
# tmpfs size | verb | stdout first line (ERE) | stderr ERE
FULL_DISKS=(
    "700k|tren|^MNT/m\.bin\.tr1 \[500000 bytes\]$|^tren: .*m\.bin\.tr2"
    "1011712|tren|^MNT/m\.bin\.tr1 \[500000 bytes\]$|^tren: .*m\.bin\.tr0"
    "700k|build|^Terminate building during error$|^tren: .*m\.bin"
)
if unshare -rm true 2>/dev/null; then
    for c in "${FULL_DISKS[@]}"; do
        IFS='|' read -r sz verb first errre <<<"$c"
        w=$ROOT/full && rm -rf "$w" && mkdir -p "$w/mnt"
        cp "$G"/m.bin* "$w/"
        if [[ $verb == tren ]]; then args=(tren m.bin --size 500K --out mnt); else args=(build m.bin.tr0 --out mnt); fi
        # shellcheck disable=SC2016
        unshare -rm bash -c 'mount -t tmpfs -o size="$1" tmpfs "$2/mnt" || exit 99
            cd "$2" && "$3" "${@:4}" >"$2/out" 2>"$2/err"; echo $? >"$2/rc"' _ "$sz" "$w" "$CLI" "${args[@]}"
        if [[ ! -f $w/rc ]]; then
            skip_case "full disk: $verb into $sz" "tmpfs mount refused"
            continue
        fi
        cp "$w/out" "$OUT" && cp "$w/err" "$ERR" && RC=$(cat "$w/rc")
        expect_rc 1
        grep -Eq -- "${first/MNT/$w/mnt}" <(head -n 1 "$OUT") || bad "first stdout line does not match ${first/MNT/$w/mnt}"
        [[ $verb == tren ]] && { [[ $(tail -n 1 "$OUT") == "Terminate Trening during error" ]] || bad "last line is not the terminate line"; }
        grep -q 'Finish' "$OUT" && bad "success line printed"
        expect_err_re "$errre"
        done_case "full disk: $verb into a $sz tmpfs"
    done
else
    for c in "${FULL_DISKS[@]}"; do skip_case "full disk: ${c%%|*}" "unshare -rm unavailable"; done
fi

# A full disk behind a link: a private node of the full device (1,7), which a
# write must reach and fail on, not replace. Root only; the node lives in ROOT.
# verb | link name in the out folder | stdout first line (ERE) | stderr ERE
FULL_LINKS=(
    "tren|m.bin.tr2|^OUT/m\.bin\.tr1 \[500000 bytes\]$|^tren: .*m\.bin\.tr2"
    "build|m.bin|^Terminate building during error$|^tren: .*m\.bin"
)
if mknod "$ROOT/fullnode" c 1 7 2>/dev/null && ! printf x 2>/dev/null >"$ROOT/fullnode"; then
    for c in "${FULL_LINKS[@]}"; do
        IFS='|' read -r verb link first errre <<<"$c"
        w=$ROOT/fulllink && rm -rf "$w" && mkdir -p "$w/o"
        cp "$G"/m.bin* "$w/"
        ln -s ../../fullnode "$w/o/$link"
        if [[ $verb == tren ]]; then run "$w" tren m.bin --size 500K --out o; else run "$w" build m.bin.tr0 --out o; fi
        expect_rc 1
        grep -Eq -- "${first/OUT/$w/o}" <(head -n 1 "$OUT") || bad "first stdout line does not match ${first/OUT/$w/o}"
        [[ $verb == tren ]] && { [[ $(tail -n 1 "$OUT") == "Terminate Trening during error" ]] || bad "last line is not the terminate line"; }
        grep -q 'Finish' "$OUT" && bad "success line printed"
        expect_err_re "$errre"
        [[ -c $ROOT/fullnode ]] || bad "the device node behind the link was replaced by a $(stat -c %F "$ROOT/fullnode")"
        rm -f "$ROOT/fullnode" && mknod "$ROOT/fullnode" c 1 7
        done_case "full disk: $verb writes $link through a link to a full device"
    done
else
    for c in "${FULL_LINKS[@]}"; do skip_case "full device link: ${c%%|*}" "cannot make a full device node"; done
fi

# ---------------------------------------------------------------- summary
[[ $SKIPPED -gt 0 ]] && echo "$SKIPPED skipped"
echo "$PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
