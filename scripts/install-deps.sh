#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when some are missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  rapidjson-dev libyaml-dev libyaml-0-2
  clang libclang-rt-14-dev g++-multilib
  # The Windows cross build (Wine itself is installed by scripts/run-windows-tests.sh).
  g++-mingw-w64-i686 googletest dpkg-dev
  binutils
  # Benchmark-only peers.
  nlohmann-json3-dev libmsgpack-cxx-dev libyaml-cpp-dev
  # The runnable host's HTTP client.
  libcurl4-openssl-dev
  # The OpenAPI lint reads the document from the running host.
  curl
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The OpenAPI linter (scripts/lint-openapi.sh) runs on Node.js; any npm will do, so one that is
# already on the machine is kept.
command -v npm >/dev/null || missing+=(nodejs npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
