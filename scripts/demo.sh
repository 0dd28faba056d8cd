#!/usr/bin/env bash
# The product's main job, as far as this build goes: builds setup.exe, runs it
# unattended under wine64 from a copy of the shippable folder and shows what
# it did (exit code and its diagnostic log).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh
bash scripts/build.sh

# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
trap wine_stop_all EXIT
wine_prepare_prefix "$root/build/x86_64/wineprefix"
wine_start_server

run_dir=$(mktemp -d /tmp/webinstaller-demo.XXXXXX)
cp build/x86_64/dist/* "$run_dir/"
echo "demo: running setup.exe \"INSTALL_TYPE=1 ||| EXENAME=PhotoStudioSetup.1042[demo].exe\" in $run_dir"
status=0
(cd "$run_dir" && "$WINE64" setup.exe "INSTALL_TYPE=1 ||| EXENAME=PhotoStudioSetup.1042[demo].exe" </dev/null) || status=$?
echo "demo: setup.exe exited with $status (1 = unattended mode)"
echo "demo: its log, $run_dir/Brimvale_Log.log:"
sed 's/^/  /' "$run_dir/Brimvale_Log.log"
echo "demo: shipped i686 build: $(stat -c %s build/i686/dist/setup.exe) bytes in build/i686/dist/"
