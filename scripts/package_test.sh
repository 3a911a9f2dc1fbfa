#!/usr/bin/env bash
# Makes the Debian package from a configured build folder, checks it and its
# desktop files with lintian, desktop-file-validate and appstreamcli, then does
# what a user would: installs it with apt, uses the installed programs and asks
# the desktop's tools about them, and removes it, checking that nothing remains.
# It installs into the system, so it needs root (or sudo), and refuses to touch
# a tren that was installed before it ran.
# Usage: scripts/package_test.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

if dpkg-query -W -f='${Status}' tren 2>/dev/null | grep -q "install ok installed"; then
    echo "package: tren is installed already; remove it first" >&2
    exit 1
fi

work=$(mktemp -d)
installed=false
cleanup() {
    if $installed; then
        $sudo apt-get purge -y -qq tren >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
# The desktop's tools look in these; keep the user's own out of it.
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
export XDG_CACHE_HOME=$work/cache
unset XDG_DATA_DIRS XDG_CONFIG_DIRS XDG_CURRENT_DESKTOP DESKTOP_SESSION
mkdir -p "$HOME"

failed=0
check() { # NAME EXPECTED ACTUAL
    [[ "$2" == "$3" ]] && return
    failed=$((failed + 1))
    printf 'FAIL: %s\n    expected: %s\n    actual:   %s\n' "$1" "$2" "$3"
}

cmake --build "$build" --target tren tren-cli tren_packaging_files >/dev/null
(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(echo "$work"/package/tren_*_amd64.deb)
[ -f "$deb" ] || { echo "package: cpack made no tren_*_amd64.deb" >&2; exit 1; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# The checkers: nothing from any of them, lintian's notes included (the overrides
# that remain give their reasons).
lintian -I --fail-on error,warning,info "$deb" >"$work/lintian" 2>&1 ||
    { failed=$((failed + 1)); printf 'FAIL: lintian\n%s\n' "$(cat "$work/lintian")"; }
# Debian's whole hardening. Two checks cannot pass on Debian 12, whatever the
# flags: fortified functions (there is no call whose buffer size the compiler
# knows) and control-flow protection (Debian 12's own crt1.o and crti.o carry no
# IBT/SHSTK mark, so no program linked here has it, /usr/bin/ls neither); that the
# flags are given is checked instead.
dpkg-deb -x "$deb" "$work/unpacked"
hardening-check --nofortify --nocfprotection "$work"/unpacked/usr/bin/tren{,-cli} >"$work/hardening" 2>&1 ||
    { failed=$((failed + 1)); printf 'FAIL: hardening-check\n%s\n' "$(cat "$work/hardening")"; }
for flag in -D_FORTIFY_SOURCE=2 -fcf-protection=full -fstack-protector-strong -Wl,-z,now; do
    grep -qF -- "$flag" "$build/build.ninja" || check "the programs are built with $flag" "yes" "no"
done
check "desktop-file-validate" "" "$(desktop-file-validate packaging/org.example.tren.desktop 2>&1)"
appstreamcli validate --no-net --pedantic packaging/org.example.tren.metainfo.xml >"$work/as" 2>&1 ||
    { failed=$((failed + 1)); printf 'FAIL: appstreamcli validate\n%s\n' "$(cat "$work/as")"; }

# Installed as a user would, with its dependencies.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >"$work/apt" 2>&1 ||
    { cat "$work/apt"; echo "package: apt-get install failed" >&2; exit 1; }
installed=true
mapfile -t files < <(dpkg-query -L tren)

mkdir -p "$work/try/out"
head -c 3500000 /dev/urandom >"$work/try/report.doc"
(cd "$work/try" && tren-cli tren report.doc --size 1.44M --quiet &&
    tren-cli build report.doc.tr0 --out out --quiet)
check "the installed tren-cli rebuilds the file" "yes" \
    "$(cmp -s "$work/try/report.doc" "$work/try/out/report.doc" && echo yes)"
check "the type of a .tr0 file, from the system's database" "application/x-tr-file" \
    "$(xdg-mime query filetype "$work/try/report.doc.tr0")"
check "the type's application" "org.example.tren.desktop" \
    "$(xdg-mime query default application/x-tr-file)"
check "man tren-cli renders" "yes" \
    "$(MANPAGER=cat MANWIDTH=80 man tren-cli 2>/dev/null | grep -q 'tren-cli tren SOURCE' && echo yes)"
check "man tren renders" "yes" \
    "$(MANPAGER=cat MANWIDTH=80 man tren 2>/dev/null | grep -q 'tren HEADER' && echo yes)"
# Every option a command's help lists is in the manual page, which is made from it.
manual=$(MANPAGER=cat MANWIDTH=200 man tren-cli 2>/dev/null) missing=""
for verb in tren build info verify help; do
    for option in $(tren-cli "$verb" --help | grep -oE -- '--[a-z-]+' | sort -u); do
        grep -qF -- "$option" <<<"$manual" || missing+=" $verb $option"
    done
done
check "man tren-cli lists every option of every command" "" "$missing"
check "tren --help answers on standard output" "Usage: tren [HEADER]" "$(env -u DISPLAY tren --help | head -1)"
check "tren --version answers on standard output" "tren $(tren-cli --version | cut -d' ' -f2)" \
    "$(env -u DISPLAY tren --version)"
check "bash completes tren-cli's commands" "build" \
    "$(bash -c 'source /usr/share/bash-completion/bash_completion; source /usr/share/bash-completion/completions/tren-cli
        COMP_WORDS=(tren-cli bu) COMP_CWORD=1 COMP_LINE="tren-cli bu" COMP_POINT=11; _tren_cli; echo "${COMPREPLY[*]}"')"
# The installed window, started as the menu starts it, leaves the user's folders
# alone: the package provides the type.
(cd "$work/try" && QT_QPA_PLATFORM=offscreen timeout 5 tren >/dev/null 2>&1) || true
check "the installed window writes nothing for the user" "" \
    "$(find "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" 2>/dev/null)"

DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq tren >"$work/apt" 2>&1 ||
    { cat "$work/apt"; echo "package: apt-get purge failed" >&2; exit 1; }
installed=false
left=()
for file in "${files[@]}"; do
    [ -d "$file" ] || [ ! -e "$file" ] || left+=("$file")
done
check "removal leaves none of its files" "" "${left[*]}"
check "removal takes the type out of the system's database" "" \
    "$(find /usr/share/mime -name 'x-tr-file*')"
check "nor is tren an application for it" "" \
    "$(grep -rl 'org.example.tren' /usr/share/applications/mimeinfo.cache 2>/dev/null)"

echo "package: $failed failed"
((failed == 0))
