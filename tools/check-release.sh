#!/usr/bin/env bash
# Checks what a release hands out, after `cmake --workflow --preset package`
# and `cmake --workflow --preset windows`:
#   - the man pages lint clean (groff -man -ww -z);
#   - each package holds both programs, README and LICENSE (and, on Linux,
#     the man pages and sample grids);
#   - a build without GoogleTest still builds and installs programs and pages.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(zolvane_tools VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
status=0

command -v groff >/dev/null || {
  echo "release: needs groff to lint the man pages (Debian: apt-get install groff)" >&2
  exit 1
}
for page in doc/*.1; do
  out=$(groff -man -ww -z "$page" 2>&1)
  if [ -n "$out" ]; then
    echo "release: $page: groff says:"; echo "$out"; status=1
  fi
done

# has PACKAGE NAME...: every NAME is an entry of the package.
has() {
  local package=$1; shift
  local list
  list=$(cmake -E tar tf "$package")
  for name in "$@"; do
    if ! grep -qE "(^|/)${name}\$" <<<"$list"; then
      echo "release: $package lacks $name"; status=1
    fi
  done
  echo "release: $(basename "$package"): $(wc -l <<<"$list") entries"
}
has "build/zolvane-tools-$version-Linux.tar.gz" bin/msgdump bin/glyphpack \
  man1/msgdump.1 man1/glyphpack.1 README.md LICENSE sample/zol_00.txt \
  sample/zol_01.txt zolvane-tools.html
has "build-windows/zolvane-tools-$version-win64.zip" msgdump.exe \
  glyphpack.exe README.md LICENSE sample/zol_00.txt sample/zol_01.txt \
  zolvane-tools.html

# Without GoogleTest: programs, demo and install, tests skipped.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S . -B "$work/build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  >"$work/configure.log"
grep -q "GoogleTest not found" "$work/configure.log" || {
  echo "release: no message about the skipped tests"; status=1
}
cmake --build "$work/build" -j2 --target all demo >/dev/null
cmake --install "$work/build" --prefix "$work/prefix" >/dev/null
for f in bin/msgdump bin/glyphpack share/man/man1/msgdump.1 \
  share/man/man1/glyphpack.1; do
  [ -e "$work/prefix/$f" ] || { echo "release: install lacks $f"; status=1; }
done
[ $status -eq 0 ] && echo "release: all present"
exit $status
