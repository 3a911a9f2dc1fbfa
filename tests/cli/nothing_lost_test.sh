#!/usr/bin/env bash
# tren-cli as a user meets it when things go wrong: runs stopped by signals, two
# runs at once, links and pipes where files should be, names too long, and an
# ordinary user rather than root. Nothing may be lost, nothing left half written.
# Usage: nothing_lost_test.sh /path/to/tren-cli
set -u
[[ $# -eq 1 && -x $1 ]] || { echo "usage: $0 /path/to/tren-cli" >&2; exit 2; }
source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"
# A copy an ordinary user can run, wherever the build tree lies.
CLI=$ROOT/bin/tren-cli
mkdir -p "$ROOT/bin" && cp "$1" "$CLI" && chmod 755 "$ROOT/bin" "$CLI"

passed=0 failed=0
check() { # NAME CONDITION-STATUS [DETAIL]
    if [[ $2 -eq 0 ]]; then passed=$((passed + 1)); else
        failed=$((failed + 1)); printf 'FAIL: %s %s\n' "$1" "${3:-}"; fi
}
same() { cmp -s "$1" "$2"; }
# Exactly one of the files cut there, or a refusal: never a mixture.
builds_to_one_of() { # HEADER A B
    local into; into=$(mktemp -d "$ROOT/check.XXXXXX")
    "$CLI" build "$1" --out "$into" >/dev/null 2>&1 || return 0
    same "$into/data" "$2" || same "$into/data" "$3"
}
hidden_left() { find "$1" -name '.tren-*' | grep -q .; }

head -c 20000000 /dev/urandom >"$ROOT/a"
head -c 20000000 /dev/urandom >"$ROOT/b"

# Runs CMD in the background with every copy, write and naming call slowed, so
# that a signal sent a moment later lands part way. Sets PID (the program's) and
# TRACER (whose status is the program's).
slow_start() {
    local pidfile=$ROOT/slow.pid
    rm -f "$pidfile"
    # Background jobs of a script ignore SIGINT unless given it back.
    env --default-signal=INT strace -qq -f -o /dev/null \
        -e trace=copy_file_range,linkat,pwrite64,write \
        -e inject=copy_file_range,linkat,pwrite64,write:delay_exit=40000 \
        sh -c 'echo $$ >"$0"; exec "$@"' "$pidfile" "$@" >/dev/null 2>&1 &
    TRACER=$!
    for _ in $(seq 200); do [[ -s $pidfile ]] && break; sleep 0.05; done
    PID=$(cat "$pidfile")
}

# A tren stopped part way, or failing at a piece, over the set of another file of
# the same name and piece size.
fresh_stale_set() { # FOLDER
    rm -rf "$1" && mkdir -p "$1/src" "$1/out"
    cp "$ROOT/a" "$1/src/data" && "$CLI" tren "$1/src/data" --size 1M --out "$1/out" >/dev/null
    cp "$ROOT/b" "$1/src/data"
}
if command -v strace >/dev/null; then
    for signal in KILL TERM INT; do
        d=$ROOT/stopped-$signal && fresh_stale_set "$d"
        slow_start "$CLI" tren "$d/src/data" --size 1M --out "$d/out"
        sleep 0.5; kill -s "$signal" "$PID"; wait "$TRACER"; rc=$?
        [[ $rc -eq $((128 + $(kill -l "$signal"))) ]]; check "the tren was stopped part way ($signal)" $? "(status $rc)"
        builds_to_one_of "$d/out/data.tr0" "$ROOT/a" "$ROOT/b"
        check "tren stopped by SIG$signal leaves no mixture" $?
        hidden_left "$d/out"; check "tren stopped by SIG$signal leaves no hidden file" $((!$?))
    done
else
    echo "skipped: trens stopped part way need strace"
fi
d=$ROOT/blocked && fresh_stale_set "$d" && rm "$d/out/data.tr3" && mkdir "$d/out/data.tr3"
"$CLI" tren "$d/src/data" --size 1M --out "$d/out" >/dev/null 2>&1
check "a piece that cannot be made fails the tren" $(($? != 1))
builds_to_one_of "$d/out/data.tr0" "$ROOT/a" "$ROOT/b"
check "a piece that cannot be made leaves no mixture" $?

# Two trens of different files of one name into one folder at once.
for round in 1 2 3 4 5; do
    d=$ROOT/together-$round && mkdir -p "$d/a" "$d/b" "$d/out"
    cp "$ROOT/a" "$d/a/data" && cp "$ROOT/b" "$d/b/data"
    "$CLI" tren "$d/a/data" --size 1M --out "$d/out" >/dev/null 2>&1 & first=$!
    "$CLI" tren "$d/b/data" --size 500K --out "$d/out" >/dev/null 2>&1 & second=$!
    wait "$first"; a_rc=$?; wait "$second"; b_rc=$?
    check "two trens at once both finish (round $round)" $((a_rc + b_rc))
    builds_to_one_of "$d/out/data.tr0" "$ROOT/a" "$ROOT/b"
    check "two trens at once leave one whole set (round $round)" $?
done

# Links in the destination folder that lead to the source.
for kind in symbolic hard; do
    d=$ROOT/link-$kind && mkdir -p "$d/out" && cp "$ROOT/a" "$d/s"
    if [[ $kind == symbolic ]]; then ln -s ../s "$d/out/s.tr2"; else ln "$d/s" "$d/out/s.tr1"; fi
    "$CLI" tren "$d/s" --size 5M --out "$d/out" >/dev/null 2>"$d/err"
    check "a $kind link to the source is refused" $(($? != 1))
    same "$d/s" "$ROOT/a"; check "a $kind link to the source leaves it whole" $?
    grep -q "Trenning Error: .*$d/out/s.tr[12].*$d/s" "$d/err"
    check "the refusal names the piece and the source ($kind)" $? "$(cat "$d/err")"
done

# A destination that is a file of the set being built.
d=$ROOT/into-set && mkdir -p "$d/set" "$d/out" && cp "$ROOT/a" "$d/s"
"$CLI" tren "$d/s" --size 5M --out "$d/set" >/dev/null
for kind in symbolic hard header; do
    rm -f "$d/out/s"
    case $kind in
    symbolic) ln -s ../set/s.tr2 "$d/out/s" ;;
    hard) ln "$d/set/s.tr3" "$d/out/s" ;;
    header) ln -s ../set/s.tr0 "$d/out/s" ;;
    esac
    "$CLI" build "$d/set/s.tr0" --out "$d/out" >/dev/null 2>"$d/err"
    check "a destination that is a piece ($kind) is refused" $(($? != 1))
    grep -q "Building Error: .*$d/out/s" "$d/err"; check "the refusal names both ($kind)" $? "$(cat "$d/err")"
    fresh=$(mktemp -d "$ROOT/check.XXXXXX")
    "$CLI" build "$d/set/s.tr0" --out "$fresh" >/dev/null 2>&1 && same "$fresh/s" "$ROOT/a"
    check "the set is intact after the refusal ($kind)" $?
