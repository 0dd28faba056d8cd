#!/usr/bin/env bash
# The whole test suite: set-up, both builds, then every test binary of the
# x86_64 build under wine64 through ctest. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh
bash scripts/build.sh

# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
trap wine_stop_all EXIT
wine_prepare_prefix "$root/build/x86_64/wineprefix"
wine_start_display
wine_start_server

status=0
ctest --test-dir build/x86_64 --output-on-failure -j2 </dev/null || status=$?
bash scripts/fuzz_json.sh || status=1
ls -l build/i686/dist/setup.exe | awk '{print "i686 setup.exe: " $5 " bytes"}'
exit $status
