#!/usr/bin/env bash
# Runs the browser test (or another script of this folder, $2) in the
# folder $1 (in the build tree): its npm
# packages (playwright-core and axe-core, as locked) are installed there,
# with npm's cache, never in the sources.  Debian's Chromium is driven;
# nothing is downloaded but the locked packages.
set -euo pipefail
unset NODE_OPTIONS  # playwright-core needs the fetch API Node has by default
here="$(cd "$(dirname "$0")" && pwd)"
work="$1"
mkdir -p "$work"
cp "$here/package.json" "$here/package-lock.json" "$here"/*.mjs "$work/"
cd "$work"
if [ ! -d node_modules/playwright-core ] || [ ! -d node_modules/axe-core ]; then
  npm ci --no-audit --no-fund --cache "$work/npm-cache" >/dev/null
fi
if [ -n "${2:-}" ]; then
  exec env ZOL_SOURCE="$(cd "$here/../.." && pwd)" node "$2"
fi
exec node --test page.test.mjs
