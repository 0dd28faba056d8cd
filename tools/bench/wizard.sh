#!/usr/bin/env bash
# The wizard's figures under wine64 with the x86_64 build, on an Xvfb display
# of its own: start of setup.exe to its first painted frame (against a bare
# window program as the reference) and the longest the UI thread leaves a
# message unanswered during a whole download and install from the local
# release server (throttled so it lasts a few seconds); then the shipped
# i686 setup.exe and skin.zip sizes. Prints figures; asserts nothing.
# Usage: bash tools/bench/wizard.sh [--dev] [runs]   (after scripts/build.sh)
#   --dev   measures build/x86_64-dev (no link-time optimisation) instead
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
preset=x86_64
if [ "${1:-}" = --dev ]; then preset=x86_64-dev; shift; fi
runs=${1:-7}
for f in "build/$preset/dist/setup.exe" "build/$preset/tools/wizard_bench.exe" build/i686/dist/setup.exe; do
  [ -f "$f" ] || { echo "wizard bench: $f is missing; run scripts/build.sh first" >&2; exit 1; }
done
# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
work=$(mktemp -d /tmp/wizard-bench.XXXXXX)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  [ "$(type -t demo_product_forget)" = function ] && demo_product_forget
  wine_stop_all
  rm -rf "$work"
}
trap cleanup EXIT
wine_prepare_prefix "$root/build/$preset/wineprefix"
wine_start_display
wine_start_server
# shellcheck source=scripts/demo_product.sh
source scripts/demo_product.sh
demo_product "$work" "$preset" 1500000 >/dev/null
caption=$(sed -n 's/^InstallerName=//p' "$work/run/InitConfigure.ini" | tr -d '\r')
echo "== wizard_bench.exe ($preset) under wine64, $runs starts each, display $DISPLAY"
"$WINE64" "build/$preset/tools/wizard_bench.exe" "$(winepath_of "$work/run")" "$caption" \
  "EXENAME=PhotoStudioSetup.1042.exe ||| PRODUCT_VERSION=3.1.0" "$runs" </dev/null
echo "== shipped i686 files"
for f in build/i686/dist/setup.exe build/i686/dist/skin.zip; do
  bytes=$(stat -c %s "$f")
  printf '%-28s %9d bytes  %7.1f KiB  %5.1f%% of 1 MiB\n' "$f" "$bytes" "$(echo "$bytes / 1024" | bc -l)" \
    "$(echo "100 * $bytes / 1048576" | bc -l)"
done
