#!/usr/bin/env bash
# Builds the programs and starts the window. Installs (with apt-get, through sudo
# when not root) only what building and running need; the test tools come with
# scripts/test.sh. Where scripts/setup.sh has configured build/, that is built;
# otherwise the programs alone are built into build-app/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libcli11-dev libssl-dev)
source scripts/install-missing.sh
install_missing "${packages[@]}"

build=build
if [ ! -f build/build.ninja ]; then
    build=build-app
    cmake -S . -B "$build" -G Ninja -DTREN_WITH_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target tren
exec "$build/src/tren" "$@"
