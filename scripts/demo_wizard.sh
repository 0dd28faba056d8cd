# The wizard part of scripts/demo.sh (sourced by it): a display for the
# wizard, then a whole install clicked through like a user would, with a PNG
# of every step and one contact sheet. Points are in the window's 96-DPI
# units, read off skin/install.xml (the demo display runs at 96 DPI).

# demo_display: the user's display when it answers, otherwise an Xvfb one.
demo_display() {
  if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    say "Display:         $DISPLAY (yours)"
  else
    wine_start_display
    say "Display:         $DISPLAY (Xvfb; no usable \$DISPLAY)"
  fi
}

# The log line the wizard writes at `pattern`, waited for at most `seconds`.
demo_wait_log() {
  local log=$1 pattern=$2 seconds=$3 i
  for i in $(seq $((seconds * 10))); do
    grep -aq -- "$pattern" "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "demo: the wizard did not log \"$pattern\" within $seconds s" >&2
  return 1
}

# demo_window <title regex>: the id of the visible top-level window so named.
demo_window() {
  timeout 30 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -1
}

# demo_click <window id> <x> <y>: a left click at a point of that window.
demo_click() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}

# demo_shot <window id> <name>: the screen over that window as
# <shots>/<nn>_<name>.png (dialogs it owns included).
demo_shot() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  demo_step=$((demo_step + 1))
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage \
    "$demo_shots/$(printf %02d "$demo_step")_$2.png"
}

# demo_wizard <work folder> <parameters> <output folder>: runs the install;
# the shots go to <output folder>/demo-screens/ and the contact sheet beside
# them, named by DEMO_SHOTS and DEMO_SHEET. Answers setup.exe's exit code.
demo_wizard() {
  local work=$1 parameters=$2 log="$1/run/Brimvale_Log.log" pid main dialog i status=0
  demo_shots="$3/demo-screens"
  demo_step=0
  rm -rf "$demo_shots"
  mkdir -p "$demo_shots"
  (cd "$work/run" && exec "$WINE64" setup.exe "$parameters" </dev/null >/dev/null 2>&1) &
  pid=$!
  main=$(demo_window '^BrimvalePhotoStudioSetup$')
  [ -n "$main" ] || { echo "demo: the wizard's window did not show" >&2; return 1; }
  # Home: once the release is known the Install button is live.
  demo_wait_log "$log" 'Release check done' 30
  sleep 0.5
  demo_shot "$main" home
  demo_click "$main" 700 468  # btn_ShowMore
  sleep 0.8
  demo_shot "$main" custom_install
  demo_click "$main" 700 468  # btn_HideMore, where btn_ShowMore was
  sleep 0.8
  demo_click "$main" 400 308  # btn_Install
  # Download and install: a shot every half second (eight at most) until
  # the pipeline ends.
  for i in $(seq 240); do
    sleep 0.5
    grep -aq 'Pipeline ended' "$log" && break
    [ "$i" -le 8 ] && demo_shot "$main" progress
  done
  demo_wait_log "$log" 'Pipeline ended: installed' 5 || status=1
  sleep 0.5
  demo_shot "$main" finish
  # Closing asks whether to start the product; "Later" ends the wizard.
  demo_click "$main" 780 20  # btn_CloseInstalls
  dialog=$(demo_window '^PhotoStudio$')
  sleep 0.5
  demo_shot "$main" start_question
  if [ -n "$dialog" ]; then
    demo_click "$dialog" 258 184  # btn_close ("Later")
  fi
  for i in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    echo "demo: the wizard did not end after \"Later\"" >&2
    status=1
  else
    wait "$pid" || status=$?
  fi
  DEMO_SHOTS="$demo_shots/"
  DEMO_SHEET="$3/demo-contact-sheet.png"
  montage -label '%t' -font DejaVu-Sans -pointsize 14 "$demo_shots"/*.png -tile 4x -geometry 400x+8+8 \
    -background '#F4F5F7' "$DEMO_SHEET" 2>/dev/null || DEMO_SHEET=""
  return $status
}
