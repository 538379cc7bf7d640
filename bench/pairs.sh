#!/usr/bin/env bash
# English in pairs, whole process: msginsert --pairs on the sample's
# translation and on a full window's, the bytes before and after pairs
# (from its report) and the time it takes on the full window.  The full
# window is bench/measure.sh's 4 MiB image, every line of its Atlas script
# given fixed-seed English of 1.5 times its characters, inserted
# --as-atlas (a line that still does not fit is cut, not refused).
# Usage: bench/pairs.sh [build dir]   (after `cmake --workflow --preset test`)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
sample="$PWD/sample"
bench="$PWD/bench"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
font=2bpp:0xC8000:0xCC000

# The bytes the report gives: "N bytes of text, M in pairs" per line.
figures() {
  awk '/ in pairs/ { for (i = 1; i <= NF; i++) {
         if ($i == "bytes" && $(i + 2) == "text,") { before += $(i - 1); after += $(i + 3) } }
         lines++; if (/still does not fit/) over++ }
       END { printf "%d lines, %d bytes before, %d after pairs (%.1f%%), %d do not fit\n",
             lines, before, after, 100 * after / before, over }' "$1"
}

"$build/sample/mksample" "$sample/scene.txt" sample.sfc
cp "$sample/expected.thingy.tbl" zolvane.tbl
mkdir sample-en window-en
"$build/msginsert" --font "$font" --pairs sample-en -o sample-en.sfc \
  "$sample/english.atlas.txt" sample.sfc 2>sample.txt --table zolvane.tbl
echo "the sample: $(figures sample.txt)"

# The full window, as bench/measure.sh makes it.
"$bench/full-window.sh" rom.sfc
cp "$sample/zol_00.txt" "$sample/zol_01.txt" .
"$build/glyphpack" >/dev/null
"$build/msgdump" --atlas -o script.atlas.txt rom.sfc
"$build/msgdump" --thingy -o zolvane.tbl
python3 - script.atlas.txt english.atlas.txt <<'PY'
import random, re, sys
words = ("the you to and a of it is that we in have this be for what not on "
         "with are can he they there go do will me was all your but here now "
         "know from my one just come out must our where us time no if them "
         "back way see find been still river forest castle king sword village "
         "east north night friend enemy power light dark stone gate tower "
         "journey magic old long before after again never always right").split()
rng = random.Random(20261210)
token = re.compile(r"<\$[0-9A-F]{2}>|<[0-9A-F]{2,4}>|.", re.S)
def english(n):
    out = ""
    while len(out) < n:
        w = rng.choice(words)
        out += (w.capitalize() if not out else " " + w)
    return out[:n].rstrip() + rng.choice(".!?")
out = []
for line in open(sys.argv[1], encoding="utf-8").read().split("\n"):
    if not line or line.startswith("#") or line.startswith("//"):
        out.append(line); continue
    pieces, run, take = [], 0, False
    for t in token.findall(line):
        control = len(t) == 4 and t.startswith("<") and not t.startswith("<$")
        if take or control or t == "<FFFF>":
            if run: pieces.append(english(run * 3 // 2)); run = 0
            pieces.append(t); take = t in ("<05>", "<0B>") and not take
        else:
            run += 1
    if run: pieces.append(english(run * 3 // 2))
    out.append("".join(pieces))
open(sys.argv[2], "w", encoding="utf-8").write("\n".join(out))
PY
run() {
  "$build/msginsert" --as-atlas --font "$font" --pairs window-en \
    -o window-en.sfc english.atlas.txt rom.sfc 2>window.txt
}
run
echo "a full window: $(figures window.txt)"
if command -v hyperfine >/dev/null; then
  hyperfine -N --warmup 2 --runs 10 --export-json pairs.json \
    "$build/msginsert --as-atlas --font $font --pairs window-en -o window-en.sfc english.atlas.txt rom.sfc" \
    "$build/msginsert --as-atlas -o plain.sfc script.atlas.txt rom.sfc" \
    >/dev/null 2>&1
  python3 -c 'import json; r = json.load(open("pairs.json"))["results"]
print("msginsert --pairs on the full window: %.1f ms (the untouched script"
      " without --pairs: %.1f ms)" % (r[0]["mean"] * 1e3, r[1]["mean"] * 1e3))'
else
  start=$(date +%s%N)
  for _ in 1 2 3 4 5; do run; done
  echo "msginsert --pairs on the full window: $(( ($(date +%s%N) - start) / 5000000 )) ms (mean of 5)"
fi
