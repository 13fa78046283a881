#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset, clang) and runs each fuzz_* target for a
# bounded time on a scratch copy of its seed corpus (fuzz/corpus/<target>/). Fails on the first
# finding (crash, sanitizer report, leak, timeout); the reproducer is kept in build/fuzz/findings/.
#
# Usage: scripts/run-fuzzers.sh [seconds per target]   (default 30; FUZZ_SECONDS works too)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-${FUZZ_SECONDS:-30}}
jobs=${JOBS:-$(nproc)}

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_DIR="${CCACHE_DIR:-$root/build/.ccache}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake --preset fuzz "${launcher[@]}" >/dev/null
# Only the fuzz targets (and the layers they link): the rest of the project is built and tested
# by the other configurations.
mapfile -t fuzz_targets < <(cmake --build --preset fuzz --target help | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\):.*/\1/p')
if [ ${#fuzz_targets[@]} -eq 0 ]; then
  echo "no fuzz targets are defined" >&2
  exit 1
fi
cmake --build --preset fuzz -j "$jobs" --target "${fuzz_targets[@]}"

bin=$root/build/fuzz/fuzz
findings=$root/build/fuzz/findings
mkdir -p "$findings"
shopt -s nullglob
targets=("$bin"/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets were built" >&2
  exit 1
fi

for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds=$root/fuzz/corpus/$name
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "== $name for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$findings/$name-" "$work" >"$findings/$name.log" 2>&1; then
    tail -n 60 "$findings/$name.log" >&2
    echo "$name found a failure; reproducer in $findings/" >&2
    rm -rf "$work"
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$findings/$name.log" || true
  rm -rf "$work"
done
echo "all fuzz targets ran clean"
