#!/usr/bin/env bash
# Whole-process figures for one full-window run of msgdump on a 4 MiB image:
# read/seek system calls (strace), instructions (callgrind), and wall time
# against dd copying the window (hyperfine), the floor for any reader.
# Usage: bench/measure.sh [build dir]   (after `cmake --workflow --preset test`)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cp sample/zol_00.txt sample/zol_01.txt "$work"
(cd "$work" && "$build/glyphpack" >/dev/null)

# A fixed pseudo-random window: about 60% glyphs, 15% kanji pairs, 25%
# control codes, written at the window's offset of a sparse 4 MiB image.
LC_ALL=C awk 'BEGIN {
  srand(1)
  for (n = 0; n < 67258;) {
    r = rand()
    if (r < 0.60)      { printf "%c", 16 + int(rand() * 239); n += 1 }
    else if (r < 0.75) { printf "%c%c", 255, int(rand() * 255); n += 2 }
    else               { printf "%c", int(rand() * 16); n += 1 }
  }
}' >"$work/window.bin"
truncate -s 4M "$work/rom.sfc"
dd if="$work/window.bin" of="$work/rom.sfc" bs=64K seek=3078144 \
   oflag=seek_bytes conv=notrunc status=none

cd "$work"
if command -v strace >/dev/null; then
  strace -c -e trace=read,lseek,pread64 -o strace.txt \
    "$build/msgdump" rom.sfc >/dev/null
  echo "read/seek system calls: $(awk '$NF == "total" { print $(NF-1) }' strace.txt)"
else
  echo "read/seek system calls: strace not installed (apt-get install strace)"
fi
valgrind --tool=callgrind --callgrind-out-file=callgrind.out \
  "$build/msgdump" rom.sfc 2>callgrind.txt >/dev/null
echo "instructions: $(awk '/Collected/ { print $NF }' callgrind.txt)"
if command -v hyperfine >/dev/null; then
  hyperfine -N --warmup 20 --runs 300 --export-json times.json \
    "$build/msgdump rom.sfc" \
    "dd if=rom.sfc of=/dev/null bs=67258 skip=3078144 count=1 iflag=skip_bytes status=none" \
    >/dev/null
  python3 -c 'import json; r = json.load(open("times.json"))["results"]
print("wall time: msgdump %.3f ms, dd %.3f ms (%.2fx)" % (r[0]["mean"] * 1e3,
      r[1]["mean"] * 1e3, r[0]["mean"] / r[1]["mean"]))'
else
  echo "wall time: hyperfine not installed (apt-get install hyperfine)"
fi
