#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset, clang) and runs each fuzz_* target for a
# bounded time on a scratch copy of its seed corpus (fuzz/corpus/<target>/), with its dictionary
# (fuzz/dict/<target>.dict) when it has one. Targets run side by side, one per core (JOBS), each
# on one core for its whole time, so the step takes about targets x seconds / cores. Fails on the
# first finding (crash, sanitizer report, leak, timeout, a broken round trip); the reproducer is
# kept in build/fuzz/findings/.
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

# The host's readers take whole documents (worlds run to several KB), and a reader that recursed
# without a bound overflowed the stack of this build on input nested some 30,000 deep: their
# inputs may be 64 KB long from the start (no slow growth of the length limit), so that such
# nesting stays within reach of a short run (found in about 20 s when the bound was missing).
# The other targets keep libFuzzer's default (4 KB, or the largest seed, grown gradually).
length_options_of() {
  case $1 in
    fuzz_world_document | fuzz_fault_rules | fuzz_owned_host_value)
      echo -max_len=65536 -len_control=0 ;;
    *) echo -max_len=0 ;;
  esac
}

# Runs one target; its output goes to findings/<name>.log, its statistics to findings/<name>.stats.
run_target() {
  local target=$1 name work seeds
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds=$root/fuzz/corpus/$name
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
    $(length_options_of "$name") -artifact_prefix="$findings/$name-")
  [ -f "$root/fuzz/dict/$name.dict" ] && options+=(-dict="$root/fuzz/dict/$name.dict")
  local status=0
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$target" "${options[@]}" "$work" >"$findings/$name.log" 2>&1 || status=$?
  rm -rf "$work"
  grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$findings/$name.log" \
    >"$findings/$name.stats" || true
  return "$status"
}

declare -A running=()  # pid -> target name
failed=""
# Waits for one target to end; on a finding remembers its name (the first one is reported).
reap() {
  local pid status=0
  wait -n -p pid "${!running[@]}" || status=$?
  local name=${running[$pid]}
  unset "running[$pid]"
  if [ "$status" -ne 0 ]; then
    [ -n "$failed" ] || failed=$name
  else
    echo "== $name ran clean for ${seconds}s"
    cat "$findings/$name.stats"
  fi
}

for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  [ -z "$failed" ] || break
  while [ ${#running[@]} -ge "$jobs" ]; do reap; done
  [ -z "$failed" ] || break
  name=$(basename "$target")
  echo "== $name for ${seconds}s"
  run_target "$target" &
  running[$!]=$name
done
while [ ${#running[@]} -gt 0 ]; do reap; done
if [ -n "$failed" ]; then
  tail -n 60 "$findings/$failed.log" >&2
  echo "$failed found a failure; reproducer in $findings/" >&2
  exit 1
fi
echo "all fuzz targets ran clean"
