#!/usr/bin/env bash
# Captures the product skin as a user sees it: every page of the main window
# (the home page closed and open, with the Install button hovered) and every
# dialog, at 96 and at 144 DPI, through skinview under an X display of its
# own. For skin authors judging a change; the PNGs land in
# build/<preset>/skin-preview/<dpi>/ and one contact sheet per scale beside them.
# Usage: tools/skin/screenshots.sh [preset]   (default x86_64-dev; build it first)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
preset=${1:-x86_64-dev}
build="$root/build/$preset"
skinview="$build/tools/skinview.exe"
skin="$build/dist/skin.zip"
out="$build/skin-preview"
for f in "$skinview" "$skin"; do
  [ -f "$f" ] || { echo "screenshots: $f is missing; build $preset first" >&2; exit 1; }
done

# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
trap 'wine_stop_all' EXIT
wine_start_display

# Every state worth a look: shot <name> <description> [skinview options...].
# The Chinese ones carry the texts of config/Chinese.ini, to see them fit.
all_states() {
  shot home install.xml
  shot home_hover install.xml --hot btn_Install --hot btn_Close --hot btn_ShowMore
  shot home_update install.xml --set linker_Latest.visible=true --set recommend_ChkAgree.selected=true
  shot home_loading install.xml --set btn_Install.text=Loading... --set btn_ShowMore.enabled=false \
    --set btn_Agreement.enabled=false --set recommend_ChkAgree.enabled=false --set text_recommend_ChkAgree.enabled=false
  shot home_expanded install.xml --set moreconfiginfo.visible=true --set btn_HideMore.visible=true \
    --set btn_ShowMore.visible=false --size 800,608
  shot home_zh install.xml --set "homePage_Title.text=PhotoStudio 安装程序" --set "btn_Install.text=立即安装" \
    --set "btn_Agreement.text=安装即表示您同意{a 许可协议}{c #0x3196f7}许可协议{/c}{/a}和{a 隐私政策}{c #0x3196f7}隐私政策{/c}{/a}。" \
    --set "text_recommend_ChkAgree.text=同时安装免费看图软件 Lumaviewer" --set "btn_ShowMore.visible=false" \
    --set "btn_HideMore.visible=true" --set "btn_HideMore.text=自定义安装" --set moreconfiginfo.visible=true \
    --set "intallPath.text=安装位置：" --set "language_Label.text=语言：" --select language_Combo=1 --size 800,608
  shot progress install.xml --select wizardTab=1 --set progressSpeed.visible=true --set progressTimeLeft.visible=true
  shot progress_sliding install.xml --select wizardTab=1 --set progressSpeed.visible=true --set progressTimeLeft.visible=true \
    --set loadingLayout.pos=376,0,1128,342 --set loadingLayout2.pos=-376,0,376,342 --set slrProgress.value=63 \
    --set progressValue.text=63% --set progressTip.text=Installing...
  shot download_failed install.xml --select wizardTab=2
  shot install_failed install.xml --select wizardTab=3
  shot install_failed_zh install.xml --select wizardTab=3 --set "installFailedTitle.text=安装失败" \
    --set "installFailedMsg.text=PhotoStudio 安装失败。" --set "installErrorMsg.text=请尝试以下步骤：" \
    --set "installErrorFirst.text=•  重新启动电脑后再次运行安装程序。" --set "installErrorFouth.text=•  或者下载离线安装包后运行。" \
    --set "installRetry.text=重新启动" --set "installOffline.text=下载离线安装包"
  shot finish install.xml --select wizardTab=4
  shot finish_zh install.xml --select wizardTab=4 --set "complete_title.text=安装完成" \
    --set "complete_tips.text=管理您的图片" --set "manager_title.text=一站式管理" \
    --set "manager_tips.text=在一个窗口中整理、编辑和分享。" --set "transfer_title.text=一键传输" \
    --set "transfer_tips.text=一步将手机中的图片导入电脑。" --set "downloader_title.text=视频下载器" \
    --set "downloader_tips.text=保存网页中的视频。" --set "btn_Run.text=立即启动"
  shot quit QuitInstallDialog.xml
  shot start_run StartRunDialog.xml
  shot product_running ProductRunningDialog.xml
  shot cover_install CoverInstallDialog.xml
  shot cover_install_zh CoverInstallDialog.xml --set "lb_TipsText.text=PhotoStudio 已安装，是否重新安装？" \
    --set "lb_TipsDetailText.text=此电脑上已安装 PhotoStudio 5.2。" --set "btn_ok.text=重新安装" \
    --set "btn_close.text=获取最新版本"
}

# shot <name> <description> [options...]: one capture into $out/$dpi.
shot() {
  local name=$1 description=$2
  shift 2
  # UTF-8 arguments reach the program as the texts they are.
  LC_ALL=C.UTF-8 "$WINE64" "$skinview" "$(winepath_of "$skin")" "$description" --frameless "$@" </dev/null >/dev/null 2>&1 &
  local pid=$!
  local id
  id=$(timeout 60 xdotool search --sync --onlyvisible --name "skinview - $description" | head -1)
  eval "$(xdotool getwindowgeometry --shell "$id")"
  # Wine places the cursor where its last event left it; rest it on the
  # window's corner so no control looks hovered unless --hot says so.
  xdotool mousemove $((X + 1)) $((Y + 1))
  sleep 1  # the first paint after mapping
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$dpi/$name.png"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  shots+=("$out/$dpi/$name.png")
}

# capture <prefix> <dpi>
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

# 150 %: a prefix of its own reporting 144 DPI, as the 144-DPI tests use.
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
echo "screenshots: $out/96, $out/144 (contact sheets $out/contact-96.png, $out/contact-144.png)"
