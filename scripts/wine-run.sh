#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly: ctest's emulator for the Windows
# build. WINEPREFIX comes from the caller (scripts/test-windows.sh makes one).
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
