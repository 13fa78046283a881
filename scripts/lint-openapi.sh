#!/usr/bin/env bash
# Lints the OpenAPI document that the built zun-clubs-host serves with the pinned linter of
# tools/openapi-lint (installed from its lock file with npm ci), recommended rules, no errors
# allowed. Starts the host on a free port, reads the document, stops the host.
#
# Usage: scripts/lint-openapi.sh [build directory]   (default: build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/default}
host="$build/host/serving/zun-clubs-host"
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if ! command -v npm >/dev/null; then
  echo "lint-openapi: npm is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
(cd tools/openapi-lint && npm ci --no-audit --no-fund --loglevel=error >/dev/null)

"$host" --port 0 --quiet >"$work/out" 2>"$work/err" &
pid=$!
port=
for _ in $(seq 1 200); do
  port=$(sed -n 's|^zun-clubs-host: listening on http://127.0.0.1:\([0-9]*\)$|\1|p' "$work/out")
  [ -n "$port" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "lint-openapi: the host did not start:" >&2
  cat "$work/err" >&2
  exit 1
fi
curl -sf "http://127.0.0.1:$port/zun-clubs-host/v1/openapi.json" -o "$work/openapi.json"

cd tools/openapi-lint
npx --no-install redocly lint --config "$root/tools/openapi-lint/redocly.yaml" "$work/openapi.json"
