#!/usr/bin/env bash
# Configures and builds the presets named on the command line, by default both
# architectures: x86_64 (tests) and i686 (shipped). Configuring every time is
# cheap and picks up new source folders.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(x86_64 i686)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" -Wno-dev >/dev/null
  if ! cmake --build --preset "$preset" >"build/$preset/build.log" 2>&1; then
    grep -vE '^\[[0-9]+/[0-9]+\]' "build/$preset/build.log" | tail -60 >&2
    echo "build: $preset failed (full output in build/$preset/build.log)" >&2
    exit 1
  fi
done
