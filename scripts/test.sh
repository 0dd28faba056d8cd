#!/usr/bin/env bash
# The whole test suite: set-up, both builds, then every test binary of the
# x86_64 build under wine64 through ctest, then fuzzing of the JSON, skin
# archive and window-description readers (30 s each), and the check that the
# C++ files follow .clang-format (scripts/format.sh). Exits non-zero on any
# failure.
#
# A quicker loop for developers:
#   scripts/test.sh -R <regex>   only the ctest entries matching <regex>
#                                (x86_64 build only, no fuzzing)
#   scripts/test.sh --dev [...]  the x86_64-dev build (no link-time
#                                optimisation) instead of the shipped flags
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

preset=x86_64
filter=()
while [ $# -gt 0 ]; do
  case $1 in
    --dev) preset=x86_64-dev; shift ;;
    -R) [ $# -ge 2 ] || { echo "test: -R needs a pattern" >&2; exit 2; }
        filter=(-R "$2"); shift 2 ;;
    *) echo "usage: scripts/test.sh [--dev] [-R <regex>]" >&2; exit 2 ;;
  esac
done
full=1
[ "$preset" = x86_64 ] && [ ${#filter[@]} -eq 0 ] || full=0

bash scripts/setup.sh
if [ $full = 1 ]; then
  bash scripts/build.sh
else
  bash scripts/build.sh "$preset"
fi

# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
trap wine_stop_all EXIT
wine_prepare_prefix "$root/build/$preset/wineprefix"
wine_start_display
wine_start_server

status=0
ctest --test-dir "build/$preset" --output-on-failure -j2 "${filter[@]}" </dev/null || status=$?
if [ $full = 1 ]; then
  for target in json zip window_description; do
    bash scripts/fuzz.sh "$target" 30 || status=1
  done
  bash scripts/format.sh --check || status=1
  ls -l build/i686/dist/setup.exe | awk '{print "i686 setup.exe: " $5 " bytes"}'
fi
exit $status
