#!/usr/bin/env bash
# Captures the backup product's and the second product's windows and the
# edition comparison as a user sees them, at 96 and 144 DPI: each first page
# closed, opened to its taller size, with its combo box open, and tab 5 in
# every product window. The PNGs land in build/<preset>/screens/variants/<dpi>/
# with one contact sheet per scale beside them.
# Usage: tools/skin/variant_screenshots.sh [preset]   (default x86_64-dev; build it first)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
preset=${1:-x86_64-dev}
build="$root/build/$preset"
skinview="$build/tools/skinview.exe"
skin="$build/dist/skin.zip"
out="$build/screens/variants"
for f in "$skinview" "$skin"; do
  [ -f "$f" ] || { echo "variant_screenshots: $f is missing; build $preset first" >&2; exit 1; }
done

# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
trap 'wine_stop_all' EXIT
# A screen tall enough for the 900-high window at 150 %.
for n in $(seq 121 150); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1600x1500x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  kill -0 "$XVFB_PID" 2>/dev/null && break
done

open_kdv=(--set moreconfiginfo.visible=true --set btn_HideMore.visible=true --set btn_ShowMore.visible=false)
all_states() {
  shot kdv installKDV.xml
  shot kdv_hover installKDV.xml --hot btn_Install --hot btn_ShowMore
  shot kdv_expanded installKDV.xml "${open_kdv[@]}" --size 800,750
  shot kdv_expanded_server_only installKDV.xml "${open_kdv[@]}" --size 800,750 --select KDVInstallation_Combo=1 \
    --set chk_KDVConsole.enabled=true --set chk_KDVConsole.selected=false
  click=280,637 shot kdv_combo_open installKDV.xml "${open_kdv[@]}" --size 800,750
  shot kdv_expanded_zh installKDV.xml "${open_kdv[@]}" --size 800,750 --set "lb_KDVInstallation.text=安装类型：" \
    --set "lb_KDVComponents.text=组件：" --set "chk_KDVServer.text=备份服务器" --set "chk_KDVConsole.text=管理控制台" \
    --set "intallPath.text=安装位置：" --set "language_Label.text=语言：" --select language_Combo=1 \
    --set "btn_HideMore.text=自定义安装" --set "homePage_Title.text=PhotoStudio 安装程序" --set "btn_Install.text=立即安装"
  shot qs installQS.xml
  shot qs_expanded installQS.xml "${open_kdv[@]}" --size 800,900
  shot qs_expanded_account installQS.xml "${open_kdv[@]}" --size 800,900 --set chk_createAccount.selected=true \
    --set "ed_userName.text=backup admin" --set "ed_Password.text=secret" --set "ed_confirmPassword.text=secret" \
    --set "backUpeditDir.text=D:\\My Backups" --hot Btn_backup_file
  click=280,585 shot qs_combo_open installQS.xml "${open_kdv[@]}" --size 800,900
  shot qs_expanded_zh installQS.xml "${open_kdv[@]}" --size 800,900 --set "backupPath.text=备份位置：" \
    --set "chk_managementComponent.text=安装管理组件" --set "chk_createAccount.text=安装时创建帐户" \
    --set "lb_userName.text=用户名：" --set "lb_password.text=密码：" --set "lb_confirmPassword.text=确认密码：" \
    --set "intallPath.text=安装位置：" --set "language_Label.text=语言：" --select language_Combo=1
  shot contrast install.xml --select wizardTab=5
  shot contrast_hover installKDV.xml --select wizardTab=5 --hot btn_tryPro
  shot contrast_qs installQS.xml --select wizardTab=5 --hot btn_contrastiveNext
  shot contrast_zh install.xml --select wizardTab=5 --set "lb_contrastiveTitle.text=选择版本" \
    --set "contrastiveTips.text=比较 PhotoStudio 的各个版本" --set "lb_contrastiveFeature.text=功能" \
    --set "lb_contrastiveFree.text=免费版" --set "lb_contrastivePro.text=专业版" --set "btn_buy.text=立即购买" \
    --set "btn_tryPro.text=试用专业版" --set "btn_contrastiveNext.text=继续使用免费版" --set "btn_contrastiveCancel.text=取消" \
    --set "lb_contrastiveOne.text=编辑 RAW 照片" --set "lb_contrastiveTwo.text=批量处理"
}

# [click=x,y] shot <name> <description> [options...]: one capture into $out/$dpi;
# with click, the point (96-DPI window units) is clicked first, as a user opens a combo box.
# Not to be run beside tests of the same build: it ends that prefix's Wine server.
shot() {
  local name=$1 description=$2
  shift 2
  LC_ALL=C.UTF-8 "$WINE64" "$skinview" "$(winepath_of "$skin")" "$description" --frameless "$@" </dev/null >/dev/null 2>&1 &
  local pid=$!
  local id
  id=$(timeout 60 xdotool search --sync --onlyvisible --name "skinview - $description" | head -1)
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + 1)) $((Y + 1))
  sleep 1  # the first paint after mapping
  if [ -n "${click:-}" ]; then
    local cx=${click%,*} cy=${click#*,}
    xdotool mousemove $((X + cx * dpi / 96)) $((Y + cy * dpi / 96)) click 1
    sleep 1  # the list is a window of its own, inside the page's area
  fi
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$dpi/$name.png"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  shots+=("$out/$dpi/$name.png")
}

capture() {
  local prefix=$1
  dpi=$2
  export WINEPREFIX=$prefix
  wine_start_server
  mkdir -p "$out/$dpi"
  shots=()
  all_states
  montage -background '#D9DDE3' -font DejaVu-Sans -pointsize 14 -geometry +12+12 -tile 3x -label '%t' "${shots[@]}" "$out/contact-$dpi.png"
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
}

wine_prepare_prefix "$build/wineprefix" >/dev/null
capture "$build/wineprefix" 96

prefix144="$build/wineprefix-144dpi"
wine_prepare_prefix "$prefix144" >/dev/null
if [ ! -f "$prefix144/.dpi144" ]; then
  reg="$prefix144/dpi144.reg"
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]\r\n"LogPixels"=dword:00000090\r\n\r\n' >"$reg"
  "$WINE64" regedit /S "$(winepath_of "$reg")" </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$prefix144/.dpi144"
fi
capture "$prefix144" 144
echo "variant screenshots: $out/96, $out/144 (contact sheets $out/contact-96.png, $out/contact-144.png)"
