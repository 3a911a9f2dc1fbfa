#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/.
# Usage: scripts/setup.sh [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev libcli11-dev libgtest-dev libssl-dev
    xvfb xauth x11-apps x11-utils imagemagick time openbox xdotool
    shared-mime-info desktop-file-utils xdg-utils libfile-mimeinfo-perl jq
    clang clang-format libclang-rt-14-dev llvm strace
    help2man dpkg-dev file lintian appstream man-db bash-completion python3 devscripts
    librsvg2-bin
    exfat-fuse fusefat exfatprogs dosfstools
    par2
)
source scripts/install-missing.sh
install_missing "${packages[@]}"

cmake -S . -B build -G Ninja "$@" >/dev/null
cmake --build build
