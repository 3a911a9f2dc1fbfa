#!/usr/bin/env bash
# The Windows packages as a user meets them, in a Wine prefix of this test's own:
# the portable zip's files, line ends, hardening and version information; the
# installer's per-user properties; its install (files, Start menu shortcut, the
# .tr0 registration, the Add/Remove Programs entry, a working tren-cli.exe), an
# upgrade to a newer version, and an uninstall that leaves the prefix's files
# and the user's registry keys as they were. Wine's user is an administrator, so
# the install proves nothing about rights: the package's tables do.
# Usage: package_test.sh BUILD_DIR VERSION version_probe.exe tren.wxs
set -u
[[ $# -eq 4 ]] || { echo "usage: $0 build-windows VERSION version_probe.exe tren.wxs" >&2; exit 2; }
BUILD=$(cd "$1" && pwd -P) VERSION=$2 PROBE=$3 WXS=$(realpath "$4")
ART=$(cd "$(dirname "$WXS")/../../art" && pwd -P)
ZIP=$BUILD/tren-$VERSION-win32.zip MSI=$BUILD/tren-$VERSION-win32.msi
[[ -f $ZIP && -f $MSI ]] || { echo "missing $ZIP or $MSI: run cmake --build $BUILD --target package" >&2; exit 1; }
# HOME and the XDG folders too: Wine's shortcut maker writes into them.
source "$(dirname "${BASH_SOURCE[0]}")/../cli/scratch.sh"
export WINEPREFIX=$ROOT/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$ROOT"' EXIT
wine wineboot -i >/dev/null 2>&1; wineserver -w
win() { echo "Z:${1//\//\\}"; }
w() { wine "$@" 2>/dev/null | tr -d '\r'; } # a Windows program's output, its CRs dropped
value() { w reg query "$1" /v "$2" | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; } # KEY NAME
default() { w reg query "$1" /ve | sed -n 's/^ *(Default) *REG_SZ *//p'; }
table() { msiinfo export "$MSI" "$1" | tr -d '\r' | tail -n +4; } # its rows, without the header

# The zip: one folder of the four files; text with CRLF line ends; each exe
# stripped, with its debug link, relocatable and with DEP, its stack protector
# and fortified functions linked in, and its version and manifest CMake's.
unzip -q "$ZIP" -d "$ROOT/zip"; Z=$ROOT/zip/tren-$VERSION-win32
[[ $(cd "$ROOT/zip" && find . -type f | sort | tr '\n' ' ') == "./tren-$VERSION-win32/LICENSE.txt ./tren-$VERSION-win32/README.txt ./tren-$VERSION-win32/tren-cli.exe ./tren-$VERSION-win32/tren.exe " ]]
check "the zip holds the two programs, README.txt and LICENSE.txt" $? "$(unzip -Z1 "$ZIP")"
for text in README.txt LICENSE.txt; do
    [[ -s $Z/$text && $(grep -c $'\r$' "$Z/$text") == $(wc -l <"$Z/$text") ]]
    check "$text has CRLF line ends" $?
done
grep -q "tren-cli unregister" "$Z/README.txt" && grep -q "HKEY_CURRENT_USER" "$Z/README.txt"
check "README.txt says what is registered and how to undo it" $?
v=(${VERSION//./ })
for exe in tren tren-cli; do
    f=$Z/$exe.exe headers=$(i686-w64-mingw32-objdump -p -h "$f")
    for want in DYNAMIC_BASE NX_COMPAT .gnu_debuglink; do
        grep -q -- "$want" <<<"$headers"; check "$exe.exe: $want" $?
    done
    ! grep -q '\.debug_' <<<"$headers"; check "$exe.exe carries no debug information" $?
    grep -aq "stack smashing detected" "$f" && grep -aq "buffer overflow detected" "$f"
    check "$exe.exe has libssp's stack protector and fortified functions" $?
    grep -aq "name=\"tren\" version=\"${v[0]}.${v[1]}.${v[2]:-0}.0\"" "$f"
    check "$exe.exe's manifest has CMake's version" $?
    [[ $(w "$PROBE" "$(win "$f")" | sort | tr '\n' '|') == "FileDescription=$( [[ $exe == tren ]] && echo "File Trenning" || echo "File Trenning from the command line")|FileVersion=$VERSION|Fixed=${v[0]}.${v[1]}.${v[2]:-0}.0|LegalCopyright=Copyright (c) 2026 The tren authors. MIT License (LICENSE.txt).|OriginalFilename=$exe.exe|ProductName=tren|ProductVersion=$VERSION|" ]]
    check "$exe.exe's version information reads back as CMake's" $? "$(w "$PROBE" "$(win "$f")")"
    echo "$exe.exe: $(stat -c %s "$f") bytes; debug information $(stat -c %s "$BUILD/release/$exe.exe.debug") bytes"
done
[[ $(w "$Z/tren-cli.exe" --version) == "tren-cli $VERSION" ]]
check "the zip's tren-cli.exe runs" $?

# The installer's own tables: no elevation asked (word count bit 8), no
# ALLUSERS, every folder under LocalAppData or the user's Start menu, every
# registry value under HKEY_CURRENT_USER (root 1).
msiinfo suminfo "$MSI" | grep -qE '^Source: [0-9]+ \(([0-9a-f]*[89a-f])\)$'
check "the installer asks for no elevation" $? "$(msiinfo suminfo "$MSI")"
! table Property | grep -qE '^(ALLUSERS|MSIINSTALLPERUSER)\b'
check "the installer sets no ALLUSERS" $?
[[ -z $(table Directory | awk -F'\t' '$1 != "TARGETDIR" && $1 != "INSTALLDIR" && !($1 == "UserPrograms" && $2 == "LocalAppDataFolder") && !(($1 == "LocalAppDataFolder" || $1 == "ProgramMenuFolder") && $2 == "TARGETDIR")') ]] &&
    table Directory | grep -qP '^INSTALLDIR\tUserPrograms\ttren$'
check "every folder is the user's own" $? "$(table Directory)"
[[ -z $(table Registry | awk -F'\t' '$2 != 1') ]]
check "every registry value is under HKEY_CURRENT_USER" $?

# What the prefix holds: its files, and the keys and values of the user's registry.
state() {
    wineserver -w
    (cd "$WINEPREFIX" && find drive_c -path drive_c/windows/temp -prune -o -path 'drive_c/users/*/Temp' -prune -o -print | sort)
    w reg export HKCU "$ROOT/hkcu.reg" /y >/dev/null
    iconv -f UTF-16 -t UTF-8 "$ROOT/hkcu.reg" | tr -d '\r' | grep -v '^$'
}
before=$(state)

wine msiexec /i "$(win "$MSI")" /qn; check "msiexec /i installs" $?
app=$(cd "$WINEPREFIX" && find drive_c/users -path '*/AppData/Local/Programs/tren' -type d)
[[ -n $app ]] && for f in tren.exe tren-cli.exe README.txt LICENSE.txt; do cmp -s "$WINEPREFIX/$app/$f" "$Z/$f" || false; done
check "the four files are installed under LocalAppData\\Programs\\tren" $? "$app"
I="C:\\${app#drive_c/}" && I=${I//\//\\}
lnk=$(cd "$WINEPREFIX" && find drive_c/users -path '*/Start Menu/Programs/tren.lnk')
[[ -n $lnk ]] && grep -aq 'tren\.exe' "$WINEPREFIX/$lnk"
check "the Start menu shortcut names tren.exe" $? "$lnk"
while IFS='|' read -r key expected; do
    [[ $(default "HKCU\\Software\\Classes\\$key") == "$expected" ]]
    check "HKCU\\Software\\Classes\\$key holds what tren.exe writes" $? "$(default "HKCU\\Software\\Classes\\$key")"
done <<TABLE
.tr0|TR.File
TR.File|Trening File
TR.File\\DefaultIcon|$I\\tren.exe, 0
TR.File\\shell\\Build\\command|"$I\\tren.exe" "%1"
TABLE
arp=$(w reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s; w reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s)
entry=$(awk '/^HK/{key=$0} /DisplayName +REG_SZ +tren$/{print key}' <<<"$arp")
[[ $(wc -l <<<"$entry") == 1 && -n $entry ]] && [[ $(value "$entry" DisplayVersion) == "$VERSION" &&
    $(value "$entry" Publisher) == "The tren authors" ]] &&
    w reg query 'HKCU\Software\Microsoft\Installer\Products' /s | grep -q 'ProductIcon.*tren\.ico'
check "Add/Remove Programs lists tren with its version, publisher and icon" $? "$entry"

d=$ROOT/set && mkdir -p "$d/pieces" "$d/back" && head -c 2500000 /dev/urandom >"$d/data.bin"
w "$I\\tren-cli.exe" tren "$(win "$d/data.bin")" --size 1M --out "$(win "$d/pieces")" --quiet &&
    w "$I\\tren-cli.exe" build "$(win "$d/pieces/data.bin.tr0")" --out "$(win "$d/back")" --quiet &&
    cmp -s "$d/data.bin" "$d/back/data.bin"
check "the installed tren-cli.exe trens and builds a set" $?
[[ $(w "$Z/tren-cli.exe" unregister) == Nothing\ to\ remove* && $(default 'HKCU\Software\Classes\.tr0') == TR.File ]]
check "the zip's tren-cli.exe leaves the installed copy's registration alone" $?

# A newer version replaces this one: one entry, its version, the same files.
newer=${v[0]}.${v[1]}.$((${v[2]:-0} + 1))
cp "$ART/tren.ico" "$Z/" && (cd "$Z" && wixl -a x86 -D Version="$newer" -o "$ROOT/newer.msi" "$WXS" 2>/dev/null) &&
    wine msiexec /i "$(win "$ROOT/newer.msi")" /qn
arp=$(w reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s; w reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s)
entry=$(awk '/^HK/{key=$0} /DisplayName +REG_SZ +tren$/{print key}' <<<"$arp")
[[ $(wc -l <<<"$entry") == 1 && $(value "$entry" DisplayVersion) == "$newer" && -f $WINEPREFIX/$app/tren.exe ]]
check "a newer installer replaces the older version" $? "$entry"

wine msiexec /x "$(win "$ROOT/newer.msi")" /qn; check "msiexec /x uninstalls" $?
# Windows Installer's own empty folders and keys stay, as they do on Windows:
# anything in them would show as a line of its own.
diff <(echo "$before") <(state) | grep '^[<>]' |
    grep -vE '^> (drive_c/(windows|users/[^/]+/AppData/Roaming/Microsoft)/Installer|\[HKEY_CURRENT_USER\\Software\\Microsoft\\Installer(\\(Features|Products|UpgradeCodes))?\])$' >"$ROOT/left"
[[ ! -s $ROOT/left ]]
check "the uninstall leaves no file, key or value behind" $? "$(head -40 "$ROOT/left")"
finish
