#!/usr/bin/env bash
# Download benchmark on loopback nginx with a 256 MiB file, in one run:
#  1. capped (limit_rate 4m per connection), 8 connections: ours vs aria2c -x8 -s8
#  2. uncapped, 1 and 8 connections: ours vs the socket baseline (the same
#     ranges through plain blocking WinSock and WriteFile, same Wine): the
#     throughput and the CPU seconds per GiB of each; then curl.exe (same
#     libcurl source, same Wine) and native curl to /dev/null (the machine's
#     ceiling)
#  3. digest: our MD5 vs md5sum, our SHA-256 vs sha256sum
#  4. peak working set of our download process, 2, 8 and 16 connections
#  5. 32 connections asked for (the downloader opens at most 16 per server),
#     capped: ours vs aria2c -x16 -s16, and the peak working set
# Prints figures and ratios; asserts nothing. BENCH_ROUNDS (default 8) sets
# the rounds of step 2. Ours, the baseline and curl.exe
# are timed in-process (curl's time_total), aria2c, native curl, md5sum and
# sha256sum natively. CPU is the downloading process's own user + kernel time.
# BENCH_PRESET=x86_64-dev measures the build without link-time optimisation.
# aria2c (scripts/setup.sh installs it) is only a reference: without it its
# figures are left out.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
size_mib=${BENCH_SIZE_MIB:-256}

preset=${BENCH_PRESET:-x86_64}
bash scripts/build.sh "$preset" >/dev/null
# shellcheck source=scripts/wine_env.sh
source scripts/wine_env.sh
# shellcheck source=tests/fixtures/nginx_conf.sh
source tests/fixtures/nginx_conf.sh
wine_prepare_prefix "$root/build/$preset/wineprefix"
wine_start_server || true  # one may already run for this prefix

work=$(mktemp -d /tmp/webinstaller-bench.XXXXXX)
chmod 755 "$work"
nginx_pid=""
cleanup() {
  set +e
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
  wine_stop_all
}
trap cleanup EXIT

mkdir -p "$work/data" "$work/out" "$work/nginx"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/data/file.bin"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
write_nginx_conf "$work" "$port" 2 "location /capped/ { alias $work/data/; limit_rate 4m; }"
nginx -c "$work/nginx.conf" -e "$work/nginx/error.log" &
nginx_pid=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.1; done

base="http://127.0.0.1:$port"
bench_exe="$root/build/$preset/tests/download_bench.exe"
baseline_exe="$root/build/$preset/tools/socket_baseline.exe"
curl_exe="$HOME/.cache/webinstaller/curl-x86_64/bin/curl.exe"
target_win=$(winepath_of "$work/out")\\setup.exe
bytes=$((size_mib * 1024 * 1024))

mib_per_s() { python3 -c "print(f'{$bytes / 1048576 / $1:.1f}')"; }
ratio() { python3 -c "print(f'{$1 / $2:.3f}')"; }
field() { tr -d '\r' | sed -n "s/^\(.* \)\{0,1\}$1=\([^ ]*\).*/\2/p"; }  # "seconds" is not "cpu_seconds"
now() { date +%s.%N; }
# The fastest of three runs of a command that prints seconds: single loopback
# runs vary with the page cache and write-back.
best_of_3() {
  local a b c
  a=$("$@"); b=$("$@"); c=$("$@")
  python3 -c "print(min($a, $b, $c))"
}
curl_exe_seconds() {
  rm -f "$work/out/"*
  "$WINE64" "$curl_exe" -s -o "$(winepath_of "$work/out")\\curl.bin" -w '%{time_total}' "$1" </dev/null 2>/dev/null
  cmp -s "$work/out/curl.bin" "$work/data/file.bin" || { echo "bench: curl.exe file differs" >&2; exit 1; }
}
native_curl_seconds() { curl -s -o /dev/null -w '%{time_total}' "$1"; }

