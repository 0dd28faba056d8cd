#!/usr/bin/env bash
# The product's main job, end to end on this machine: sets up and builds,
# serves a demo product (a generated installer and its release answer) from
# the local fixture release server on 127.0.0.1, runs setup.exe unattended
# under wine64 and shows what it downloaded, how fast, what it installed and
# where the logs are. Leaves no server running.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh
bash scripts/build.sh

# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
work=$(mktemp -d /tmp/webinstaller-demo.XXXXXX)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  wine_stop_all
}
trap cleanup EXIT
wine_prepare_prefix "$root/build/x86_64/wineprefix"
wine_start_server

say() { printf '%s\n' "$*"; }
win() { winepath_of "$1"; }
# C:\... inside the prefix as a host path.
host_of() { python3 -c 'import os, sys; p = sys.argv[1]; print(os.path.join(sys.argv[2], "drive_" + p[0].lower(), *p[3:].split("\\")) if len(p) > 2 and p[1] == ":" else "")' "$1" "$WINEPREFIX"; }

# The demo product: the fixture installer with 8 MiB of generated payload
# behind it (it still runs), so the download has something to show.
mkdir -p "$work/data" "$work/run"
installer="$work/data/PhotoStudio_3.1.0_setup.exe"
cp build/x86_64/tests/fake_installer.exe "$installer"
head -c $((8 * 1024 * 1024)) /dev/urandom >>"$installer"
md5=$(md5sum "$installer" | cut -d' ' -f1)
size=$(stat -c %s "$installer")
printf 'ProductVersion = 3.1.0\n' >"$work/data/version.ini"

python3 tests/fixtures/net_server.py --data "$work/data" --ports "$work/ports" &
server_pid=$!
for _ in $(seq 100); do [ -f "$work/ports" ] && break; sleep 0.1; done
[ -f "$work/ports" ] || { echo "demo: the release server did not start" >&2; exit 1; }
base="http://127.0.0.1:$(sed -n 's/^http=//p' "$work/ports")"
file_url="$base/files/$(basename "$installer")"

# The release answer; the configuration names the first download and its MD5.
python3 - "$base" <<'PY'
import sys, urllib.request
body = (b'{"data":{"md5":"","killSwitch":"true","WriteLogSwitch":"true","curNum":"3.1.0",'
        b'"download":"","download2":"","download3":"","url":"","tuijian":"","referNumber":""}}')
urllib.request.urlopen(urllib.request.Request(sys.argv[1] + "/script?key=demo", data=body)).read()
PY

cp build/x86_64/dist/* "$work/run/"
python3 - "$work/run/InitConfigure.ini" "$base" "$file_url" "$md5" <<'PY'
import sys
path, base, url, md5 = sys.argv[1:]
values = {
    "DownloadInfoUrl": base + "/release?key=demo", "DownloadInfoUrlVexa": base + "/release?key=demo",
    "DownloadInfoUrlLumaPlayer": base + "/release?key=player", "UpdateIni": base + "/files/version.ini",
    "DownloadUrl": url, "URLMD5": md5, "fileRealName": url.rsplit("/", 1)[1],
    "UpdateEventUrl": base + "/report?key=demo-report",
}
lines = open(path, encoding="utf-8").read().splitlines()
out = [l.split("=", 1)[0] + "=" + values[l.split("=", 1)[0]] if l.split("=", 1)[0] in values else l
       for l in lines]
open(path, "w", encoding="utf-8").write("\n".join(out) + "\n")
PY

# The fixture installer's own settings: register the product like the real one.
uninstall='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
cat >"$work/installer.cfg" <<CFG
record=$(win "$work")\\installer-runs.txt
registry_address=$uninstall
registry_key=BrimvalePhotoStudio3.0_is1
display_name=BrimvalePhotoStudio 3.1.0
display_version=3.1.0
duration_ms=1500
CFG
export FAKE_INSTALLER_CONFIG
FAKE_INSTALLER_CONFIG=$(win "$work/installer.cfg")

# A machine without the product: an earlier demo's entry goes.
"$WINE64" reg delete "HKLM\\$uninstall\\BrimvalePhotoStudio3.0_is1" /f </dev/null >/dev/null 2>&1 || true

parameters="INSTALL_TYPE=1 ||| EXENAME=PhotoStudioSetup.1042.exe ||| PRODUCT_VERSION=3.1.0"
say ""
say "== Demo: unattended install of PhotoStudio 3.1.0 =="
say "Release server:  $base (fixture server on loopback)"
say "Installer:       $(basename "$installer"), $size bytes, MD5 $md5"
say "Running:         setup.exe \"$parameters\" (no window)"
started=$(date +%s.%N)
status=0
(cd "$work/run" && "$WINE64" setup.exe "$parameters" </dev/null >/dev/null 2>&1) || status=$?
elapsed=$(python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.1f}')" "$started" "$(date +%s.%N)")
say "Exit code:       $status (1 = unattended mode), $elapsed s in all"
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
exit $result
