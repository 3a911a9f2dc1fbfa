#!/usr/bin/env bash
# Sets up and builds, then runs every test. Tests keep to their own temporary
# folders; HOME and the XDG folders point into one here as well.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/data" "$scratch/config" "$scratch/cache" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime" TMPDIR="$scratch"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2