ours() {  # <url> <connections> -> "seconds cpu_seconds" (peak working set into $work/peak)
  rm -f "$work/out/"*
  local line
  # Run from the scratch folder: the program writes its log into the current folder.
  line=$(cd "$work" && "$WINE64" "$bench_exe" download "$1" "$target_win" "$2" </dev/null 2>/dev/null)
  [ "$(echo "$line" | field result)" = 0 ] || { echo "bench: our download failed: $line" >&2; exit 1; }
  cmp -s "$work/out/setup.exe" "$work/data/file.bin" || { echo "bench: our file differs" >&2; exit 1; }
  echo "$line" | field peak_working_set >"$work/peak"
  echo "$(echo "$line" | field seconds) $(echo "$line" | field cpu_seconds)"
}
baseline() {  # <url> <connections> -> "seconds cpu_seconds"
  rm -f "$work/out/"*
  local line
  line=$("$WINE64" "$baseline_exe" "$1" "$target_win" "$2" </dev/null 2>/dev/null)
  [ "$(echo "$line" | field result)" = 0 ] || { echo "bench: the baseline failed: $line" >&2; exit 1; }
  cmp -s "$work/out/setup.exe" "$work/data/file.bin" || { echo "bench: the baseline's file differs" >&2; exit 1; }
  echo "$(echo "$line" | field seconds) $(echo "$line" | field cpu_seconds)"
}
# CPU ticks (1/100 s) of this prefix's wineserver so far: it works for every
# wait, receive and write a Wine program makes, so its ticks per download say
# how many of those calls a program needs. Its working folder names the
# prefix's device and inode.
server_ticks() {
  local dir p
  dir="server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")"
  for p in /proc/[0-9]*; do
    case "$(readlink "$p/cwd" 2>/dev/null)" in
      */"$dir") awk '{print $14 + $15}' "$p/stat"; return ;;
    esac
  done
  echo 0
}
# The median of column <n> in a file of "round seconds cpu_seconds
# server_ticks" lines.
median() { python3 -c "import statistics; print(statistics.median(float(l.split()[$2 - 1]) for l in open('$1')))"; }
# Per round: baseline seconds / ours (the throughput ratio of runs made close
# together); their median, and their least and greatest.
round_ratios() {
  python3 - "$1" "$2" "$3" <<'PY'
import statistics, sys
def seconds(path):
    return {l.split()[0]: float(l.split()[1]) for l in open(path)}
base, ours = seconds(sys.argv[1]), seconds(sys.argv[2])
ratios = [base[r] / ours[r] for r in base if r in ours]
print(f"{statistics.median(ratios):.3f}" if sys.argv[3] == "median" else f"{min(ratios):.2f}-{max(ratios):.2f}")
PY
}
paired_ratio() { round_ratios "$1" "$2" median; }
ratio_range() { round_ratios "$1" "$2" range; }
cpu_per_gib() { python3 -c "print(f'{$1 / ($bytes / 1073741824):.2f}')"; }

echo "download benchmark: ${size_mib} MiB over loopback nginx ($(nproc) cores)"

# 1. capped
cap_mib=4
aria_seconds() {  # <connections> -> seconds of aria2c on the capped file
  rm -f "$work/out/"*
  local start
  start=$(now)
  aria2c -q "-x$1" "-s$1" -k1M --file-allocation=none --allow-overwrite=true -d "$work/out" -o aria.bin \
    "$base/capped/file.bin"
  python3 -c "print($(now) - $start)"
}
read -r t_ours_capped c_ours_capped <<<"$(ours "$base/capped/file.bin" 8)"
echo "1. capped, limit_rate ${cap_mib}m per connection, 8 connections:"
echo "   ours / (8 x cap) = $(ratio "$(mib_per_s "$t_ours_capped")" $((8 * cap_mib)))   (target >= 0.95)   ours $(cpu_per_gib "$c_ours_capped") CPU s/GiB"
if command -v aria2c >/dev/null; then
  t_aria=$(aria_seconds 8)
  echo "   ours      $(mib_per_s "$t_ours_capped") MiB/s   aria2c $(mib_per_s "$t_aria") MiB/s"
  echo "   ours / aria2c    = $(ratio "$t_aria" "$t_ours_capped")"
else
  echo "   ours      $(mib_per_s "$t_ours_capped") MiB/s   (aria2c missing: no reference)"
fi

