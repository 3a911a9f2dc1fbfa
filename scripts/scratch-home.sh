# Sourced: points HOME, the XDG folders and TMPDIR into a fresh temporary folder,
# removed on exit, so that nothing run from here (the window registers the file
# type at every start) writes into the user's own folders.
scratch=$(mktemp -d)
# Others may pass through, not look in: a test can then run as an ordinary user.
chmod 711 "$scratch"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/data" "$scratch/config" "$scratch/cache" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime" TMPDIR="$scratch"
