# Shared by the test, demo and benchmark scripts (sourced): one Wine prefix per
# build tree, prepared once, a persistent server, and an X display.
# shellcheck shell=bash

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# wine_prepare_prefix <prefix>: create and prepare the prefix once.
wine_prepare_prefix() {
  local prefix=$1
  export WINEPREFIX=$prefix WINEDEBUG=-all
  # The marker names the settings' revision: a prefix prepared with older
  # settings is prepared again.
  local marker="$prefix/.prepared-2"
  [ -f "$marker" ] && return 0
  echo "wine: preparing prefix $prefix (once)"
  mkdir -p "$prefix"
  # No Mono or Gecko packages here: keep wineboot from asking for them.
  WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE64" wineboot -i </dev/null >/dev/null 2>&1 || true
  "$WINESERVER" -w
  # Wine does not load its own Tahoma and Marlett unless they are in the prefix.
  local fonts="$prefix/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  for f in tahoma.ttf tahomabd.ttf marlett.ttf; do
    [ -f "/usr/share/wine/fonts/$f" ] && cp -f "/usr/share/wine/fonts/$f" "$fonts/"
  done
  local reg="$prefix/prefix-settings.reg"
  python3 - "$reg" <<'PY'
import sys
def multi(*items):
    raw = ("\0".join(items) + "\0\0").encode("utf-16-le")
    return "hex(7):" + ",".join(f"{b:02x}" for b in raw)
link = "wqy-microhei.ttc,WenQuanYi Micro Hei"
text = "\r\n".join([
    "Windows Registry Editor Version 5.00", "",
    r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]",
    f'"Liberation Sans"={multi(link)}',
    f'"Tahoma"={multi(link)}', "",
    r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]",
    '"Microsoft YaHei"="WenQuanYi Micro Hei"', "",
    r"[HKEY_CURRENT_USER\Software\Wine\X11 Driver]",
    '"Managed"="N"', "",
    # A crashing program must end with an error, not wait on a dialog that
    # no one will close (a crashed test would hang until its time-out).
    r"[HKEY_CURRENT_USER\Software\Wine\WineDbg]",
    '"ShowCrashDialog"=dword:00000000', "", ""])
open(sys.argv[1], "w", encoding="utf-16").write(text)
PY
  "$WINE64" regedit /S "$(winepath_of "$reg")" </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$marker"
}

# Z: maps the host's root inside every prefix.
winepath_of() {
  local path
  path=$(readlink -f "$1")
  echo "Z:${path//\//\\}"
}

# wine_start_display: an Xvfb display of our own for tests that draw.
wine_start_display() {
  local n
  for n in $(seq 91 120); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    # Another run may have taken the same number a moment earlier: then our
    # Xvfb exits and the next number is tried.
    for _ in $(seq 50); do
      kill -0 "$XVFB_PID" 2>/dev/null || break
      [ -e "/tmp/.X11-unix/X$n" ] && return 0
      sleep 0.1
    done
  done
  echo "wine: no free X display" >&2
  return 1
}

# wine_start_server: a persistent server, primed with all stdio on /dev/null so
# Wine's background services never hold a caller's pipe open.
wine_start_server() {
  "$WINESERVER" -p 2>/dev/null || true  # already running for this prefix: reuse it
  "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_stop_all() {
  [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -k 2>/dev/null || true
  [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -w 2>/dev/null || true
  if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
}
