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

# Each step prints its elapsed time when it ends; a table of all steps and the total is printed
# on exit, whether the run passed or failed.
step_names=() step_secs=() step_start=$SECONDS
end_step() {
  [ "${#step_secs[@]}" -lt "${#step_names[@]}" ] || return 0
  local took=$((SECONDS - step_start))
  step_secs+=("$took")
  printf '%s %s (done in %s s)\n' "====" "${step_names[-1]}" "$took"
}
step() {
  end_step
  step_names+=("$*") step_start=$SECONDS
  printf '\n%s %s (%ss)\n' "====" "$*" "$SECONDS"
}
summary() {
  local rc=${1:-$?} i # the status of the run, passed in by a trap that runs more first
  end_step
  printf '\n%s step times (%s)\n' "====" "$([ "$rc" = 0 ] && echo passed || echo "failed, status $rc")"
  for i in "${!step_names[@]}"; do printf '%6s s  %s\n' "${step_secs[$i]}" "${step_names[$i]}"; done
  printf '%6s s  total\n' "$SECONDS"
  return "$rc"
}
trap summary EXIT

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
