#!/usr/bin/env bash
# Checks what a release hands out, after `cmake --workflow --preset package`
# and `cmake --workflow --preset windows`:
#   - the man pages lint clean (groff -man -ww -z);
#   - each package holds both programs, the page, the sample, README,
#     LICENSE, CHANGELOG and the README's picture (on Linux the man pages
#     too), and every file the packaged README links to;
#   - the README's "try it" works in each unpacked package (the Windows one
#     under Wine, through its own cmd);
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
  share/man/man1/msgdump.1 share/man/man1/glyphpack.1 \
  ${doc}README.md ${doc}LICENSE ${doc}CHANGELOG.md ${doc}doc/browser.png \
  ${doc}zolvane-tools.html ${doc}sample/zol_00.txt ${doc}sample/zol_01.txt \
  ${doc}sample/sample.sfc
check "build-windows/$windows.zip" "$windows" "" msgdump.exe glyphpack.exe \
  README.md LICENSE CHANGELOG.md doc/browser.png zolvane-tools.html \
  sample/zol_00.txt sample/zol_01.txt sample/sample.sfc

# The README's "try it", in each unpacked package.
(cd "$work" && cmake -E tar xf "$root/build/$linux.tar.gz" &&
   cmake -E tar xf "$root/build-windows/$windows.zip")
(cd "$work/$linux" && PATH="$PWD/bin:$PATH" &&
   cd share/doc/zolvane-tools/sample && glyphpack >/dev/null &&
   msgdump sample.sfc >script.txt) || fail "try it (Linux) failed"
cmp -s "$work/$linux/share/doc/zolvane-tools/sample/script.txt" \
  sample/expected.txt || fail "try it (Linux): the script is not the sample's"
(cd "$work/$windows" && "$root/build-windows/wine-run" cmd /c \
   'cd sample && ..\glyphpack >nul && ..\msgdump sample.sfc > script.txt') ||
  fail "try it (Windows) failed"
perl -pe 's/\n/\r\n/' sample/expected.txt >"$work/expected.crlf.txt"
cmp -s "$work/$windows/sample/script.txt" "$work/expected.crlf.txt" ||
  fail "try it (Windows): the script is not the sample's"

# Two builds of the commit, in two folders, at two times.
started=$(date +%s)
for build in one two; do
  git clone -q "$root" "$work/$build"
  (cd "$work/$build" &&
   cmake --preset release -DZOL_TESTS=OFF >/dev/null &&
   cmake --build --preset release >/dev/null &&
   (cd build && cpack >/dev/null) &&
   cmake --preset windows -DZOL_TESTS=OFF >/dev/null &&
   cmake --build --preset windows >/dev/null &&
   (cd build-windows && cpack >/dev/null)) || fail "the $build build failed"
  sleep 1
done
for file in "build/$linux.tar.gz" "build-windows/$windows.zip" \
  build/page/zolvane-tools.html build/msgdump build/glyphpack \
  build-windows/msgdump.exe build-windows/glyphpack.exe; do
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
for f in bin/msgdump bin/glyphpack share/man/man1/msgdump.1 \
  share/man/man1/glyphpack.1; do
  [ -e "$work/prefix/$f" ] || fail "install lacks $f"
done
[ $status -eq 0 ] && echo "release: all present, all reproduced"
exit $status
