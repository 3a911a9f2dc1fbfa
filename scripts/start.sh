#!/usr/bin/env bash
# Sets up and builds, then starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/src/tren "$@"
