# Sourced by the command-line tests: ROOT, a fresh folder (its physical path, as
# the program prints paths), removed on exit; HOME, TMPDIR and the XDG folders
# inside it, so that nothing is written outside ROOT whatever the program looks up.
ROOT=$(mktemp -d "${TMPDIR:-/tmp}/tren-cli-test.XXXXXX") || exit 2
ROOT=$(cd "$ROOT" && pwd -P)
trap 'rm -rf "$ROOT"' EXIT
export HOME=$ROOT/home TMPDIR=$ROOT/tmp XDG_RUNTIME_DIR=$ROOT/xdg-run LC_ALL=C
for v in DATA CONFIG CACHE STATE; do export "XDG_${v}_HOME=$ROOT/xdg-${v,,}"; done
mkdir -p "$HOME" "$TMPDIR" "$ROOT"/xdg-{data,config,cache,state} && mkdir -m 700 "$XDG_RUNTIME_DIR"
