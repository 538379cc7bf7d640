#!/usr/bin/env bash
# Runs the browser test: installs its one npm package (playwright-core, as
# locked) where missing, then drives Debian's Chromium (never a download).
set -euo pipefail
unset NODE_OPTIONS  # playwright-core needs the fetch API Node has by default
cd "$(dirname "$0")"
[ -d node_modules/playwright-core ] || npm ci --no-audit --no-fund
exec node --test page.test.mjs
