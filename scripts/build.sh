#!/usr/bin/env bash
# Configures and builds both architectures: x86_64 (tests) and i686 (shipped).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in x86_64 i686; do
  if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null
  fi
  cmake --build --preset "$preset" -- -k 0 | grep -vE '^\[[0-9]+/[0-9]+\]' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "build: $preset failed" >&2; exit 1; }
done
