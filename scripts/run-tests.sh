#!/usr/bin/env bash
# Sets up a fresh Debian machine (when packages are missing), builds every configuration once
# and runs the whole test suite: the normal build, the AddressSanitizer + UBSan build, the
# ThreadSanitizer build of the threaded tests, the 32-bit layout check, the fuzz targets for a
# bounded time and the Windows cross build under Wine.
#
# Usage: scripts/run-tests.sh [--quick]   (--quick: normal build and its tests only)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
quick=0
[ "${1:-}" = "--quick" ] && quick=1

step_marker="====" step_title="step times"
# shellcheck source=scripts/step-times.sh
source scripts/step-times.sh

step "packages"
scripts/install-deps.sh

export CCACHE_DIR="${CCACHE_DIR:-$root/build/.ccache}"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

build() { # preset
  cmake --preset "$1" "${launcher[@]}" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
}

step "normal build"
build default
step "normal tests"
ctest --preset default -j "$jobs"
step "OpenAPI document lint"
scripts/lint-openapi.sh build/default
step "console tests in headless Chromium"
scripts/run-console-tests.sh

[ "$quick" = 1 ] && exit 0

step "32-bit layout check of the host boundary header"
scripts/check-layout-32.sh

step "AddressSanitizer + UndefinedBehaviorSanitizer build"
build asan
step "sanitizer tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset asan -j "$jobs"

step "ThreadSanitizer build of the threaded tests"
cmake --preset tsan "${launcher[@]}" >/dev/null
cmake --build --preset tsan -j "$jobs" --target zc_threaded_tests
step "threaded tests under ThreadSanitizer"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --preset tsan -j "$jobs" --no-tests=ignore

if [ -x scripts/run-fuzzers.sh ]; then
  step "fuzz targets"
  scripts/run-fuzzers.sh
fi

if [ -x scripts/run-windows-tests.sh ]; then
  step "Windows cross build and tests under Wine"
  scripts/run-windows-tests.sh
fi

step "all tests passed"
