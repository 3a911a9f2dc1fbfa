#!/usr/bin/env bash
# tren-cli as a user meets it when things go wrong: runs stopped by signals, two
# runs at once, links and pipes where files should be, names too long, and an
# ordinary user rather than root. Nothing may be lost, nothing left half written.
# Usage: nothing_lost_test.sh /path/to/tren-cli
set -u
[[ $# -eq 1 && -x $1 ]] || { echo "usage: $0 /path/to/tren-cli" >&2; exit 2; }
source "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"
# A copy an ordinary user can run, wherever the build tree lies.
CLI=$ROOT/bin/tren-cli && mkdir -p "$ROOT/bin" && cp "$1" "$CLI" && chmod 755 "$ROOT/bin" "$CLI"
# Exactly one of the files cut there, or a refusal: never a mixture.
builds_to_one_of() { # HEADER A B
    local into; into=$(mktemp -d "$ROOT/check.XXXXXX")
    "$CLI" build "$1" --out "$into" >/dev/null 2>&1 || return 0
    cmp -s "$into/data" "$2" || cmp -s "$into/data" "$3"
}
head -c 20000000 /dev/urandom >"$ROOT/a" && head -c 20000000 /dev/urandom >"$ROOT/b"

# Runs stopped part way: a tren of b over the set of a (same name, same piece size), and
# a build of that set over an old file. Every copy, write and naming call is slowed under
# strace so that the signal lands part way; the script gives SIGINT back to its job.
if command -v strace >/dev/null; then
    for verb in tren build; do for signal in INT TERM HUP KILL; do
        d=$ROOT/stopped-$verb-$signal && mkdir -p "$d/src" "$d/out" "$d/back" && printf old >"$d/back/data"
        cp "$ROOT/a" "$d/src/data" && "$CLI" tren "$d/src/data" --size 1M --out "$d/out" >/dev/null && cp "$ROOT/b" "$d/src/data"
        if [[ $verb == tren ]]; then args=(tren "$d/src/data" --size 1M --out "$d/out"); else args=(build "$d/out/data.tr0" --out "$d/back"); fi
        rm -f "$ROOT/slow.pid"
        env --default-signal=INT strace -qq -f -o /dev/null -e trace=copy_file_range,linkat,pwrite64,write \
            -e inject=copy_file_range,linkat,pwrite64,write:delay_exit=40000 \
            sh -c 'echo $$ >"$0"; exec "$@"' "$ROOT/slow.pid" "$CLI" "${args[@]}" >/dev/null 2>&1 &
        tracer=$!
        for _ in $(seq 200); do [[ -s $ROOT/slow.pid ]] && break; sleep 0.05; done
        sleep 0.5; kill -s "$signal" "$(cat "$ROOT/slow.pid")"; wait "$tracer" 2>/dev/null; rc=$?
        check "$verb stopped by SIG$signal ends as the signal ends it" $((rc != 128 + $(kill -l "$signal"))) "(status $rc)"
        builds_to_one_of "$d/out/data.tr0" "$ROOT/a" "$ROOT/b"; check "$verb stopped by SIG$signal leaves no mixed set" $?
        [[ $(ls -A "$d/back") == data && $(cat "$d/back/data") == old && -z $(find "$d" -name '.tren-*') ]]
        check "$verb stopped by SIG$signal leaves the old file whole and no hidden file" $? "$(ls -AR "$d")"
    done; done
else
    skip "runs stopped part way need strace"
fi

# Two trens of different files of one name into one folder at once.
for round in 1 2 3 4 5; do
    d=$ROOT/together-$round && mkdir -p "$d/a" "$d/b" "$d/out" && cp "$ROOT/a" "$d/a/data" && cp "$ROOT/b" "$d/b/data"
    "$CLI" tren "$d/a/data" --size 1M --out "$d/out" >/dev/null 2>&1 & first=$!
    "$CLI" tren "$d/b/data" --size 500K --out "$d/out" >/dev/null 2>&1 & second=$!
    wait "$first"; a_rc=$?; wait "$second"
    check "two trens at once both finish (round $round)" $((a_rc + $?))
    builds_to_one_of "$d/out/data.tr0" "$ROOT/a" "$ROOT/b"; check "two trens at once leave one whole set (round $round)" $?
done

# Links in the destination folder that lead to the source: refused, naming both.
for kind in symbolic hard; do
    d=$ROOT/link-$kind && mkdir -p "$d/out" && cp "$ROOT/a" "$d/s"
    if [[ $kind == symbolic ]]; then ln -s ../s "$d/out/s.tr2"; else ln "$d/s" "$d/out/s.tr1"; fi
    "$CLI" tren "$d/s" --size 5M --out "$d/out" >/dev/null 2>"$ERR"; rc=$?
    [[ $rc -eq 1 ]] && cmp -s "$d/s" "$ROOT/a" && grep -q "Trenning Error: .*$d/out/s.tr[12].*$d/s" "$ERR"
    check "a $kind link to the source is refused by name, the source whole" $? "(status $rc) $(cat "$ERR")"
done

# A destination that is a file of the set being built: refused by name, the set intact.
d=$ROOT/into-set && mkdir -p "$d/set" "$d/out" && cp "$ROOT/a" "$d/s" && "$CLI" tren "$d/s" --size 5M --out "$d/set" >/dev/null
for link in "-s ../set/s.tr2" "../set/s.tr3" "-s ../set/s.tr0"; do
    rm -f "$d/out/s" && (cd "$d/out" && ln $link s)
    "$CLI" build "$d/set/s.tr0" --out "$d/out" >/dev/null 2>"$ERR"; rc=$?
    fresh=$(mktemp -d "$ROOT/check.XXXXXX") && "$CLI" build "$d/set/s.tr0" --out "$fresh" >/dev/null 2>&1
    [[ $rc -eq 1 ]] && grep -q "Building Error: .*$d/out/s" "$ERR" && cmp -s "$fresh/s" "$ROOT/a"
    check "a destination made by 'ln $link' is refused by name, the set intact" $? "(status $rc) $(cat "$ERR")"
done

# Pipes where a header, a piece or the rebuilt file should be: refused at once, by name.
d=$ROOT/pipes && mkdir -p "$d/set" "$d/out" "$d/fifo-out" && cp "$ROOT/a" "$d/s" && "$CLI" tren "$d/s" --size 5M --out "$d/set" >/dev/null
mkfifo "$d/p.tr0" "$d/fifo-out/s.tr2" "$d/out/s"
for c in "p.tr0|build p.tr0" "fifo-out/s.tr2|tren s --size 5M --out fifo-out" "out/s|build set/s.tr0 --out out"; do
    IFS='|' read -r pipe args <<<"$c" && read -ra words <<<"$args"
    (cd "$d" && timeout 20 "$CLI" "${words[@]}") >/dev/null 2>"$ERR"; rc=$?
    [[ $rc -eq 1 ]] && grep -q "$pipe" "$ERR"; check "a pipe at $pipe is refused at once, by name" $? "(status $rc) $(cat "$ERR")"
done

# A name that fits for the first pieces but not for the hundredth: refused before writing.
d=$ROOT/long && mkdir -p "$d/out" && name=$(printf 'n%.0s' {1..250}) && truncate -s 100500000 "$d/$name"
"$CLI" tren "$d/$name" --size 1M --out "$d/out" >/dev/null 2>"$ERR"; rc=$?
[[ $rc -eq 1 && -z $(ls -A "$d/out") ]]; check "a name too long for the last piece is refused, nothing written" $? "(status $rc)"

# A low open-file limit: 255 pieces cut and built with 16 descriptors.
d=$ROOT/few-files && mkdir -p "$d/out" "$d/back" && head -c 127500000 /dev/urandom >"$d/s"
(ulimit -n 16 && "$CLI" tren "$d/s" --size 500K --out "$d/out" && "$CLI" build "$d/out/s.tr0" --out "$d/back") >/dev/null 2>"$ERR"
cmp -s "$d/s" "$d/back/s" && [[ -e $d/out/s.tr255 ]]; check "255 pieces cut and built under 'ulimit -n 16'" $? "$(cat "$ERR")"

# A build started while a tren of its folder writes (the header gone for the moment)
# waits for it, says so, and builds what it then finds.
d=$ROOT/waits && mkdir -p "$d/set" "$d/out" && cp "$ROOT/a" "$d/s" && "$CLI" tren "$d/s" --size 5M --out "$d/set" >/dev/null
flock -x "$d/set" sh -c 'mv "$1/s.tr0" "$1/../away" && touch "$1/../held" && sleep 1 && mv "$1/../away" "$1/s.tr0"' sh "$d/set" &
for _ in $(seq 100); do [[ -e $d/held ]] && break; sleep 0.05; done
"$CLI" build "$d/set/s.tr0" --out "$d/out" >/dev/null 2>"$ERR"; rc=$?; wait
[[ $rc -eq 0 ]] && cmp -s "$d/s" "$d/out/s" && grep -q "waiting for another run in $d/set/" "$ERR"
check "a build waits for a tren of its folder, saying so" $? "(status $rc) $(cat "$ERR")"

# -n: an existing file at the rebuilt file's name is refused, named, and kept.
printf edited >"$d/out/s" && "$CLI" build -n "$d/set/s.tr0" --out "$d/out" >/dev/null 2>"$ERR"; rc=$?
[[ $rc -eq 1 && $(cat "$d/out/s") == edited ]] && grep -q "$d/out/s already exists" "$ERR"
check "build -n keeps an existing file and names it" $? "(status $rc) $(cat "$ERR")"

# No /proc (a chroot, a rescue shell): files are still named, the hidden way.
d=$ROOT/no-proc && mkdir -p "$d/out" "$d/back" && cp "$ROOT/a" "$d/s"
if grep -q __asan_init "$CLI"; then
    skip "a run without /proc: AddressSanitizer's leak check needs /proc"
elif unshare -m --propagation private true 2>/dev/null; then
    unshare -m --propagation private sh -c 'mount -t tmpfs none /proc && "$0" tren "$1/s" --size 5M --out "$1/out" && "$0" build "$1/out/s.tr0" --out "$1/back"' \
        "$CLI" "$d" >/dev/null 2>"$ERR"
    cmp -s "$d/s" "$d/back/s" && [[ -z $(find "$d" -name '.tren-*') ]]; check "without /proc a set is cut and built" $? "$(cat "$ERR")"
else
    skip "a run without /proc needs a mount namespace (unshare -m, as root)"
fi

# An ordinary user: unnamed files take their names without privileges.
as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$d" "$@"; }
d=$ROOT/user && mkdir -p "$d/out" "$d/back" && cp "$ROOT/a" "$d/s" && chmod -R a+rwX "$d" && chmod a+x "$ROOT"
if ! command -v setpriv >/dev/null || [[ $(id -u) -ne 0 ]] || ! as_user test -x "$CLI"; then
    skip "the ordinary user's run needs root, setpriv and a way to $ROOT"
else
    as_user "$CLI" tren "$d/s" --size 5M --out "$d/out" >/dev/null 2>"$ERR" &&
        as_user "$CLI" build "$d/out/s.tr0" --out "$d/back" >/dev/null 2>>"$ERR" && cmp -s "$d/s" "$d/back/s" &&
        [[ -z $(find "$d" -name '.tren-*') ]]
    check "an ordinary user cuts and builds, leaving no hidden file" $? "$(cat "$ERR")"
fi
finish
