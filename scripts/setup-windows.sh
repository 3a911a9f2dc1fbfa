#!/usr/bin/env bash
# Installs what cross-building, packaging and testing the 32-bit Windows program
# needs: the mingw-w64 compilers, wixl and msitools for the installer, and Wine.
# Where this machine cannot run 32-bit x86 code itself, 32-bit processes run
# through qemu-user-static from bookworm-backports (bookworm's own qemu makes
# every Wine start take a minute).
# A second run finds everything in place and does nothing.
set -euo pipefail

cd "$(dirname "$0")/.."
source scripts/install-missing.sh
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    apt_updated=""
fi
install_missing g++-mingw-w64-i686-posix cmake ninja-build googletest \
    wixl msitools unzip \
    wine wine32:i386 wine64 fonts-wine xvfb xauth xdotool openbox libx11-dev imagemagick \
    par2

# Can this kernel run 32-bit code? Wine's 32-bit loader says so at once.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    exit 0
fi

if ! installed qemu-user-static || ! qemu-i386-static --version | grep -qE 'version ([89]|[1-9][0-9])\.'; then
    sources=/etc/apt/sources.list.d/debian.sources
    uris=$(grep -m1 '^URIs:' "$sources" | sed 's/^URIs:[[:space:]]*//')
    backports=/etc/apt/sources.list.d/backports.sources
    if [ ! -e "$backports" ]; then
        printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: %s\n' \
            "$uris" /usr/share/keyrings/debian-archive-keyring.gpg | $sudo tee "$backports" >/dev/null
    fi
    echo "setup-windows: installing qemu-user-static from bookworm-backports"
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null
fi

binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
entry=$binfmt/qemu-i386
qemu=$(command -v qemu-i386-static)
# With the F flag the kernel holds the qemu it was given: register again when
# that is not today's.
if [ -e "$entry" ] && ! grep -qx "interpreter $qemu" "$entry"; then
    echo -1 | $sudo tee "$entry" >/dev/null
fi
if [ ! -e "$entry" ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:$qemu:F" | $sudo tee "$binfmt/register" >/dev/null
fi
/usr/lib/wine/wine --version >/dev/null ||
    { echo "setup-windows: 32-bit Wine does not start, even through $qemu" >&2; exit 1; }
