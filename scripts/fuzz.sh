#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang in build-fuzz and runs each
# for a bounded time from its seed corpus; fails on the first crash, leak or hang.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
jobs=${JOBS:-2}

mkdir -p "$build/logs"
cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >"$build/logs/configure.log" 2>&1 ||
  { cat "$build/logs/configure.log" >&2; exit 1; }
cmake --build "$build" -j "$jobs" >"$build/logs/build.log" 2>&1 || { tail -50 "$build/logs/build.log" >&2; exit 1; }

status=0
while read -r target; do
  [ -n "$target" ] || continue
  # New inputs go to the scratch corpus (the first folder), never into the repo.
  scratch="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  seeds="$root/tests/fuzz/corpus/$target"
  log="$build/logs/$target.log"
  mkdir -p "$scratch" "$artifacts" "$seeds"
  # -timeout catches a hang; -rss_limit_mb a runaway allocation.
  if "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$scratch" "$seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    corpus=$(find "$scratch" "$seeds" -type f | wc -l)
    echo "fuzz $target: ${runs:-?} runs in ${seconds} s, 0 crashes, corpus $corpus inputs"
  else
    echo "fuzz $target: FAILED (log $log, input under $artifacts)" >&2
    grep -E 'invariant violated|ERROR:|SUMMARY:|runtime error' "$log" | head -20 >&2 || tail -30 "$log" >&2
    status=1
  fi
done <"$build/fuzz_targets.txt"
exit $status
