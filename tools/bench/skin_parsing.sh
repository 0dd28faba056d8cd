#!/usr/bin/env bash
# Times the skin readers on hostile shapes (a tag with 200 000 attributes, a
# zip with 65 534 members), built natively from the product's source files.
# Usage: bash tools/bench/skin_parsing.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build/bench-native
mkdir -p "$out"
g++ -std=c++20 -O2 -Isrc tools/bench/skin_parsing_bench.cpp src/toolkit/xml_reader.cpp src/toolkit/zip_archive.cpp \
  src/toolkit/log.cpp tests/toolkit/native/platform_stand_in.cpp -lz -o "$out/skin_parsing_bench"
"$out/skin_parsing_bench"
