# Sourced by the command-line tests: ROOT, a fresh folder (its physical path, as
# the program prints paths), removed on exit; HOME, TMPDIR and the XDG folders
# inside it, so that nothing is written outside ROOT whatever the program looks up.
ROOT=$(mktemp -d "${TMPDIR:-/tmp}/tren-cli-test.XXXXXX") || exit 2
ROOT=$(cd "$ROOT" && pwd -P)
trap 'rm -rf "$ROOT"' EXIT
export HOME=$ROOT/home TMPDIR=$ROOT/tmp XDG_RUNTIME_DIR=$ROOT/xdg-run LC_ALL=C
for v in DATA CONFIG CACHE STATE; do export "XDG_${v}_HOME=$ROOT/xdg-${v,,}"; done
mkdir -p "$HOME" "$TMPDIR" "$ROOT"/xdg-{data,config,cache,state} && mkdir -m 700 "$XDG_RUNTIME_DIR"

# check NAME STATUS [DETAIL] counts a check; done_case NAME counts the faults noted by bad;
# skip REASON notes checks that could not run here, which makes the whole test a skip
# (77) rather than a pass.
PASSED=0 FAILED=0 SKIPPED=0 ERRS="" RC=0 OUT=$ROOT/stdout ERR=$ROOT/stderr
check() { if [[ $2 -eq 0 ]]; then PASSED=$((PASSED + 1)); else FAILED=$((FAILED + 1)) && printf 'FAIL: %s %s\n' "$1" "${3:-}"; fi; }
bad() { ERRS+="    $*"$'\n'; }
detail() { printf '    stdout: %s\n    stderr: %s' "$(head -c 1000 "$OUT" 2>&1)" "$(head -c 1000 "$ERR" 2>&1)"; }
expect_rc() { [[ $RC -eq $1 ]] || bad "exit status $RC, expected $1"; }
done_case() { check "$1" ${#ERRS} $'\n'"$ERRS$(detail)"; ERRS=""; }
run() { (cd "$1" && shift && exec "$CLI" "$@") >"$OUT" 2>"$ERR"; RC=$?; }
skip() { SKIPPED=$((SKIPPED + 1)) && printf 'SKIP: %s\n' "$*"; }
finish() {
    echo "$PASSED passed, $FAILED failed, $SKIPPED skipped"
    ((FAILED == 0)) || return 1
    ((SKIPPED == 0)) || return 77
}
