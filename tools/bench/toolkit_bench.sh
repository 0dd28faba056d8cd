#!/usr/bin/env bash
# Runs the toolkit benchmark under wine64 on an Xvfb display of its own and
# prints the figures, then the size the toolkit adds to an i686 program
# (skinview minus a bare program built with the same settings).
# Usage: bash tools/bench/toolkit_bench.sh   (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
trap wine_stop_all EXIT
wine_prepare_prefix "$root/build/x86_64/wineprefix"
wine_start_display
wine_start_server
skin=$(winepath_of build/x86_64/tests/skins/bench.zip)
for run in 1 2 3; do
  echo "== run $run"
  "$WINE64" build/x86_64/tools/toolkit_bench.exe "$skin" main.xml </dev/null
done
skinview=$(stat -c %s build/i686/tools/skinview.exe)
baseline=$(stat -c %s build/i686/tools/size_baseline.exe)
setup=$(stat -c %s build/i686/dist/setup.exe)
with_toolkit=$(stat -c %s build/i686/tools/setup_with_toolkit.exe)
echo "i686 skinview.exe: $skinview bytes; bare program: $baseline bytes (difference $((skinview - baseline)))"
echo "i686 setup.exe: $setup bytes; with the toolkit linked in and used: $with_toolkit bytes; toolkit adds $((with_toolkit - setup)) bytes"