done

# A build stopped by a signal leaves no temporary file and an existing file whole.
if command -v strace >/dev/null; then
    d=$ROOT/interrupted && mkdir -p "$d/set" && cp "$ROOT/a" "$d/big"
    "$CLI" tren "$d/big" --size 1M --out "$d/set" >/dev/null
    for signal in INT TERM HUP KILL; do
        out=$d/out-$signal && mkdir -p "$out" && printf old >"$out/big"
        slow_start "$CLI" build "$d/set/big.tr0" --out "$out"
        sleep 0.5; kill -s "$signal" "$PID"; wait "$TRACER"; rc=$?
        [[ $rc -eq $((128 + $(kill -l "$signal"))) ]]
        check "a build stopped by SIG$signal ends as the signal ends it" $? "(status $rc)"
        [[ $(ls -A "$out") == big && $(cat "$out/big") == old ]]
        check "a build stopped by SIG$signal leaves the old file and nothing else" $? "$(ls -A "$out")"
    done
else
    echo "skipped: builds stopped part way need strace"
fi

# Pipes where a header, a piece or the rebuilt file should be: refused, not waited on.
d=$ROOT/pipes && mkdir -p "$d/set" "$d/out" "$d/fifo-out" && cp "$ROOT/a" "$d/s"
"$CLI" tren "$d/s" --size 5M --out "$d/set" >/dev/null
mkfifo "$d/p.tr0" "$d/fifo-out/s.tr2" "$d/out/s"
timeout 20 "$CLI" build "$d/p.tr0" --out "$d" >/dev/null 2>"$d/err"
check "a pipe as header is refused at once" $(($? != 1)) "$(cat "$d/err")"
timeout 20 "$CLI" tren "$d/s" --size 5M --out "$d/fifo-out" >/dev/null 2>"$d/err"
check "a pipe where a piece goes is refused at once" $(($? != 1)) "$(cat "$d/err")"
timeout 20 "$CLI" build "$d/set/s.tr0" --out "$d/out" >/dev/null 2>"$d/err"
check "a pipe where the rebuilt file goes is refused at once" $(($? != 1)) "$(cat "$d/err")"
grep -q "$d/out/s" "$d/err"; check "the refusal names the pipe" $?

# A name that fits for the first pieces but not for the hundredth.
d=$ROOT/long && mkdir -p "$d/out"
name=$(printf 'n%.0s' {1..250})
truncate -s 100500000 "$d/$name"
"$CLI" tren "$d/$name" --size 1M --out "$d/out" >/dev/null 2>"$d/err"
check "a name too long for the last piece is refused" $(($? != 1))
[[ -z $(ls -A "$d/out") ]]; check "nothing is written before a name is found too long" $?

# An ordinary user: unnamed files take their names without privileges.
as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$d" "$@"; }
d=$ROOT/user && mkdir -p "$d/out" "$d/back" && cp "$ROOT/a" "$d/s" && chmod -R a+rwX "$d" && chmod a+x "$ROOT"
if ! command -v setpriv >/dev/null || [[ $(id -u) -ne 0 ]]; then
    echo "skipped: the ordinary user's run needs root and setpriv"
elif ! as_user test -x "$CLI"; then
    echo "skipped: an ordinary user cannot reach $ROOT"
else
    as_user "$CLI" tren "$d/s" --size 5M --out "$d/out" >/dev/null 2>"$d/err" &&
        as_user "$CLI" build "$d/out/s.tr0" --out "$d/back" >/dev/null 2>>"$d/err" && same "$d/s" "$d/back/s"
    check "an ordinary user cuts and builds" $? "$(cat "$d/err")"
    hidden_left "$d"; check "an ordinary user's runs leave no hidden file" $((!$?))
fi

echo "nothing lost: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
