#!/usr/bin/env bash
# Wall time of msgdump's font modes: --suggest for every entry of the
# sample's font, and --find-font on the sample made a 4 MiB image, its
# empty space filled with fixed pseudo-random bytes (the worst case for the
# scan: every offset has to be looked at).  Prints; asserts nothing.
# Usage: bench/font.sh [build dir]   (after `cmake --workflow --preset test`)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$build/sample/mksample" sample/scene.txt "$work/sample.sfc"
python3 - "$work/sample.sfc" "$work/rom.sfc" <<'PY'
import random, sys
image = bytearray(open(sys.argv[1], "rb").read())
image += bytes((4 << 20) - len(image))
rng = random.Random(1)
font, window = range(0xC8000, 0xD0000), range(0x2EF800, 0x2FFEB9)
for at in range(len(image)):
    if image[at] == 0 and at not in font and at not in window:
        image[at] = rng.getrandbits(8)
open(sys.argv[2], "wb").write(image)
PY
layout="$("$build/msgdump" --find-font "$work/sample.sfc" | head -n 1)"
cd "$work"
time_of() {  # wall and CPU seconds of the command (the machine may be shared)
  /usr/bin/time -f "%e s wall, %U s CPU" "$@" 2>&1 >/dev/null | tail -n 1
}
echo "--suggest, sample ($layout), $("$build/msgdump" --font "$layout" --suggest sample.sfc | wc -l) glyphs: $(time_of "$build/msgdump" --font "$layout" --suggest sample.sfc)"
echo "--find-font, sample (3 MiB): $(time_of "$build/msgdump" --find-font sample.sfc)"
echo "--find-font, 4 MiB, noise around the font: $(time_of "$build/msgdump" --find-font rom.sfc); found: $("$build/msgdump" --find-font rom.sfc | head -n 1)"
