#!/usr/bin/env bash
# Formatting and static analysis, as CI runs them; run it before a commit.
#   tools/lint.sh          check (exit 1 on any finding)
#   tools/lint.sh --fix    reformat the tracked sources in place first
# Needs clang-format-14 and clang-tidy-14 (Debian: apt-get install
# clang-format-14 clang-tidy-14).
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v clang-format-14 >/dev/null || need+=(clang-format-14)
command -v clang-tidy-14 >/dev/null || need+=(clang-tidy-14)
if [ ${#need[@]} -gt 0 ]; then
  echo "lint: needs ${need[*]} (Debian: apt-get install ${need[*]})" >&2
  exit 1
fi

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format-14 -i "${sources[@]}"
fi
echo "lint: clang-format on ${#sources[@]} files"
clang-format-14 --dry-run --Werror "${sources[@]}"

# clang-tidy reads the compiler flags from a configure of its own; the
# programs' sources need no test framework.
cmake -S . -B build-lint -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DZOL_TESTS=OFF \
  >/dev/null
# (The Windows platform file is compiled, and so checked, only by the
# compiler of the Windows build.)
mapfile -t programs < <(git ls-files 'common/*.cpp' 'decoder/*.cpp' 'translate/*.cpp' \
  'grids/*.cpp' 'msgdump/*.cpp' 'glyphpack/*.cpp' 'msginsert/*.cpp' | grep -v '_windows\.cpp$')
echo "lint: clang-tidy on ${#programs[@]} files"
clang-tidy-14 -p build-lint --quiet "${programs[@]}" 2>/dev/null
echo "lint: clean"
