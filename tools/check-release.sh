#!/usr/bin/env bash
# Checks what a release hands out, after `cmake --workflow --preset package`
# and `cmake --workflow --preset windows`:
#   - the man pages lint clean (groff -man -ww -z);
#   - each package holds the three programs, the page, the sample, README,
#     LICENSE, CHANGELOG and the README's picture (on Linux the man pages
#     too), and every file the packaged README links to;
#   - the README's commands run verbatim in each unpacked package (the
#     Windows one under Wine, through its own cmd), and "Try it" prints what
#     the README shows;
#   - two builds of the commit, from clones in two folders at two times,
#     give byte-identical packages, pages and programs; build-release/ then
#     holds the packages, the page and their SHA256SUMS;
#   - a build without GoogleTest still builds and installs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -n 's/^project(zolvane_tools VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
linux="zolvane-tools-$version-Linux"
windows="zolvane-tools-$version-win64"
status=0
fail() { echo "release: $*"; status=1; }
for tool in groff python3 wine; do
  command -v $tool >/dev/null || { echo "release: needs $tool (Debian: apt-get install $tool)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for page in doc/*.1; do
  out=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$out" ] || fail "$page: groff says: $out"
done

# check PACKAGE TOP README-FOLDER NAME...: the package's entries, below TOP,
# include every NAME and every relative link of the README.
check() {
  local package=$1 top=$2 docs=$3; shift 3
  local list
  list=$(cmake -E tar tf "$package" | sed "s|^$top/||")
  local links
  links=$(grep -oE '\]\([^)#: ]+\)' README.md | sed 's/^](//; s/)$//' | sed "s|^|$docs|")
  for name in "$@" $links; do
    grep -qxF "$name" <<<"$list" || fail "$(basename "$package") lacks $name"
  done
  echo "release: $(basename "$package"): $(wc -l <<<"$list") entries, $(wc -c <"$package") bytes"
}
doc=share/doc/zolvane-tools/
check "build/$linux.tar.gz" "$linux" "$doc" bin/msgdump bin/glyphpack \
  bin/msginsert share/man/man1/msgdump.1 share/man/man1/glyphpack.1 \
  share/man/man1/msginsert.1 \
  ${doc}README.md ${doc}LICENSE ${doc}CHANGELOG.md ${doc}doc/browser.png \
  ${doc}zolvane-tools.html ${doc}sample/zol_00.txt ${doc}sample/zol_01.txt \
  ${doc}sample/sample.sfc ${doc}sample/english.atlas.txt \
  ${doc}sample/squeezed.atlas.txt ${doc}sample/english.tbl \
  ${doc}sample/english_00.txt
check "build-windows/$windows.zip" "$windows" "" msgdump.exe glyphpack.exe \
  msginsert.exe \
  README.md LICENSE CHANGELOG.md doc/browser.png zolvane-tools.html \
  sample/zol_00.txt sample/zol_01.txt sample/sample.sfc \
  sample/english.atlas.txt sample/squeezed.atlas.txt sample/english.tbl \
  sample/english_00.txt

# The README's commands, verbatim, in each unpacked package: every `sh`
# block in a copy of the Linux one, every `bat` block through cmd in a copy
# of the Windows one, each from the package's top folder.  The first of
# each must print what "Try it" shows.
(cd "$work" && cmake -E tar xf "$root/build/$linux.tar.gz" &&
   cmake -E tar xf "$root/build-windows/$windows.zip")
python3 - README.md "$work/blocks" <<'PY'
import os, re, sys
text = open(sys.argv[1], encoding="utf-8").read()
os.makedirs(sys.argv[2])
for n, (kind, body) in enumerate(re.findall(r"^```(sh|bat|text)\n(.*?)^```", text, re.S | re.M)):
    open(os.path.join(sys.argv[2], "%02d.%s" % (n, kind)), "w", encoding="utf-8").write(body)
PY
shown="$(ls "$work/blocks"/*.text | head -1)"
first=1
for block in "$work/blocks"/*.sh; do
  rm -rf "$work/run" && cp -a "$work/$linux" "$work/run"
  (cd "$work/run" && bash -euo pipefail "$block" >"$work/out" 2>"$work/err") ||
    fail "README: the sh block $(basename "$block") fails: $(cat "$work/err")"
  if [ $first = 1 ] && ! cmp -s "$work/out" "$shown"; then
    fail "README: \"Try it\" on Linux prints otherwise: $(diff "$shown" "$work/out" | head -5)"
  fi
  first=0
done
first=1
for block in "$work/blocks"/*.bat; do
  rm -rf "$work/run" && cp -a "$work/$windows" "$work/run"
  line=$(sed '/^$/d' "$block" | paste -sd'&' | sed 's/&/ \&\& /g')
  (cd "$work/run" && "$root/build-windows/wine-run" cmd /c "$line" >"$work/out") ||
    fail "README: the bat block $(basename "$block") fails"
  tr -d '\r' <"$work/out" | iconv -f CP932 -t UTF-8 >"$work/out.utf8"
  if [ $first = 1 ] && ! cmp -s "$work/out.utf8" "$shown"; then
    fail "README: \"Try it\" on Windows prints otherwise: $(diff "$shown" "$work/out.utf8" | head -5)"
  fi
  first=0
done
echo "release: the README's commands ran in both packages"

# Two builds of the commit, in two folders, at two times.
started=$(date +%s)
for build in one two; do
  git clone -q "$root" "$work/$build"
  (cd "$work/$build" &&
   cmake --preset release -DZOL_TESTS=OFF --no-warn-unused-cli >/dev/null &&
   cmake --build --preset release >/dev/null &&
   (cd build && cpack >/dev/null) &&
   cmake --preset windows -DZOL_TESTS=OFF --no-warn-unused-cli >/dev/null &&
   cmake --build --preset windows >/dev/null &&
   (cd build-windows && cpack >/dev/null)) || fail "the $build build failed"
  sleep 1
done
for file in "build/$linux.tar.gz" "build-windows/$windows.zip" \
  build/page/zolvane-tools.html build/msgdump build/glyphpack \
  build/msginsert build-windows/msgdump.exe build-windows/glyphpack.exe \
  build-windows/msginsert.exe; do
  cmp -s "$work/one/$file" "$work/two/$file" || fail "two builds differ in $file"
done
echo "release: two builds compared in $(($(date +%s) - started)) s"
rm -rf build-release && mkdir build-release
cp "$work/one/build/$linux.tar.gz" "$work/one/build-windows/$windows.zip" \
  "$work/one/build/page/zolvane-tools.html" build-release/
(cd build-release && sha256sum -- * >SHA256SUMS && cat SHA256SUMS)

# Without GoogleTest: programs, demo and install, tests skipped.
cmake -S . -B "$work/nogtest" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  >"$work/configure.log"
grep -q "GoogleTest not found" "$work/configure.log" ||
  fail "no message about the skipped tests"
cmake --build "$work/nogtest" -j2 --target all demo >/dev/null
cmake --install "$work/nogtest" --prefix "$work/prefix" >/dev/null
for f in bin/msgdump bin/glyphpack bin/msginsert share/man/man1/msgdump.1 \
  share/man/man1/glyphpack.1 share/man/man1/msginsert.1; do
  [ -e "$work/prefix/$f" ] || fail "install lacks $f"
done
[ $status -eq 0 ] && echo "release: all present, all reproduced"
exit $status
