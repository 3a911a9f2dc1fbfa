#!/usr/bin/env bash
# Sets up and builds, then runs every test. Tests keep to their own temporary
# folders; HOME and the XDG folders point into one here as well.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
source scripts/scratch-home.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2
