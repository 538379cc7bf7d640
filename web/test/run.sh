#!/usr/bin/env bash
# Runs a script of this folder ($2: the browser test, or screenshot.mjs)
# with the npm packages the build installed in $1 (playwright-core and
# axe-core, as locked).  Debian's Chromium is driven; nothing is
# downloaded here.
set -euo pipefail
unset NODE_OPTIONS  # playwright-core needs the fetch API Node has by default
here="$(cd "$(dirname "$0")" && pwd)"
npm="$(cd "$1" && pwd)"
export NODE_PATH="$npm/node_modules"
export ZOL_PAGE="${ZOL_PAGE:-$npm/../../zolvane-tools.html}" ZOL_OUT="${ZOL_OUT:-$npm/..}"
# (Node finds packages beside the script: run a copy of it there.)
cp "$here/$2" "$npm/"
cd "$npm"
if [ "$2" = page.test.mjs ]; then exec node --test "$2"; fi
exec env ZOL_SOURCE="$(cd "$here/../.." && pwd)" node "$2"
