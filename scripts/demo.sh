#!/usr/bin/env bash
# The product's main job, end to end on this machine: sets up and builds,
# serves a demo product (a generated installer and its release answer) from
# the local fixture release server on 127.0.0.1 and runs setup.exe under
# wine64 against it. By default the wizard shows (on $DISPLAY when it works,
# otherwise on an Xvfb display of its own) and is driven through a whole
# install like a user would: a PNG of every step and one contact sheet,
# whose path is printed last. With --unattended setup.exe runs without a
# window instead. Either way it shows what was downloaded, how fast, what was
# installed and where the logs are. Leaves no server running.
# Usage: scripts/demo.sh [--unattended]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
mode=wizard
case "${1:-}" in
  "") ;;
  --unattended) mode=unattended ;;
  *) echo "usage: scripts/demo.sh [--unattended]" >&2; exit 2 ;;
esac

bash scripts/setup.sh
bash scripts/build.sh

# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
say() { printf '%s\n' "$*"; }
work=$(mktemp -d /tmp/webinstaller-demo.XXXXXX)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  [ "$(type -t demo_product_forget)" = function ] && demo_product_forget
  wine_stop_all
}
trap cleanup EXIT
wine_prepare_prefix "$root/build/x86_64/wineprefix"
# shellcheck source=scripts/demo_wizard.sh
source scripts/demo_wizard.sh
# The display first: Wine's own background processes start with the server.
[ $mode = wizard ] && demo_display
wine_start_server

# shellcheck source=scripts/demo_product.sh
source scripts/demo_product.sh
# C:\... inside the prefix as a host path.
host_of() { python3 -c 'import os, sys; p = sys.argv[1]; print(os.path.join(sys.argv[2], "drive_" + p[0].lower(), *p[3:].split("\\")) if len(p) > 2 and p[1] == ":" else "")' "$1" "$WINEPREFIX"; }

demo_product "$work" x86_64 "$([ $mode = wizard ] && echo 400000 || echo 0)"

parameters="EXENAME=PhotoStudioSetup.1042.exe ||| PRODUCT_VERSION=3.1.0"
[ $mode = unattended ] && parameters="INSTALL_TYPE=1 ||| $parameters"
say ""
say "== Demo: $([ $mode = unattended ] && echo "unattended install" || echo "the install wizard"), PhotoStudio 3.1.0 =="
say "Release server:  $base (fixture server on loopback)"
say "Installer:       $(basename "$installer"), $size bytes, MD5 $md5"
say "Running:         setup.exe \"$parameters\" $([ $mode = unattended ] && echo "(no window)")"
started=$(date +%s.%N)
status=0
if [ $mode = unattended ]; then
  (cd "$work/run" && "$WINE64" setup.exe "$parameters" </dev/null >/dev/null 2>&1) || status=$?
else
  demo_wizard "$work" "$parameters" "$root/build/x86_64" || status=$?
fi
elapsed=$(python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.1f}')" "$started" "$(date +%s.%N)")
say "Exit code:       $status ($([ $mode = unattended ] && echo "1 = unattended mode" || echo "0 = the wizard")), $elapsed s in all"
say ""

log="$work/run/Brimvale_Log.log"
download=$(grep -a '^Downloaded ' "$log" | tail -1 || true)
if [ -n "$download" ]; then
  connections=$(sed -n 's/^DownloadThreadCount=//p' "$work/run/InitConfigure.ini" | tr -d '\r')
  python3 - "$download" "${connections:-1}" <<'PY'
import re, sys
m = re.match(r"Downloaded (\d+) bytes from (\S+) in (\d+) ms to (.*)", sys.argv[1])
size, url, ms, path = int(m[1]), m[2], max(int(m[3]), 1), m[4]
print(f"Downloaded:      {size / 1048576:.2f} MiB ({size} bytes) from {url}")
print(f"                 in {ms / 1000:.2f} s = {size / 1048576 / (ms / 1000):.1f} MiB/s over {sys.argv[2]} parallel ranged connections")
print(f"                 into {path} (this run's own folder; removed after the install)")
PY
else
  say "Downloaded:      nothing (see the log below)"
fi
grep -aq '^Digest of .*, expected' "$log" && say "Verified:        MD5 matches ($md5)"

query() {
  "$WINE64" reg query "HKLM\\$uninstall\\BrimvalePhotoStudio3.0_is1" /v "$1" </dev/null 2>/dev/null |
    tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"
}
name=$(query DisplayName)
if [ -n "$name" ]; then
  folder=$(query InstallLocation)
  say "Installed:       $name, version $(query DisplayVersion) (registry HKLM\\$uninstall\\BrimvalePhotoStudio3.0_is1)"
  say "                 into $folder ($(host_of "$folder"))"
  result=0
else
  say "Installed:       nothing: the product is not registered"
  result=1
fi
if [ -f "$work/installer-runs.txt" ]; then
  say "Installer ran:   $(head -1 "$work/installer-runs.txt" | tr -d '\r')"
fi
report=$(python3 -c "import sys, urllib.request; print(urllib.request.urlopen(urllib.request.Request(sys.argv[1] + '/recorded?key=demo-report', data=b'')).read().decode().strip())" "$base" | cut -f2)
say "Run report:      ${report:-none posted}"
say ""
say "Logs:"
say "  setup.exe log  $log"
[ -f "$work/run/log.txt" ] && say "  debug log      $work/run/log.txt"
setup_log=$(grep -a '^Setup log of the installer: ' "$log" | tail -1 | sed 's/^Setup log of the installer: //' | tr -d '\r' || true)
[ -n "$setup_log" ] && [ -f "$(host_of "$setup_log")" ] && say "  installer log  $(host_of "$setup_log")"
say ""
say "Last lines of the setup.exe log:"
grep -av '^	\[' "$log" | tail -8 | sed 's/^/  /'
say ""
say "Shipped i686 build: $(stat -c %s build/i686/dist/setup.exe) bytes in build/i686/dist/"
if [ $mode = wizard ]; then
  say ""
  say "Screens of every step: ${DEMO_SHOTS:-none}"
  say "Contact sheet:         ${DEMO_SHEET:-none}"
  [ -n "${DEMO_SHEET:-}" ] || result=1
fi
exit $result