# 2. uncapped. A program run right after another is markedly slower, so the
# four runs of a round (ours and the baseline, 1 and 8 connections) start one
# place later each round, and every figure is a median over the rounds.
rounds=${BENCH_ROUNDS:-8}
runs=("ours 1" "baseline 1" "ours 8" "baseline 8")
for ((r = 0; r < rounds; r++)); do
  for ((i = 0; i < ${#runs[@]}; i++)); do
    read -r program n <<<"${runs[$(((i + r) % ${#runs[@]}))]}"
    before=$(server_ticks)
    line=$("$program" "$base/file.bin" "$n")  # a failed run ends the benchmark
    echo "$r $line $(($(server_ticks) - before))" >>"$work/$program$n"
    [ "$program$n" = ours8 ] && cat "$work/peak" >>"$work/peaks8"
  done
done
t_curl_exe=$(best_of_3 curl_exe_seconds "$base/file.bin")
t_native=$(best_of_3 native_curl_seconds "$base/file.bin")
echo "2. uncapped (medians of $rounds rounds, the order rotated each round; load $(cut -d' ' -f1-3 /proc/loadavg)):"
for n in 1 8; do
  t_ours=$(median "$work/ours$n" 2); c_ours=$(median "$work/ours$n" 3)
  t_base=$(median "$work/baseline$n" 2); c_base=$(median "$work/baseline$n" 3)
  echo "   x$n: ours $(mib_per_s "$t_ours") MiB/s $(cpu_per_gib "$c_ours") CPU s/GiB   baseline $(mib_per_s "$t_base") MiB/s $(cpu_per_gib "$c_base") CPU s/GiB"
  echo "   x$n: ours / baseline throughput = $(ratio "$t_base" "$t_ours") (target >= 0.8)   CPU per GiB = $(ratio "$c_ours" "$c_base") (target <= 1.5)"
  echo "   x$n: wineserver CPU s/GiB: ours $(cpu_per_gib "$(median "$work/ours$n" 4) / 100")   baseline $(cpu_per_gib "$(median "$work/baseline$n" 4) / 100")"
  echo "   x$n: median of the rounds' own ratios = $(paired_ratio "$work/baseline$n" "$work/ours$n")   range $(ratio_range "$work/baseline$n" "$work/ours$n")"
  [ "$n" = 1 ] && t_ours1=$t_ours || t_ours8=$t_ours
done
echo "   curl.exe $(mib_per_s "$t_curl_exe") MiB/s   native curl $(mib_per_s "$t_native") MiB/s"
echo "   ours x1 / curl.exe = $(ratio "$t_curl_exe" "$t_ours1")   ours x8 / curl.exe = $(ratio "$t_curl_exe" "$t_ours8")   (target >= 1.0)"
echo "   ours x8 / native curl (ceiling) = $(ratio "$t_native" "$t_ours8")"

# 3. digest
md5_line=$(cd "$work" && "$WINE64" "$bench_exe" md5 "$(winepath_of "$work/data/file.bin")" </dev/null 2>/dev/null)
t_md5_ours=$(echo "$md5_line" | field seconds)
start=$(now)
native_md5=$(md5sum "$work/data/file.bin" | cut -d' ' -f1)
t_md5sum=$(python3 -c "print($(now) - $start)")
[ "$(echo "$md5_line" | field md5)" = "$native_md5" ] || { echo "bench: digests differ" >&2; exit 1; }
echo "3. digest: ours $(mib_per_s "$t_md5_ours") MiB/s   md5sum $(mib_per_s "$t_md5sum") MiB/s   ours / md5sum = $(ratio "$t_md5sum" "$t_md5_ours")   (target >= 0.8)"
sha_line=$(cd "$work" && "$WINE64" "$bench_exe" sha256 "$(winepath_of "$work/data/file.bin")" </dev/null 2>/dev/null)
t_sha_ours=$(echo "$sha_line" | field seconds)
start=$(now)
native_sha=$(sha256sum "$work/data/file.bin" | cut -d' ' -f1)
t_sha256sum=$(python3 -c "print($(now) - $start)")
[ "$(echo "$sha_line" | field sha256)" = "$native_sha" ] || { echo "bench: SHA-256 digests differ" >&2; exit 1; }
echo "   SHA-256: ours $(mib_per_s "$t_sha_ours") MiB/s   sha256sum $(mib_per_s "$t_sha256sum") MiB/s   ours / sha256sum = $(ratio "$t_sha256sum" "$t_sha_ours")   (target >= 0.8)"

# 4. memory: the highest peak over the 8-connection rounds, and over three
# uncapped runs each with 2 and 16 connections. A receive buffer is touched
# only as far as the largest receive into it reached: the peak nears the
# whole of the buffers when the program falls behind the data (a busy
# machine) or has few connections (2: the largest buffers).
for n in 2 16; do
  for _ in 1 2 3; do
    ours "$base/file.bin" "$n" >/dev/null
    cat "$work/peak" >>"$work/peaks$n"
  done
done
highest_mib() { python3 -c "print(f'{max(int(l) for l in open(\"$1\")) / 1048576:.1f}')"; }
echo "4. peak working set of the download process: 2 connections $(highest_mib "$work/peaks2") MiB, 8 connections $(highest_mib "$work/peaks8") MiB, 16 connections $(highest_mib "$work/peaks16") MiB   (target <= 32)"

# 5. 32 asked for: the downloader opens 16 (at most 16 per server)
t_ours_32=$(ours "$base/capped/file.bin" 32 | cut -d' ' -f1)
peak32=$(cat "$work/peak")
echo "5. capped, 32 connections asked for (16 opened):"
echo "   ours / (16 x cap) = $(ratio "$(mib_per_s "$t_ours_32")" $((16 * cap_mib)))   (target >= 0.95)"
if command -v aria2c >/dev/null; then
  t_aria16=$(aria_seconds 16)
  echo "   ours      $(mib_per_s "$t_ours_32") MiB/s   aria2c -x16 -s16 $(mib_per_s "$t_aria16") MiB/s   ours / aria2c = $(ratio "$t_aria16" "$t_ours_32")"
else
  echo "   ours      $(mib_per_s "$t_ours_32") MiB/s   (aria2c missing: no reference)"
fi
echo "   peak working set with 32 asked for: $(python3 -c "print(f'{$peak32 / 1048576:.1f}')") MiB   (target <= 32)"
