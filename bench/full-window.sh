#!/usr/bin/env bash
# Writes the benchmarks' full-window image to $1: a fixed pseudo-random
# window (about 60% glyphs, 15% kanji pairs, 25% control codes) at the
# window's offset of a sparse 4 MiB image.
set -euo pipefail
LC_ALL=C awk 'BEGIN {
  srand(1)
  for (n = 0; n < 67258;) {
    r = rand()
    if (r < 0.60)      { printf "%c", 16 + int(rand() * 239); n += 1 }
    else if (r < 0.75) { printf "%c%c", 255, int(rand() * 255); n += 2 }
    else               { printf "%c", int(rand() * 16); n += 1 }
  }
}' >"$1.window"
rm -f "$1"
truncate -s 4M "$1"
dd if="$1.window" of="$1" bs=64K seek=3078144 oflag=seek_bytes conv=notrunc \
  status=none
rm -f "$1.window"
