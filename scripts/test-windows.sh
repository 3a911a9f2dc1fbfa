#!/usr/bin/env bash
# Installs what is missing, cross-builds the 32-bit Windows programs into
# build-windows/ with the zip and the installer users download, and runs their
# tests under Wine, on a virtual display, in a Wine prefix of their own. The
# exchange of sets with Linux uses build/src/tren-cli, built first when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --on-display ]; then
    scripts/setup-windows.sh
    [ -x build/src/tren-cli ] || scripts/setup.sh
    cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
        -DTREN_LINUX_CLI="$PWD/build/src/tren-cli" >/dev/null
    cmake --build build-windows -j2
    # tren-VERSION-win32.zip and .msi, which tests/win32/package_test.sh tries.
    cmake --build build-windows --target package >/dev/null
    # Wine's desktop takes the display it first finds: the whole run gets one.
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --on-display
fi

source scripts/wine-prefix.sh
# Wine keeps its server running after each program; one that stays for the whole
# run spares every test the wait for it to go.
wineserver -p
# The first program to start meets the server before ctest does: one that ctest
# started would inherit, and hold open, the pipe ctest lists the tests through.
scripts/wine-run.sh build-windows/tests/tren_tests.exe --gtest_list_tests >/dev/null
ctest --test-dir build-windows --output-on-failure -j2
