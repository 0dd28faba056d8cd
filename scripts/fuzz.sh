#!/usr/bin/env bash
# Fuzzes one of the program's readers natively (clang, libFuzzer with address
# and undefined behaviour sanitizers) from the product's own source files for
# a bounded time, starting from the committed regression corpus and seeds.
# Usage: fuzz.sh <target> [seconds]   (default 30)
#   json                the JSON reader (release replies)
#   zip                 the skin archive reader, seeded with the test skins
#   window_description  the XML reader and value parsers of window
#                       descriptions, seeded with the test skins' files
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-}
seconds=${2:-${FUZZ_SECONDS:-30}}
stand_in=tests/toolkit/native/platform_stand_in.cpp
out=build/fuzz/$target
seeds=()
case $target in
  json)
    sources=(tests/net/json_fuzzer.cpp src/net/json.cpp)
    libraries=()
    corpus=tests/net/json_corpus ;;
  zip)
    sources=(tests/toolkit/zip_fuzzer.cpp src/toolkit/zip_archive.cpp src/toolkit/log.cpp "$stand_in")
    libraries=(-lz)
    corpus=tests/toolkit/zip_corpus
    # The test skins as the build packs them.
    mkdir -p "$out/seeds"
    python3 tests/fixtures/skins/make_images.py "$out/images"
    for folder in tests/fixtures/skins/*/; do
      python3 tools/skin/pack_skin.py "$out/seeds/$(basename "$folder").zip" "$out/images" "$folder"
    done
    seeds=("$out/seeds") ;;
  window_description)
    sources=(tests/toolkit/window_description_fuzzer.cpp src/toolkit/xml_reader.cpp src/toolkit/attribute_values.cpp
             src/toolkit/markup.cpp "$stand_in")
    libraries=()
    corpus=tests/toolkit/window_description_corpus
    mkdir -p "$out/seeds"
    find tests/fixtures/skins -name '*.xml' -exec cp {} "$out/seeds/" \;
    seeds=("$out/seeds") ;;
  *)
    echo "usage: fuzz.sh <json|zip|window_description> [seconds]" >&2
    exit 2 ;;
esac
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Isrc "${sources[@]}" "${libraries[@]}" -o "$out/fuzzer"
echo "fuzz: $target for ${seconds}s"
# New inputs go to build/fuzz/<target>/corpus; a crash leaves
# build/fuzz/<target>/crash-* to commit into the target's corpus folder as a
# regression case.
"$out/fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" "$corpus" "${seeds[@]}" 2>"$out/fuzz.log" || {
  tail -40 "$out/fuzz.log" >&2
  echo "fuzz: $target failed; see $out/fuzz.log" >&2
  exit 1
}
grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$out/fuzz.log" | sed "s/^/fuzz: $target: /"
