#!/usr/bin/env bash
# Digest benchmark alone (the same figures as part 3 of download.sh, without
# nginx or the shipped build): our MD5 and SHA-256 of a 256 MiB file under
# wine64 vs md5sum and sha256sum, each the best of three runs. Prints figures
# and ratios; asserts nothing but equal digests.
# Usage: bash tools/bench/digest.sh [preset]   (default x86_64-dev)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
preset=${1:-x86_64-dev}
size_mib=${BENCH_SIZE_MIB:-256}

cmake --preset "$preset" -Wno-dev >/dev/null
cmake --build --preset "$preset" --target download_bench >/dev/null
# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
wine_prepare_prefix "$root/build/$preset/wineprefix"
wine_start_server || true  # one may already run for this prefix

work=$(mktemp -d /tmp/webinstaller-digest.XXXXXX)
cleanup() {
  rm -rf "$work"
  wine_stop_all
}
trap cleanup EXIT
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/file.bin"
bench_exe="$root/build/$preset/tests/download_bench.exe"
file_win=$(winepath_of "$work/file.bin")

field() { tr -d '\r' | sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }
best_of_3() { python3 -c "import sys; print(min(map(float, sys.argv[1:])))" "$("$@")" "$("$@")" "$("$@")"; }
ours() {  # <md5|sha256> -> seconds, after checking the digest against the native tool
  local line
  line=$(cd "$work" && "$WINE64" "$bench_exe" "$1" "$file_win" </dev/null 2>/dev/null)
  [ "$(echo "$line" | field "$1")" = "$(cut -d' ' -f1 "$work/$1.native")" ] ||
    { echo "bench: $1 digests differ: $line" >&2; exit 1; }
  echo "$line" | field seconds
}
native() {  # <md5|sha256> -> seconds
  local start
  start=$(date +%s.%N)
  "${1}sum" "$work/file.bin" >"$work/$1.native"
  python3 -c "import time; print(time.time() - $start)"
}

echo "digest benchmark: ${size_mib} MiB ($(nproc) cores, best of three)"
for kind in md5 sha256; do
  t_native=$(best_of_3 native "$kind")
  t_ours=$(best_of_3 ours "$kind")
  python3 -c "
b = $size_mib
print(f'   {\"$kind\":6}  ours {b / $t_ours:7.1f} MiB/s   ${kind}sum {b / $t_native:7.1f} MiB/s   ours / ${kind}sum = {$t_native / $t_ours:.3f}   (target >= 0.8)')"
done
