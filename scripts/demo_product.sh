# The demo product, for scripts/demo.sh and tools/bench/wizard.sh (sourced):
# a generated installer and its release answer served by the fixture release
# server on 127.0.0.1, and a run folder with setup.exe configured to fetch it.
# demo_product <work folder> <preset> <rate> sets installer, md5, size, base,
# file_url, uninstall and server_pid (the caller stops the server), and
# exports FAKE_INSTALLER_CONFIG. Needs wine_env.sh's prefix set up.

win() { winepath_of "$1"; }

demo_product() {
  local work=$1 preset=$2 rate=$3
  # The demo product: the fixture installer with 8 MiB of generated payload
  # behind it (it still runs), so the download has something to show.
  mkdir -p "$work/data" "$work/run"
  installer="$work/data/PhotoStudio_3.1.0_setup.exe"
  cp "build/$preset/tests/fake_installer.exe" "$installer"
  head -c $((8 * 1024 * 1024)) /dev/urandom >>"$installer"
  md5=$(md5sum "$installer" | cut -d' ' -f1)
  size=$(stat -c %s "$installer")
  printf 'ProductVersion = 3.1.0\n' >"$work/data/version.ini"

  python3 tests/fixtures/net_server.py --data "$work/data" --ports "$work/ports" &
  server_pid=$!
  for _ in $(seq 100); do [ -f "$work/ports" ] && break; sleep 0.1; done
  [ -f "$work/ports" ] || { echo "demo: the release server did not start" >&2; return 1; }
  base="http://127.0.0.1:$(sed -n 's/^http=//p' "$work/ports")"
  file_url="$base/files/$(basename "$installer")"
  # A throttled download (bytes per second and connection) shows its progress.
  [ "$rate" = 0 ] || file_url="$file_url?rate=$rate"

  # The release answer; the configuration names the first download and its MD5.
  python3 - "$base" <<'PY'
import sys, urllib.request
body = (b'{"data":{"md5":"","killSwitch":"true","WriteLogSwitch":"true","curNum":"3.1.0",'
        b'"download":"","download2":"","download3":"","url":"","tuijian":"","referNumber":""}}')
urllib.request.urlopen(urllib.request.Request(sys.argv[1] + "/script?key=demo", data=body)).read()
PY

  cp "build/$preset/dist/"* "$work/run/"
  python3 - "$work/run/InitConfigure.ini" "$base" "$file_url" "$md5" <<'PY'
import sys
path, base, url, md5 = sys.argv[1:]
values = {
    "DownloadInfoUrl": base + "/release?key=demo", "DownloadInfoUrlVexa": base + "/release?key=demo",
    "DownloadInfoUrlLumaPlayer": base + "/release?key=player", "UpdateIni": base + "/files/version.ini",
    "DownloadUrl": url, "URLMD5": md5, "fileRealName": url.split("?")[0].rsplit("/", 1)[1],
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
  demo_product_forget
}

# The product's uninstall entry goes again: the test binaries share this
# prefix and expect a machine without the product.
demo_product_forget() {
  "$WINE64" reg delete "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\BrimvalePhotoStudio3.0_is1" /f \
    </dev/null >/dev/null 2>&1 || true
}
