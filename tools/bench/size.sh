#!/usr/bin/env bash
# Builds the shipped i686 programs and prints their sizes (and the skin
# archive's) against the 1 MiB budget, then links setup_with_toolkit.exe
# once more unstripped with a link
# map and prints what takes the room: by library and by output section.
# Prints figures; asserts nothing.
#   tools/bench/size.sh [--no-build] [--top N]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
build=1 top=15
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=0 ;;
    --top) top=$2; shift ;;
    *) echo "usage: $0 [--no-build] [--top N]" >&2; exit 2 ;;
  esac
  shift
done

if [ "$build" = 1 ]; then
  cmake --preset i686 >/dev/null
  cmake --build --preset i686 >build/i686/build.log 2>&1 || {
    tail -40 build/i686/build.log >&2; echo "size: i686 build failed" >&2; exit 1; }
fi

budget=$((1024 * 1024))
for exe in build/i686/dist/setup.exe build/i686/tools/setup_with_toolkit.exe build/i686/dist/skin.zip; do
  bytes=$(stat -c %s "$exe")
  printf '%-42s %9d bytes  %7.1f KiB  %5.1f%% of 1 MiB\n' "$exe" "$bytes" \
    "$(echo "$bytes / 1024" | bc -l)" "$(echo "100 * $bytes / $budget" | bc -l)"
done

# The same link as the build's, unstripped and with a map. Section sizes in
# the map are what the stripped file holds, less alignment and headers.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd build/i686 && ninja -t commands tools/setup_with_toolkit.exe | tail -1) >"$work/link.sh"
sed -i -e 's/ -s / /' -e "s| -o tools/setup_with_toolkit.exe| -o $work/unstripped.exe -Wl,-Map=$work/link.map|" \
  -e 's/-Wl,--out-implib,[^ ]*//' "$work/link.sh"
(cd build/i686 && bash "$work/link.sh")

python3 - "$work/link.map" "$top" <<'EOF'
import collections, os, re, sys
path, top = sys.argv[1], int(sys.argv[2])
lines = open(path, errors="replace").read().split("\n")
start = next(i for i, l in enumerate(lines) if l.startswith("Linker script and memory map"))
by_lib, by_section = collections.Counter(), collections.Counter()
by_object = collections.Counter()
section, pending = None, None
entry = re.compile(r"^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
for line in lines[start:]:
    if re.match(r"^\.\S+", line):
        section = line.split()[0]
        continue
    if section is None or section.startswith(".debug") or section == ".reloc":
        continue
    if pending is not None and re.match(r"^\s+0x", line):
        line = " " + pending + line
        pending = None
    m = entry.match(line)
    if not m:
        if re.match(r"^ \S+$", line):
            pending = line.strip()
        continue
    size, origin = int(m.group(3), 16), m.group(4).strip()
    if size == 0 or not (origin.endswith(")") or origin.endswith(".obj") or origin.endswith(".o")):
        continue
    lib = origin.split("(")[0] if "(" in origin else origin
    name = os.path.basename(lib)
    if name.endswith(".obj"):
        name = "(objects of the program)"
    elif ".ltrans" in name:
        name = "(our code, optimised at link time)"
    by_lib[name] += size
    by_section[section] += size
    member = origin.split("(")[1].rstrip(")") if "(" in origin else ""
    by_object[name + (":" + member if member else "")] += size

def show(title, counter, n):
    total = sum(counter.values())
    print(f"\n{title} (of {total / 1024:.1f} KiB)")
    for key, size in counter.most_common(n):
        print(f"  {size / 1024:8.1f} KiB  {key}")

show("setup_with_toolkit.exe by library", by_lib, top)
show("by output section", by_section, 8)
show("biggest objects", by_object, top)
EOF
