#!/usr/bin/env bash
# Fuzzes the JSON reader natively (clang, libFuzzer with address and undefined
# behaviour sanitizers) from the product's own source for a bounded time,
# starting from the committed seed and regression corpus.
# Usage: fuzz_json.sh [seconds]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-60}}
out=build/fuzz
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Isrc tests/net/json_fuzzer.cpp src/net/json.cpp -o "$out/json_fuzzer"
echo "fuzz: JSON reader for ${seconds}s"
# New inputs go to build/fuzz/corpus; a crash leaves build/fuzz/crash-* to commit
# into tests/net/json_corpus as a regression case.
"$out/json_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" tests/net/json_corpus 2>"$out/fuzz.log" || {
  tail -40 "$out/fuzz.log" >&2
  echo "fuzz: the JSON reader failed; see $out/fuzz.log" >&2
  exit 1
}
grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$out/fuzz.log" | sed 's/^/fuzz: /'
