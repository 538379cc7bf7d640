#!/usr/bin/env bash
# Whole-process figures for one full-window run of msgdump on a 4 MiB image:
# read/seek system calls (strace), instructions (callgrind), and wall time
# against dd copying the window (hyperfine), the floor for any reader.
# Then msginsert putting that window's whole Atlas script back into the
# image (the patched image, and with the BPS patch), beside msgdump.
# Usage: bench/measure.sh [build dir]   (after `cmake --workflow --preset test`)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cp sample/zol_00.txt sample/zol_01.txt "$work"
(cd "$work" && "$build/glyphpack" >/dev/null)

bench/full-window.sh "$work/rom.sfc"

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

# msginsert on the same image: the window's whole Atlas script (msgdump
# --atlas, untouched, so every one of its blocks goes in) with its table.
"$build/msgdump" --atlas -o script.atlas.txt rom.sfc
"$build/msgdump" --thingy -o zolvane.tbl
blocks=$(grep -c '^#JMP' script.atlas.txt)
for args in "-o patched.sfc" "-o patched.sfc --bps patch.bps"; do
  # shellcheck disable=SC2086  # (two words on purpose)
  valgrind --tool=callgrind --callgrind-out-file=callgrind.insert.out \
    "$build/msginsert" $args script.atlas.txt rom.sfc 2>callgrind.txt
  echo "msginsert $args: instructions: $(awk '/Collected/ { print $NF }' callgrind.txt)"
done
if command -v hyperfine >/dev/null; then
  hyperfine -N --warmup 5 --runs 50 --export-json insert.json \
    "$build/msginsert -o patched.sfc script.atlas.txt rom.sfc" \
    "$build/msginsert -o patched.sfc --bps patch.bps script.atlas.txt rom.sfc" \
    "$build/msgdump rom.sfc" >/dev/null
  python3 -c 'import json, sys; r = json.load(open("insert.json"))["results"]
print("msginsert, %s blocks into the 4 MiB image: %.1f ms with -o, %.1f ms "
      "with -o and --bps; msgdump on the same image %.2f ms" % (sys.argv[1],
      r[0]["mean"] * 1e3, r[1]["mean"] * 1e3, r[2]["mean"] * 1e3))' "$blocks"
else
  start=$(date +%s%N)
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    "$build/msginsert" -o patched.sfc --bps patch.bps script.atlas.txt rom.sfc
  done
  middle=$(date +%s%N)
  for _ in 1 2 3 4 5 6 7 8 9 10; do "$build/msgdump" rom.sfc >/dev/null; done
  end=$(date +%s%N)
  echo "msginsert, $blocks blocks into the 4 MiB image, with -o and --bps:" \
    "$(( (middle - start) / 10000000 )) ms; msgdump on the same image:" \
    "$(( (end - middle) / 10000000 )) ms (means of 10; hyperfine not installed)"
fi
echo "its patch: $(wc -c <patch.bps 2>/dev/null || echo '?') bytes (the untouched script changes nothing)"
