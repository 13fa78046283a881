#!/usr/bin/env bash
# Runs the browser tests of the host's clubs console: installs Debian's Chromium and the pinned
# npm packages when missing, builds the host, and drives the console in headless Chromium
# against hosts it starts itself. Keeps a screenshot at build/default/console-screenshot.png.
#
# Usage: scripts/run-console-tests.sh   (the default preset must be configured, or is configured)
#   ZC_HOST_PROGRAM=<program> tests that host instead of building the default preset's, and
#   ZC_HOST_LAUNCHER=<loader> runs it through that loader (Wine's, for the Windows build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

need=()
command -v chromium >/dev/null || need+=(chromium)
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
if [ ${#need[@]} -gt 0 ]; then
  sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${need[@]}"
fi

# The exact versions of package-lock.json; playwright-core brings no browser of its own.
if [ ! -d tests/console/node_modules/playwright-core ] ||
   [ tests/console/package-lock.json -nt tests/console/node_modules/.package-lock.json ]; then
  (cd tests/console && npm ci --no-audit --no-fund)
fi

if [ -z "${ZC_HOST_PROGRAM:-}" ]; then
  [ -f build/default/CMakeCache.txt ] || cmake --preset default >/dev/null
  cmake --build --preset default --target zun-clubs-host -j "$(nproc)"
  export ZC_HOST_PROGRAM="$root/build/default/host/serving/zun-clubs-host"
fi
[ -f "$ZC_HOST_PROGRAM" ] || { echo "error: no host program at $ZC_HOST_PROGRAM" >&2; exit 1; }
echo "host: ${ZC_HOST_LAUNCHER:+$ZC_HOST_LAUNCHER }$ZC_HOST_PROGRAM"
export ZC_CONSOLE_SCREENSHOT="$root/build/default/console-screenshot.png"
cd tests/console
node --test --test-concurrency=1 console.test.mjs
