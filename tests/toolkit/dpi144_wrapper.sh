#!/usr/bin/env bash
# Runs a test command in a second Wine prefix whose display reports 144 DPI
# (150 %), with a server of its own; the shared prefix stays at 96 DPI.
# Usage: dpi144_wrapper.sh <wine64> <test binary> [arguments…]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/wine_env.sh
source "$here/../../scripts/wine_env.sh"
prefix="${WINEPREFIX:?}-144dpi"
wine_prepare_prefix "$prefix" >/dev/null
if [ ! -f "$prefix/.dpi144" ]; then
  reg="$prefix/dpi144.reg"
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]\r\n"LogPixels"=dword:00000090\r\n\r\n' >"$reg"
  "$WINE64" regedit /S "$(winepath_of "$reg")" </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$prefix/.dpi144"
fi
# The server must not hold the caller's pipes open (ctest waits for them).
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
status=0
WEBINSTALLER_EXPECT_DPI=144 "$@" || status=$?
"$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
"$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
exit $status
